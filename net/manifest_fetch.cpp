// Fetches the release manifest into memory, refusing bodies over 1 MiB, and its signature
// file, refusing bodies over 1 KiB.
#include "net/manifest_fetch.h"

#include "net/https.h"
#include "net/manifest_signature.h"
#include "net/signature_text.h"

namespace {

// Why a fetch of a small body stopped without a failure of its own.
enum class Refusal {
    None,      // a network failure: the HTTPS layer's sentence is written
    Status,    // the server refused, other than 2xx ("... returned HTTP <n>." is written)
    Outage,    // the same, but a 5xx or 429: the server is down or busy, not refusing
    TooLarge,  // the body would pass the limit; nothing is written
};

// Fetches `url` into `body`, at most `limit` bytes, which it never grows past.
bool FetchSmallBody(const std::wstring& url, std::size_t limit, std::string& body, Refusal& refusal,
                    ErrorText& errorText, const StallBound& stall = {}) {
    constexpr DWORD ReadBufferBytes = 16384;
    HttpsRequest https;
    refusal = Refusal::None;
    if (!OpenHttpsRequest(url, https, errorText)) {
        if (https.status != 0) refusal = https.status >= 500 || https.status == 429 ? Refusal::Outage : Refusal::Status;
        return false;
    }
    body.clear();
    std::string buffer(ReadBufferBytes, '\0');
    StallWatch watch{stall};
    for (;;) {
        DWORD read = 0;
        if (!ReadBodyPiece(https.request.get(), buffer.data(), ReadBufferBytes, read, watch)) {
            return Fail(errorText, L"Could not read the Kestravon manifest.", GetLastError());
        }
        if (read == 0) return true;
        // Tested before appending, so the body never grows past the limit.
        if (body.size() + read > limit) {
            refusal = Refusal::TooLarge;
            return false;
        }
        body.append(buffer.data(), read);
    }
}

}  // namespace

bool FetchManifest(const std::wstring& url, std::string& body, ErrorText& errorText, const StallBound& stall) {
    Refusal refusal = Refusal::None;
    if (FetchSmallBody(url, MaxManifestBytes, body, refusal, errorText, stall)) return true;
    return refusal == Refusal::TooLarge ? Fail(errorText, L"Kestravon manifest is unexpectedly large.") : false;
}

bool FetchManifestSignature(const std::wstring& url, std::string& text, ErrorText& errorText) {
    // A server that refuses the request, or sends more than a signature file holds, has none to
    // give; one that is down or busy may have one later, so it keeps the status sentence.
    Refusal refusal = Refusal::None;
    if (FetchSmallBody(url, MaxSignatureTextBytes, text, refusal, errorText)) return true;
    return refusal == Refusal::None || refusal == Refusal::Outage ? false : Fail(errorText, ManifestNotSigned);
}
