// kestravon-publish: writes the release manifest for a setup program.
//   kestravon-publish --url URL --version V --setup FILE [--out manifest.json]
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/publish/publish.h"
#include "tools/publish/sha256.h"

namespace {

constexpr char Usage[] = "usage: kestravon-publish --url URL --version V --setup FILE [--out manifest.json]\n";

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

// Written beside the target and renamed over it, so a reader never sees half a manifest.
bool WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.flush();
        if (!file) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string url, version, setup, out;
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
        } else {
            std::cerr << Usage;
            return 2;
        }
    }
    if (!haveUrl || !haveVersion || setup.empty()) {
        std::cerr << Usage;
        return 2;
    }

    PublishInput input{url, version, {}, 0};
    if (!HashFile(setup, input.sha256, input.size)) {
        std::cerr << "The setup file could not be read.\n";
        return 1;
    }
    std::string json, errorText;
    if (!BuildManifest(input, json, errorText)) {
        std::cerr << errorText << "\n";
        return 1;
    }
    if (out.empty()) {
        std::cout << json;
        return std::cout.flush() ? 0 : 1;
    }
    if (!WriteFileAtomically(out, json)) {
        std::cerr << "The manifest could not be written.\n";
        return 1;
    }
    return 0;
}
