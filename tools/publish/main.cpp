// kestravon-publish: writes the release manifest for a setup program and its signature, signs
// a published manifest again with a new expiry, adds a key holder's signature to one, and
// checks a release folder before upload.
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "net/signature_text.h"
#include "pipeline/manifest.h"
#include "tools/publish/manifest_signature.h"
#include "tools/publish/publish.h"
#include "tools/publish/release_check.h"
#include "tools/publish/sha256.h"

namespace {

constexpr char Usage[] =
    "usage: kestravon-publish --url URL --version V --setup FILE\n"
    "                         [--out manifest.json [--sign-key KEY.pem]... [--serial N] [--expires-in DAYS]]\n"
    "       kestravon-publish --resign manifest.json --sign-key KEY.pem [--sign-key KEY.pem]... [--expires-in DAYS]\n"
    "                         [--drop-other-keys]\n"
    "       kestravon-publish --cosign manifest.json --sign-key KEY.pem [--sign-key KEY.pem]...\n"
    "       kestravon-publish --check FOLDER --public-key KEYS.pem [--public-key KEYS.pem]... [--threshold K]\n"
    "                         [--min-serial N]\n"
    "--sign-key may be given up to four times: an installer reads at most four signature lines.\n";

struct Options {
    std::string url, version, setup, out, resign, cosign, check;
    bool haveUrl = false, haveVersion = false, haveExpiresIn = false, haveThreshold = false, dropOtherKeys = false;
    std::vector<std::string> signKeys, publicKeys;
    std::string serial, expiresIn = "14", minSerial = "1", threshold = "1";
};

// Decimal digits only, no more than 2^64 - 1.
bool ParseCount(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t parsed = 0;
    for (const char c : text) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (c < '0' || c > '9' || parsed > (~std::uint64_t{0} - digit) / 10) return false;
        parsed = parsed * 10 + digit;
    }
    value = parsed;
    return true;
}

// An option takes one value unless it has neither a value nor a list: then it is a switch,
// which only sets its flag. The lists collect each value given, the flags say one was.
struct ValueOption {
    const char* name;
    std::string Options::*value = nullptr;
    std::vector<std::string> Options::*values = nullptr;
    bool Options::*given = nullptr;
};
const ValueOption ValueOptions[] = {
    {"--url", &Options::url, nullptr, &Options::haveUrl},
    {"--version", &Options::version, nullptr, &Options::haveVersion},
    {"--setup", &Options::setup},
    {"--out", &Options::out},
    {"--sign-key", nullptr, &Options::signKeys},
    {"--serial", &Options::serial},
    {"--expires-in", &Options::expiresIn, nullptr, &Options::haveExpiresIn},
    {"--resign", &Options::resign},
    {"--drop-other-keys", nullptr, nullptr, &Options::dropOtherKeys},
    {"--cosign", &Options::cosign},
    {"--check", &Options::check},
    {"--public-key", nullptr, &Options::publicKeys},
    {"--threshold", &Options::threshold, nullptr, &Options::haveThreshold},
    {"--min-serial", &Options::minSerial},
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const ValueOption* known = nullptr;
        for (const ValueOption& option : ValueOptions) {
            if (argv[i] == std::string(option.name)) known = &option;
        }
        if (!known) return false;
        if (known->given) options.*known->given = true;
        if (!known->value && !known->values) continue;
        if (++i >= argc) return false;
        if (known->value) options.*known->value = argv[i];
        if (known->values) (options.*known->values).push_back(argv[i]);
    }
    const bool publish = options.haveUrl || options.haveVersion || !options.setup.empty();
    const int modes = (publish ? 1 : 0) + (options.resign.empty() ? 0 : 1) + (options.cosign.empty() ? 0 : 1) +
                      (options.check.empty() ? 0 : 1);
    // More lines than an installer reads would make it refuse the whole signature file.
    if (modes != 1 || options.signKeys.size() > MaxSignatureLines) return false;
    if (options.haveThreshold && options.check.empty()) return false;
    if (options.haveExpiresIn && (!options.check.empty() || !options.cosign.empty())) return false;
    if (options.dropOtherKeys && options.resign.empty()) return false;
    if (!options.check.empty()) return !options.publicKeys.empty() && options.signKeys.empty();
    if (!options.resign.empty() || !options.cosign.empty()) return !options.signKeys.empty() && options.serial.empty();
    // The signature goes beside the manifest file, so signing needs one.
    return options.haveUrl && options.haveVersion && !options.setup.empty() &&
           (options.signKeys.empty() || !options.out.empty());
}

std::uint64_t Now() { return static_cast<std::uint64_t>(std::time(nullptr)) + UnixEpochSince1601; }

// Now plus `days` days, as the manifest writes it; false for 1 to 3650 days not given.
bool ExpiryIn(const std::string& days, std::string& expires) {
    std::uint64_t count = 0;
    if (!ParseCount(days, count) || count < 1 || count > 3650) return false;
    expires = UtcTimeText(Now() + count * 86400);
    return !expires.empty();
}

// Hashes and counts the file in one streaming pass.
bool HashFile(const std::string& path, std::string& sha256, std::uint64_t& size) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    Sha256State state;
    Sha256Init(state);
    std::vector<char> buffer(1 << 16);
    size = 0;
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = file.gcount();
        if (got <= 0) break;
        Sha256Update(state, buffer.data(), static_cast<std::size_t>(got));
        size += static_cast<std::uint64_t>(got);
    }
    if (file.bad()) return false;
    sha256 = Sha256FinalHex(state);
    return true;
}

// Written beside its target, to be renamed over it, so a reader never sees half a file.
bool WriteTemporary(const std::string& temporary, const std::string& text) {
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.flush();
        if (file) return true;
    }
    std::remove(temporary.c_str());
    return false;
}

bool Commit(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    std::remove(temporary.c_str());
    return false;
}

int Fail(const std::string& sentence) {
    std::cerr << sentence << "\n";
    return 1;
}

// Every key before any work, so a wrong one costs no pass over a large setup file.
bool LoadSigningKeys(const std::vector<std::string>& paths, std::vector<UniquePkey>& keys, std::string& errorText) {
    for (const std::string& path : paths) {
        UniquePkey key;
        if (!LoadSigningKey(path, key, errorText)) return false;
        keys.push_back(std::move(key));
    }
    return true;
}

// One signature line per key; both files are complete before either is renamed. The
// signature goes first and the manifest last: a new manifest.json always has its
// signature beside it.
int WriteSigned(const std::vector<UniquePkey>& keys, const std::string& json, const std::string& out) {
    std::string signature;
    for (const UniquePkey& key : keys) {
        std::string line;
        std::string errorText;
        if (!SignManifest(key.get(), json, line, errorText)) return Fail(errorText);
        signature += line;
    }
    const std::string sigPath = out + ".sig";
    if (!WriteTemporary(sigPath + ".tmp", signature) || !WriteTemporary(out + ".tmp", json)) {
        std::remove((sigPath + ".tmp").c_str());
        return Fail("The manifest and its signature could not be written.");
    }
    if (!Commit(sigPath + ".tmp", sigPath)) {
        std::remove((out + ".tmp").c_str());
        return Fail("The signature could not be written.");
    }
    if (!Commit(out + ".tmp", out)) {
        return Fail("The signature was written but the manifest was not; run the tool again before uploading.");
    }
    return 0;
}

int Publish(const Options& options) {
    std::string errorText;
    std::vector<UniquePkey> keys;
    if (!LoadSigningKeys(options.signKeys, keys, errorText)) return Fail(errorText);
    PublishInput input{options.url, options.version, {}, 0, {}, {}};
    if (!options.serial.empty()) {
        std::uint64_t serial = 0;
        if (!ParseCount(options.serial, serial)) return Fail("The serial must be a whole number.");
        input.serial = serial;
        if (!ExpiryIn(options.expiresIn, input.expires)) return Fail("--expires-in takes 1 to 3650 days.");
    }
    // Installers with release keys refuse a signed manifest without a serial.
    if (!keys.empty() && !input.serial) return Fail("Signing needs --serial: the release's sequence number.");
    if (!HashFile(options.setup, input.sha256, input.size)) return Fail("The setup file could not be read.");
    std::string json;
    if (!BuildManifest(input, json, errorText)) return Fail(errorText);
    if (options.out.empty()) {
        std::cout << json;
        return std::cout.flush() ? 0 : 1;
    }
    if (!keys.empty()) return WriteSigned(keys, json, options.out);
    // An unsigned manifest beside an old signature would be a pair no installer accepts.
    if (std::ifstream(options.out + ".sig")) {
        return Fail(options.out + ".sig would no longer match the manifest; sign with --sign-key or remove it.");
    }
    if (WriteTemporary(options.out + ".tmp", json) && Commit(options.out + ".tmp", options.out)) return 0;
    return Fail("The manifest could not be written.");
}

int Resign(const Options& options) {
    std::string errorText;
    std::vector<UniquePkey> keys;
    if (!LoadSigningKeys(options.signKeys, keys, errorText)) return Fail(errorText);
    std::string manifest;
    if (!ReadWholeFile(options.resign, manifest)) return Fail("The manifest " + options.resign + " could not be read.");
    // A key in use that is left out loses its line: installers that know only that key (a
    // rotation's new one), or that need it to reach their threshold, would refuse the release.
    std::string signature;
    std::vector<std::string> others;
    if (!options.dropOtherKeys && ReadWholeFile(options.resign + ".sig", signature)) {
        if (!LinesByOtherKeys(keys, manifest, signature, others)) {
            return Fail(options.resign + ".sig is not a signature file an installer reads; give --drop-other-keys "
                        "to replace it.");
        }
        if (!others.empty()) {
            return Fail(options.resign + ".sig holds signatures by keys not given here. Sign again with every key "
                        "in use (--sign-key, up to four), or give --drop-other-keys and have each other key's holder "
                        "add a line with --cosign before uploading.");
        }
    }
    std::string expires;
    if (!ExpiryIn(options.expiresIn, expires)) return Fail("--expires-in takes 1 to 3650 days.");
    std::string renewed;
    if (!RenewExpiry(manifest, expires, renewed, errorText)) return Fail(errorText);
    return WriteSigned(keys, renewed, options.resign);
}

// Another key holder's line beside those already there; the manifest keeps every byte.
int Cosign(const Options& options) {
    std::string errorText;
    std::vector<UniquePkey> keys;
    if (!LoadSigningKeys(options.signKeys, keys, errorText)) return Fail(errorText);
    const std::string sigPath = options.cosign + ".sig";
    std::string manifest, signature;
    if (!ReadWholeFile(options.cosign, manifest)) return Fail("The manifest " + options.cosign + " could not be read.");
    if (!ParseManifest(manifest)) return Fail("The installer would not read " + options.cosign + " as a manifest.");
    // The given keys' own earlier lines are replaced, so each key keeps one line.
    std::vector<std::string> lines;
    if (!ReadWholeFile(sigPath, signature) || !LinesByOtherKeys(keys, manifest, signature, lines)) {
        return Fail(sigPath + " is missing or not a signature file an installer reads; sign with --resign first.");
    }
    if (lines.size() + keys.size() > MaxSignatureLines) {
        return Fail(sigPath + " would hold more than four lines, and an installer would refuse it.");
    }
    std::string text;
    for (const std::string& line : lines) text += line;
    for (const UniquePkey& key : keys) {
        std::string line;
        if (!SignManifest(key.get(), manifest, line, errorText)) return Fail(errorText);
        text += line;
    }
    if (WriteTemporary(sigPath + ".tmp", text) && Commit(sigPath + ".tmp", sigPath)) return 0;
    return Fail("The signature could not be written.");
}

int Check(const Options& options) {
    std::string errorText;
    std::vector<UniquePkey> keys;
    if (!LoadReleaseKeys(options.publicKeys, keys, errorText)) return Fail(errorText);
    InstallerView installer{&keys, 1, 1, Now()};
    std::uint64_t threshold = 0;
    if (!ParseCount(options.threshold, threshold) || threshold < 1 || threshold > keys.size()) {
        return Fail("--threshold takes 1 to the number of public keys (" + std::to_string(keys.size()) +
                    "), as the installer's build does.");
    }
    installer.threshold = threshold;
    if (!ParseCount(options.minSerial, installer.minSerial)) return Fail("--min-serial takes a whole number.");
    std::string verdict;
    const bool installs = CheckRelease(options.check, installer, verdict);
    (installs ? std::cout : std::cerr) << verdict << "\n";
    return installs ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << Usage;
        return 2;
    }
    if (!options.resign.empty()) return Resign(options);
    if (!options.cosign.empty()) return Cosign(options);
    if (!options.check.empty()) return Check(options);
    return Publish(options);
}
