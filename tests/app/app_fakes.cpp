// Test-local definitions of the folder picker, the application launch and the worker.
#include "tests/app/app_fakes.h"

#include <memory>

#include "pipeline/messages.h"
#include "pipeline/worker.h"
#include "setup/folder_picker.h"
#include "setup/launch_app.h"
#include "tests/app/test_window.h"

AppFakes g_fakes;

bool PickInstallFolder(HWND owner, std::wstring& installFolder) {
    ++g_fakes.pickCalls;
    g_fakes.pickOwner = owner;
    if (g_fakes.pumpMeanwhile) PumpMessages();
    if (g_fakes.pickResult) installFolder = g_fakes.pickedFolder;
    return g_fakes.pickResult;
}

bool LaunchInstalledApp(const std::wstring& installFolder) {
    ++g_fakes.launchCalls;
    g_fakes.launchedFolder = installFolder;
    if (g_fakes.pumpMeanwhile) PumpMessages();
    return true;
}

void InstallWorker(InstallRun* run) {
    std::unique_ptr<InstallRun> owned(run);
    PostStatus(owned->report, FakeWorkerTitle, owned->installFolder);
}
