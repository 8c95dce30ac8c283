// Word lists of the recognizer: the lexicon of a context (read from ".ban"
// bytes, shared between contexts that load the same bytes) and the user
// dictionaries (editable, dumped in the "Nubo dict" format). Both are
// searched through a trie.
#ifndef SCRIBIX_VEXASCRIPT_LEXICON_H
#define SCRIBIX_VEXASCRIPT_LEXICON_H

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vexa {

// A prefix tree over 8-bit words; the children of a node are contiguous and
// sorted by byte.
class Trie {
  public:
    struct Node {
        uint32_t firstChild = 0;
        uint16_t childCount = 0;
        uint8_t ch = 0;
        uint8_t terminal = 0;
    };

    // `words` ascending and unique.
    static Trie build(const std::vector<std::string>& words);

    const Node& node(uint32_t i) const { return nodes_[i]; }
    static constexpr uint32_t root() { return 0; }
    // The child of `n` for byte c, or -1.
    int64_t child(uint32_t n, uint8_t c) const;
    bool contains(const std::string& word) const;
    size_t wordCount() const { return words_; }
    bool empty() const { return words_ == 0; }

  private:
    std::vector<Node> nodes_{Node{}};
    size_t words_ = 0;
};

// A lexicon read from ".ban" bytes.
struct LexiconData {
    uint32_t flags = 0;   // ban::kFlag*
    std::string charset;  // empty: every character
    Trie trie;
};

// Parses and indexes lexicon bytes. Contexts that hand over the same bytes
// share one index. Null (with a reason in `error`) for bytes that are not a
// valid lexicon.
std::shared_ptr<const LexiconData> loadLexicon(const void* bytes, size_t size, std::string& error);

// A user dictionary: the user's own words, kept sorted.
class UserDict {
  public:
    // The first 18 bytes of every dump.
    static constexpr char kHeader[] = "Nubo dict v.1.01  ";
    static constexpr size_t kHeaderSize = 18;

    // Takes a dump or an old plain text list (see VexaScript.h); false, with
    // the dictionary unchanged, for damaged bytes.
    bool load(const void* bytes, size_t size, std::string& error);
    // The dump; empty for a dictionary without words. It is text without a
    // NUL byte (callers hand it back ended by one): the header, a line with
    // the number of words and the checksum of the word lines (eight hex
    // digits), then one word a line, in byte order.
    std::vector<uint8_t> dump() const;

    // False for a word the dictionary cannot hold.
    static bool validWord(const std::string& word);
    bool add(const std::string& word);
    void clear();
    bool contains(const std::string& word) const { return words_.count(word) != 0; }
    const std::set<std::string>& words() const { return words_; }
    // The trie of the current words (rebuilt after a change).
    const Trie& trie() const;

  private:
    std::set<std::string> words_;
    mutable Trie trie_;
    mutable bool stale_ = false;
};

// Case folding for comparisons: A-Z and the Latin-1 capitals of code page
// 1252 to their small letters.
unsigned char foldCase(unsigned char c);
unsigned char toUpper1252(unsigned char c);
unsigned char toLower1252(unsigned char c);
bool isLetter1252(unsigned char c);

// Words of `trie` within edit distance `maxDistance` of `word`, comparing
// without regard to case; each with its distance.
void findNearWords(const Trie& trie, const std::string& word, int maxDistance,
                   std::vector<std::pair<int, std::string>>& out, size_t limit);

}  // namespace vexa

#endif
