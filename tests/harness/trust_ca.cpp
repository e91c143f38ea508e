// Test helper: adds a DER certificate file to the LocalMachine "Root" store of the
// Wine prefix it runs in. Usage: trust_ca.exe <file.der>. Exit code 0 on success.
#include <cstdio>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "common/owners.h"

namespace {

void CloseStore(HCERTSTORE store) { CertCloseStore(store, 0); }
using UniqueCertStore = UniqueNullHandle<HCERTSTORE, CloseStore>;

std::vector<BYTE> ReadWholeFile(const wchar_t* path) {
    std::vector<BYTE> bytes;
    FILE* file = _wfopen(path, L"rb");
    if (!file) return bytes;
    BYTE buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(file);
    return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: trust_ca <certificate.der>\n");
        return 2;
    }
    std::vector<BYTE> der = ReadWholeFile(argv[1]);
    if (der.empty()) {
        fwprintf(stderr, L"trust_ca: cannot read %ls\n", argv[1]);
        return 1;
    }
    UniqueCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                        CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (!store) {
        fwprintf(stderr, L"trust_ca: CertOpenStore failed (%lu)\n", GetLastError());
        return 1;
    }
    if (!CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                          nullptr)) {
        fwprintf(stderr, L"trust_ca: CertAddEncodedCertificateToStore failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
