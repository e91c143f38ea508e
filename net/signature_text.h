// The release manifest's signature file: one to four lines, each the standard base64 of a
// 64-byte r‖s. Portable.
#pragma once

#include <cstddef>
#include <string>

constexpr std::size_t MaxSignatureTextBytes = 1024;
constexpr std::size_t MaxSignatureLines = 4;  // one per release key, while keys rotate

// What a pinned installer says of a manifest whose signature file it cannot use, or whose
// signatures no pinned key verifies.
inline constexpr wchar_t ManifestNotSigned[] = L"Security check failed: release manifest is not signed.";
inline constexpr wchar_t ManifestSignatureMismatch[] =
    L"Security check failed: release manifest signature did not match.";

// The signatures of `text`, in order, into `signatures`, their number into `count`. Each
// line that is not blank holds the base64 (with padding) of exactly 64 bytes, with only
// ASCII white space around it. Strict: no white space inside, no missing or extra
// padding, no set bits after the last byte. False, with nothing promised of the outputs,
// for no such line, more than four, or any other line.
bool DecodeSignatureLines(const std::string& text, unsigned char (&signatures)[MaxSignatureLines][64],
                          std::size_t& count);
