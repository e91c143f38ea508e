// Portable SHA-256 (FIPS 180-4) for the publishing tool; the installer itself uses CNG.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct Sha256State {
    std::array<std::uint32_t, 8> hash{};
    std::array<std::uint8_t, 64> block{};
    std::size_t blockUsed = 0;
    std::uint64_t totalBytes = 0;
};

void Sha256Init(Sha256State& state);
void Sha256Update(Sha256State& state, const void* data, std::size_t size);
// The digest as 64 lower-case hexadecimal digits. The state must be re-initialised after.
std::string Sha256FinalHex(Sha256State& state);
// One-shot digest of `data`, lower-case hex.
std::string Sha256Hex(const std::string& data);
