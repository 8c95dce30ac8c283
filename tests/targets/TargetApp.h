// The frame every target program shares: a top-level window holding the one
// control that takes the typing, focused from the start; the answers to the
// requests of TargetProtocol.h; the ready signal for the test that started it.
#pragma once

#include <windows.h>

#include <string>

#include "TargetProtocol.h"

namespace targets {

struct ControlState {
    std::wstring text;
    LONG selStart = 0;
    LONG selEnd = 0;
    LONG caret = 0;
};

// What one target puts into the frame.
class TargetView {
  public:
    virtual ~TargetView() = default;
    // Creates the control that takes the typing as a child of the frame.
    virtual HWND create(HWND frame) = 0;
    virtual ControlState state() = 0;
    virtual void setText(const std::wstring& text) = 0;
    // anchor and active may each be -1 for the end of the text.
    virtual void setSelection(LONG anchor, LONG active) = 0;
    // Fault flags; targets without an object model accept only kFaultNone.
    virtual bool setFaults(LONG faults) { return faults == kFaultNone; }
};

// Runs a target: makes the frame (window class frameClass), the view's control
// with the focus, sets the event named by "/ready:<name>" on the command line
// once the window takes input, and runs the message loop. Returns the exit code.
int runTarget(const wchar_t* frameClass, const wchar_t* title, TargetView& view);

// True when the command line holds the switch ("/multiline").
bool hasSwitch(const wchar_t* name);

}  // namespace targets
