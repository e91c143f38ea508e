// Stand-in for net/download.cpp until that branch lands.
#include "net/download.h"

bool DownloadInstaller(const std::wstring&, const std::string&, const std::wstring&, std::uint64_t,
                       std::wstring& errorText) {
    errorText = L"The network layer is not part of this build.";
    return false;
}
