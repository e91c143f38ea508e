// Textual Windows path rules: drive designators, network roots, device and
// namespace prefixes, and both separators. Pure functions, portable.
#pragma once

#include <string>

std::wstring JoinPath(const std::wstring& left, const std::wstring& right);
std::wstring ParentPath(const std::wstring& path);
bool IsAbsolutePath(const std::wstring& path);
std::wstring NormalizePath(const std::wstring& path);
