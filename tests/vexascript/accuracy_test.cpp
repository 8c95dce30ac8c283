// Accuracy on generated handwriting, every figure printed: lexicon words
// written with moderate variation in the recognizer's own forms and in forms
// it was not given, lexicon words written joined, phrases of printed and
// joined words, and single characters written into letter boxes in
// separate-letter mode. The sample sizes come from the command line
// (--words=N, --chars=N per character, --joined=N, --phrases=N), so that the
// Wine run can take a smaller sample of print than the native one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "BanFormat.h"
#include "CharForms.h"
#include "Geometry.h"
#include "TestSupport.h"

namespace {

int gWords = 2000;
int gCharSamples = 12;
// The joined words and the phrases are measured at full size in every tree:
// their floors are for these sizes.
int gJoinedWords = 1000;
int gPhrases = 200;

// Lexicon words the generator can write (a few carry letters with accents,
// which have no written form), drawn with a fixed seed; `keep` picks which.
std::vector<std::string> drawWords(int count, bool (*keep)(const std::string&) = nullptr,
                                   uint64_t state = 0x5EED) {
    const std::vector<char>& bytes = vt::lexicon("default");
    ban::Lexicon lex;
    std::string error;
    EXPECT_TRUE(ban::parse(bytes.data(), bytes.size(), lex, error)) << error;
    std::vector<std::string> writable;
    for (const std::string& w : lex.words)
        if (handwriting::canWrite(w) && (!keep || keep(w))) writable.push_back(w);
    std::vector<std::string> out;
    for (int i = 0; i < count && !writable.empty(); ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        out.push_back(writable[(state >> 33) % writable.size()]);
    }
    return out;
}

// Words of 3 to 10 small letters: the words people join letter to letter.
bool joinable(const std::string& w) {
    if (w.size() < 3 || w.size() > 10) return false;
    for (char c : w)
        if (c < 'a' || c > 'z') return false;
    return true;
}

struct Tally {
    int words = 0, first = 0, among = 0;
    std::vector<std::string> misses;

    void add(const std::string& word, uint32_t seed, const vt::Result& r) {
        ++words;
        const bool one = r.blocks.size() == 1;
        if (one && r.blocks[0].alts[0].text == word) ++first;
        if (one && r.blocks[0].has(word)) ++among;
        if ((!one || r.blocks[0].alts[0].text != word) && misses.size() < 12)
            misses.push_back(word + " (seed " + std::to_string(seed) + ") -> " + r.text());
    }
    double top1() const { return 100.0 * first / std::max(1, words); }
    double topN() const { return 100.0 * among / std::max(1, words); }
    void print(const char* what) const {
        std::printf(
            "[accuracy] %d %s (%s): first alternative %.2f%%, among the alternatives %.2f%%\n",
            words, what, psoSource(), top1(), topN());
        for (const std::string& m : misses) std::printf("[accuracy]   missed: %s\n", m.c_str());
    }
};

std::vector<PSO_POINT> inkOf(const std::string& text, uint32_t seed, handwriting::FormChoice forms,
                             double joined, handwriting::Writing* writing = nullptr) {
    handwriting::Options o;
    o.seed = seed;
    o.forms = forms;
    o.joined = joined;
    handwriting::Writing w = handwriting::write(text, o);
    if (writing) *writing = w;
    return w.pointList();
}

TEST(Accuracy, LexiconWordsInTheRecognizersOwnForms) {
    vt::Context ctx;
    const std::vector<std::string> words = drawWords(gWords);
    ASSERT_EQ(words.size(), static_cast<size_t>(gWords));
    Tally t;
    for (size_t i = 0; i < words.size(); ++i) {
        const uint32_t seed = static_cast<uint32_t>(i + 1);
        t.add(words[i], seed, vt::recognize(ctx, vt::ink(words[i], seed), vt::kDefaultFlags));
    }
    t.print("lexicon words in the recognizer's own forms, moderate variation");
    EXPECT_GE(t.top1(), 99.5);
    EXPECT_GE(t.topN(), 99.5);
}

// People's forms the recognizer was never given. A word the generator could
// only write in known forms (a word of round letters) does not count.
TEST(Accuracy, LexiconWordsInOtherForms) {
    vt::Context ctx;
    const std::vector<std::string> words = drawWords(gWords, nullptr, 0x07E4);
    Tally t;
    int otherChars = 0, chars = 0;
    for (uint32_t seed = 1; t.words < gWords / 2 && seed < 10u * gWords; ++seed) {
        const std::string& word = words[seed % words.size()];
        handwriting::Writing w;
        const auto ink = inkOf(word, seed, handwriting::FormChoice::Other, 0, &w);
        int other = 0;
        for (const auto& c : w.chars) other += !c.ownForm;
        if (other == 0) continue;
        otherChars += other;
        chars += static_cast<int>(w.chars.size());
        t.add(word, seed, vt::recognize(ctx, ink, vt::kDefaultFlags));
    }
    t.print("lexicon words in forms the recognizer was not given");
    std::printf("[accuracy]   %.1f%% of their characters in such forms\n",
                100.0 * otherChars / std::max(1, chars));
    EXPECT_GE(t.top1(), 97.0);
}

TEST(Accuracy, JoinedWordsInOneStrokeEach) {
    vt::Context ctx;
    const std::vector<std::string> words = drawWords(gJoinedWords, joinable, 0x101);
    Tally t;
    for (size_t i = 0; i < words.size(); ++i) {
        const uint32_t seed = static_cast<uint32_t>(i + 1);
        t.add(words[i], seed,
              vt::recognize(ctx, inkOf(words[i], seed, handwriting::FormChoice::Own, 1),
                            vt::kDefaultFlags));
    }
    t.print("lexicon words of 3-10 letters, joined");
    EXPECT_GE(t.top1(), 85.0);
    EXPECT_GE(t.topN(), 95.0);
}

// Phrases of 2 to 5 words, each printed in own or other forms or joined: the
// words must come apart where they were written apart, and each read right.
TEST(Accuracy, PhrasesOfPrintedAndJoinedWords) {
    vt::Context ctx;
    const std::vector<std::string> pool = drawWords(1000, nullptr, 0xF00D);
    const int phrases = gPhrases;
    int countRight = 0, words = 0, wordsRight = 0;
    std::vector<std::string> misses;
    uint64_t state = 0xACE;
    auto next = [&](uint64_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 33) % n;
    };
    for (int p = 0; p < phrases; ++p) {
        const size_t n = 2 + next(4);
        std::vector<std::string> phrase;
        handwriting::Writing all;
        handwriting::Options o;
        o.seed = static_cast<uint32_t>(p + 1);
        double x = o.originX;
        for (size_t k = 0; k < n; ++k) {
            phrase.push_back(pool[next(pool.size())]);
            o.originX = x;
            o.joined = next(2) ? 1 : 0;
            // One hand writes the phrase: the seed (and with it the slant and the
            // tilt of the writing) stays; each word is new text to it.
            o.forms = next(2) ? handwriting::FormChoice::Own : handwriting::FormChoice::Other;
            const handwriting::Writing w = handwriting::write(phrase.back(), o);
            vexa::Box box;
            for (const auto& s : w.strokes) box.add(vexa::boxOf(s));
            all.strokes.insert(all.strokes.end(), w.strokes.begin(), w.strokes.end());
            x = box.r + 1.4 * o.xHeight;
        }
        const auto r = vt::recognize(ctx, all.pointList(), vt::kDefaultFlags);
        words += static_cast<int>(n);
        const bool sameCount = r.blocks.size() == n;
        countRight += sameCount;
        std::string written;
        for (size_t k = 0; k < n; ++k) {
            written += (k ? " " : "") + phrase[k];
            if (sameCount && r.blocks[k].alts[0].text == phrase[k]) ++wordsRight;
        }
        if (r.text() != written && misses.size() < 12)
            misses.push_back(written + " -> " + r.text());
    }
    const double count = 100.0 * countRight / phrases, right = 100.0 * wordsRight / words;
    std::printf(
        "[accuracy] %d phrases of 2-5 printed and joined words (%s): word count right %.2f%%, "
        "words right %.2f%%\n",
        phrases, psoSource(), count, right);
    for (const std::string& m : misses) std::printf("[accuracy]   missed: %s\n", m.c_str());
    EXPECT_GE(count, 97.0);
    EXPECT_GE(right, 90.0);
}

TEST(Accuracy, SingleCharactersInSeparateLetterMode) {
    vt::Context ctx;
    const PSO_GUIDE guide = vt::letterBox();
    int total = 0, first = 0, among = 0;
    std::map<std::string, int> confusions;
    for (unsigned char ch : vexa::recognizableCharacters()) {
        for (int s = 0; s < gCharSamples; ++s) {
            const std::string text(1, static_cast<char>(ch));
            const auto r = vt::recognize(
                ctx, vt::ink(text, 1000 + 97 * s + ch, handwriting::Variation::moderate(), true),
                vt::kLetterBoxFlags, &guide);
            ++total;
            const bool one = r.blocks.size() == 1;
            if (one && r.blocks[0].alts[0].text == text)
                ++first;
            else
                ++confusions[text + " -> " + r.text()];
            if (one && r.blocks[0].has(text)) ++among;
        }
    }
    const double top1 = 100.0 * first / total, topN = 100.0 * among / total;
    std::printf(
        "[accuracy] %d single characters (%zu kinds), separate letters in boxes (%s): "
        "first alternative %.2f%%, among the alternatives %.2f%%\n",
        total, vexa::recognizableCharacters().size(), psoSource(), top1, topN);
    for (const auto& c : confusions)
        std::printf("[accuracy]   %s (%d)\n", c.first.c_str(), c.second);
    EXPECT_GE(top1, 95.0);
    EXPECT_GE(topN, 99.0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--words=", 8)) gWords = std::atoi(argv[i] + 8);
        if (!std::strncmp(argv[i], "--chars=", 8)) gCharSamples = std::atoi(argv[i] + 8);
        if (!std::strncmp(argv[i], "--joined=", 9)) gJoinedWords = std::atoi(argv[i] + 9);
        if (!std::strncmp(argv[i], "--phrases=", 10)) gPhrases = std::atoi(argv[i] + 10);
    }
    return RUN_ALL_TESTS();
}
