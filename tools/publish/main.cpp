// kestravon-publish: writes the release manifest for a setup program, and its signature.
//   kestravon-publish --url URL --version V --setup FILE [--out manifest.json [--sign-key KEY.pem]]
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/publish/manifest_signature.h"
#include "tools/publish/publish.h"
#include "tools/publish/sha256.h"

namespace {

constexpr char Usage[] =
    "usage: kestravon-publish --url URL --version V --setup FILE [--out manifest.json [--sign-key KEY.pem]]\n";

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

}  // namespace

int main(int argc, char** argv) {
    std::string url, version, setup, out, signKey;
    bool haveUrl = false, haveVersion = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::cerr << Usage;
            return 2;
        }
        const std::string value = argv[++i];
        if (option == "--url") {
            url = value;
            haveUrl = true;
        } else if (option == "--version") {
            version = value;
            haveVersion = true;
        } else if (option == "--setup") {
            setup = value;
        } else if (option == "--out") {
            out = value;
        } else if (option == "--sign-key") {
            signKey = value;
        } else {
            std::cerr << Usage;
            return 2;
        }
    }
    // The signature goes beside the manifest file, so signing needs one.
    if (!haveUrl || !haveVersion || setup.empty() || (!signKey.empty() && out.empty())) {
        std::cerr << Usage;
        return 2;
    }

    std::string errorText;
    UniquePkey key;
    // Before hashing, so a wrong key costs no pass over a large setup file.
    if (!signKey.empty() && !LoadSigningKey(signKey, key, errorText)) {
        std::cerr << errorText << "\n";
        return 1;
    }
    PublishInput input{url, version, {}, 0};
    if (!HashFile(setup, input.sha256, input.size)) {
        std::cerr << "The setup file could not be read.\n";
        return 1;
    }
    std::string json;
    if (!BuildManifest(input, json, errorText)) {
        std::cerr << errorText << "\n";
        return 1;
    }
    if (out.empty()) {
        std::cout << json;
        return std::cout.flush() ? 0 : 1;
    }
    if (!key) {
        // An unsigned manifest beside an old signature would be a pair no installer accepts.
        if (std::ifstream(out + ".sig")) {
            std::cerr << out << ".sig would no longer match the manifest; sign with --sign-key or remove it.\n";
            return 1;
        }
        if (WriteTemporary(out + ".tmp", json) && Commit(out + ".tmp", out)) return 0;
        std::cerr << "The manifest could not be written.\n";
        return 1;
    }

    std::string signature;
    if (!SignManifest(key.get(), json, signature, errorText)) {
        std::cerr << errorText << "\n";
        return 1;
    }
    // Both files are complete before either is renamed. The signature goes first and
    // the manifest last: a new manifest.json always has its signature beside it.
    const std::string sigPath = out + ".sig";
    if (!WriteTemporary(sigPath + ".tmp", signature) || !WriteTemporary(out + ".tmp", json)) {
        std::remove((sigPath + ".tmp").c_str());
        std::cerr << "The manifest and its signature could not be written.\n";
        return 1;
    }
    if (!Commit(sigPath + ".tmp", sigPath)) {
        std::remove((out + ".tmp").c_str());
        std::cerr << "The signature could not be written.\n";
        return 1;
    }
    if (!Commit(out + ".tmp", out)) {
        std::cerr << "The signature was written but the manifest was not; run the tool again before uploading.\n";
        return 1;
    }
    return 0;
}
