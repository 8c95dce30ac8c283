#include "recognition/RecMessages.h"

#include <atomic>
#include <cstdarg>

#include "core/Trace.h"

namespace {

std::atomic<RecMessageSink> g_sink{nullptr};

}  // namespace

int recMessageBox(UINT type, const wchar_t* format, ...) {
    wchar_t text[1024];
    va_list args;
    va_start(args, format);
    wvsprintfW(text, format, args);
    va_end(args);
    text[1023] = L'\0';
    const RecMessageSink sink = g_sink.load();
    return sink ? sink(text, type) : showMessageBox(text, type);
}

RecMessageSink setRecMessageSink(RecMessageSink sink) { return g_sink.exchange(sink); }
