// Two pen pickers on the bar framework: the punctuation bar (a keypad of
// symbols and editing keys whose pick is typed into the target field) and the
// colour bar (a palette for the markup pen). Each writes the picked id into
// its caller's result slot and closes itself.
#pragma once

#include <windows.h>

#include "ui/bars/BarFramework.h"

// Ids of the punctuation bar's keys that are not characters; keyboard keys are
// their virtual-key code plus kDelimVirtualKey.
enum DelimKeyId : int {
    DELIM_CLOSE = 0,
    DELIM_MORE = 1,  // "..."
    DELIM_UNDO = 2,
    DELIM_REDO = 3,
    DELIM_SPACE = 32,
};
constexpr int kDelimVirtualKey = 0x10000;
// What the punctuation bar writes for the euro sign.
constexpr int kDelimEuroValue = 128;

// The symbol table (6 rows of 6 characters) the punctuation bar is built from.
struct PunctuationSymbols {
    wchar_t cell[6][6];
};
// The built-in table.
PunctuationSymbols defaultPunctuationSymbols();
// The table in force: the built-in one changed by the settings "PunctuationBar"
// ("symb1" ... up to the first missing value, each "row,column,code"; rows and
// columns 1 to 5 only, and only codes of signs). Read before each bar is built.
PunctuationSymbols& punctuationSymbols();
void loadPunctuationBar();

class DelimBarUnit : public BarSmartBitmapUnit {
    VEXA_CLASS(DelimBarUnit, BarSmartBitmapUnit)

  public:
    DelimBarUnit(BarMaster* master, int id, LayeredBitmap* face, COLORREF key);
};

class DelimBarMaster : public BarSmartBitmapMaster {
    VEXA_CLASS(DelimBarMaster, BarSmartBitmapMaster)

  public:
    // resultSlot: where the pick is written (may be null).
    DelimBarMaster(const POINT* position, HWND parent, int* resultSlot, bool symbolsOnly);
    ~DelimBarMaster() override;

    void buildUnits() override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;
    int onNotify(int event, LPARAM argument) override;

    bool symbolsOnly() const { return symbolsOnly_; }
    // The punctuation bar now open, or null.
    static DelimBarMaster* openBar();

  private:
    bool symbolsOnly_;
};

class ColorBarUnit : public BarSmartBitmapUnit {
    VEXA_CLASS(ColorBarUnit, BarSmartBitmapUnit)

  public:
    ColorBarUnit(BarMaster* master, int id, LayeredBitmap* face, COLORREF key);
};

class ColorsBarMaster : public BarSmartBitmapMaster {
    VEXA_CLASS(ColorsBarMaster, BarSmartBitmapMaster)

  public:
    ColorsBarMaster(const POINT* position, HWND parent, int* resultSlot);
    ~ColorsBarMaster() override;

    void buildUnits() override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;
    int onNotify(int event, LPARAM argument) override;

    static ColorsBarMaster* openBar();
};

// Sample points of the faces (client coordinates).
POINT delimSamplePoint(int column, int row);
POINT colourSamplePoint(int column, int row);

// The punctuation bar as a modal pop-up at `position` (null: at the cursor);
// the value picked, 0 when none or when a punctuation bar is open already.
// mode 2 offers the symbols only. `ownerList`: the menu group (SyncSection)
// that asks, or null; with one, the bar is a member of the group while it
// runs and its window is owned by `window`.
int showPunctuationPopup(void* ownerList, HWND window, POINT position, int mode);
int showPunctuationPopupAt(const POINT* position, HWND window, int mode);
// The colour bar as a modal pop-up; the id picked (the colour plus 1), 0 when
// none or when a colour bar is open already.
int showColourPopup(void* ownerList, HWND window, POINT position);
