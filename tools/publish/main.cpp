// kestravon-publish: writes the release manifest for a setup program and its signature, signs
// a published manifest again with a new expiry, and checks a release folder before upload.
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

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
    "       kestravon-publish --check FOLDER --public-key KEYS.pem [--public-key KEYS.pem]... [--min-serial N]\n";

struct Options {
    std::string url, version, setup, out, resign, check;
    bool haveUrl = false, haveVersion = false;
    std::vector<std::string> signKeys, publicKeys;
    std::string serial, expiresIn = "14", minSerial = "1";
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

// Every option takes one value; the lists collect each one given, the flags say one was.
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
    {"--expires-in", &Options::expiresIn},
    {"--resign", &Options::resign},
    {"--check", &Options::check},
    {"--public-key", nullptr, &Options::publicKeys},
    {"--min-serial", &Options::minSerial},
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; i += 2) {
        const ValueOption* known = nullptr;
        for (const ValueOption& option : ValueOptions) {
            if (argv[i] == std::string(option.name)) known = &option;
        }
        if (!known || i + 1 >= argc) return false;
        const std::string value = argv[i + 1];
        if (known->value) options.*known->value = value;
        if (known->values) (options.*known->values).push_back(value);
        if (known->given) options.*known->given = true;
    }
    const bool publish = options.haveUrl || options.haveVersion || !options.setup.empty();
    const int modes = (publish ? 1 : 0) + (options.resign.empty() ? 0 : 1) + (options.check.empty() ? 0 : 1);
    if (modes != 1) return false;
    if (!options.check.empty()) return !options.publicKeys.empty() && options.signKeys.empty();
    if (!options.resign.empty()) return !options.signKeys.empty() && options.serial.empty();
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
    std::ifstream file(options.resign, std::ios::binary);
    const std::string manifest((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file || file.bad()) return Fail("The manifest " + options.resign + " could not be read.");
    std::string expires;
    if (!ExpiryIn(options.expiresIn, expires)) return Fail("--expires-in takes 1 to 3650 days.");
    std::string renewed;
    if (!RenewExpiry(manifest, expires, renewed, errorText)) return Fail(errorText);
    return WriteSigned(keys, renewed, options.resign);
}

int Check(const Options& options) {
    std::string errorText;
    std::vector<UniquePkey> keys;
    for (const std::string& path : options.publicKeys) {
        if (!LoadPublicKeys(path, keys, errorText)) return Fail(errorText);
    }
    InstallerView installer{&keys, 1, Now()};
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
    if (!options.check.empty()) return Check(options);
    return Publish(options);
}
