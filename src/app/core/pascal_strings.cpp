#include "app/core/pascal_strings.h"

#include <algorithm>
#include <cstring>

void pStrCopy(const unsigned char* source, unsigned char* destination) {
  if (source == destination) return;
  std::memmove(destination, source, static_cast<size_t>(source[0]) + 1);
}

void PStrCopyCut(unsigned char* destination, const unsigned char* source, size_t maxLength) {
  const size_t n = std::min(static_cast<size_t>(source[0]), maxLength);
  std::memmove(destination + 1, source + 1, n);
  destination[0] = static_cast<unsigned char>(n);
}

void PStrAppend(unsigned char* destination, std::string_view text) {
  const size_t have = destination[0];
  const size_t add = std::min(text.size(), static_cast<size_t>(kMaxPStrLength) - have);
  std::memmove(destination + 1 + have, text.data(), add);
  destination[0] = static_cast<unsigned char>(have + add);
}

void Pstrcat(unsigned char* destination, const unsigned char* source) {
  // Copy first: the source may be the destination itself.
  const std::string tail(PStrView(source));
  PStrAppend(destination, tail);
}

void SetPStr(unsigned char* destination, std::string_view text) {
  const size_t n = std::min(text.size(), static_cast<size_t>(kMaxPStrLength));
  std::memmove(destination + 1, text.data(), n);
  destination[0] = static_cast<unsigned char>(n);
}

void PCstr(unsigned char* s) {
  const size_t n = s[0];
  std::memmove(s, s + 1, n);
  s[n] = 0;
}

void CPstr(char* s) {
  const size_t n = std::min(std::strlen(s), static_cast<size_t>(kMaxPStrLength));
  std::memmove(s + 1, s, n);
  s[0] = static_cast<char>(static_cast<unsigned char>(n));
}

void CToPStrCopy(unsigned char* destination, const char* source) {
  SetPStr(destination, std::string_view(source, strnlen(source, kMaxPStrLength)));
}

void PToCStrCopy(char* destination, const unsigned char* source) {
  const size_t n = source[0];
  std::memmove(destination, source + 1, n);
  destination[n] = 0;
}

int16_t Pasc_streql(const unsigned char* a, const unsigned char* b) {
  return a[0] == b[0] && std::memcmp(a + 1, b + 1, a[0]) == 0 ? 1 : 0;
}

void StrFolderUp(const unsigned char* path, unsigned char* name) {
  const std::string_view p = PStrView(path);
  // The closing colon is not part of the name.
  const std::string_view body = !p.empty() && p.back() == ':' ? p.substr(0, p.size() - 1) : p;
  const size_t colon = body.rfind(':');
  const std::string part(colon == std::string_view::npos ? body : body.substr(colon + 1));
  SetPStr(name, part);
}
