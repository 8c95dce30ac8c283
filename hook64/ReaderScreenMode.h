// Keeps the system's screen-reader flag raised while it lives, when it was
// down: some applications build their accessible tree, or give locations,
// only while a screen reader is said to be running. The flag is system-wide,
// so it is raised only for a moment and put back at once.
#pragma once

#include <windows.h>

class CSafeSetReaderScreenMode {
  public:
    // `update` is passed to the system with each change: SPIF_SENDCHANGE
    // tells every window, 0 changes the flag quietly.
    explicit CSafeSetReaderScreenMode(bool wanted = true, UINT update = SPIF_SENDCHANGE)
        : m_update(update) {
        if (!wanted) return;
        BOOL on = FALSE;
        if (SystemParametersInfoW(SPI_GETSCREENREADER, 0, &on, 0) && !on)
            m_raised = SystemParametersInfoW(SPI_SETSCREENREADER, TRUE, nullptr, m_update) != 0;
    }
    virtual ~CSafeSetReaderScreenMode() {
        if (m_raised) SystemParametersInfoW(SPI_SETSCREENREADER, FALSE, nullptr, m_update);
    }
    CSafeSetReaderScreenMode(const CSafeSetReaderScreenMode&) = delete;
    CSafeSetReaderScreenMode& operator=(const CSafeSetReaderScreenMode&) = delete;

    bool raised() const { return m_raised; }

  private:
    UINT m_update;
    bool m_raised = false;
};
