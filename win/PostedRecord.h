// Records handed to a window through a message argument (an lParam that is a
// pointer). Any process on the desktop can post the same message number with
// a made-up number in its argument, so a window takes such an argument only
// when this process made the record, for this kind of message, and has not
// taken it back yet. Everything else is ignored.
//
// Posting (or sending) a record that the receiver frees:
//     win::postRecord(window, 3046, 0, std::make_unique<Text>(...));
//     win::sendRecord(window, 3039, 0, std::make_unique<Text>(...));
//   and in the receiver:
//     if (std::unique_ptr<Text> text = win::takeRecord<Text>(lParam)) ...
// Sending a record that stays the sender's (the receiver only reads it):
//     win::ScopedRecord<Info> record(&info);
//     SendMessageW(window, 3035, 0, record.param());
//   and in the receiver:
//     if (Info* info = win::peekRecord<Info>(lParam)) ...
#pragma once

#include <windows.h>

#include <memory>

namespace win {

namespace detail {

// One tag per record type, so that a record of one kind is never taken as another.
template <typename T>
struct RecordKind {
    static const char tag;
};
template <typename T>
const char RecordKind<T>::tag = 0;

void addRecord(const void* record, const void* kind);
// True when `record` was registered with `kind`; it is no longer afterwards.
bool removeRecord(const void* record, const void* kind);
bool hasRecord(const void* record, const void* kind);

}  // namespace detail

// Registers `record` and answers the argument that names it.
template <typename T>
LPARAM recordParam(T* record) {
    detail::addRecord(record, &detail::RecordKind<T>::tag);
    return reinterpret_cast<LPARAM>(record);
}

// The record `param` names, now the caller's; null when this process did not
// make it (or it was taken already).
template <typename T>
std::unique_ptr<T> takeRecord(LPARAM param) {
    T* record = reinterpret_cast<T*>(param);
    if (!record || !detail::removeRecord(record, &detail::RecordKind<T>::tag)) return nullptr;
    return std::unique_ptr<T>(record);
}

// The record `param` names while it is registered (it stays its owner's); null otherwise.
template <typename T>
T* peekRecord(LPARAM param) {
    T* record = reinterpret_cast<T*>(param);
    return record && detail::hasRecord(record, &detail::RecordKind<T>::tag) ? record : nullptr;
}

// Posts `message` with the record as its argument; the receiver takes it with
// takeRecord. When the post fails the record is freed here; false then.
template <typename T>
bool postRecord(HWND window, UINT message, WPARAM wParam, std::unique_ptr<T> record) {
    T* raw = record.release();
    if (PostMessageW(window, message, wParam, recordParam(raw))) return true;
    takeRecord<T>(reinterpret_cast<LPARAM>(raw));  // frees it
    return false;
}

// Sends `message` with the record as its argument; the receiver takes it with
// takeRecord. The answer; 0 and the record freed here when there is no such
// window. (A receiver that does not take it leaves it registered: a record
// freed by the receiver is never touched here again, since its address may
// already hold another.)
template <typename T>
LRESULT sendRecord(HWND window, UINT message, WPARAM wParam, std::unique_ptr<T> record) {
    if (!window || !IsWindow(window)) return 0;
    return SendMessageW(window, message, wParam, recordParam(record.release()));
}

// The same for a message posted to a thread (no window).
template <typename T>
bool postThreadRecord(DWORD thread, UINT message, WPARAM wParam, std::unique_ptr<T> record) {
    T* raw = record.release();
    if (PostThreadMessageW(thread, message, wParam, recordParam(raw))) return true;
    takeRecord<T>(reinterpret_cast<LPARAM>(raw));
    return false;
}

// A record the caller keeps (often on its stack), registered for the life of
// this object: for messages that are sent, whose receiver only reads it.
template <typename T>
class ScopedRecord {
  public:
    explicit ScopedRecord(T* record) : record_(record) { recordParam(record_); }
    ~ScopedRecord() { detail::removeRecord(record_, &detail::RecordKind<T>::tag); }
    ScopedRecord(const ScopedRecord&) = delete;
    ScopedRecord& operator=(const ScopedRecord&) = delete;
    LPARAM param() const { return reinterpret_cast<LPARAM>(record_); }

  private:
    T* record_;
};

}  // namespace win
