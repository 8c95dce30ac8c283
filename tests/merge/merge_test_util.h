// Helpers of the merging library's tests, fuzzers and benchmark: scratch
// folders, model files written the way the library reads them (scrambled text,
// binary confidence nets) and a valid study file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Tessel.h"

namespace mergetest {

// Releases a library object (item, list, merger) through its own operation.
struct Release {
    template <class T>
    void operator()(T* object) const {
        if (object) object->release();
    }
};
template <class T>
using Owned = std::unique_ptr<T, Release>;

// One answer of a test list: a text, value 0 and other values by index (the
// rest stay unset).
struct TestAnswer {
    const char* text;
    int32_t score;
    std::map<int32_t, int32_t> values;
};
// A list made through the exports, filled in the given order.
Owned<AnswerList> makeList(const std::vector<TestAnswer>& answers,
                           int32_t listValue = TSL_VALUE_UNSET);
// An answer that can be merged: values 2, 11, 7 and 12 set from `carried`.
TestAnswer mergeable(const char* text, int32_t score, int32_t carried = 0);

// The lists of the end-to-end examples: Rec1 cat 80, cot 50 and Rec2 cat 70,
// cut 40, values 2, 7, 11 and 12 set to their index. Filled through the
// objects' own operations, so they may come from the static library or the DLL.
void fillExampleLists(AnswerList* rec1, AnswerList* rec2, AnswerItem* item);

// A fresh, empty folder below the working folder (removed first if it exists).
class TempDir {
  public:
    explicit TempDir(const std::string& name);
    // The path of a file in the folder.
    std::string path(const std::string& file) const;
    const std::string& dir() const { return dir_; }

  private:
    std::string dir_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
// Writes the plain text scrambled, as tslscramble does with the same width.
void writeScrambled(const std::string& path, const std::string& plain, size_t width = 519);
// Reads a file through the library's tracked text layer, unscrambling each
// piece of at most `width` characters.
std::string readUnscrambled(const std::string& path, size_t width = 519);

struct NetUnit {
    double weight;
    int32_t output;
    std::vector<double> centre;
    std::vector<double> matrix;
    double prior;     // written below version 1003
    double logPrior;  // written from version 1003 on, with power and scale
    double power;
    double scale;
};

struct NetFile {
    int32_t version;  // 0: no version word
    int32_t dim;
    int32_t outputs;
    std::vector<int32_t> outputInts;
    std::vector<double> outputDoubles;
    double legacyValue;  // written below version 1005
    std::vector<double> auxValues;
    std::vector<NetUnit> units;
};

// A net with distinct values everywhere, so that a read-back shows each field.
NetFile sampleNet(int32_t version, int32_t dim, int32_t units, int32_t outputs = 2,
                  int32_t auxCount = 2);
// A unit of a kernel net: the matrix is the identity unless given (row-major).
NetUnit kernelUnit(int32_t output, std::vector<double> centre, double weight, double prior,
                   double power = 1.0, double scale = 0.5, std::vector<double> matrix = {});
// A net of the given units (one auxiliary value, per-output values 0).
NetFile kernelNet(int32_t version, int32_t outputs, std::vector<NetUnit> units);

// The bytes of the file (the header's unit count is units.size()).
std::string encodeNet(const NetFile& net);
// Offsets of the header fields.
size_t dimOffset(const NetFile& net);
void patchInt32(std::string& bytes, size_t offset, int32_t value);

// A net over `dim` features that reads only the first, a score minus 60:
// output 1 ("right") has probability 1 / (1 + exp(-0.15 f)) for that feature f.
NetFile scoreNet(int32_t dim);
// The path of a fixture model file (model.cfg, confident.cfg, merge.sqr,
// dist.sqr, confident.sqr, vocabulary.txt). The first call makes them all from
// the readable sources in tests/merge/data, scrambled as tslscramble does, so
// a test program needs no set-up step before it.
std::string fixture(const std::string& file);
// The complete small model of the merge tests in `dir`: the fixture
// configuration and study (confident.*) and the nets it names.
void installConfidentModel(const TempDir& dir);

// A valid study file: the description lines, an empty line and a complete
// data section (probabilities rising with the confidence levels).
std::string studyText(const std::vector<std::string>& description);
// The description of a two-recognizer study ("1+2 simple").
std::vector<std::string> pairStudyDescription();

}  // namespace mergetest
