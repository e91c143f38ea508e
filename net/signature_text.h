// The release manifest's signature file: standard base64 of the 64-byte r‖s. Portable.
#pragma once

#include <string>

constexpr std::size_t MaxSignatureTextBytes = 1024;

// The 64 bytes of `text`, which is the base64 (with padding) of exactly 64 bytes with only
// ASCII white space around it. Strict: no white space inside, no missing or extra padding,
// no set bits after the last byte; false for anything else.
bool DecodeSignatureText(const std::string& text, unsigned char (&signature)[64]);
