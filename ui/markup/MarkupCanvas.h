// The markup canvas: the one ink control window of the application (the
// markup control window made at start-up), over which the user draws in markup
// mode. The canvas gives it a frozen picture of the desktop as background and
// drives it through the ink control's messages; its own window procedure
// (MarkupCtrlWndProc) handles the keys of markup mode and focus changes and
// hands everything else to the ink control.
#pragma once

#include <windows.h>

// Markup tools as the bars number them: 1 pen, 2 pencil, 3 marker, 4, 5
// selector, 6 cutter.
enum MarkupTool {
    TOOL_PEN = 1,
    TOOL_PENCIL = 2,
    TOOL_MARKER = 3,
    TOOL_4 = 4,
    TOOL_SELECTOR = 5,
    TOOL_CUTTER = 6
};

namespace markup_canvas {

// The ink control's code of a markup tool, and back (unknown codes are the pencil).
int toolToControl(int tool);
int toolFromControl(int code);

// The canvas window (null before start-up made it).
HWND window();

// The screen clipping tool's window, if one is open.
HWND findCaptureWindow();
// Posts WM_CLOSE to the clipping tool's window and records the time; false
// when there is none.
bool closeCaptureWindow();

// The whole desktop copied from the display, with a 3-pixel red frame drawn
// 2 pixels inside its edges.
HBITMAP takeDesktopSnapshot();
// Gives the control `snapshot` (the control keeps it), makes the service
// window the owner of its notifications, covers the desktop with it and brings
// it to the front.
void showCanvas(HBITMAP snapshot);
void hideCanvas();
// Points the control at the English recognizer in the program's folder.
void setRecognizerFolder();

int currentTool();  // as a markup tool
void setTool(int tool);
int currentWidth();
void setWidth(int width);
COLORREF currentColour();
void setColour(COLORREF colour);
bool hasSelection();
bool shapeModeOn();
// On with a selection enhances the selection; otherwise switches the mode.
void setShapeMode(bool on);
void undo();
void redo();
void clearInk();
void cutSelection();

}  // namespace markup_canvas

// The window procedure of the markup control window's class.
LRESULT CALLBACK MarkupCtrlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
