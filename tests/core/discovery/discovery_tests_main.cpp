#include <gtest/gtest.h>

#include <cstdlib>

// The discovery tests check the profiler's spans, and the profiler reads its switch once, so it
// goes on before any test runs.
int main(int argc, char** argv) {
    ::setenv("WRENISLAND_PROFILE", "1", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
