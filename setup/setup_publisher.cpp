// The pinned publisher: WinVerifyTrust on the held setup program, its signer's common name and
// issuer's key, and a revocation check that cannot hang the installer.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS  // CERT_CHAIN_PARA.dwUrlRetrievalTimeout
#include "setup/setup_publisher.h"

#include <cstring>
#include <cwchar>

#include "common/win_owners.h"

namespace {

// The failure, naming the pinned publisher.
bool NotSignedBy(ErrorText& errorText, const wchar_t* publisher, DWORD code = 0) {
    std::wstring sentence = L"Security check failed: installer is not signed by ";
    sentence += publisher;
    sentence += L'.';
    return Fail(errorText, std::move(sentence), code);
}

// True when the subject's common name is exactly `publisher`: same length (a null inside
// the name counts), same characters.
bool HasCommonName(PCCERT_CONTEXT certificate, const wchar_t* publisher) {
    void* type = const_cast<char*>(szOID_COMMON_NAME);
    wchar_t name[MaxPublisherChars + 1] = {};
    const DWORD length = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, nullptr, 0);
    const std::size_t expected = wcslen(publisher) + 1;
    return length == expected && length <= MaxPublisherChars + 1 &&
           CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, name, length) == length &&
           wmemcmp(name, publisher, length) == 0;
}

// True when the certificate that issued `signer`'s, in the chain WinVerifyTrust built, has
// a pinned key. The issuer's key is pinned, not the signer's: signing certificates are
// renewed (and re-keyed) far more often than a certificate authority's key.
bool IssuedByPinnedKey(CRYPT_PROVIDER_SGNR* signer, const SetupSigner& pin) {
    if (pin.issuerKeyCount == 0) return true;
    CRYPT_PROVIDER_CERT* issuer = signer->csCertChain > 1 ? WTHelperGetProvCertFromChain(signer, 1) : nullptr;
    if (!issuer || !issuer->pCert) return false;
    // The key as its certificate encodes it (DER of SubjectPublicKeyInfo); RSA 8192 needs about 1,100 bytes.
    unsigned char keyInfo[2048];
    DWORD size = sizeof(keyInfo);
    unsigned char digest[32] = {};
    if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &issuer->pCert->pCertInfo->SubjectPublicKeyInfo,
                           keyInfo, &size) ||
        BCryptHash(Sha256Algorithm(), nullptr, 0, keyInfo, size, digest, sizeof(digest)) < 0) {
        return false;
    }
    for (std::size_t i = 0; i < pin.issuerKeyCount; ++i) {
        if (std::memcmp(digest, pin.issuerKeys[i], sizeof(digest)) == 0) return true;
    }
    return false;
}

// The revocation of the signer's chain, checked online apart from WinVerifyTrust so that the
// wait has a bound: on a captive or dead network each fetch waits, and all of them together
// may take RevocationRetrievalMs. A status that cannot be learned in time passes (signature,
// trust and name are already checked); a certificate known to be revoked fails.
bool KnownRevoked(PCCERT_CONTEXT certificate) {
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof(parameters);
    parameters.dwUrlRetrievalTimeout = RevocationRetrievalMs;
    UniqueCertChain chain;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &parameters,
                                 CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                     CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                                 nullptr, chain.put())) {
        return false;
    }
    return (chain.get()->TrustStatus.dwErrorStatus & CERT_TRUST_IS_REVOKED) != 0;
}

}  // namespace

bool CheckSetupPublisher(HANDLE heldFile, const std::wstring& path, const SetupSigner& pin,
                         ErrorText& errorText) {
    const wchar_t* publisher = pin.publisher;
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    file.hFile = heldFile;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    // Revocation, the part that needs the network on every run, is checked below with a
    // bound on the wait. Left to the system: fetching a root or intermediate certificate
    // this machine lacks, which happens once, if ever (signatures carry intermediates).
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG trust = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    const TrustState state(&data);  // closed on every path from here on
    if (trust != ERROR_SUCCESS) return NotSignedBy(errorText, publisher, static_cast<DWORD>(trust));

    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* certificate = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
    if (!certificate || !certificate->pCert || !HasCommonName(certificate->pCert, publisher) ||
        !IssuedByPinnedKey(signer, pin)) {
        return NotSignedBy(errorText, publisher);
    }
    if (KnownRevoked(certificate->pCert)) return NotSignedBy(errorText, publisher, static_cast<DWORD>(CRYPT_E_REVOKED));
    return true;
}
