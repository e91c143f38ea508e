// The demo release on the test service and the files an installation leaves, for the
// installations through the real window.
#pragma once

#include <string>

#include <windows.h>

#include "tests/support/files.h"

constexpr char DemoSetupUrl[] = "https://kestravon.test/files/KestravonSetup.exe";

// The NSIS stand-in setup that installs kestravon.exe with /S /D=<folder>.
std::wstring StandinSetupPath();
// Serves `setup` as files/KestravonSetup.exe and a manifest naming `url` with `sha256`.
bool PublishRelease(const std::string& setup, const std::string& sha256, const std::string& url = DemoSetupUrl);
// Serves the signed test release (tests/setup/standins): the setup signed by the pinned
// test publisher as files/KestravonSetup.exe, its manifest and the manifest's signature.
bool PublishSignedRelease();
// The folder the installer starts with, computed the same way.
std::wstring DefaultFolder();
bool Exists(const std::wstring& path);
bool WaitForFile(const std::wstring& path, DWORD timeoutMs);
