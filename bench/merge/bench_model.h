// The merge model of realistic size that the merging benchmarks load: three
// confidence nets of a few hundred units over 11 to 16 features, two study
// files and a vocabulary of 60000 words, written into a scratch folder.
#pragma once

#include <string>
#include <vector>

#include "merge_test_util.h"

namespace benchmodel {

// Writes the model; returns the configuration's path. `files` receives every
// file of the model.
std::string writeModel(const mergetest::TempDir& dir, std::vector<std::string>* files = nullptr);

}  // namespace benchmodel
