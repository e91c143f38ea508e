// Release manifest signatures with OpenSSL's libcrypto, read back with the installer's decoder.
#include "tools/publish/manifest_signature.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstring>

#include "net/signature_text.h"

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

bool LoadPublicKeys(const std::string& path, std::vector<UniquePkey>& keys, std::string& errorText) {
    UniqueBio file(BIO_new_file(path.c_str(), "rb"));
    if (!file) {
        errorText = "The public key file " + path + " could not be read.";
        return false;
    }
    std::size_t found = 0;
    for (;;) {
        UniquePkey key(PEM_read_bio_PUBKEY(file.get(), nullptr, NoPassword, nullptr));
        if (!key) break;
        if (!IsP256(key.get())) {
            errorText = "The public key file " + path + " holds a key that is not EC P-256.";
            return false;
        }
        keys.push_back(std::move(key));
        ++found;
    }
    if (found == 0) {
        errorText = "The public key file " + path + " holds no PEM public key.";
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
    std::string base64(Base64Chars + 1, '\0');  // EVP_EncodeBlock adds a terminating NUL
    if (EVP_EncodeBlock(Bytes(base64), Bytes(p1363), static_cast<int>(p1363.size())) !=
        static_cast<int>(Base64Chars)) {
        errorText = "The manifest could not be signed.";
        return false;
    }
    base64.back() = '\n';
    std::vector<UniquePkey> publicKey;
    publicKey.push_back(PublicHalf(key));
    std::wstring sentence;
    if (!publicKey.back() || !VerifySignatureText(publicKey, body, base64, sentence)) {
        errorText = "The signature does not verify with the key's public half, so nothing was written.";
        return false;
    }
    signatureLine = base64;
    return true;
}

bool VerifySignatureText(const std::vector<UniquePkey>& keys, const std::string& body,
                         const std::string& signatureText, std::wstring& sentence) {
    unsigned char signatures[MaxSignatureLines][64] = {};
    std::size_t count = 0;
    if (signatureText.size() > MaxSignatureTextBytes || !DecodeSignatureLines(signatureText, signatures, count)) {
        sentence = ManifestNotSigned;
        return false;
    }
    for (const UniquePkey& key : keys) {
        for (std::size_t i = 0; i < count; ++i) {
            if (Verifies(key.get(), body, signatures[i])) return true;
        }
    }
    sentence = ManifestSignatureMismatch;
    return false;
}
