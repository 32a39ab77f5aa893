#include <gtest/gtest.h>

#include "loader/elevation.h"

// Wine reports high integrity for every process, so these tests take the unelevated path through
// the loader's integrity seam; loader_elevated_tests covers the real query.
int main(int argc, char** argv) {
    loader::set_integrity_query([] { return std::optional<DWORD>(0x2000); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
