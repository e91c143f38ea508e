// One whole installation on a background thread, reported to the window by messages.
#pragma once

#include <string>

#include "pipeline/messages.h"

extern const wchar_t ManifestUrl[];
extern const wchar_t ManifestSignatureUrl[];  // the manifest's URL + ".sig"

// What a release build trusts beyond the download host, from the build options
// KESTRAVON_RELEASE_KEY and KESTRAVON_SETUP_PUBLISHER. Each points at a constant that
// outlives every run; null pins nothing and leaves that check out.
struct ReleasePins {
    const unsigned char* releaseKey = nullptr;  // X‖Y of the P-256 key that signs the manifest
    const wchar_t* setupPublisher = nullptr;    // exact subject common name of the setup's signer
};

// What the window gives one run: its own copy of the folder, where to report, and the pins.
struct InstallRun {
    std::wstring installFolder;
    RunReport report;
    ReleasePins pins{};  // none unless given
};

// Thread procedure; takes ownership of `run`.
void InstallWorker(InstallRun* run);
