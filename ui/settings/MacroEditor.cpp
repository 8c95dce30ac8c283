#include "ui/settings/MacroEditor.h"

#include "core/AppGlobals.h"
#include "ink/LocalInkManager.h"
#include "recognition/Macro.h"
#include "ui/settings/SettingsMessages.h"
#include "ui/settings/SettingsPage.h"
#include "win/Checks.h"
#include "xml/IxlScribixHelper.h"

namespace {

enum : int {
    kName = 3060,
    kText = 3127,
    kLaunch = 3128,
    kDescription = 3083,
    kBody = 3061,
    kBodyLabel = 3065,
    kRecord = 3,
    kFile = 3086,
    kBrowse = 3075,
    kParameters = 3087,
    kParametersLabel = 3066,
    kHiddenEdit = 3088,
};
// Posted to the dialog when the recorded edit lost the focus.
constexpr UINT kStopRecordingMessage = WM_APP + 1;
// A key down that a caller hands the recording edit (key code in lParam's high word).
constexpr UINT kRecordKeyMessage = 3049;

const MacroTypeRow kMacroTypes[] = {
    {0, L"keystroke", kText},
    {1, L"launch", kLaunch},
};

const wchar_t kXmlFilter[] = L"XML Files\0*.xml\0All Files\0*.*\0";

bool fileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring attribute(const CLiteElem& element, const wchar_t* name) {
    XString value;
    element.getAttrString(name, value);
    return std::wstring(value.c_str());
}

bool isNamedKey(UINT key) {
    switch (key) {
        case VK_BACK:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_SNAPSHOT:
        case VK_INSERT:
        case VK_DELETE:
        case VK_NUMLOCK:
        case VK_SCROLL:
            return true;
    }
    return (key >= VK_F1 && key <= VK_F24) || (key >= VK_NUMPAD0 && key <= VK_NUMPAD9);
}

class MacroEditor {
  public:
    MacroEditor(HWND dialog, MacroEditState* state) : dialog_(dialog), state_(state) {
        owner_.adopt();
    }

    void checkOwner(const char* operation) const { owner_.check(operation); }

    void open() {
        shareBodyArea();
        CLiteElem element;
        if (state_->element) element.attach(state_->element);
        int type = 0;
        if (!element.isEmpty()) {
            SetDlgItemTextW(dialog_, kName, attribute(element, L"name").c_str());
            SetDlgItemTextW(dialog_, kDescription, attribute(element, L"description").c_str());
            XString body;
            element.tryGetText(body);
            if (attribute(element, L"type") == L"launch") {
                type = 1;
                std::wstring program, parameters;
                splitLaunchCommand(body.c_str(), program, parameters);
                // Files written before the parameters joined the body keep them here.
                if (parameters.empty()) parameters = attribute(element, L"param");
                SetDlgItemTextW(dialog_, kFile, program.c_str());
                SetDlgItemTextW(dialog_, kParameters, parameters.c_str());
            } else {
                SetDlgItemTextW(dialog_, kBody, body.c_str());
            }
            if (state_->copy) state_->element = nullptr;
        }
        switchType(type);
    }

    INT_PTR command(WORD id, WORD code) {
        switch (id) {
            case kText:
            case kLaunch:
                if (code == BN_CLICKED) switchType(id == kText ? 0 : 1);
                return TRUE;
            case kRecord:
                if (code == BN_CLICKED) {
                    if (state_->recording)
                        stopRecording();
                    else
                        startRecording();
                }
                return TRUE;
            case kBrowse:
                if (code == BN_CLICKED) browse();
                return TRUE;
            case IDOK:
                submit();
                return TRUE;
            case IDCANCEL:
                stopRecording();
                EndDialog(dialog_, 2);
                return TRUE;
        }
        return FALSE;
    }

    void stopRecording() {
        if (!state_->recording) return;
        state_->recording = false;
        if (state_->recorder) state_->recorder->stop();
        SetDlgItemTextW(dialog_, kRecord, L"Record");
        if (LocalInkManager* manager = getLocalInkManager()) manager->endMouseTransparent();
    }

  private:
    HWND item(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring text(int id) const { return windowText(item(id)); }

    // The text edit (and the hidden edit with it) takes the rectangle of the
    // launch controls: either set shows in the same place.
    void shareBodyArea() {
        RECT file = {}, parameters = {};
        if (!GetWindowRect(item(kFile), &file) || !GetWindowRect(item(kParameters), &parameters))
            return;
        RECT area = {file.left, file.top, parameters.right, parameters.bottom};
        RECT body = {};
        GetWindowRect(item(kBody), &body);
        if (body.bottom > area.bottom) area.bottom = body.bottom;
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&area), 2);
        for (int id : {kBody, kHiddenEdit})
            if (HWND edit = item(id))
                SetWindowPos(edit, nullptr, area.left, area.top, area.right - area.left,
                             area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    int currentType() const { return IsDlgButtonChecked(dialog_, kText) == BST_CHECKED ? 0 : 1; }

    void switchType(int type) {
        CheckRadioButton(dialog_, kText, kLaunch, type == 0 ? kText : kLaunch);
        SetDlgItemTextW(dialog_, kBodyLabel,
                        type == 0 ? L"Text to insert:" : L"File name/URL/Executable to launch:");
        const int textShow = type == 0 ? SW_SHOW : SW_HIDE;
        const int launchShow = type == 0 ? SW_HIDE : SW_SHOW;
        ShowWindow(item(kBody), textShow);
        ShowWindow(item(kRecord), textShow);
        for (int id : {kFile, kBrowse, kParameters, kParametersLabel})
            ShowWindow(item(id), launchShow);
        if (type != 0) stopRecording();
    }

    void startRecording() {
        if (!state_->recorder) state_->recorder = std::make_unique<CKbdRecord>();
        SetDlgItemTextW(dialog_, kRecord, L"Stop record");
        SetFocus(item(kBody));
        if (!state_->recorder->start(item(kBody))) {
            SetDlgItemTextW(dialog_, kRecord, L"&Record");
            return;
        }
        state_->recording = true;
        if (LocalInkManager* manager = getLocalInkManager()) manager->beginMouseTransparent();
    }

    void browse() {
        if (browsing_) return;
        browsing_ = true;
        FileDialogRequest request;
        request.title = L"";
        request.filter = L"All Files\0*.*\0";
        std::wstring path;
        if (chooseSettingsFile(dialog_, request, path))
            SetDlgItemTextW(dialog_, kFile, path.c_str());
        browsing_ = false;
    }

    bool refuse(const wchar_t* text, const wchar_t* caption) {
        settingsMessageBox(dialog_, text, caption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    // Writes the fields into `element` (its name, attributes and text replaced).
    static bool writeMacro(CLiteElem& element, const std::wstring& name,
                           const std::wstring& description, const MacroTypeRow& type,
                           const std::wstring& body) {
        CLiteElem fresh(L"macro");
        fresh.setAttribute(L"type", type.keyword);
        fresh.setAttribute(L"name", name.c_str());
        fresh.setAttribute(L"description", description.c_str());
        if (!body.empty()) fresh.addText(body.c_str());
        return element.copyContentFrom(fresh);
    }

    void submit() {
        const std::wstring name = text(kName);
        if (name.find(L' ') != std::wstring::npos) {
            refuse(L"No spaces are allowed in the macro name", L"Macro Name Error");
            return;
        }
        if (name.empty()) {
            refuse(L"No macro name is specified", L"Macro Name Error");
            return;
        }
        for (wchar_t c : name) {
            if (c > 127) {
                refuse(L"Only English letters and ASCII symbols are allowed in a macro name",
                       L"Macro Name Error");
                return;
            }
        }
        if (isPredefinedSystemMacroName(name.c_str())) {
            settingsMessageBox(dialog_,
                               L"This name is reserved for predefined system macro.\nPlease choose "
                               L"another one.",
                               L"Macro Editor", MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        const std::wstring description = text(kDescription);
        const MacroTypeRow& type = *macroTypeById(currentType());
        std::wstring body;
        if (type.id == 0) {
            body = text(kBody);
            if (body.empty()) {
                refuse(L"Macro has an empty body.", L"Macro Verification Error");
                return;
            }
        } else {
            const std::wstring file = text(kFile);
            if (file.empty()) {
                refuse(L"File name field can not be empty.", L"Macro Verification Error");
                return;
            }
            if (!joinLaunchCommand(file.c_str(), text(kParameters).c_str(), body)) {
                refuse(L"Filename/Parameters interpret error.", L"Macro Verification Error");
                return;
            }
        }
        IxlScribixHelper* document = state_->document;
        if (!document) {
            EndDialog(dialog_, 2);
            return;
        }
        CLiteElem existing;
        const bool duplicate = document->findItemByName(existing, name.c_str());
        if (!state_->element) {
            if (duplicate) {
                if (settingsMessageBox(dialog_,
                                       L"Another macro with this name is found.\nDo you want to "
                                       L"replace it.",
                                       L"Macro Editor", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
                    return;
                writeMacro(existing, name, description, type, body);
            } else {
                CLiteElem created(L"macro");
                writeMacro(created, name, description, type, body);
                if (!document->appendItem(created)) {
                    refuse(L"The macro could not be added.", L"Macro Editor");
                    return;
                }
            }
        } else {
            CLiteElem edited;
            edited.attach(state_->element);
            if (duplicate && existing.getXMLNode() != state_->element) {
                if (settingsMessageBox(dialog_,
                                       L"Another macro with this name is found.\nDo you want to "
                                       L"replace it.",
                                       L"Macro Editor", MB_YESNO | MB_ICONQUESTION) != IDYES)
                    return;
                document->removeItem(existing);
            }
            writeMacro(edited, name, description, type, body);
        }
        stopRecording();
        EndDialog(dialog_, 1);
    }

    HWND dialog_;
    win::OwnerThread owner_{"macro editor"};
    MacroEditState* state_;
    bool browsing_ = false;
};

}  // namespace

const MacroTypeRow* macroTypeById(int id) {
    for (const MacroTypeRow& row : kMacroTypes)
        if (row.id == id) return &row;
    return nullptr;
}

bool isPredefinedSystemMacroName(const wchar_t*) { return false; }

// ------------------------------------------------------------ recording

CKbdRecord::~CKbdRecord() { stop(); }

bool CKbdRecord::start(HWND edit) {
    if (edit_ || !IsWindow(edit)) return false;
    edit_ = edit;
    editData_ = GetWindowLongPtrW(edit, GWLP_USERDATA);
    SetWindowLongPtrW(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    editProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeystrokeEditProc)));
    lastKey_ = 0;
    shift_ = ctrl_ = alt_ = false;
    return true;
}

void CKbdRecord::stop() {
    if (!edit_) return;
    if (IsWindow(edit_)) {
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc_));
        SetWindowLongPtrW(edit_, GWLP_USERDATA, editData_);
    }
    edit_ = nullptr;
    editProc_ = nullptr;
}

void CKbdRecord::insert(const std::wstring& text) {
    for (wchar_t c : text) CallWindowProcW(editProc_, edit_, WM_CHAR, c, 0);
}

void CKbdRecord::keyDown(UINT key, LPARAM lParam) {
    if (lParam & (1 << 30)) return;  // a repeat
    lastKey_ = key;
    std::wstring name;
    if (key == VK_SHIFT) {
        insert(L"{Shift+");
        shift_ = true;
    } else if (key == VK_CONTROL) {
        insert(L"{Ctrl+");
        ctrl_ = true;
    } else if (key == VK_MENU) {
        insert(L"{Alt+");
        alt_ = true;
    } else if (isNamedKey(key)) {
        if (formatKeyName(key, name)) insert(name);
    } else if (key == VK_SPACE) {
        if (alt_ || ctrl_ || shift_) insert(formatKeyName(key, name) ? name : L" ");
    } else if (alt_ || ctrl_ || shift_) {
        const UINT character = MapVirtualKeyW(key, MAPVK_VK_TO_CHAR) & 0x7FFFFFFF;
        if (character) insert(std::wstring(1, static_cast<wchar_t>(character)));
    }
}

bool CKbdRecord::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            keyDown(static_cast<UINT>(wParam), lParam);
            return true;
        case kRecordKeyMessage:
            keyDown(HIWORD(lParam), 0);
            return true;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            if (wParam == VK_SHIFT) {
                if (shift_) insert(L"}");
                shift_ = false;
            } else if (wParam == VK_CONTROL) {
                if (ctrl_) insert(L"}");
                ctrl_ = false;
            } else if (wParam == VK_MENU) {
                if (alt_) insert(L"}");
                alt_ = false;
            }
            return true;
        case WM_CHAR:
            // A key recorded by its name (Enter, Tab, Backspace, a number-pad
            // digit) must not type its character as well: played back, the
            // macro would press it twice.
            if (wParam == VK_BACK || isNamedKey(lastKey_) || alt_ || ctrl_ || shift_) return true;
            return false;
        case WM_SYSCHAR:
            return true;
    }
    return false;
}

LRESULT CALLBACK KeystrokeEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    CKbdRecord* recorder = reinterpret_cast<CKbdRecord*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
    if (!recorder || recorder->edit_ != edit) return DefWindowProcW(edit, message, wParam, lParam);
    if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    if (message == WM_KILLFOCUS) {
        HWND dialog = GetParent(edit);
        if (reinterpret_cast<HWND>(wParam) != GetDlgItem(dialog, kRecord))
            PostMessageW(dialog, kStopRecordingMessage, 0, 0);
    }
    if (recorder->handle(message, wParam, lParam)) return 0;
    return CallWindowProcW(recorder->editProc_, edit, message, wParam, lParam);
}

// ------------------------------------------------------------ the dialog

INT_PTR CALLBACK MacroEditorDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    MacroEditor* editor = reinterpret_cast<MacroEditor*>(GetWindowLongPtrW(dialog, DWLP_USER));
    // The system calls it on the editor's thread; a direct call from another
    // thread would work the editor and its state off their owner.
    if (editor) editor->checkOwner("MacroEditorDlgProc");
    switch (message) {
        case WM_INITDIALOG: {
            MacroEditState* state = reinterpret_cast<MacroEditState*>(lParam);
            if (!state) {
                EndDialog(dialog, 2);
                return TRUE;
            }
            editor = new MacroEditor(dialog, state);
            SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(editor));
            editor->open();
            return TRUE;
        }
        case WM_COMMAND:
            return editor ? editor->command(LOWORD(wParam), HIWORD(wParam)) : FALSE;
        case kStopRecordingMessage:
            if (editor) editor->stopRecording();
            return TRUE;
        case WM_DESTROY:
            if (editor) editor->stopRecording();
            return FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
            delete editor;
            return FALSE;
    }
    return FALSE;
}

INT_PTR runMacroEditor(HWND owner, MacroEditState& state) {
    HINSTANCE module = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
    return DialogBoxParamW(module, L"MACRO_EDIT", owner, MacroEditorDlgProc,
                           reinterpret_cast<LPARAM>(&state));
}

// ------------------------------------------------------------ export and import

bool writeMacroExport(const IxlScribixHelper& document, const std::vector<CXMLNode*>& selected,
                      bool allSelected, const std::wstring& path) {
    if (allSelected) return document.dom().save(path.c_str());
    CLiteDom exported;
    CLiteElem root(L"macroses");
    if (!exported.setRoot(root)) return false;
    CLiteElem exportedRoot;
    if (!exported.getRoot(exportedRoot)) return false;
    for (CXMLNode* node : selected) {
        CLiteElem source;
        source.attach(node);
        CLiteElem copy(L"macro");
        if (!copy.copyContentFrom(source) || !exportedRoot.appendChild(copy)) return false;
    }
    return exported.save(path.c_str());
}

void exportMacros(HWND owner, const IxlScribixHelper& document,
                  const std::vector<CXMLNode*>& selected, bool allSelected) {
    FileDialogRequest request;
    request.save = true;
    request.title = L"Export selected macros";
    request.filter = kXmlFilter;
    request.initialName = L"macro_export.xml";
    std::wstring path;
    if (!chooseSettingsFile(owner, request, path)) return;
    if (fileExists(path)) {
        wchar_t text[MAX_PATH + 100];
        wsprintfW(text, L"File %s already exists.\nDo you want to overwrite it?", path.c_str());
        if (settingsMessageBox(owner, text, L"Replace existing file", MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
            return;
    }
    if (selected.empty()) return;
    const bool saved = writeMacroExport(document, selected, allSelected, path);
    settingsMessageBox(
        owner, saved ? L"Macro files saved successfully" : L"Error during macro file saving",
        L"Save macro file", MB_OK | (saved ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

int importMacroFile(IxlScribixHelper& document, const std::wstring& path, bool& suffixAdded) {
    CLiteDom file;
    if (!file.load(path.c_str())) return -1;
    CLiteElem fileRoot, root;
    if (!file.getRoot(fileRoot) || !document.dom().getRoot(root)) return -1;
    CLiteElem child;
    for (size_t i = 0; fileRoot.getChildElement(child, i); ++i) {
        XString name;
        if (!child.getAttrString(L"name", name)) return -1;
        CLiteElem copy(L"macro");
        if (!copy.copyContentFrom(child) || !copy.setName(L"macro")) return -1;
        CLiteElem existing;
        if (document.findItemByName(existing, name.c_str())) {
            copy.setAttribute(L"name", (std::wstring(name.c_str()) + L"_imported").c_str());
            suffixAdded = true;
        }
        if (!root.appendChild(copy)) return -1;
    }
    return 1;
}

int importMacros(HWND owner, IxlScribixHelper& document, bool& suffixAdded) {
    FileDialogRequest request;
    request.title = L"Import selected macros";
    request.filter = kXmlFilter;
    request.initialName = L"macro_export.xml";
    std::wstring path;
    bool failed = false;
    if (!chooseSettingsFile(owner, request, path, &failed)) return failed ? -1 : 0;
    return importMacroFile(document, path, suffixAdded);
}
