// DownloadPercent: 5 + floor(78 * total / limit), held within 5..83.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "net/progress.h"

namespace {

TEST(DownloadPercent, FormulaAndClamping) {
    constexpr std::uint64_t Max = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        std::uint64_t total;
        std::uint64_t limit;
        int percent;
    };
    const Case cases[] = {
        {0, 100, 5},
        {1, 100, 5},
        {2, 100, 6},       // 156 / 100
        {50, 100, 44},     // 5 + 39
        {99, 100, 82},     // 5 + 77.22
        {100, 100, 83},
        {101, 100, 83},    // more than announced stays at the top of the band
        {1000000, 100, 83},
        {1, 1, 83},
        {0, 1, 5},
        {1, 78, 6},
        {77, 78, 82},
        {131072, MaxInstallerBytes, 5},
        {MaxInstallerBytes / 2, MaxInstallerBytes, 44},
        {MaxInstallerBytes - 1, MaxInstallerBytes, 82},
        {MaxInstallerBytes, MaxInstallerBytes, 83},
        {MaxInstallerBytes + 131072, MaxInstallerBytes, 83},
        // Beyond the ceiling the 64-bit product would wrap; the band still holds.
        {Max / 2, Max, 43},  // 78 * (2^63 - 1) / (2^64 - 1) is just below 39
        {Max - 1, Max, 82},
        {Max, Max, 83},
        {Max, 1, 83},
        {Max / 78 + 1, Max / 78 + 2, 82},
        {0, 0, 5},  // no limit: the start of the band
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DownloadPercent(c.total, c.limit), c.percent) << c.total << " of " << c.limit;
    }
}

TEST(DownloadPercent, NeverDecreasesAsBytesArrive) {
    const std::uint64_t limit = 1234567;
    int previous = DownloadPercent(0, limit);
    for (std::uint64_t total = 0; total <= limit + 50000; total += 4093) {
        const int percent = DownloadPercent(total, limit);
        ASSERT_GE(percent, previous) << total;
        ASSERT_GE(percent, 5);
        ASSERT_LE(percent, 83);
        previous = percent;
    }
    EXPECT_EQ(previous, 83);
}

}  // namespace
