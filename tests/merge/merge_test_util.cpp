#include "merge_test_util.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "TextFile.h"

namespace mergetest {

namespace fs = std::filesystem;

Owned<AnswerList> makeList(const std::vector<TestAnswer>& answers, int32_t listValue) {
    Owned<AnswerList> list(TslCreateAnswerList());
    Owned<AnswerItem> item(TslCreateAnswerItem());
    if (!list || !item) throw std::runtime_error("no memory for a list");
    for (const TestAnswer& a : answers) {
        for (int32_t k = 0; k < TSL_VALUE_COUNT; ++k) item->setValue(TSL_VALUE_UNSET, k);
        item->setText(a.text);
        item->setValue(a.score, 0);
        for (const auto& v : a.values) item->setValue(v.second, v.first);
        if (!list->add(item.get())) throw std::runtime_error("cannot add an answer");
    }
    list->setListValue(listValue);
    return list;
}

TestAnswer mergeable(const char* text, int32_t score, int32_t carried) {
    return {text, score, {{2, carried}, {11, carried}, {7, carried}, {12, carried}}};
}

void fillExampleLists(AnswerList* rec1, AnswerList* rec2, AnswerItem* item) {
    rec1->clear();
    rec2->clear();
    const struct {
        AnswerList* list;
        const char* text;
        int32_t score;
    } input[] = {{rec1, "cat", 80}, {rec1, "cot", 50}, {rec2, "cat", 70}, {rec2, "cut", 40}};
    for (const auto& a : input) {
        item->setText(a.text);
        for (int32_t k : {0, 2, 7, 11, 12}) item->setValue(k == 0 ? a.score : k, k);
        if (!a.list->add(item)) throw std::runtime_error("cannot add an answer");
    }
}

TempDir::TempDir(const std::string& name) : dir_("scratch_" + name) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

std::string TempDir::path(const std::string& file) const { return dir_ + "/" + file; }

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void writeScrambled(const std::string& path, const std::string& plain, size_t width) {
    const std::string plainPath = path + ".plain";
    writeFile(plainPath, plain);
    FILE* in = std::fopen(plainPath.c_str(), tessel::kReadTextMode);
    FILE* out = std::fopen(path.c_str(), "wb");
    const bool ok = in && out && tessel::scrambleStream(in, out, width);
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    std::remove(plainPath.c_str());
    if (!ok) throw std::runtime_error("cannot scramble " + path);
}

std::string readUnscrambled(const std::string& path, size_t width) {
    FILE* f = tessel::openTracked(path.c_str(), 1, 0);
    if (!f) throw std::runtime_error("cannot open " + path);
    std::vector<char> buffer(width + 1);
    std::string all;
    while (tessel::readScrambledLine(buffer.data(), static_cast<int>(buffer.size()), f))
        all += buffer.data();
    tessel::closeTracked(f);
    return all;
}

NetFile sampleNet(int32_t version, int32_t dim, int32_t units, int32_t outputs, int32_t auxCount) {
    NetFile net{};
    net.version = version;
    net.dim = dim;
    net.outputs = outputs;
    for (int32_t o = 0; o < outputs; ++o) {
        net.outputInts.push_back(100 + o);
        net.outputDoubles.push_back(0.25 + o);
    }
    net.legacyValue = -7.5;
    for (int32_t a = 0; a < auxCount; ++a) net.auxValues.push_back(1.5 * (a + 1));
    for (int32_t u = 0; u < units; ++u) {
        NetUnit unit{};
        unit.weight = 1.0 + u;
        unit.output = outputs > 0 ? u % outputs : 0;
        for (int32_t i = 0; i < dim; ++i) unit.centre.push_back(u * 10.0 + i);
        for (int32_t i = 0; i < dim * dim; ++i)
            unit.matrix.push_back((i % (dim + 1) == 0) ? 1.0 : 0.01 * i);
        unit.prior = 0.5 / (u + 1);
        unit.logPrior = std::log(unit.prior);
        unit.power = 1.0 + 0.5 * (u % 3);
        unit.scale = 0.25 * (u + 1);
        net.units.push_back(unit);
    }
    return net;
}

NetUnit kernelUnit(int32_t output, std::vector<double> centre, double weight, double prior,
                   double power, double scale, std::vector<double> matrix) {
    const size_t dim = centre.size();
    if (matrix.empty()) {
        matrix.assign(dim * dim, 0.0);
        for (size_t i = 0; i < dim; ++i) matrix[i * dim + i] = 1.0;
    }
    return NetUnit{weight, output, std::move(centre), std::move(matrix), prior, std::log(prior),
                   power,  scale};
}

NetFile kernelNet(int32_t version, int32_t outputs, std::vector<NetUnit> units) {
    NetFile net{};
    net.version = version;
    net.dim = units.empty() ? 1 : static_cast<int32_t>(units[0].centre.size());
    net.outputs = outputs;
    net.outputInts.assign(static_cast<size_t>(outputs), 0);
    net.outputDoubles.assign(static_cast<size_t>(outputs), 0.0);
    net.auxValues = {1.0};
    net.units = std::move(units);
    return net;
}

NetFile scoreNet(int32_t dim) {
    std::vector<double> matrix(static_cast<size_t>(dim * dim), 0.0);
    matrix[0] = 0.05;
    std::vector<double> wrong(static_cast<size_t>(dim), 0.0), right(wrong);
    wrong[0] = -30;
    right[0] = 30;
    return kernelNet(1005, 2,
                     {kernelUnit(0, wrong, 1, 0.5, 1.0, 0.5, matrix),
                      kernelUnit(1, right, 1, 0.5, 1.0, 0.5, matrix)});
}

std::string fixture(const std::string& file) {
    static const TempDir dir = [] {
        TempDir made("fixtures");
        const std::string data = MERGE_TEST_DATA;
        const struct {
            const char* name;
            size_t width;  // the reader's longest piece: 519 configuration, 249 study
        } files[] = {{"model.cfg", 519},
                     {"confident.cfg", 519},
                     {"merge.sqr", 249},
                     {"dist.sqr", 249},
                     {"confident.sqr", 249}};
        for (const auto& f : files)
            writeScrambled(made.path(f.name), readFile(data + "/" + f.name + ".plain"), f.width);
        writeFile(made.path("vocabulary.txt"), readFile(data + "/vocabulary.txt"));
        return made;
    }();
    return dir.path(file);
}

void installConfidentModel(const TempDir& dir) {
    for (const char* file : {"confident.cfg", "confident.sqr"})
        writeFile(dir.path(file), readFile(fixture(file)));
    writeFile(dir.path("score.net"), encodeNet(scoreNet(2)));
    writeFile(dir.path("cross.net"), encodeNet(scoreNet(3)));
}

namespace {

void putInt32(std::string& out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void putDouble(std::string& out, double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

}  // namespace

std::string encodeNet(const NetFile& net) {
    std::string out;
    if (net.version) putInt32(out, net.version);
    putInt32(out, net.dim);
    putInt32(out, static_cast<int32_t>(net.units.size()));
    putInt32(out, net.outputs);
    for (int32_t v : net.outputInts) putInt32(out, v);
    for (double d : net.outputDoubles) putDouble(out, d);
    if (net.version < 1005) putDouble(out, net.legacyValue);
    putInt32(out, static_cast<int32_t>(net.auxValues.size()));
    for (double d : net.auxValues) putDouble(out, d);
    for (const NetUnit& u : net.units) {
        putDouble(out, u.weight);
        putInt32(out, u.output);
        for (double d : u.centre) putDouble(out, d);
        for (double d : u.matrix) putDouble(out, d);
        if (net.version < 1003) {
            putDouble(out, u.prior);
        } else {
            putDouble(out, u.logPrior);
            putDouble(out, u.power);
            putDouble(out, u.scale);
        }
    }
    return out;
}

size_t dimOffset(const NetFile& net) { return net.version ? 4 : 0; }

void patchInt32(std::string& bytes, size_t offset, int32_t value) {
    std::string v;
    putInt32(v, value);
    bytes.replace(offset, 4, v);
}

namespace {

std::string numberLine(int count, double first, double step) {
    std::string line;
    char number[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, "%s%g", i ? " " : "", first + step * i);
        line += number;
    }
    return line + "\n";
}

}  // namespace

std::string studyText(const std::vector<std::string>& description) {
    std::string text;
    for (const std::string& line : description) text += line + "\n";
    text += "\n";
    for (int single = 0; single < 3; ++single) {
        text += "Probabilty/Confidence level\n";
        text += numberLine(10, 0.05 + 0.01 * single, 0.1);  // probabilities
        text += numberLine(10, 5, 10);                      // confidence levels
        text += "\n";
    }
    static const char* const kCases[] = {
        "Equal answers:",
        "Different answers, first is right:",
        "Different answers, second is right:",
        "Answer in list, first is right:",
        "Answer in list, second is right:",
    };
    for (int pair = 0; pair < 3; ++pair) {
        text += "Borders of confidence level intervals:\n";
        for (int row = 0; row < 6; ++row) text += numberLine(11, row, 10);
        text += "\n";
        for (int c = 0; c < 5; ++c) {
            text += std::string(kCases[c]) + "\n";
            for (int row = 0; row < 10; ++row)
                text += numberLine(10, 0.01 * (row + c + pair), 0.05);
            text += "\n";
        }
    }
    return text;
}

std::vector<std::string> pairStudyDescription() {
    return {
        "Comment: study of two recognizers",
        "Rec1 results: rec1.log logw w",
        "Rec2 results: rec2.log wrd+ w",
        "Truth file: truth.txt truw w",
        "Key: study",
        "Merge: 1+2 simple",
    };
}

}  // namespace mergetest
