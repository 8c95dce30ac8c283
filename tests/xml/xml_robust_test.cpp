// Bad and extreme input: every prefix of the sample files, broken UTF-8, very
// deep nesting, very many attributes, and a seeded random-mutation run. Each
// input either fails with an error code or loads into a tree that is written
// back and reads again as the same tree.
#include <gtest/gtest.h>

#include <random>
#include <string>

#ifdef _WIN32
#include <malloc.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>
#endif

#include "xml/IxlScribixHelper.h"
#include "xml/LiteDom.h"
#include "xml_test_util.h"

using xmltest::MemoryStream;
using xmltest::N;
using xmltest::X;

namespace {

// Loads the bytes as the program does and checks the round trip; returns
// whether the input loaded.
bool checkRoundTrip(const std::string& input, std::string* failure) {
    CXMLDocument doc;
    if (!xmltest::load(doc, input, XML_LOAD_DROP_INDENT)) {
        if (doc.errorCode() == XML_ERROR_NONE) *failure = "failed without an error code";
        return false;
    }
    if (!doc.root()) {
        *failure = "loaded without a root";
        return true;
    }
    GrowBuffer written;
    if (!doc.saveBytes(written, XML_WRITE_INDENT)) {
        *failure = "could not be written";
        return true;
    }
    const std::string out(reinterpret_cast<const char*>(written.data()), written.size());
    CXMLDocument back;
    if (!xmltest::load(back, out, XML_LOAD_DROP_INDENT)) {
        *failure = "written form does not load: " + N(CXMLDocument::errorName(back.errorCode())) +
                   " '" + N(back.errorText()) + "' in " + out;
        return true;
    }
    if (std::string d = xmltest::treeDiff(doc, back); !d.empty()) {
        *failure = "tree changed: " + d + " written as " + out;
        return true;
    }
    if (xmltest::save(back, XML_WRITE_INDENT) != out) *failure = "second save differs";
    return true;
}

class SampleFile : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleFile, EveryTruncationFailsCleanlyOrRoundTrips) {
    const std::string file = xmltest::sample(GetParam());
    ASSERT_FALSE(file.empty());
    int loaded = 0;
    for (size_t n = 0; n < file.size(); ++n) {
        std::string failure;
        if (checkRoundTrip(file.substr(0, n), &failure)) ++loaded;
        ASSERT_EQ(failure, "") << "prefix of " << n << " bytes";
    }
    // Only the prefixes that stop in the final line break (or just before it) load.
    EXPECT_LE(loaded, 2);
}

TEST_P(SampleFile, LoadingAndSavingAgainIsIdentical) {
    const std::string file = xmltest::sample(GetParam());
    CLiteDom dom;
    ASSERT_TRUE(dom.loadFromBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size()))
        << N(dom.getErrorInfo());
    EXPECT_EQ(xmltest::save(*dom.document(), XML_WRITE_INDENT), file);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleFile, ::testing::Values("macro.xml", "profiles.xml"));

TEST(RobustInput, BrokenUtf8IsAClearError) {
    for (const char* bad :
         {"<a>\x80</a>", "<a v='\xC0\xAF'/>", "<a>\xFF</a>", "<\xE2\x82>",
          "<a>\xF4\x90\x80\x80</a>", "<a><!-- \xED\xBF\xBF --></a>", "<a>\xEF\xBF\xBE</a>"}) {
        CXMLDocument doc;
        EXPECT_FALSE(xmltest::load(doc, bad)) << bad;
        EXPECT_EQ(doc.errorCode(), XML_ERROR_UNEXPECTED_CHAR) << bad;
        MemoryStream stream(bad);
        EXPECT_FALSE(doc.loadStream(stream, 0));
        EXPECT_EQ(doc.errorCode(), XML_ERROR_INVALID_UTF8_DATA) << bad;
    }
}

// Deep input runs where a recursion over its depth would run out of stack.
// Natively: 100000 levels on the main thread's 8 MB. Under Wine, where the
// test prefixes check the heap at every free and a tree of 100000 levels takes
// many minutes to build and free: 8000 levels on a thread that leaves the
// body only 64 KB of its stack, which no recursion of a few dozen bytes a
// level fits in. A body that ran out of stack never reports that it finished.
#ifdef _WIN32
constexpr int kDeep = 8000;
constexpr size_t kStackLeft = 64 * 1024;

void leavingLittleStack(const std::function<void()>& body) {
    MEMORY_BASIC_INFORMATION stack = {};
    VirtualQuery(&stack, &stack, sizeof stack);
    const size_t free = static_cast<size_t>(reinterpret_cast<char*>(&stack) -
                                            static_cast<char*>(stack.AllocationBase));
    if (free > kStackLeft) {
        volatile char* used = static_cast<char*>(alloca(free - kStackLeft));
        used[0] = 0;
    }
    body();
}

void onSmallStack(void (*body)()) {
    std::atomic<bool> finished{false};
    std::thread([&] {
        leavingLittleStack([&] {
            body();
            finished = true;
        });
    }).join();
    EXPECT_TRUE(finished) << "the body ran out of stack";
}
#else
constexpr int kDeep = 100000;
void onSmallStack(void (*body)()) { body(); }
#endif

void deepNestingNeedsNoStack() {
    const int depth = kDeep;
    std::string in;
    for (int i = 0; i < depth; ++i) in += "<a>";
    in += "deep";
    for (int i = 0; i < depth; ++i) in += "</a>";
    auto doc = std::make_unique<CXMLDocument>();
    ASSERT_TRUE(xmltest::load(*doc, in, XML_LOAD_DROP_INDENT)) << N(doc->errorText());
    const std::string out = xmltest::save(*doc, XML_WRITE_INDENT);
    EXPECT_EQ(out.substr(0, 9), "<a>\r\n\t<a>");
    auto copy = std::make_unique<CXMLDocument>(*doc);
    auto back = std::make_unique<CXMLDocument>();
    ASSERT_TRUE(xmltest::load(*back, out, XML_LOAD_DROP_INDENT));
    EXPECT_EQ(xmltest::treeDiff(*doc, *back), "");
    EXPECT_EQ(xmltest::treeDiff(*doc, *copy), "");
    XString text;
    EXPECT_TRUE(doc->root()->getText(text, true));
    EXPECT_EQ(N(text), "deep");
    doc.reset();  // deleting a deep tree
    back.reset();
    copy.reset();

    // Unclosed: the error names every open element.
    CXMLDocument open;
    EXPECT_FALSE(xmltest::load(open, in.substr(0, depth * 3)));
    EXPECT_EQ(open.errorCode(), XML_ERROR_INCOMPLETE_DOC);
    EXPECT_EQ(open.errorText().size(), static_cast<size_t>(depth) * 3 - 1);
}

TEST(RobustInput, DeepNestingNeedsNoStack) { onSmallStack(deepNestingNeedsNoStack); }

void deepNestingThroughTheTypedLayer() {
    xmltest::ScratchDir dir("deep_ixl");
    std::string in = "<profiles>";
    for (int i = 0; i < kDeep; ++i) in += "<profile name=\"p\">";
    for (int i = 0; i < kDeep; ++i) in += "</profile>";
    in += "</profiles>";
    xmltest::writeBytes(dir / "profiles.xml", in);
    IxlScribixHelper helper(IXL_KIND_PROFILE);
    ASSERT_TRUE(helper.load(xmltest::pathText(dir / "profiles.xml").c_str()));
    EXPECT_EQ(helper.packPlain(nullptr, 0), 0u);  // far too big for a blob
}

TEST(RobustInput, DeepNestingThroughTheTypedLayer) {
    onSmallStack(deepNestingThroughTheTypedLayer);
}

TEST(RobustInput, ManyAttributes) {
    const int count = 100000;
    std::string in = "<a";
    for (int i = 0; i < count; ++i)
        in += " n" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, in + "/>"));
    EXPECT_EQ(doc.root()->attributeCount(), static_cast<size_t>(count));
    EXPECT_EQ(N(doc.root()->findAttribute(XS("n99999"))->value()), "99999");
    std::string failure;
    checkRoundTrip(in + "/>", &failure);
    EXPECT_EQ(failure, "");
    // A repeat at the very end is still found.
    EXPECT_FALSE(xmltest::load(doc, in + " n5=\"x\"/>"));
    EXPECT_EQ(doc.errorCode(), XML_ERROR_DUPLICATE_ATTR);
    EXPECT_EQ(N(doc.errorText()), "n5");
}

// Mutations that keep close to XML, so that many inputs get far into the reader.
std::string mutate(std::string s, std::mt19937& rng) {
    static const std::string kInteresting[] = {"<",
                                               ">",
                                               "&",
                                               ";",
                                               "\"",
                                               "'",
                                               "/",
                                               "!",
                                               "?",
                                               "-",
                                               "[",
                                               "]",
                                               "=",
                                               " ",
                                               "\t",
                                               "\r",
                                               "\n",
                                               "&amp;",
                                               "&#x41;",
                                               "&#10;",
                                               "&#xD800;",
                                               "&#65535;",
                                               "&bogus;",
                                               "<!--",
                                               "-->",
                                               "<![CDATA[",
                                               "]]>",
                                               "<?",
                                               "?>",
                                               "<!DOCTYPE x [<!ENTITY e 'v'>]>",
                                               "</",
                                               "/>",
                                               "\xC3\xA9",
                                               "\xE2\x82\xAC",
                                               "\xF0\x9F\x98\x80",
                                               "\xC3",
                                               "\x80",
                                               std::string(1, '\0'),
                                               "\x01",
                                               "\xEF\xBB\xBF"};
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !s.empty(); ++e) {
        const size_t at = rng() % s.size();
        switch (rng() % 5) {
            case 0:
                s[at] = static_cast<char>(rng() % 256);
                break;
            case 1:
                s.erase(at, 1 + rng() % 8);
                break;
            case 2: {
                const std::string& piece =
                    kInteresting[rng() % (sizeof kInteresting / sizeof kInteresting[0])];
                s.insert(at, piece);
                break;
            }
            case 3: {
                const size_t from = rng() % s.size();
                s.insert(at, s.substr(from, 1 + rng() % 40));
                break;
            }
            default:
                s.erase(at, std::min<size_t>(s.size() - at, rng() % 200));
                break;
        }
    }
    return s;
}

TEST(RobustInput, SeededMutationsNeverCrashAndRoundTrip) {
    const std::string samples[] = {xmltest::sample("macro.xml"), xmltest::sample("profiles.xml")};
    std::mt19937 rng(20240611);
    int loaded = 0, failed = 0;
    const int runs = 6000;
    for (int i = 0; i < runs; ++i) {
        const std::string input = mutate(samples[i % 2], rng);
        std::string failure;
        if (checkRoundTrip(input, &failure))
            ++loaded;
        else
            ++failed;
        ASSERT_EQ(failure, "") << "mutation " << i;
        if (i % 16 == 0) {
            // The same input in small blocks through a stream gives the same verdict.
            MemoryStream stream(input);
            stream.maxRead = 1 + rng() % 7;
            CXMLDocument viaStream, direct;
            const bool a = viaStream.loadStream(stream, XML_LOAD_DROP_INDENT);
            const bool b = xmltest::load(direct, input, XML_LOAD_DROP_INDENT);
            if (!input.empty()) {
                ASSERT_EQ(a, b) << "mutation " << i << ": " << viaStream.errorCode() << " "
                                << N(viaStream.errorText()) << " / " << direct.errorCode() << " in "
                                << ::testing::PrintToString(input);
            }
            if (a && b) {
                ASSERT_EQ(xmltest::treeDiff(viaStream, direct), "");
            }
        }
    }
    // The run must exercise both outcomes to mean anything.
    EXPECT_GT(loaded, runs / 20);
    EXPECT_GT(failed, runs / 20);
}

}  // namespace
