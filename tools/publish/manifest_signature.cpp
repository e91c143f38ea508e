// Release manifest signatures with OpenSSL's libcrypto, read back with the installer's decoder.
#include "tools/publish/manifest_signature.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstring>

#include "net/signature_text.h"
#include "tools/publish/publish.h"

namespace {

using UniqueBio = UniqueNullHandle<BIO*, BIO_free_all>;
using UniqueDigestContext = UniqueNullHandle<EVP_MD_CTX*, EVP_MD_CTX_free>;
using UniqueEcdsaSig = UniqueNullHandle<ECDSA_SIG*, ECDSA_SIG_free>;
using UniqueBignum = UniqueNullHandle<BIGNUM*, BN_free>;

constexpr int HalfBytes = 32;        // one P-256 coordinate
constexpr std::size_t Base64Chars = 88;  // 64 bytes with padding

const unsigned char* Bytes(const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); }
unsigned char* Bytes(std::string& text) { return reinterpret_cast<unsigned char*>(text.data()); }

// An encrypted key fails instead of prompting: the tool runs unattended too.
int NoPassword(char*, int, int, void*) { return -1; }

bool IsP256(EVP_PKEY* key) {
    char group[64] = {};
    std::size_t length = 0;
    return EVP_PKEY_is_a(key, "EC") == 1 && EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1 &&
           std::strcmp(group, "prime256v1") == 0;
}

// The public half as the installer's build reads it: SubjectPublicKeyInfo DER.
UniquePkey PublicHalf(EVP_PKEY* key) {
    const int length = i2d_PUBKEY(key, nullptr);
    if (length <= 0) return UniquePkey();
    std::string der(static_cast<std::size_t>(length), '\0');
    unsigned char* out = Bytes(der);
    if (i2d_PUBKEY(key, &out) != length) return UniquePkey();
    const unsigned char* in = Bytes(der);
    return UniquePkey(d2i_PUBKEY(nullptr, &in, length));
}

bool DerFromP1363(const std::string& p1363, std::string& der) {
    UniqueEcdsaSig signature(ECDSA_SIG_new());
    UniqueBignum r(BN_bin2bn(Bytes(p1363), HalfBytes, nullptr));
    UniqueBignum s(BN_bin2bn(Bytes(p1363) + HalfBytes, HalfBytes, nullptr));
    if (!signature || !r || !s || ECDSA_SIG_set0(signature.get(), r.get(), s.get()) != 1) return false;
    r.release();  // owned by the signature now
    s.release();
    const int length = i2d_ECDSA_SIG(signature.get(), nullptr);
    if (length <= 0) return false;
    der.assign(static_cast<std::size_t>(length), '\0');
    unsigned char* out = Bytes(der);
    return i2d_ECDSA_SIG(signature.get(), &out) == length;
}

// A release key as the installer's build takes it: SubjectPublicKeyInfo of id-ecPublicKey on
// prime256v1, then the uncompressed point's 0x04 (X and Y follow).
constexpr char SpkiPrefix[] = "\x30\x59\x30\x13\x06\x07\x2a\x86\x48\xce\x3d\x02\x01\x06"
                               "\x08\x2a\x86\x48\xce\x3d\x03\x01\x07\x03\x42\x00\x04";
constexpr std::size_t SpkiPrefixSize = sizeof(SpkiPrefix) - 1;
constexpr char PemBegin[] = "-----BEGIN PUBLIC KEY-----";
constexpr char PemEnd[] = "-----END PUBLIC KEY-----";

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || IsLineEnd(c); }
bool IsBase64(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

// The base64 of each PEM block of `text`, its line ends removed; false for anything but
// blanks outside the blocks. A block is the BEGIN line, base64 and line ends, then END, as
// the build's pattern reads it.
bool SplitPemBlocks(const std::string& text, std::vector<std::string>& blocks) {
    const std::size_t beginSize = sizeof(PemBegin) - 1, endSize = sizeof(PemEnd) - 1;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        if (text.compare(i, beginSize, PemBegin) != 0) return false;
        std::size_t body = i + beginSize;
        if (body < text.size() && text[body] == '\r') ++body;
        if (body >= text.size() || text[body] != '\n') return false;
        std::size_t end = ++body;
        std::string base64;
        for (; end < text.size() && (IsBase64(text[end]) || IsLineEnd(text[end])); ++end) {
            if (!IsLineEnd(text[end])) base64.push_back(text[end]);
        }
        if (end == body || text.compare(end, endSize, PemEnd) != 0) return false;
        blocks.push_back(base64);
        i = end + endSize;
    }
    return true;
}

// Standard base64 only: the text must be exactly the encoding of the bytes it decodes to.
bool DecodeStandardBase64(const std::string& text, std::string& bytes) {
    if (text.empty() || text.size() % 4 != 0) return false;
    std::string decoded(text.size() / 4 * 3, '\0');
    if (EVP_DecodeBlock(Bytes(decoded), Bytes(text), static_cast<int>(text.size())) < 0) return false;
    decoded.resize(decoded.size() - (text.back() == '=' ? 1 : 0) - (text[text.size() - 2] == '=' ? 1 : 0));
    std::string again(decoded.size() / 3 * 4 + 5, '\0');
    const int length = EVP_EncodeBlock(Bytes(again), Bytes(decoded), static_cast<int>(decoded.size()));
    again.resize(static_cast<std::size_t>(length));
    if (again != text) return false;
    bytes = decoded;
    return true;
}

// The key of a SubjectPublicKeyInfo DER, if OpenSSL reads all of it as a P-256 key (which
// puts the point on the curve).
UniquePkey PublicKeyFromDer(const std::string& der) {
    const unsigned char* in = Bytes(der);
    UniquePkey key(d2i_PUBKEY(nullptr, &in, static_cast<long>(der.size())));
    if (!key || in != Bytes(der) + der.size() || !IsP256(key.get())) return UniquePkey();
    return key;
}

// A line of the signature file: the 64 bytes in standard base64 (88 characters) and a line feed.
std::string Base64Line(const unsigned char (&signature)[64]) {
    std::string line(Base64Chars + 1, '\0');  // EVP_EncodeBlock adds a terminating NUL
    EVP_EncodeBlock(Bytes(line), signature, sizeof(signature));
    line.back() = '\n';
    return line;
}

// `signature` (r‖s) verifies over `body` under `publicKey`.
bool Verifies(EVP_PKEY* publicKey, const std::string& body, const unsigned char (&signature)[64]) {
    std::string der;
    if (!DerFromP1363(std::string(reinterpret_cast<const char*>(signature), sizeof(signature)), der)) return false;
    UniqueDigestContext context(EVP_MD_CTX_new());
    return context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, publicKey) == 1 &&
           EVP_DigestVerify(context.get(), Bytes(der), der.size(), Bytes(body), body.size()) == 1;
}

}  // namespace

bool LoadSigningKey(const std::string& path, UniquePkey& key, std::string& errorText) {
    UniqueBio file(BIO_new_file(path.c_str(), "rb"));
    if (!file) {
        errorText = "The signing key file could not be read.";
        return false;
    }
    UniquePkey loaded(PEM_read_bio_PrivateKey(file.get(), nullptr, NoPassword, nullptr));
    if (!loaded || !IsP256(loaded.get())) {
        errorText = "The signing key must be an unencrypted EC P-256 private key in PEM form.";
        return false;
    }
    key = std::move(loaded);
    return true;
}

bool LoadReleaseKeys(const std::vector<std::string>& paths, std::vector<UniquePkey>& keys, std::string& errorText) {
    std::vector<std::string> seen;  // each key's SubjectPublicKeyInfo
    for (const std::string& path : paths) {
        std::string text;
        if (!ReadWholeFile(path, text)) {
            errorText = "The public key file " + path + " could not be read.";
            return false;
        }
        std::vector<std::string> blocks;
        if (!SplitPemBlocks(text, blocks) || blocks.empty()) {
            errorText = "The public key file " + path + " is not SubjectPublicKeyInfo PEM blocks " +
                        "(-----BEGIN PUBLIC KEY-----) and nothing else, as the installer's build takes it.";
            return false;
        }
        for (const std::string& block : blocks) {
            std::string der;
            UniquePkey key;
            if (!DecodeStandardBase64(block, der) || der.size() != SpkiPrefixSize + 64 ||
                der.compare(0, SpkiPrefixSize, SpkiPrefix, SpkiPrefixSize) != 0 || !(key = PublicKeyFromDer(der))) {
                errorText = "The public key file " + path + " holds a block that is not an ECDSA P-256 public key " +
                            "with an uncompressed point on the curve, in the standard base64 of its " +
                            "SubjectPublicKeyInfo, as the installer's build takes it.";
                return false;
            }
            for (const std::string& other : seen) {
                if (other == der) {
                    errorText = "The public key file " + path + " repeats a key; the installer's build refuses that.";
                    return false;
                }
            }
            seen.push_back(der);
            keys.push_back(std::move(key));
        }
    }
    if (keys.size() > MaxSignatureLines) {
        errorText = "More than " + std::to_string(MaxSignatureLines) +
                    " public keys were given; an installer is built with one to four.";
        return false;
    }
    return true;
}

bool P1363FromDer(const std::string& der, std::string& p1363) {
    const unsigned char* in = Bytes(der);
    UniqueEcdsaSig signature(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(der.size())));
    if (!signature || in != Bytes(der) + der.size()) return false;
    const BIGNUM* r = ECDSA_SIG_get0_r(signature.get());
    const BIGNUM* s = ECDSA_SIG_get0_s(signature.get());
    std::string out(2 * HalfBytes, '\0');
    // BN_bn2binpad fails for a number longer than the pad; shorter ones get leading zeros.
    if (BN_bn2binpad(r, Bytes(out), HalfBytes) != HalfBytes ||
        BN_bn2binpad(s, Bytes(out) + HalfBytes, HalfBytes) != HalfBytes) {
        return false;
    }
    p1363 = out;
    return true;
}

bool SignManifest(EVP_PKEY* key, const std::string& body, std::string& signatureLine, std::string& errorText) {
    UniqueDigestContext context(EVP_MD_CTX_new());
    std::string der(static_cast<std::size_t>(EVP_PKEY_get_size(key)), '\0');
    std::size_t length = der.size();
    std::string p1363;
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(context.get(), Bytes(der), &length, Bytes(body), body.size()) != 1 ||
        !P1363FromDer(der.substr(0, length), p1363)) {
        errorText = "The manifest could not be signed.";
        return false;
    }
    unsigned char signature[64];
    std::memcpy(signature, p1363.data(), sizeof(signature));
    const std::string base64 = Base64Line(signature);
    std::vector<UniquePkey> publicKey;
    publicKey.push_back(PublicHalf(key));
    std::wstring sentence;
    if (!publicKey.back() || !VerifySignatureText(publicKey, 1, body, base64, sentence)) {
        errorText = "The signature does not verify with the key's public half, so nothing was written.";
        return false;
    }
    signatureLine = base64;
    return true;
}

bool VerifySignatureText(const std::vector<UniquePkey>& keys, std::size_t threshold, const std::string& body,
                         const std::string& signatureText, std::wstring& sentence) {
    unsigned char signatures[MaxSignatureLines][64] = {};
    std::size_t count = 0;
    if (signatureText.size() > MaxSignatureTextBytes || !DecodeSignatureLines(signatureText, signatures, count)) {
        sentence = ManifestNotSigned;
        return false;
    }
    // Each key counts once, whichever of its lines verifies, as in the installer.
    std::size_t signers = 0;
    for (const UniquePkey& key : keys) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!Verifies(key.get(), body, signatures[i])) continue;
            if (++signers >= threshold) return true;
            break;
        }
    }
    sentence = ManifestSignatureMismatch;
    return false;
}

bool LinesByOtherKeys(const std::vector<UniquePkey>& signingKeys, const std::string& body,
                      const std::string& signatureText, std::vector<std::string>& lines) {
    unsigned char signatures[MaxSignatureLines][64] = {};
    std::size_t count = 0;
    if (signatureText.size() > MaxSignatureTextBytes || !DecodeSignatureLines(signatureText, signatures, count)) {
        return false;
    }
    std::vector<UniquePkey> publicHalves;
    publicHalves.reserve(signingKeys.size());
    for (const UniquePkey& key : signingKeys) publicHalves.push_back(PublicHalf(key.get()));
    lines.clear();
    for (std::size_t i = 0; i < count; ++i) {
        bool ours = false;
        for (const UniquePkey& key : publicHalves) ours = ours || (key && Verifies(key.get(), body, signatures[i]));
        if (!ours) lines.push_back(Base64Line(signatures[i]));
    }
    return true;
}
