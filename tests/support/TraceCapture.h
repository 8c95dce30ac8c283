// Collects what the code under test writes with OutputDebugString (the
// program's debugTrace) while the capture is alive, in this process.
//
// OutputDebugString raises a debug-print exception that a vectored handler
// sees before any debugger; the handler records the text and lets execution
// go on. Wine raises the narrow form even for OutputDebugStringW; Windows
// raises the wide one first.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#ifndef DBG_PRINTEXCEPTION_WIDE_C
#define DBG_PRINTEXCEPTION_WIDE_C 0x4001000AL
#endif

class TraceCapture {
public:
    TraceCapture() {
        active() = this;
        handler_ = AddVectoredExceptionHandler(1, &TraceCapture::onException);
    }
    ~TraceCapture() {
        RemoveVectoredExceptionHandler(handler_);
        active() = nullptr;
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    std::string text() const {
        std::string all;
        for (const std::string& l : lines()) all += l;
        return all;
    }
    bool contains(const std::string& piece) const { return text().find(piece) != std::string::npos; }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

private:
    static TraceCapture*& active() {
        static TraceCapture* current = nullptr;
        return current;
    }

    static LONG CALLBACK onException(EXCEPTION_POINTERS* e) {
        const EXCEPTION_RECORD* r = e->ExceptionRecord;
        TraceCapture* self = active();
        if (!self || r->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
        if (r->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
            const wchar_t* w = reinterpret_cast<const wchar_t*>(r->ExceptionInformation[1]);
            std::string narrow;
            for (; w && *w; ++w) narrow.push_back(*w < 0x80 ? static_cast<char>(*w) : '?');
            self->add(narrow);
            self->skipNextNarrow_ = true;  // Windows follows with the narrow form
            return EXCEPTION_CONTINUE_EXECUTION;
        }
        if (r->ExceptionCode == DBG_PRINTEXCEPTION_C) {
            if (self->skipNextNarrow_) {
                self->skipNextNarrow_ = false;
            } else {
                self->add(reinterpret_cast<const char*>(r->ExceptionInformation[1]));
            }
            return EXCEPTION_CONTINUE_EXECUTION;
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void add(const char* s) { add(std::string(s ? s : "")); }
    void add(const std::string& s) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(s);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    PVOID handler_ = nullptr;
    bool skipNextNarrow_ = false;
};
