// One whole installation on a background thread, reported to the window by messages.
#pragma once

#include <cstdint>
#include <string>

#include "net/manifest_signature.h"
#include "pipeline/messages.h"
#include "setup/setup_publisher.h"

extern const wchar_t ManifestUrl[];
extern const wchar_t ManifestSignatureUrl[];  // the manifest's URL + ".sig"

// What a release build trusts beyond the download host, from the build options
// (cmake/ReleaseTrust.cmake). Each pointer points at a constant that outlives every run.
struct ReleasePins {
    ReleaseKeys releaseKeys;             // none: the manifest is neither signed nor dated
    std::uint64_t minReleaseSerial = 1;  // the oldest release a signed manifest may name
    SetupSigner setupSigner;             // no publisher: the setup's signer is not checked
};

// What the window gives one run: its own copy of the folder, where to report, and the pins.
struct InstallRun {
    std::wstring installFolder;
    RunReport report;
    ReleasePins pins{};  // none unless given
};

// Thread procedure; takes ownership of `run`.
void InstallWorker(InstallRun* run);
