// Files and digests for Windows tests: whole-file reads and SHA-256 apart from the product's.
#pragma once

#include <string>

// The whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);
// Lower-case hex SHA-256 of `data` in one CNG call; empty on failure.
std::string Sha256Hex(const std::string& data);
