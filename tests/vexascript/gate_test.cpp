// The gate library as the program probes it: create one context and delete it.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "Gate.h"

namespace {

TEST(Gate, CreatesAndDeletesItsContextAndRefusesStrangeHandles) {
    PSO_HRC gate = GateCreateContext();
    ASSERT_NE(gate, nullptr);
    EXPECT_GT(GateFormCount(gate), 100) << "the coarse picture of every form";
    EXPECT_EQ(GateDeleteContext(gate), PSO_OK);
    EXPECT_EQ(GateDeleteContext(gate), PSO_ERR_NO_CONTEXT);
    EXPECT_EQ(GateDeleteContext(nullptr), PSO_ERR_NO_CONTEXT);
    EXPECT_EQ(GateFormCount(gate), 0);
}

#ifdef _WIN32
TEST(Gate, TheLibraryIsFoundByNameWithBothFunctions) {
    HMODULE dll = LoadLibraryW(L"Gate_T.dll");
    ASSERT_NE(dll, nullptr);
    auto create = reinterpret_cast<decltype(&GateCreateContext)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "PSO_CreateRecognitionContext")));
    auto remove = reinterpret_cast<decltype(&GateDeleteContext)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "PSO_DeleteRecognitionContext")));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(remove, nullptr);
    PSO_HRC context = create();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(remove(context), PSO_OK);
    EXPECT_EQ(remove(context), PSO_ERR_NO_CONTEXT);
    FreeLibrary(dll);
}
#endif

}  // namespace
