// Reading a release folder as a pinned installer would, before it is uploaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/publish/manifest_signature.h"

// What a pinned installer is built with, and when it runs.
struct InstallerView {
    const std::vector<UniquePkey>* releaseKeys = nullptr;
    std::size_t threshold = 1;  // how many of them must have signed
    std::uint64_t minSerial = 1;
    std::uint64_t now = 0;  // seconds since 1601-01-01T00:00:00Z
};

// Checks `folder` (manifest.json, manifest.json.sig, and the setup program at the path of the
// manifest's URL, as the release service serves them) in the installer's order: signature,
// expiry, serial, manifest, URL, digest and size. True when an installer would install it;
// either way `verdict` says so in one sentence. The setup's Authenticode signature is left
// to Windows.
bool CheckRelease(const std::string& folder, const InstallerView& installer, std::string& verdict);
