// Test-local definitions of the folder picker, the application launch and the worker.
#include "tests/app/app_fakes.h"

#include <memory>

#include "app/state.h"
#include "pipeline/messages.h"
#include "pipeline/worker.h"
#include "setup/folder_picker.h"
#include "setup/launch_app.h"

AppFakes g_fakes;

bool PickInstallFolder(HWND owner) {
    ++g_fakes.pickCalls;
    g_fakes.pickOwner = owner;
    if (g_fakes.pickResult) g_state.installFolder = g_fakes.pickedFolder;
    return g_fakes.pickResult;
}

bool LaunchInstalledApp() {
    ++g_fakes.launchCalls;
    return true;
}

void InstallWorker(std::wstring* installFolder) {
    std::unique_ptr<std::wstring> folder(installFolder);
    PostStatus(FakeWorkerTitle, *folder);
}
