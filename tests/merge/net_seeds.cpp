// Writes a few valid confidence nets of every layout into a folder: the seed
// corpus of the net reader's fuzz target.
#include <cstdio>
#include <string>

#include "merge_test_util.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: merge_net_seeds FOLDER\n");
        return 2;
    }
    const struct {
        int version, dim, units, outputs, aux;
    } seeds[] = {{0, 2, 2, 2, 1},    {1000, 1, 1, 2, 3}, {1002, 3, 2, 2, 2},
                 {1003, 2, 3, 3, 1}, {1004, 4, 1, 2, 2}, {1005, 2, 2, 2, 1}};
    for (const auto& s : seeds) {
        const std::string name = std::string(argv[1]) + "/net" + std::to_string(s.version) + "_" +
                                 std::to_string(s.dim) + ".bin";
        mergetest::writeFile(name, mergetest::encodeNet(mergetest::sampleNet(
                                       s.version, s.dim, s.units, s.outputs, s.aux)));
    }
    return 0;
}
