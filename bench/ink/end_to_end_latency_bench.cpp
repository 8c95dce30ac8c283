// Under Wine on the X display: the whole road's latency as a user meets it.
// Scribix.exe staged as installed, xdotool writing the handwriting generator's
// "hello" over a field; each sample is the time from the end of the writing
// (the last pen-up plus the program's wait for a next stroke) to the text in
// the field, read from outside. The reference is our own edit target; beside
// it the same figure for Wine's notepad. Median over 20 writings each.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "tests/ink/WritingTestSupport.h"
#include "tests/targets/TargetClient.h"

namespace {

using namespace writingtest;

constexpr int kWaitNextStroke = 700;
constexpr DWORD kDeliveryMs = 5000;

// A field to write into: its rectangle, its text read from outside, and a
// way to empty it between writings.
struct Field {
    HWND window;
    std::function<std::wstring()> text;
    std::function<bool()> clear;
};

// `writings` samples of the latency in seconds over `field`; empty when a
// writing did not arrive (the failure is printed).
std::vector<double> measure(const Field& field, int writings) {
    std::vector<double> samples;
    RECT area;
    GetWindowRect(field.window, &area);
    for (int i = 0; i < writings; ++i) {
        if (!field.clear()) {
            std::printf("the field could not be emptied\n");
            return {};
        }
        if (!writeWithPen("hello", area.left + 20, area.top + 45)) return {};
        const DWORD writingEnd = GetTickCount() + kWaitNextStroke;
        const bool arrived = sxtest::pumpUntil([&] { return field.text() == L"hello "; },
                                               kWaitNextStroke + kDeliveryMs);
        const DWORD at = GetTickCount();
        if (!arrived) {
            std::printf("writing %d: the field holds \"%s\"\n", i + 1,
                        narrow(field.text()).c_str());
            return {};
        }
        samples.push_back(static_cast<int>(at - writingEnd) / 1000.0);
        Sleep(400);  // the delivery settles before the next writing
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Harness harness(argc, argv);
    const int writings = harness.quick() ? 2 : 20;
    int status = 0;

    std::vector<double> ownEdit, notepad;
    {
        RunningScribix scribix(kWaitNextStroke);
        targets::TargetProcess edit(targets::TargetKind::Edit, L"/multiline");
        if (scribix.start() && edit.ok() && edit.activate() &&
            sxtest::pumpUntil([&] { return hookFocusWindow() == edit.control(); }, 10000))
            ownEdit = measure(
                {edit.control(), [&] { return edit.text(); }, [&] { return edit.setText(L""); }},
                writings);
        scribix.stop();
    }
    {
        RunningScribix scribix(kWaitNextStroke);
        WineProgram program(kNotepad);
        if (scribix.start() && program.ok() && program.activate() &&
            sxtest::pumpUntil([&] { return hookFocusWindow() == program.field(); }, 10000))
            notepad = measure({program.field(), [&] { return program.text(); },
                               [&] { return program.setText(L""); }},
                              writings);
        scribix.stop();
    }
    if (ownEdit.empty() || notepad.empty()) {
        std::printf("a field did not get its writings: no figures\n");
        status = 1;
    }
    harness.addMeasured("our edit target: end of writing to the text", bench::median(ownEdit),
                        "writing");
    harness.addMeasured("Wine's notepad: end of writing to the text", bench::median(notepad),
                        "writing");
    harness.run();
    return status;
}
