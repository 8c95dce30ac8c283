#include "AnswerTextWriter.h"

#include <cstdlib>

namespace ombra {

namespace {

// Differences -40 .. +40 from the base; difference 0 is "-".
const char kOffsets[] =
    "#+*=9876543210ZYXWVUTSRQPONMLKJIHGFEDCBA-abcdefghijklmnopqrstuvwxyz()[]{}/|\\$%~^`";
const char kHex[] = "0123456789ABCDEF";
constexpr int kReach = 40;

bool keptInOffset(uint16_t c) { return c == ' ' || c == '.' || c == ';' || c == '?'; }

}  // namespace

bool AnswerTextWriter::isPlain(uint16_t c) {
    if (c == ' ') return true;
    if (c < 0x21 || c > 0x7E) return false;
    switch (c) {
        case '!':
        case '"':
        case '&':
        case '\'':
        case ',':
        case ':':
        case '<':
        case '>':
        case '@':
        case '_':
            return false;
        default:
            return true;
    }
}

void AnswerTextWriter::reset() {
    count_ = 0;
    base_ = 0;
    state_ = kPlain;
    digits_ = 0;
}

void AnswerTextWriter::emit(char c) {
    if (count_ == kBufferChars) {
        if (output_) output_(user_, buffer_, count_);
        count_ = 0;
    }
    buffer_[count_++] = c == ' ' ? '_' : c;
}

void AnswerTextWriter::emitDigit() {
    --digits_;
    emit(kHex[(base_ >> (4 * digits_)) & 15]);
}

bool AnswerTextWriter::far(uint16_t c) const { return std::abs(int(c) - int(base_)) > kReach; }

void AnswerTextWriter::put(uint16_t c) {
    for (;;) {
        switch (state_) {
            case kPlain:
                if (isPlain(c)) {
                    emit(static_cast<char>(c));
                } else {
                    emit('@');
                    base_ = c;
                    state_ = kNumberStart;
                }
                return;
            case kNumberStart:
                if (base_ < 256 && (isPlain(c) || far(c))) {
                    digits_ = 2;
                    state_ = kShortNumber;
                } else {
                    digits_ = 4;
                    state_ = kLongNumber;
                }
                emitDigit();
                break;
            case kShortNumber:
                while (digits_) emitDigit();
                emit(':');
                state_ = kPlain;
                break;
            case kLongNumber:
                while (digits_) emitDigit();
                state_ = kOffset;
                break;
            case kOffset:
                if (c < 128 && keptInOffset(c)) {
                    emit(static_cast<char>(c));
                    return;
                }
                if (isPlain(c)) {
                    emit(':');
                    state_ = kPlain;
                    break;
                }
                if (far(c)) {
                    emit('@');
                    base_ = c;
                    state_ = kNumberStart;
                    return;
                }
                emit(kOffsets[int(c) - int(base_) + kReach]);
                base_ = c;
                return;
        }
    }
}

void AnswerTextWriter::encode(const uint16_t* text, int length) {
    for (int i = 0; i < length; ++i) put(text[i]);
}

void AnswerTextWriter::flush() {
    if (state_ == kNumberStart) digits_ = base_ < 256 ? 2 : 4;
    while (digits_) emitDigit();
    if (state_ != kPlain) emit(':');
    state_ = kPlain;
    if (count_ && output_) output_(user_, buffer_, count_);
    count_ = 0;
}

}  // namespace ombra
