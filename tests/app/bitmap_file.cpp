// Pictures that tests leave in the build tree for a human look.
#include "tests/app/bitmap_file.h"

#include <windows.h>

#include "common/win_owners.h"
#include "tests/support/environment.h"

void SaveBitmap(const std::wstring& path, const std::vector<std::uint32_t>& pixels, int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size() * 4);
    UniqueFileHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return;
    DWORD written = 0;
    WriteFile(out.get(), &file, sizeof(file), &written, nullptr);
    WriteFile(out.get(), &header, sizeof(header), &written, nullptr);
    std::vector<std::uint32_t> opaque(pixels);
    for (std::uint32_t& pixel : opaque) pixel |= 0xFF000000u;  // GDI leaves alpha 0; viewers read it
    WriteFile(out.get(), opaque.data(), static_cast<DWORD>(opaque.size() * 4), &written, nullptr);
}

std::wstring BuildTreeFile(const std::wstring& name) { return BuildTreePath(L"tests/app/" + name); }
