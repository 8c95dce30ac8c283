// Screenshots of windows shown on the test's Xvfb, compared with reference
// images kept beside the tests. Windows tests under Wine with DISPLAY x11 only.
//
// A shot is saved as <working directory>/screenshots/<name>.png (the working
// directory of a test is its build folder) and compared with <references>/<name>.png
// by ImageMagick: pixels whose colours differ by more than `fuzzPercent` count
// as different, and the check fails when more than `tolerance` of the pixels
// differ (font rendering varies a little between machines). A missing
// reference fails the check; run the test once with SCRIBIX_MAKE_REFERENCES=1
// to write the shots as references, look at them, and commit them.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/HostShell.h"

namespace screenshot {

struct Options {
    double tolerance = 0.02;  // fraction of pixels allowed to differ
    int fuzzPercent = 12;     // colour distance under which two pixels are equal
    DWORD settleMs = 300;     // messages dispatched before the shot, so the window is drawn
};

struct Result {
    bool ok = false;
    std::string message;  // what differed, or why no comparison was made
    std::string shot;     // the saved shot (host path)
};

namespace detail {

// The host path of a Windows path under Wine's Z: drive (the build tree is there).
inline std::string hostPath(const std::wstring& windowsPath) {
    std::string path;
    size_t start = 0;
    if (windowsPath.size() >= 2 && (windowsPath[0] == L'Z' || windowsPath[0] == L'z') &&
        windowsPath[1] == L':')
        start = 2;
    for (size_t i = start; i < windowsPath.size(); ++i)
        path += windowsPath[i] == L'\\' ? '/' : static_cast<char>(windowsPath[i]);
    return path;
}

inline std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline void settle(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

}  // namespace detail

// Shoots `rect` (screen coordinates) and compares it with `referenceDir`/`name`.png.
inline Result check(const RECT& rect, const std::string& referenceDir, const std::string& name,
                    const Options& options = Options()) {
    Result result;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        result.message = "nothing to shoot: empty rectangle";
        return result;
    }
    GdiFlush();
    detail::settle(options.settleMs);

    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    const std::string dir = detail::hostPath(cwd) + "/screenshots";
    result.shot = dir + "/" + name + ".png";
    const std::string reference = referenceDir + "/" + name + ".png";
    char geometry[64];
    std::snprintf(geometry, sizeof geometry, "%dx%d+%d+%d", width, height,
                  static_cast<int>(rect.left), static_cast<int>(rect.top));

    std::string output;
    if (!hostshell::run("mkdir -p " + detail::quoted(dir) + " && import -display \"$DISPLAY\"" +
                            " -window root -crop " + geometry + " +repage png:" +
                            detail::quoted(result.shot),
                        30000, &output)) {
        result.message = "could not take the screenshot: " + output;
        return result;
    }
    const char* make = std::getenv("SCRIBIX_MAKE_REFERENCES");
    if (make && std::string(make) == "1") {
        hostshell::run("mkdir -p " + detail::quoted(referenceDir) + " && cp " +
                           detail::quoted(result.shot) + " " + detail::quoted(reference),
                       10000);
        result.ok = true;
        result.message = "reference written: " + reference;
        return result;
    }
    // compare prints the number of differing pixels on its error output and
    // exits with 0 (same), 1 (different) or 2 (could not compare).
    const std::string diff = dir + "/" + name + ".diff.png";
    if (!hostshell::run("test -f " + detail::quoted(reference) + " || { echo missing; exit 3; }; "
                        "compare -metric AE -fuzz " + std::to_string(options.fuzzPercent) + "% " +
                            detail::quoted(reference) + " " + detail::quoted(result.shot) + " " +
                            detail::quoted(diff) + " 2>&1; s=$?; [ $s -le 1 ]",
                        30000, &output)) {
        result.message = output.find("missing") == 0
                             ? "no reference image " + reference +
                                   " (run with SCRIBIX_MAKE_REFERENCES=1, look at it, keep it)"
                             : "could not compare " + result.shot + " with " + reference +
                                   " (sizes differ?): " + output;
        return result;
    }
    const double differing = std::atof(output.c_str());
    const double allowed = options.tolerance * width * height;
    result.ok = differing <= allowed;
    char text[256];
    std::snprintf(text, sizeof text, "%.0f of %d pixels differ (allowed %.0f); shot %s, diff %s",
                  differing, width * height, allowed, result.shot.c_str(), diff.c_str());
    result.message = text;
    return result;
}

// Shoots the whole window (frame included) as it is on the screen.
inline Result checkWindow(HWND window, const std::string& referenceDir, const std::string& name,
                          const Options& options = Options()) {
    RECT rect = {};
    if (!IsWindow(window) || !GetWindowRect(window, &rect)) {
        Result result;
        result.message = "no such window";
        return result;
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN |
                                              RDW_UPDATENOW);
    return check(rect, referenceDir, name, options);
}

}  // namespace screenshot
