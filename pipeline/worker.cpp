// One installation from manifest to setup program, run on a detached thread.
#include "pipeline/worker.h"

#include <memory>
#include <optional>
#include <utility>

#include "common/win_owners.h"
#include "net/download.h"
#include "net/manifest_fetch.h"
#include "net/manifest_signature.h"
#include "pipeline/manifest.h"
#include "pipeline/utf8.h"
#include "service_host.h"
#include "setup/locations.h"
#include "setup/run_setup.h"
#include "setup/setup_publisher.h"

#define KESTRAVON_MANIFEST_URL_W L"https://" KESTRAVON_SERVICE_HOST_W L"/api/v1/launcher/installer/windows-x86_64"
const wchar_t ManifestUrl[] = KESTRAVON_MANIFEST_URL_W;
const wchar_t ManifestSignatureUrl[] = KESTRAVON_MANIFEST_URL_W L".sig";

namespace {

void ReportDownloadPercent(void* report, int percent) { PostProgress(*static_cast<RunReport*>(report), percent); }

// With release keys, no byte of the manifest is read before its signature checks out; then it
// must not have expired, nor name a release older than this installer knows of.
bool CheckSignedManifest(const std::string& body, const ReleasePins& pins, ErrorText& errorText) {
    if (pins.releaseKeys.count == 0) return true;
    std::string signature;
    if (!FetchManifestSignature(ManifestSignatureUrl, signature, errorText) ||
        !VerifyManifestSignature(body, signature, pins.releaseKeys, errorText)) {
        return false;
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t seconds = ((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime) / 10000000;
    switch (CheckFreshness(body, seconds, pins.minReleaseSerial)) {
    case Freshness::Expired: return Fail(errorText, ManifestExpired);
    case Freshness::Older: return Fail(errorText, ManifestOlder);
    case Freshness::Fresh: break;
    }
    return true;
}

// Every path ends with exactly one final message, posted last.
void RunInstallation(const std::wstring& installFolder, const ReleasePins& pins, RunReport& report) {
    PostStatus(report, L"Preparing setup", L"Checking installation files...");
    PostProgress(report, 2);

    std::string body;
    ErrorText errorText;
    if (!FetchManifest(ManifestUrl, body, errorText) || !CheckSignedManifest(body, pins, errorText)) {
        PostFailure(report, errorText.sentence);
        return;
    }
    const std::optional<ReleaseManifest> manifest = ParseManifest(body);
    if (!manifest) {
        PostFailure(report, ManifestUnavailable);
        return;
    }
    const std::wstring url = Utf8ToWide(manifest->url);

    PostStatus(report, L"Downloading Kestravon", L"Downloading installation files...");
    const std::wstring path = TempInstallerPath();
    if (path.empty()) {
        PostFailure(report, L"Windows temporary folder is unavailable.");
        return;
    }
    DeleteStaleInstallerFiles();  // of other runs that were ended
    DeleteFileW(path.c_str());    // a leftover from an earlier run

    bool setupSucceeded = false;
    {
        // Deleted when the install step ends, however it ends, so not even an
        // unexpected error leaves the setup program in the temporary folder. The
        // verified file stays held (nobody can change or delete it) until the setup
        // has exited; declared after the removal, the hold ends just before the delete.
        std::wstring downloadedPath = path;  // copied now: arming the removal allocates nothing
        FileRemoval downloaded;
        UniqueFileHandle verified;
        const DownloadProgress progress{ReportDownloadPercent, &report};
        if (!DownloadInstaller(url, manifest->sha256, path, manifest->size, progress, verified, errorText)) {
            PostFailure(report, errorText.sentence);  // the download removed its own file
            return;
        }
        downloaded.reset(std::move(downloadedPath));
        // A refused publisher leaves setupSucceeded false: the file is gone before the failure is posted.
        if (!pins.setupSigner.publisher || CheckSetupPublisher(verified.get(), path, pins.setupSigner, errorText)) {
            PostProgress(report, 88);
            PostStatus(report, L"Installing Kestravon", L"Installing to your selected folder...");
            DWORD exitCode = 0;
            setupSucceeded = RunSetup(path, installFolder, exitCode, errorText);
        }
    }
    if (!setupSucceeded) {
        PostFailure(report, errorText.sentence);
        return;
    }

    PostProgress(report, 98);
    PostStatus(report, L"Finishing setup", L"Almost done...");
    PostProgress(report, 100);
    PostSucceeded(report);
}

}  // namespace

void InstallWorker(InstallRun* run) {
    std::unique_ptr<InstallRun> owned(run);
    try {
        RunInstallation(owned->installFolder, owned->pins, owned->report);
    } catch (...) {
        // Exhausted memory or anything else unexpected: still end the run, so the window
        // never stays on "Installing...".
        PostUnexpectedFailure(owned->report);
    }
}
