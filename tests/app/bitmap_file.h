// Pictures that tests leave in the build tree for a human look.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes top-down 0x00RRGGBB pixels as an opaque 32-bit BMP, for a human look.
void SaveBitmap(const std::wstring& path, const std::vector<std::uint32_t>& pixels, int width, int height);
// "<build dir>\tests\app\<name>" as a Windows path, or empty outside ctest.
std::wstring BuildTreeFile(const std::wstring& name);
