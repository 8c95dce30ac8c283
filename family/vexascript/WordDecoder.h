// Reads one word piece: its strokes (writing order) are cut into characters
// in every plausible way (a lattice of stroke groups), and the cuts are
// searched together with the lexicon and the user dictionaries (a beam over
// their tries, with initial capital and all-capitals forms and punctuation
// around a word) and letter by letter. The result is the ranked readings.
#ifndef SCRIBIX_VEXASCRIPT_WORDDECODER_H
#define SCRIBIX_VEXASCRIPT_WORDDECODER_H

#include <string>
#include <vector>

#include "CharClassifier.h"
#include "Lexicon.h"
#include "VexaScript.h"

namespace vexa {

struct DecodeRules {
    std::vector<bool> allowed;  // per character class
    const Trie* lexicon = nullptr;
    std::vector<const Trie*> userDicts;
    bool lexiconOnly = false;      // readings outside the dictionaries only as a last resort
    bool separateLetters = false;  // a character is a whole cluster of strokes
    GateMode gate = GateMode::Normal;
    size_t maxAlternatives = 10;
};

// One character of a reading: strokes [from, to) of the piece.
struct CharSeg {
    int from = 0, to = 0;
    unsigned char ch = 0;
    float cost = 0;
};

struct Reading {
    std::string text;
    float cost = 0;       // lower is better
    float shapeCost = 0;  // the characters' own part of it
    int source = PSO_SOURCE_FREE;
    int frame = 0;        // the frame hypothesis it was read on
    bool forced = false;  // read against the session's rules, which nothing fitted
    std::vector<CharSeg> chars;

    // A word of the lexicon or of a user dictionary.
    bool fromDictionary() const {
        return source == PSO_SOURCE_LEXICON || source == PSO_SOURCE_USER_DICT;
    }
};

// `strokes`: the piece's strokes in work coordinates, writing order;
// `cluster`: each stroke's cluster of overlapping strokes. Readings best
// first, distinct texts, at most rules.maxAlternatives (fewer when nothing
// else fits).
std::vector<Reading> decodeWord(const std::vector<const Polyline*>& strokes,
                                const std::vector<int>& cluster, const std::vector<Frame>& frames,
                                const DecodeRules& rules);

// True for text that reads as a number (digits with number signs).
bool isNumberLike(const std::string& text);

// The characters of a number.
extern const char kNumberChars[];

}  // namespace vexa

#endif
