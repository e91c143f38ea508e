// Fuzzes the signature file's reader: it accepts exactly what an independent reading with
// libcrypto's base64 decoder accepts, and yields the same bytes.
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "net/signature_text.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// The lines that are not blank, ASCII white space cut off both ends.
std::vector<std::string> Lines(const std::string& text) {
    static constexpr char Space[] = " \t\n\v\f\r";
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::size_t first = line.find_first_not_of(Space);
        if (first != std::string::npos) lines.push_back(line.substr(first, line.find_last_not_of(Space) + 1 - first));
    }
    return lines;
}

// One signature: libcrypto decodes 88 characters to 66 bytes (the last two the padding's),
// and only the canonical text of those 64 bytes is one.
bool Decode(const std::string& line, unsigned char (&signature)[64]) {
    if (line.size() != 88) return false;
    unsigned char decoded[66] = {};
    const auto* text = reinterpret_cast<const unsigned char*>(line.data());
    if (EVP_DecodeBlock(decoded, text, 88) != 66) return false;
    unsigned char encoded[89] = {};
    if (EVP_EncodeBlock(encoded, decoded, 64) != 88 || std::memcmp(encoded, text, 88) != 0) return false;
    std::memcpy(signature, decoded, 64);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    unsigned char signatures[MaxSignatureLines][64] = {};
    std::size_t count = 0;
    const bool accepted = DecodeSignatureLines(text, signatures, count);

    const std::vector<std::string> lines = Lines(text);
    bool expected = !lines.empty() && lines.size() <= MaxSignatureLines;
    unsigned char decoded[MaxSignatureLines][64] = {};
    for (std::size_t i = 0; expected && i < lines.size(); ++i) expected = Decode(lines[i], decoded[i]);

    Require(accepted == expected);
    if (!accepted) return 0;
    Require(count == lines.size());
    for (std::size_t i = 0; i < count; ++i) Require(std::memcmp(signatures[i], decoded[i], 64) == 0);
    return 0;
}
