// Download progress: the 5..83 percent band of the window's bar.
#include "net/progress.h"

int DownloadPercent(std::uint64_t total, std::uint64_t limit) {
    if (limit == 0) return 5;
    if (total >= limit) return 83;
    // Within the download total * 78 fits 64 bits; the wider product keeps the
    // function exact for any input.
    const auto step = static_cast<std::uint64_t>(static_cast<unsigned __int128>(total) * 78 / limit);
    return static_cast<int>(5 + (step > 78 ? 78 : step));
}
