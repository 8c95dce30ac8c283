// Built into every Windows test program: once its tests have run, a checked
// run validates the program's heaps, so damage no test looked at still fails
// the program (the test prefixes' heap checks report the block too).
#include <gtest/gtest.h>

#include "win/Checks.h"

namespace {

class HeapCheckAtEnd : public testing::Environment {
  public:
    void TearDown() override {
        if (win::checkedRun()) {
            EXPECT_EQ(win::validateHeaps(), 0) << "damaged heaps at the end";
        }
    }
};

const testing::Environment* const g_heapCheck =
    testing::AddGlobalTestEnvironment(new HeapCheckAtEnd);

}  // namespace
