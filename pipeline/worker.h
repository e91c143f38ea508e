// One whole installation on a background thread, reported to the window by messages.
#pragma once

#include <string>

extern const wchar_t ManifestUrl[];

// Thread procedure; takes ownership of the heap copy of the install folder.
void InstallWorker(std::wstring* installFolder);
