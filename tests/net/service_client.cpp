// Reads and writes the test release service's folder through Wine's Z: drive.
#include "tests/net/service_client.h"

#include <windows.h>

#include "net/manifest_fetch.h"
#include "tests/support/environment.h"
#include "tests/support/files.h"

namespace {

// Just enough JSON for the service's log lines: objects, arrays, strings, numbers, booleans.
struct JsonReader {
    const std::string& text;
    std::size_t at = 0;

    void Skip() {
        while (at < text.size() && (text[at] == ' ' || text[at] == ',' || text[at] == ':')) ++at;
    }
    std::string String() {
        std::string value;
        ++at;  // opening quote
        while (at < text.size() && text[at] != '"') {
            char c = text[at++];
            if (c == '\\' && at < text.size()) {
                c = text[at++];
                if (c == 'u') {  // the service writes ASCII only; keep the low byte
                    c = static_cast<char>(std::stoi(text.substr(at, 4), nullptr, 16) & 0xFF);
                    at += 4;
                } else if (c == 'n') {
                    c = '\n';
                } else if (c == 't') {
                    c = '\t';
                } else if (c == 'r') {
                    c = '\r';
                }
            }
            value.push_back(c);
        }
        ++at;  // closing quote
        return value;
    }
    std::string Scalar() {
        const std::size_t start = at;
        while (at < text.size() && text[at] != ',' && text[at] != '}' && text[at] != ']') ++at;
        return text.substr(start, at - start);
    }
    std::vector<std::string> StringArray() {
        std::vector<std::string> values;
        ++at;
        for (Skip(); at < text.size() && text[at] != ']'; Skip()) values.push_back(String());
        ++at;
        return values;
    }
};

ServiceRequest ParseRequestLine(const std::string& line) {
    ServiceRequest request;
    JsonReader reader{line};
    reader.at = line.find('{') + 1;
    for (reader.Skip(); reader.at < line.size() && line[reader.at] != '}'; reader.Skip()) {
        const std::string key = reader.String();
        reader.Skip();
        if (key == "headers") {
            ++reader.at;  // [
            for (reader.Skip(); line[reader.at] != ']'; reader.Skip()) {
                std::vector<std::string> pair = reader.StringArray();
                if (pair.size() == 2) request.headers.emplace_back(pair[0], pair[1]);
            }
            ++reader.at;
        } else if (line[reader.at] == '"') {
            const std::string value = reader.String();
            if (key == "method") request.method = value;
            if (key == "path") request.path = value;
            if (key == "host") request.host = value;
        } else {
            const std::string value = reader.Scalar();
            if (key == "port") request.port = std::stoi(value);
            if (key == "tls") request.tls = value == "true";
        }
    }
    return request;
}

bool SameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string ServiceRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (SameLetters(key, name)) return value;
    }
    return {};
}

int ServiceRequest::CountHeader(const std::string& name) const {
    int count = 0;
    for (const auto& header : headers) count += SameLetters(header.first, name) ? 1 : 0;
    return count;
}

std::wstring ServiceDir() { return HostPathFromEnvironment(L"KESTRAVON_SERVICE_DIR"); }

bool WriteManifest(const std::string& body) { return WriteWholeFile(ServiceDir() + L"\\manifest.json", body); }

bool WriteManifestSignature(const std::string& body) {
    return WriteWholeFile(ServiceDir() + L"\\manifest.json.sig", body);
}

void RemoveManifestSignature() { DeleteFileW((ServiceDir() + L"\\manifest.json.sig").c_str()); }

bool WriteServedFile(const std::wstring& name, const std::string& body) {
    return WriteWholeFile(ServiceDir() + L"\\files\\" + name, body);
}

std::vector<ServiceRequest> RecordedRequests() {
    std::vector<ServiceRequest> requests;
    const std::string text = ReadWholeFile(ServiceDir() + L"\\requests.jsonl");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) requests.push_back(ParseRequestLine(text.substr(start, end - start)));
        start = end + 1;
    }
    return requests;
}

void ClearRecordedRequests() { DeleteFileW((ServiceDir() + L"\\requests.jsonl").c_str()); }

std::wstring BodyUrl(std::uint64_t size, int seed, const std::wstring& extra) {
    return L"https://kestravon.test/t/body?size=" + std::to_wstring(size) + L"&seed=" + std::to_wstring(seed) + extra;
}

std::string BodySha256(std::uint64_t size, int seed) {
    std::string body;
    ErrorText errorText;
    const std::wstring url =
        L"https://kestravon.test/t/sha256?size=" + std::to_wstring(size) + L"&seed=" + std::to_wstring(seed);
    if (!FetchManifest(url, body, errorText)) return {};
    return body;
}
