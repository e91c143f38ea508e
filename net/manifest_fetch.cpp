// Fetches the release manifest into memory, refusing bodies over 1 MiB.
#include "net/manifest_fetch.h"

#include <vector>

#include "net/https.h"

bool FetchManifest(const std::wstring& url, std::string& body, ErrorText& errorText) {
    constexpr DWORD ReadBufferBytes = 16384;
    HttpsRequest https;
    if (!OpenHttpsRequest(url, https, errorText)) return false;

    body.clear();
    std::vector<char> buffer(ReadBufferBytes, '\0');
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(https.request.get(), buffer.data(), ReadBufferBytes, &read)) {
            return Fail(errorText, L"Could not read the Kestravon manifest.", GetLastError());
        }
        if (read == 0) return true;
        // Tested before appending, so the body never grows past the limit.
        if (body.size() + read > MaxManifestBytes) return Fail(errorText, L"Kestravon manifest is unexpectedly large.");
        body.append(buffer.data(), read);
    }
}
