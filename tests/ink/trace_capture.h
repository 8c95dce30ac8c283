// Collects the ink core's trace texts while a test runs.
#pragma once

#include <cstdint>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "core/CoreTrace.h"

namespace inktest {

class TraceCapture {
  public:
    TraceCapture() { previous_ = ink::setTraceSink(&TraceCapture::sink); }
    ~TraceCapture() {
        ink::setTraceSink(previous_);
        std::lock_guard<std::mutex> guard(lock());
        texts().clear();
    }

    std::vector<std::wstring> take() {
        std::lock_guard<std::mutex> guard(lock());
        std::vector<std::wstring> out;
        out.swap(texts());
        return out;
    }

    // The trace's rendering of an address.
    static std::wstring address(const void* p) {
        wchar_t text[16];
        std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)));
        return text;
    }

  private:
    static void sink(const wchar_t* text) {
        std::lock_guard<std::mutex> guard(lock());
        texts().push_back(text);
    }
    static std::mutex& lock() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::wstring>& texts() {
        static std::vector<std::wstring> t;
        return t;
    }

    ink::TraceSink previous_;
};

}  // namespace inktest
