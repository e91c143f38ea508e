// A release folder read as a pinned installer reads the release service.
#include "tools/publish/release_check.h"

#include <optional>

#include "net/download.h"
#include "net/progress.h"
#include "net/signature_text.h"
#include "pipeline/manifest.h"
#include "tools/publish/publish.h"
#include "tools/publish/sha256.h"

namespace {

// The installer's sentences are ASCII.
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool Refuse(std::string& verdict, const std::string& why) {
    verdict = "An installer would refuse this release: " + why;
    return false;
}

// The URL's path, where the release service serves the file from the folder.
std::string UrlPath(const std::string& url) {
    const std::size_t start = url.find('/', std::string("https://").size());
    if (start == std::string::npos) return "/";
    return url.substr(start, url.find_first_of("?#", start) - start);
}

}  // namespace

bool CheckRelease(const std::string& folder, const InstallerView& installer, std::string& verdict) {
    std::string manifest;
    std::string signature;
    if (!ReadWholeFile(folder + "/manifest.json", manifest)) return Refuse(verdict, folder + "/manifest.json is missing.");
    if (manifest.size() > MaxManifestBytes) return Refuse(verdict, "Kestravon manifest is unexpectedly large.");
    if (!ReadWholeFile(folder + "/manifest.json.sig", signature)) return Refuse(verdict, Narrow(ManifestNotSigned));
    std::wstring sentence;
    if (!VerifySignatureText(*installer.releaseKeys, installer.threshold, manifest, signature, sentence)) {
        return Refuse(verdict, Narrow(sentence));
    }
    switch (CheckFreshness(manifest, installer.now, installer.minSerial)) {
    case Freshness::Expired: return Refuse(verdict, Narrow(ManifestExpired));
    case Freshness::Older: return Refuse(verdict, Narrow(ManifestOlder));
    case Freshness::Fresh: break;
    }
    const std::optional<ReleaseManifest> release = ParseManifest(manifest);
    if (!release) return Refuse(verdict, Narrow(ManifestUnavailable));
    if (!IsPublishableUrl(release->url)) {
        return Refuse(verdict, "the setup's URL " + release->url + " is not one it downloads from.");
    }
    const std::string setupPath = folder + UrlPath(release->url);
    std::string setup;
    if (!ReadWholeFile(setupPath, setup)) return Refuse(verdict, "the setup program " + setupPath + " is missing.");
    std::string expected = release->sha256;
    for (char& c : expected) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (Sha256Hex(setup) != expected) return Refuse(verdict, Narrow(DigestMismatch));
    if (release->size != 0 && release->size != setup.size()) return Refuse(verdict, Narrow(SizeMismatch));
    verdict = "An installer would install version " + release->version + " (serial " +
              std::to_string(*ExtractJsonInteger(manifest, "serial")) + ") until " +
              ExtractJsonString(manifest, "expires") + ".";
    return true;
}
