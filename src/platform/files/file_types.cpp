#include "platform/files/file_types.h"

#include <sys/xattr.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace plat::files {

namespace {

struct TypeEntry {
  OSType type;
  const char* extension;
};

// Types whose extension is not simply their code in lower case.
constexpr std::array kImageTypes{
    TypeEntry{FourCC("TIFF"), ".tif"},  TypeEntry{FourCC("JPEG"), ".jpg"},
    TypeEntry{FourCC("PNGf"), ".png"},  TypeEntry{FourCC("TEXT"), ".txt"},
    TypeEntry{FourCC("8BPS"), ".psd"},  TypeEntry{FourCC("PICT"), ".pict"},
    TypeEntry{FourCC("GIFf"), ".gif"},  TypeEntry{FourCC("EPSF"), ".eps"},
    TypeEntry{FourCC("MooV"), ".mov"},
};

// Second spellings accepted when reading a name.
constexpr std::array kAliases{
    TypeEntry{FourCC("TIFF"), ".tiff"},
    TypeEntry{FourCC("JPEG"), ".jpeg"},
    TypeEntry{FourCC("TEXT"), ".text"},
};

// The system's own preset, list and scratch types: their extension is the
// code in lower case, and this list gives the code back from it.
constexpr std::array kOwnTypes{
    FourCC("hVig"), FourCC("hXgr"), FourCC("hBor"), FourCC("hYxl"), FourCC("hPts"),
    FourCC("hFra"), FourCC("hTex"), FourCC("hPld"), FourCC("hLst"), FourCC("hCma"),
    FourCC("hZnd"), FourCC("hWea"), FourCC("hShp"), FourCC("hCoo"), FourCC("hCim"),
    FourCC("hPre"), FourCC("hSto"), FourCC("hScr"), FourCC("hSvr"), FourCC("hLbf"),
    FourCC("hHhs"), FourCC("hCom"), FourCC("hCef"), FourCC("hCbd"), FourCC("hShs"),
    FourCC("hRep"), FourCC("hiob"), FourCC("hirc"), FourCC("hipt"), FourCC("pAth"),
    FourCC("aLay"), FourCC("aCha"), FourCC("aLA0"), FourCC("aCH1"), FourCC("aCH3"),
    FourCC("aCH4"), FourCC("aCH5"), FourCC("aCH6"), FourCC("aCH7"), FourCC("aC10"),
    FourCC("aC12"), FourCC("aC14"), FourCC("aC15"), FourCC("aC20"), FourCC("aC27"),
    FourCC("aC28"), FourCC("aHrn"), FourCC("AuQv"), FourCC("Sse2"), FourCC("Sse3"),
    FourCC("Sse4"), FourCC("Sse5"), FourCC("Sw02"), FourCC("Sw03"), FourCC("Sw20"),
    FourCC("Sw30"), FourCC("Sw33"), FourCC("sLic"), FourCC("sBeh"), FourCC("vMkC"),
};

std::string lowerCode(OSType type) {
  std::string out = ".";
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>(type >> shift);
    if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
  }
  return out.size() > 1 ? out : std::string();
}

std::string lowered(std::string_view s) {
  std::string out;
  if (s.empty() || s.front() != '.') out += '.';
  for (char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

constexpr const char* kTypeAttr = "user.vellmarkstead.type";
constexpr const char* kCreatorAttr = "user.vellmarkstead.creator";

void setCode(const std::string& posix, const char* attr, OSType code) {
  if (code == 0) return;
  const std::array<unsigned char, 4> b{static_cast<unsigned char>(code >> 24),
                                       static_cast<unsigned char>(code >> 16),
                                       static_cast<unsigned char>(code >> 8),
                                       static_cast<unsigned char>(code)};
  (void)::setxattr(posix.c_str(), attr, b.data(), b.size(), 0);
}

bool getCode(const std::string& posix, const char* attr, OSType* code) {
  std::array<unsigned char, 4> b{};
  if (::getxattr(posix.c_str(), attr, b.data(), b.size()) != 4) return false;
  *code = (static_cast<OSType>(b[0]) << 24) | (static_cast<OSType>(b[1]) << 16) |
          (static_cast<OSType>(b[2]) << 8) | b[3];
  return true;
}

}  // namespace

std::string ExtensionForType(OSType type) {
  for (const auto& e : kImageTypes)
    if (e.type == type) return e.extension;
  return lowerCode(type);
}

OSType TypeForExtension(std::string_view extension) {
  if (extension.empty()) return 0;
  const std::string ext = lowered(extension);
  for (const auto& e : kImageTypes)
    if (ext == e.extension) return e.type;
  for (const auto& e : kAliases)
    if (ext == e.extension) return e.type;
  for (OSType t : kOwnTypes)
    if (ext == lowerCode(t)) return t;
  return 0;
}

std::string ExtensionOf(std::string_view name) {
  const size_t slash = name.find_last_of("/:");
  const std::string_view leaf = slash == std::string_view::npos ? name : name.substr(slash + 1);
  const size_t dot = leaf.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return std::string(leaf.substr(dot));
}

std::string WithTypeExtension(std::string_view name, OSType type) {
  const std::string ext = ExtensionForType(type);
  if (ext.empty() || TypeForExtension(ExtensionOf(name)) == type) return std::string(name);
  // A type we know nothing about keeps a name that already carries its code.
  if (lowered(ExtensionOf(name)) == ext) return std::string(name);
  return std::string(name) + ext;
}

std::string DisplayName(std::string_view name) {
  const std::string ext = ExtensionOf(name);
  if (ext.empty()) return std::string(name);
  const OSType type = TypeForExtension(ext);
  const bool mark = std::find(kOwnTypes.begin(), kOwnTypes.end(), type) != kOwnTypes.end();
  return std::string(mark ? name.substr(0, name.size() - ext.size()) : name);
}

void SetTypeCreator(const std::string& posix, OSType type, OSType creator) {
  setCode(posix, kTypeAttr, type);
  setCode(posix, kCreatorAttr, creator);
}

bool GetTypeCreator(const std::string& posix, OSType* type, OSType* creator) {
  OSType t = 0, c = 0;
  const bool hasType = getCode(posix, kTypeAttr, &t);
  const bool hasCreator = getCode(posix, kCreatorAttr, &c);
  if (type != nullptr) *type = t;
  if (creator != nullptr) *creator = c;
  return hasType || hasCreator;
}

OSType FileTypeOf(const std::string& posix) {
  OSType t = 0;
  if (GetTypeCreator(posix, &t, nullptr) && t != 0) return t;
  return TypeForExtension(ExtensionOf(posix));
}

}  // namespace plat::files
