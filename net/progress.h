// Download limits and progress arithmetic. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::uint64_t MaxInstallerBytes = 367001600;  // 350 MiB
constexpr std::size_t MaxManifestBytes = 1048576;        // 1 MiB

// 5 + 78 * total / limit in unsigned 64-bit arithmetic, clamped to 5..83; limit > 0.
int DownloadPercent(std::uint64_t total, std::uint64_t limit);
