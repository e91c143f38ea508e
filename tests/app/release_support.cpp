// The demo release on the test service and the folder it installs into, for the
// installations through the real window.
#include "tests/app/release_support.h"

#include "common/win_owners.h"
#include "net/download.h"
#include "setup/locations.h"
#include "setup/path_rules.h"
#include "tests/net/service_client.h"
#include "tests/support/environment.h"

bool PublishSignedRelease() {
    const std::string setup = ReadWholeFile(StandinPath(L"kestravon-setup-publisher.exe"));
    const std::string manifest = ReadWholeFile(StandinPath(L"signed-release/manifest.json"));
    const std::string signature = ReadWholeFile(StandinPath(L"signed-release/manifest.json.sig"));
    return !setup.empty() && !manifest.empty() && !signature.empty() && WriteServedFile(L"KestravonSetup.exe", setup) &&
           WriteManifest(manifest) && WriteManifestSignature(signature);
}

bool PublishRelease(const std::string& setup, const std::string& sha256, const std::string& url) {
    const std::string manifest = "{\"url\": \"" + url + "\", \"sha256\": \"" + sha256 +
                                 "\", \"version\": \"1.0.0\", \"size\": " + std::to_string(setup.size()) + "}";
    return WriteServedFile(L"KestravonSetup.exe", setup) && WriteManifest(manifest);
}

std::wstring DefaultFolder() { return JoinPath(DefaultInstallFolder(), L"Kestravon"); }
