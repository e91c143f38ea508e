// Fetches the release manifest into memory, refusing bodies over 1 MiB, and its signature
// file, refusing bodies over 1 KiB.
#include "net/manifest_fetch.h"

#include <vector>

#include "net/https.h"
#include "net/manifest_signature.h"
#include "net/signature_text.h"

namespace {

// Reads the body of an opened request to its end; false on a read failure, or with
// `tooLarge` set once the body would pass `limit`.
bool ReadSmallBody(HINTERNET request, std::size_t limit, std::string& body, bool& tooLarge, ErrorText& errorText) {
    constexpr DWORD ReadBufferBytes = 16384;
    body.clear();
    std::vector<char> buffer(ReadBufferBytes, '\0');
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), ReadBufferBytes, &read)) {
            return Fail(errorText, L"Could not read the Kestravon manifest.", GetLastError());
        }
        if (read == 0) return true;
        // Tested before appending, so the body never grows past the limit.
        tooLarge = body.size() + read > limit;
        if (tooLarge) return false;
        body.append(buffer.data(), read);
    }
}

}  // namespace

bool FetchManifest(const std::wstring& url, std::string& body, ErrorText& errorText) {
    HttpsRequest https;
    if (!OpenHttpsRequest(url, https, errorText)) return false;
    bool tooLarge = false;
    if (ReadSmallBody(https.request.get(), MaxManifestBytes, body, tooLarge, errorText)) return true;
    return tooLarge ? Fail(errorText, L"Kestravon manifest is unexpectedly large.") : false;
}

bool FetchManifestSignature(const std::wstring& url, std::string& text, ErrorText& errorText) {
    HttpsRequest https;
    // A status other than 2xx: the server answered, and has no signature to give.
    if (!OpenHttpsRequest(url, https, errorText)) return https.status == 0 ? false : Fail(errorText, ManifestNotSigned);
    bool tooLarge = false;
    if (ReadSmallBody(https.request.get(), MaxSignatureTextBytes, text, tooLarge, errorText)) return true;
    return tooLarge ? Fail(errorText, ManifestNotSigned) : false;
}
