// Trace output of the ink core. In the program every text reaches debugTrace
// (core/Trace.h); the core also builds on the host, where there is no
// debugger output, so the texts pass through one replaceable sink.
#pragma once

namespace ink {

// Receives one finished trace text.
using TraceSink = void (*)(const wchar_t* text);

// Formats like debugTrace (only integer conversions are used by the core) and
// hands the text to the sink: debugTrace in the program, nothing on the host.
void coreTrace(const wchar_t* format, ...);

// Replaces the sink (null restores the default); returns the previous one.
// Tests use it to read the texts.
TraceSink setTraceSink(TraceSink sink);

}  // namespace ink
