// The demo release on the test service and the folder it installs into, for the
// installations through the real window.
#pragma once

#include <string>

#include "tests/support/files.h"

constexpr char DemoSetupUrl[] = "https://kestravon.test/files/KestravonSetup.exe";

// Serves `setup` as files/KestravonSetup.exe and a manifest naming `url` with `sha256`.
bool PublishRelease(const std::string& setup, const std::string& sha256, const std::string& url = DemoSetupUrl);
// Serves the signed test release (tests/setup/standins): the setup signed by the pinned
// test publisher as files/KestravonSetup.exe, its manifest and the manifest's signature.
bool PublishSignedRelease();
// The folder the installer starts with, computed the same way.
std::wstring DefaultFolder();
