// Length-prefixed strings: one unsigned length byte, then that many
// characters, in a 256-byte buffer. Every function here keeps the length at
// or below 255 and the length byte equal to the characters that follow it:
// text that would not fit is cut at 255 characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Str255 = unsigned char[256];

inline constexpr int kMaxPStrLength = 255;

// Copies a length-prefixed string (length byte and that many characters).
void pStrCopy(const unsigned char* source, unsigned char* destination);
// Copies a length-prefixed string keeping at most `maxLength` characters, for
// fields shorter than a whole string; the length byte tells what was kept.
void PStrCopyCut(unsigned char* destination, const unsigned char* source, size_t maxLength);
// Appends the source's characters; the result is cut at 255 characters.
void Pstrcat(unsigned char* destination, const unsigned char* source);

// Length-prefixed string, in place, to a C string.
void PCstr(unsigned char* s);
// C string, in place, to a length-prefixed string (cut at 255 characters).
void CPstr(char* s);
// Copies a C string into a length-prefixed string (cut at 255 characters).
void CToPStrCopy(unsigned char* destination, const char* source);
// Copies a length-prefixed string into a C string and appends the zero; the
// destination holds at least length + 1 bytes.
void PToCStrCopy(char* destination, const unsigned char* source);
// 1 when lengths and characters are equal (case counts), else 0.
int16_t Pasc_streql(const unsigned char* a, const unsigned char* b);
// The name of the last folder of a folder path ("Disk:Images:Tiles:" gives
// "Tiles"); a path without a closing colon gives its last name.
void StrFolderUp(const unsigned char* path, unsigned char* name);

// Conveniences for C++ callers.
// Sets a length-prefixed string from text (cut at 255 characters).
void SetPStr(unsigned char* destination, std::string_view text);
// The characters of a length-prefixed string.
inline std::string_view PStrView(const unsigned char* s) {
  return {reinterpret_cast<const char*>(s + 1), s[0]};
}
inline std::string PStrString(const unsigned char* s) { return std::string(PStrView(s)); }
// Appends text to a length-prefixed string (cut at 255 characters).
void PStrAppend(unsigned char* destination, std::string_view text);
