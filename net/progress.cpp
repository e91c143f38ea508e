// Download progress: the 5..83 percent band of the window's bar.
#include "net/progress.h"

int DownloadPercent(std::uint64_t total, std::uint64_t limit) {
    if (limit == 0) return 5;
    if (total >= limit) return 83;
    // floor(78 * total / limit), exact for any 64-bit input: 78 additions of total, each
    // time keeping the remainder below limit, so nothing wraps and no 128-bit division
    // (1.4 KiB of runtime helpers) comes into the executable.
    int step = 0;
    std::uint64_t remainder = 0;
    for (int k = 0; k < 78; ++k) {
        if (remainder >= limit - total) {
            remainder -= limit - total;
            ++step;
        } else {
            remainder += total;
        }
    }
    return 5 + step;
}
