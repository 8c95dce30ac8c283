// The letter boxes under the words of the word-list menu: one record of
// guessed letters per box, filled from the words' alternatives and from what
// the user writes over the boxes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MenuWord;

struct LetterRecord {
    static constexpr int kMaxGuesses = 10;

    wchar_t guesses[kMaxGuesses + 1] = {};  // zero-terminated; guess 0 is the letter shown
    uint16_t count = 0;
    uint8_t set = 0;  // the box received writing

    // True when held already or added; false when the record is full.
    bool addGuess(wchar_t letter);
    // Takes the other record's guesses. With `rotate`, writing a box's shown
    // letter again brings its second guess to the front (the user insists the
    // shown one is wrong); a box that held nothing before has no shown letter
    // to insist on, so it keeps the recognizer's order.
    void merge(const LetterRecord& other, bool rotate);
    // What the user wrote over the box: the written letter is shown from now
    // on, the former guesses follow it; writing the shown letter again brings
    // the second guess to the front instead. The record is marked set.
    void takeWriting(const LetterRecord& written);
};

// Record by record with rotation, only when both hold as many records.
void mergeAllRecords(std::vector<LetterRecord>& into, const std::vector<LetterRecord>& from);

// One empty record per letter of the words' first alternatives; every letter
// of every alternative (neither 0 nor a blank) is a guess for the box at the
// same place from the word's start and, when the alternative's length
// differs, at the same distance from the word's end.
std::vector<LetterRecord> buildLetterRecords(const std::vector<const MenuWord*>& words);

// The box under window x: walking the widths from `left`; −1 left of the
// row or beyond the last box.
int boxAtX(int left, const std::vector<int>& widths, int x);

// A word of a recognizer's answer over the boxes: its alternatives and the
// distinct boxes its strokes fell in, in stroke order.
struct WrittenWord {
    std::vector<std::wstring> alts;
    std::vector<int> boxes;
};

// Records of what was written: each word whose boxes are as many as the
// letters of its first alternative gives every alternative of that length
// letter by letter to those boxes, which are marked set. `reported` becomes
// the box of a one-letter answer of one word, else −1.
std::vector<LetterRecord> recordsFromWriting(size_t boxCount, const std::vector<WrittenWord>& words,
                                             int* reported);
