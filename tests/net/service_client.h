// Test-side access to the test release service that netns-run.sh starts: its folder
// (manifest, served files, request log) and its generated bodies.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "net/https.h"

// One request as the service logged it.
struct ServiceRequest {
    int port = 0;
    bool tls = false;
    std::string method;
    std::string path;  // request target: path plus query
    std::string host;  // the Host header
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order

    // The value of the first header named `name` (case-insensitive), or empty.
    std::string Header(const std::string& name) const;
    int CountHeader(const std::string& name) const;
};

// The service folder as a Windows path (Z:\...), or empty outside netns-run.sh.
std::wstring ServiceDir();
// Writes <service-dir>/manifest.json, or <service-dir>/files/<name>.
bool WriteManifest(const std::string& body);
bool WriteServedFile(const std::wstring& name, const std::string& body);
// Writes <service-dir>/manifest.json.sig, served at the manifest's path + ".sig"; removing
// it makes that path answer 404.
bool WriteManifestSignature(const std::string& body);
void RemoveManifestSignature();

// Every request logged so far, oldest first; and forgetting them.
std::vector<ServiceRequest> RecordedRequests();
void ClearRecordedRequests();

// The release's stall bound run 30 times faster, for bodies the service trickles (`every=`).
constexpr StallBound TestStall{StallBound{}.windowMs / 30, StallBound{}.minimumBytes / 30};

// URL of `size` bytes of the seeded pattern: "https://kestravon.test/t/body?size=..&seed=.." + extra.
std::wstring BodyUrl(std::uint64_t size, int seed, const std::wstring& extra = L"");
// The hex SHA-256 of that body, as the service computes it; empty on failure.
std::string BodySha256(std::uint64_t size, int seed);
