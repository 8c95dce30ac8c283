#include "RegisteredMessages.h"

#include "ServiceMessages.h"

namespace {

RegisteredMessages registerAll() {
    RegisteredMessages m;
    m.command = RegisterWindowMessageW(SCRIBIX_COMMAND_MESSAGE_NAME);
    m.fatInkToOwner = RegisterWindowMessageW(L"fatInkMsgToOwner");
    m.tooltipsGetText = RegisterWindowMessageW(L"Tooltips get-text message");
    m.checkListener = RegisterWindowMessageW(L"ZVM_CHECKLISTENER");
    m.showZorvane = RegisterWindowMessageW(L"ZVM_SHOWZORVANE");
    m.trayReloadSettings = RegisterWindowMessageW(L"ZVM_TRAY_RELOADSETTINGS");
    m.trayTerminate = RegisterWindowMessageW(L"ZVM_TRAY_TERMINATE");
    m.createNoteFromFile = RegisterClipboardFormatW(L"ZVCD_CREATENOTEFROMFILE");
    m.processCmdLine = RegisterClipboardFormatW(L"ZVCD_PROCESSCMDLINE");
    m.reportCreatedNotes = RegisterClipboardFormatW(L"ZVCD_REPORTCREATEDNOTES");
    m.broadcast = RegisterWindowMessageW(SCRIBIX_BROADCAST_MESSAGE_NAME);
    return m;
}

const RegisteredMessages g_registered = registerAll();

}  // namespace

const RegisteredMessages& registeredMessages() { return g_registered; }
