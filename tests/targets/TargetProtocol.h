// The requests a test in another process sends to a target program (target_edit,
// target_richedit, target_word) to read back or set what the user would see.
//
// A request is a WM_COPYDATA sent to the target's top-level window, with
// COPYDATASTRUCT::dwData = the request and wParam = a window of the caller.
// The answer to kGetState comes back before SendMessage returns: the target
// sends a WM_COPYDATA with dwData = kStateReply to the caller's window. Every
// request returns 1 when it was understood, 0 otherwise.
//
// Positions are in characters of the control's own text: the plain edit counts
// a line break as "\r\n", the rich edit and the word processor window as "\r".
#pragma once

#include <windows.h>

namespace targets {

// Window classes of the targets' top-level windows.
constexpr const wchar_t* kEditFrameClass = L"ScribixTargetEdit";
constexpr const wchar_t* kRichEditFrameClass = L"ScribixTargetRichEdit";
constexpr const wchar_t* kWordFrameClass = L"ScribixTargetWord";

enum Request : ULONG_PTR {
    kGetState = 0x53580001,      // no payload; answered by kStateReply
    kSetText = 0x53580002,       // payload: UTF-16 text without terminator; caret after it
    kSetSelection = 0x53580003,  // payload: LONG anchor, LONG active (-1: end of text)
    kHang = 0x53580004,          // payload: LONG ms; answered at once, then the target's
                                 // UI thread stops answering for that long
    kSetFaults = 0x53580005,     // payload: LONG Fault flags (object-model targets)
    kStateReply = 0x53580101,    // payload: StateHeader, then textLength UTF-16 units
};

// Failures an object-model target can be asked to show, so that callers can
// test how they cope with a target that refuses them.
enum Fault : LONG {
    kFaultNone = 0,
    kFaultNoObjectModel = 1,   // WM_GETOBJECT(OBJID_NATIVEOM) is not answered
    kFaultCallsFail = 2,       // every object-model call fails
    kFaultStartStaysBack = 4,  // word processor: a put of Start that moves the
                               // selection's start forward fails
};

struct StateHeader {
    LONG selStart;  // selection, ordered
    LONG selEnd;
    LONG caret;       // the active end of the selection (where typing goes)
    LONG textLength;  // UTF-16 units of text following the header
    ULONG control;    // the window that takes the typing (edit, rich edit, "_WwG")
};

}  // namespace targets
