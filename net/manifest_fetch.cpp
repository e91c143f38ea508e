// Fetches the release manifest into memory, refusing bodies over 1 MiB.
#include "net/manifest_fetch.h"

#include <vector>

#include "net/https.h"

bool FetchManifest(const std::wstring& url, std::string& body, std::wstring& errorText) {
    constexpr DWORD ReadBufferBytes = 16384;
    RedirectTrace trace;
    WinHttpHandle root;
    WinHttpHandle connection;
    WinHttpHandle request;
    if (!OpenHttpsRequest(url, root, connection, request, trace, errorText)) return false;

    body.clear();
    std::vector<char> buffer(ReadBufferBytes, '\0');
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), ReadBufferBytes, &read)) {
            errorText = L"Could not read the Kestravon manifest.";
            return false;
        }
        if (read == 0) return true;
        // Tested before appending, so the body never grows past the limit.
        if (body.size() + read > MaxManifestBytes) {
            errorText = L"Kestravon manifest is unexpectedly large.";
            return false;
        }
        body.append(buffer.data(), read);
    }
}
