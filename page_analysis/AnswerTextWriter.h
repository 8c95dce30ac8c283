// Recognized words arrive as UTF-16 but the result text is narrow: the answer
// text carries them in a 7-bit form of its own. Plain ASCII stays as it is
// (a blank becomes "_"); any other code is "@", its hex digits and then either
// ":" (two digits, back to plain) or offsets from the last code in one
// character each, closed by ":". The form never holds "<", ">", "&" or a
// quotation mark, so it needs no XML escaping.
#ifndef OMBRA_ANSWERTEXTWRITER_H
#define OMBRA_ANSWERTEXTWRITER_H

#include <cstdint>

namespace ombra {

class AnswerTextWriter {
  public:
    // Receives each full buffer and the rest at every flush.
    using Output = void (*)(void* user, const char* text, int length);

    AnswerTextWriter(Output output, void* user) : output_(output), user_(user) {}

    void reset();
    void put(uint16_t code);
    void encode(const uint16_t* text, int length);
    // Ends the word: remaining digits, a closing ":" unless plain, the buffer out.
    void flush();

    static bool isPlain(uint16_t code);

  private:
    enum State { kPlain = 0, kOffset = 1, kNumberStart = 2, kShortNumber = 3, kLongNumber = 4 };
    static constexpr int kBufferChars = 256;

    void emit(char c);
    void emitDigit();
    bool far(uint16_t code) const;

    char buffer_[kBufferChars];
    int count_ = 0;
    uint16_t base_ = 0;
    int state_ = kPlain;
    int digits_ = 0;
    Output output_;
    void* user_;
};

}  // namespace ombra

#endif
