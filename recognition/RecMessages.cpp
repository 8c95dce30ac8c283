#include "recognition/RecMessages.h"

#include <atomic>
#include <cstdarg>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/Trace.h"

namespace {

std::atomic<RecMessageSink> g_sink{nullptr};

struct HeldMessage {
    UINT type;
    std::wstring text;
};

// Per thread: how many holds are open, and what waits for their end.
thread_local int t_holds = 0;
thread_local std::vector<HeldMessage>* t_held = nullptr;

int show(const wchar_t* text, UINT type) {
    const RecMessageSink sink = g_sink.load();
    return sink ? sink(text, type) : showMessageBox(text, type);
}

}  // namespace

int recMessageBox(UINT type, const wchar_t* format, ...) {
    wchar_t text[1024];
    va_list args;
    va_start(args, format);
    wvsprintfW(text, format, args);
    va_end(args);
    text[1023] = L'\0';
    if (t_holds > 0) {
        try {
            if (!t_held) t_held = new std::vector<HeldMessage>;
            t_held->push_back(HeldMessage{type, text});
        } catch (const std::bad_alloc&) {
            debugTrace(L"recMessageBox: no memory to keep the message \"%s\"\n", text);
        }
        return IDOK;
    }
    return show(text, type);
}

void holdRecMessages() { ++t_holds; }

void releaseRecMessages() {
    if (t_holds <= 0 || --t_holds > 0 || !t_held) return;
    // Taken out first: a box runs a message loop, and what it runs may hold
    // and release the profiles again.
    std::vector<HeldMessage>* held = t_held;
    t_held = nullptr;
    for (const HeldMessage& m : *held) show(m.text.c_str(), m.type);
    delete held;
}

RecMessageSink setRecMessageSink(RecMessageSink sink) { return g_sink.exchange(sink); }
