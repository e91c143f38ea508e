// One installation from manifest to setup program, run on a detached thread.
#include "pipeline/worker.h"

#include <memory>
#include <optional>

#include "app/state.h"
#include "common/win_owners.h"
#include "net/download.h"
#include "net/manifest_fetch.h"
#include "pipeline/manifest.h"
#include "pipeline/messages.h"
#include "pipeline/utf8.h"
#include "service_host.h"
#include "setup/locations.h"
#include "setup/run_setup.h"

const wchar_t ManifestUrl[] = L"https://" KESTRAVON_SERVICE_HOST_W L"/api/v1/launcher/installer/windows-x86_64";

namespace {

// Every path ends with exactly one final message, posted last.
void RunInstallation(const std::wstring& installFolder) {
    PostStatus(L"Preparing setup", L"Checking installation files...");
    PostProgress(2);

    std::string body;
    std::wstring errorText;
    if (!FetchManifest(ManifestUrl, body, errorText)) {
        PostFailure(errorText);
        return;
    }
    const std::optional<ReleaseManifest> manifest = ParseManifest(body);
    if (!manifest) {
        PostFailure(L"Installation files are temporarily unavailable.");
        return;
    }
    const std::wstring url = Utf8ToWide(manifest->url);

    PostStatus(L"Downloading Kestravon", L"Downloading installation files...");
    const std::wstring path = TempInstallerPath();
    if (path.empty()) {
        PostFailure(L"Windows temporary folder is unavailable.");
        return;
    }
    DeleteFileW(path.c_str());  // a leftover from an earlier run

    bool setupSucceeded = false;
    {
        // Deleted when the install step ends, however it ends, so not even an
        // unexpected error leaves the setup program in the temporary folder. The
        // verified file stays held (nobody can change or delete it) until the setup
        // has exited; declared after the removal, the hold ends just before the delete.
        FileRemoval downloaded;
        UniqueFileHandle verified;
        if (!DownloadInstaller(url, manifest->sha256, path, manifest->size, verified, errorText)) {
            PostFailure(errorText);  // the download removed its own file
            return;
        }
        downloaded.reset(path.c_str());
        PostProgress(88);
        PostStatus(L"Installing Kestravon", L"Installing to your selected folder...");
        DWORD exitCode = 0;
        setupSucceeded = RunSetup(path, installFolder, exitCode, errorText);
    }
    if (!setupSucceeded) {
        PostFailure(errorText);
        return;
    }

    PostProgress(98);
    PostStatus(L"Finishing setup", L"Almost done...");
    PostProgress(100);
    PostSucceeded();
}

}  // namespace

void InstallWorker(std::wstring* installFolder) {
    std::unique_ptr<std::wstring> folder(installFolder);
    try {
        RunInstallation(*folder);
    } catch (...) {
        // Exhausted memory or anything else unexpected: still end the run, so the window
        // never stays on "Installing...". No payload: allocating one may be what failed.
        PostMessageW(g_state.mainWindow, WM_APP_FAILED, 0, 0);
    }
}
