// One whole installation on a background thread, reported to the window by messages.
#pragma once

#include <string>

#include "pipeline/messages.h"

extern const wchar_t ManifestUrl[];

// What the window gives one run: its own copy of the folder, and where to report.
struct InstallRun {
    std::wstring installFolder;
    RunReport report;
};

// Thread procedure; takes ownership of `run`.
void InstallWorker(InstallRun* run);
