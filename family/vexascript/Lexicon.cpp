#include "Lexicon.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "BanFormat.h"

namespace vexa {

// ---- Trie -------------------------------------------------------------------

Trie Trie::build(const std::vector<std::string>& words) {
    Trie t;
    t.words_ = words.size();
    struct Task {
        uint32_t node;
        size_t lo, hi, depth;
    };
    std::deque<Task> queue{{0, 0, words.size(), 0}};
    while (!queue.empty()) {
        const Task task = queue.front();
        queue.pop_front();
        size_t i = task.lo;
        // Sorted order puts the word that ends here first.
        if (i < task.hi && words[i].size() == task.depth) {
            t.nodes_[task.node].terminal = 1;
            ++i;
        }
        const uint32_t first = static_cast<uint32_t>(t.nodes_.size());
        uint16_t count = 0;
        std::vector<Task> children;
        while (i < task.hi) {
            const unsigned char c = words[i][task.depth];
            size_t j = i + 1;
            while (j < task.hi && static_cast<unsigned char>(words[j][task.depth]) == c) ++j;
            Node n;
            n.ch = c;
            t.nodes_.push_back(n);
            children.push_back({first + count, i, j, task.depth + 1});
            ++count;
            i = j;
        }
        t.nodes_[task.node].firstChild = first;
        t.nodes_[task.node].childCount = count;
        for (const Task& c : children) queue.push_back(c);
    }
    return t;
}

int64_t Trie::child(uint32_t n, uint8_t c) const {
    const Node& node = nodes_[n];
    uint32_t lo = node.firstChild, hi = node.firstChild + node.childCount;
    while (lo < hi) {
        const uint32_t mid = (lo + hi) / 2;
        if (nodes_[mid].ch < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < node.firstChild + node.childCount && nodes_[lo].ch == c) return lo;
    return -1;
}

bool Trie::contains(const std::string& word) const {
    uint32_t n = root();
    for (unsigned char c : word) {
        const int64_t next = child(n, c);
        if (next < 0) return false;
        n = static_cast<uint32_t>(next);
    }
    return nodes_[n].terminal != 0;
}

// ---- Lexicon cache ------------------------------------------------------------

std::shared_ptr<const LexiconData> loadLexicon(const void* bytes, size_t size, std::string& error) {
    static std::mutex lock;
    static std::map<std::string, std::weak_ptr<const LexiconData>> cache;
    const std::string key(static_cast<const char*>(bytes), size);
    {
        std::lock_guard<std::mutex> guard(lock);
        auto it = cache.find(key);
        if (it != cache.end()) {
            if (auto shared = it->second.lock()) return shared;
            cache.erase(it);
        }
    }
    ban::Lexicon lex;
    if (!ban::parse(bytes, size, lex, error)) return nullptr;
    auto data = std::make_shared<LexiconData>();
    data->flags = lex.flags;
    data->charset = lex.charset;
    data->trie = Trie::build(lex.words);
    std::lock_guard<std::mutex> guard(lock);
    // Forget lexicons nobody holds any more before adding this one.
    for (auto it = cache.begin(); it != cache.end();) {
        if (it->second.expired())
            it = cache.erase(it);
        else
            ++it;
    }
    cache[key] = data;
    return data;
}

// ---- Case ----------------------------------------------------------------------

unsigned char toLower1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
    if (c == 0x9F) return 0xFF;
    return c;
}

unsigned char toUpper1252(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<unsigned char>(c - 16);
    if (c == 0xFF) return 0x9F;
    return c;
}

unsigned char foldCase(unsigned char c) { return toLower1252(c); }

bool isLetter1252(unsigned char c) { return toLower1252(c) != toUpper1252(c) || c == 0xDF; }

// ---- User dictionary -------------------------------------------------------------

constexpr char UserDict::kHeader[];

namespace {

// Old dictionaries are plain text: printable bytes, blanks, tabs, line breaks.
bool loadText(const uint8_t* p, size_t size, std::set<std::string>& out, std::string& error) {
    std::string line;
    auto flush = [&] {
        const size_t a = line.find_first_not_of(" \t");
        if (a == std::string::npos) {
            line.clear();
            return true;
        }
        const size_t b = line.find_last_not_of(" \t");
        std::string word = line.substr(a, b - a + 1);
        line.clear();
        for (char& c : word)
            if (c == '\t') c = ' ';
        if (!UserDict::validWord(word)) return false;
        out.insert(word);
        return true;
    };
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = p[i];
        if (c == '\r' || c == '\n') {
            if (!flush()) return error = "a word is too long", false;
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            return error = "not a text word list", false;
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!flush()) return error = "a word is too long", false;
    return true;
}

}  // namespace

bool UserDict::validWord(const std::string& word) {
    if (!ban::validWord(word)) return false;
    return word.front() != ' ' && word.back() != ' ';
}

bool UserDict::load(const void* bytes, size_t size, std::string& error) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    std::set<std::string> words;
    if (size < kHeaderSize || std::memcmp(p, kHeader, kHeaderSize) != 0) {
        if (!loadText(p, size, words, error)) return false;
    } else if (size > kHeaderSize) {
        // The header alone is an empty dictionary; otherwise the count line
        // and the word lines, every line ended by a line feed.
        const char* text = reinterpret_cast<const char*>(p + kHeaderSize);
        const size_t length = size - kHeaderSize;
        const char* countEnd = static_cast<const char*>(std::memchr(text, '\n', length));
        if (!countEnd) return error = "dump cut short", false;
        unsigned long count = 0, sum = 0;
        int used = 0;
        const std::string countLine(text, countEnd);
        if (std::sscanf(countLine.c_str(), "%lu %8lx%n", &count, &sum, &used) != 2 ||
            used != static_cast<int>(countLine.size()))
            return error = "bad count line", false;
        const uint8_t* body = reinterpret_cast<const uint8_t*>(countEnd + 1);
        const size_t bodyLength = length - (countLine.size() + 1);
        if (ban::fnv1a(body, bodyLength) != sum) return error = "dump checksum", false;
        std::string prev;
        size_t at = 0;
        for (unsigned long i = 0; i < count; ++i) {
            const void* end = std::memchr(body + at, '\n', bodyLength - at);
            if (!end) return error = "dump word cut short", false;
            const size_t stop = static_cast<const uint8_t*>(end) - body;
            std::string w(reinterpret_cast<const char*>(body + at), stop - at);
            at = stop + 1;
            if (!validWord(w) || (i > 0 && !(prev < w))) return error = "bad word in dump", false;
            prev = w;
            words.insert(std::move(w));
        }
        if (at != bodyLength) return error = "bytes after the last word", false;
    }
    words_.swap(words);
    stale_ = true;
    return true;
}

std::vector<uint8_t> UserDict::dump() const {
    if (words_.empty()) return {};
    std::string body;
    for (const std::string& w : words_) {
        body += w;
        body += '\n';
    }
    char countLine[32];
    std::snprintf(countLine, sizeof countLine, "%lu %08lx\n",
                  static_cast<unsigned long>(words_.size()),
                  static_cast<unsigned long>(
                      ban::fnv1a(reinterpret_cast<const uint8_t*>(body.data()), body.size())));
    std::vector<uint8_t> out(kHeader, kHeader + kHeaderSize);
    out.insert(out.end(), countLine, countLine + std::strlen(countLine));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool UserDict::add(const std::string& word) {
    if (!validWord(word)) return false;
    if (words_.insert(word).second) stale_ = true;
    return true;
}

void UserDict::clear() {
    words_.clear();
    stale_ = true;
}

const Trie& UserDict::trie() const {
    if (stale_) {
        trie_ = Trie::build(std::vector<std::string>(words_.begin(), words_.end()));
        stale_ = false;
    }
    return trie_;
}

// ---- Near words --------------------------------------------------------------------

void findNearWords(const Trie& trie, const std::string& word, int maxDistance,
                   std::vector<std::pair<int, std::string>>& out, size_t limit) {
    const size_t n = word.size();
    std::string folded(word);
    for (char& c : folded) c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
    // Depth-first over the trie with one row of the edit-distance table per level.
    struct Frame {
        uint32_t node;
        uint32_t next;  // next child to visit
        std::vector<int> row;
    };
    std::vector<Frame> stack;
    std::vector<int> first(n + 1);
    for (size_t i = 0; i <= n; ++i) first[i] = static_cast<int>(i);
    stack.push_back({Trie::root(), trie.node(Trie::root()).firstChild, first});
    std::string prefix;
    while (!stack.empty() && out.size() < limit) {
        Frame& f = stack.back();
        const Trie::Node& node = trie.node(f.node);
        if (f.next >= node.firstChild + node.childCount) {
            stack.pop_back();
            if (!prefix.empty()) prefix.pop_back();
            continue;
        }
        const uint32_t c = f.next++;
        const Trie::Node& child = trie.node(c);
        const unsigned char ch = foldCase(child.ch);
        std::vector<int> row(n + 1);
        row[0] = f.row[0] + 1;
        int best = row[0];
        for (size_t i = 1; i <= n; ++i) {
            const int sub =
                f.row[i - 1] + (static_cast<unsigned char>(folded[i - 1]) == ch ? 0 : 1);
            row[i] = std::min({f.row[i] + 1, row[i - 1] + 1, sub});
            best = std::min(best, row[i]);
        }
        if (best > maxDistance) continue;
        prefix += static_cast<char>(child.ch);
        if (child.terminal && row[n] <= maxDistance) out.push_back({row[n], prefix});
        stack.push_back({c, child.firstChild, std::move(row)});
    }
}

}  // namespace vexa
