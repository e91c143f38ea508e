// The demo release on the test service and the files an installation leaves, for the
// installations through the real window.
#include "tests/app/release_support.h"

#include "common/win_owners.h"
#include "net/download.h"
#include "setup/locations.h"
#include "setup/path_rules.h"
#include "tests/app/installer_path.h"
#include "tests/net/service_client.h"

namespace {

std::wstring StandinFile(const wchar_t* name) {
    std::wstring path = InstallerExePath();
    if (path.empty()) return path;
    path.resize(path.size() - std::wstring(L"app\\KestravonInstaller.exe").size());
    return path + L"standins\\" + name;
}

}  // namespace

std::wstring StandinSetupPath() { return StandinFile(L"kestravon-setup.exe"); }

bool PublishSignedRelease() {
    const std::string setup = ReadWholeFile(StandinFile(L"kestravon-setup-publisher.exe"));
    const std::string manifest = ReadWholeFile(StandinFile(L"signed-release\\manifest.json"));
    const std::string signature = ReadWholeFile(StandinFile(L"signed-release\\manifest.json.sig"));
    return !setup.empty() && !manifest.empty() && !signature.empty() && WriteServedFile(L"KestravonSetup.exe", setup) &&
           WriteManifest(manifest) && WriteManifestSignature(signature);
}

bool PublishRelease(const std::string& setup, const std::string& sha256, const std::string& url) {
    const std::string manifest = "{\"url\": \"" + url + "\", \"sha256\": \"" + sha256 +
                                 "\", \"version\": \"1.0.0\", \"size\": " + std::to_string(setup.size()) + "}";
    return WriteServedFile(L"KestravonSetup.exe", setup) && WriteManifest(manifest);
}

std::wstring DefaultFolder() { return JoinPath(DefaultInstallFolder(), L"Kestravon"); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (Exists(path)) return true;
        Sleep(100);
    }
    return Exists(path);
}
