// The registered window messages and clipboard formats of the program, made
// once by static initialisation before the entry point runs.
#pragma once

#include <windows.h>

struct RegisteredMessages {
    UINT command;          // "ScribixMessageCommandName": commands from other programs
    UINT fatInkToOwner;    // "fatInkMsgToOwner": the markup bar's ink control
    UINT tooltipsGetText;  // "Tooltips get-text message"
    UINT checkListener;    // "ZVM_CHECKLISTENER" ... the note application's messages
    UINT showZorvane;
    UINT trayReloadSettings;
    UINT trayTerminate;
    UINT createNoteFromFile;  // "ZVCD_CREATENOTEFROMFILE" ... its clipboard formats
    UINT processCmdLine;
    UINT reportCreatedNotes;
    UINT broadcast;  // "InkService_Message_for_broadcast": sent to all at shut-down
};

const RegisteredMessages& registeredMessages();
