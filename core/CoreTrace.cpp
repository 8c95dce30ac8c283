#include "core/CoreTrace.h"

#include <atomic>
#include <cstdarg>
#include <cwchar>

#ifdef _WIN32
#include "core/Trace.h"
#endif

namespace ink {
namespace {

void defaultSink(const wchar_t* text) {
#ifdef _WIN32
    debugTrace(L"%s", text);
#else
    (void)text;
#endif
}

std::atomic<TraceSink> currentSink{&defaultSink};

}  // namespace

void coreTrace(const wchar_t* format, ...) {
    if (!format) return;
    wchar_t text[1024];
    va_list args;
    va_start(args, format);
#ifdef _WIN32
    wvsprintfW(text, format, args);
#else
    if (std::vswprintf(text, sizeof text / sizeof *text, format, args) < 0) text[0] = L'\0';
#endif
    va_end(args);
    text[1023] = L'\0';
    currentSink.load()(text);
}

TraceSink setTraceSink(TraceSink sink) { return currentSink.exchange(sink ? sink : &defaultSink); }

}  // namespace ink
