// The macro editor "Edit Macro" (one handwritten macro: its name, its
// description and either the keystroke text to play, which it can record
// from the keyboard, or a program, file or web address to open), and the
// export and import of macros as XML files. Both work on the macro document
// of the "Macros" page.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CLiteElem;
class CXMLNode;
class IxlScribixHelper;

// The macro types the editor writes.
struct MacroTypeRow {
    int id;
    const wchar_t* keyword;  // the "type" attribute
    int radio;               // the radio button
};
// Rows 0 "keystroke" (3127 "Text") and 1 "launch" (3128 "Open/Execute"); null for another id.
const MacroTypeRow* macroTypeById(int id);

// Records the keys pressed in an edit as macro text while installed on it:
// subclasses the edit and gives it back its own procedure and user data.
class CKbdRecord {
  public:
    CKbdRecord() = default;
    CKbdRecord(const CKbdRecord&) = delete;
    CKbdRecord& operator=(const CKbdRecord&) = delete;
    // Stops recording.
    virtual ~CKbdRecord();

    bool start(HWND edit);
    void stop();
    bool recording() const { return edit_ != nullptr; }

    // What recording does with one message of the edit; true when it handled
    // it (the result is 0), false to give it to the edit's own procedure.
    bool handle(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    friend LRESULT CALLBACK KeystrokeEditProc(HWND, UINT, WPARAM, LPARAM);
    void insert(const std::wstring& text);
    void keyDown(UINT key, LPARAM lParam);

    HWND edit_ = nullptr;
    WNDPROC editProc_ = nullptr;
    LONG_PTR editData_ = 0;
    UINT lastKey_ = 0;
    bool shift_ = false;
    bool ctrl_ = false;
    bool alt_ = false;
};

// The edit's procedure while it records (the recorder is in its user data).
LRESULT CALLBACK KeystrokeEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// One run of the editor, made by the "Macros" page.
struct MacroEditState {
    IxlScribixHelper* document = nullptr;
    CXMLNode* element = nullptr;  // the macro edited; null for a new one
    bool copy = false;            // "Co&py": the element fills the dialog, Submit makes a new macro
    bool recording = false;
    std::unique_ptr<CKbdRecord> recorder;
};

// The dialog procedure: ends with 1 when the macro was written into the
// document, 2 when cancelled.
INT_PTR CALLBACK MacroEditorDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR runMacroEditor(HWND owner, MacroEditState& state);

// No macro name is reserved for the system: there are no predefined system
// macros to protect.
bool isPredefinedSystemMacroName(const wchar_t* name);

// Export: asks for the file, then writes the selected macros (the whole
// document when every one is selected). Reports by message box.
void exportMacros(HWND owner, const IxlScribixHelper& document,
                  const std::vector<CXMLNode*>& selected, bool allSelected);
// Writes the selected macros to `path` as the export does; false on failure.
bool writeMacroExport(const IxlScribixHelper& document, const std::vector<CXMLNode*>& selected,
                      bool allSelected, const std::wstring& path);
// Import: asks for the file and appends its macros to the document; 1
// imported, 0 cancelled, -1 error. `suffixAdded` is set when a name that the
// document had got "_imported" appended.
int importMacros(HWND owner, IxlScribixHelper& document, bool& suffixAdded);
int importMacroFile(IxlScribixHelper& document, const std::wstring& path, bool& suffixAdded);
