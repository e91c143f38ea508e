// Stand-in for net/manifest_fetch.cpp until that branch lands.
#include "net/manifest_fetch.h"

bool FetchManifest(const std::wstring&, std::string&, std::wstring& errorText) {
    errorText = L"The network layer is not part of this build.";
    return false;
}
