// The fixture of the installations through the real window: a clean default folder, the
// stand-in setup's bytes, and starting the installer and pressing its main button.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "tests/app/live_installer.h"

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Removes what an earlier installation left in `folder`.
    void ClearInstallFolder();
    // Starts the installer (or the pinned test build), checks the idle screen and presses
    // "Install Kestravon"; the window, or null when it did not appear.
    HWND StartAndPressInstall(ChildProcess& child, bool pinned = false);
    // Starts the installer and waits for its idle screen; the window or null.
    HWND StartIdle(ChildProcess& child, bool pinned = false);

    std::wstring folder;
    std::string setup;
};
