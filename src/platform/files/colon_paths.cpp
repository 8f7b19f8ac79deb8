#include "platform/files/colon_paths.h"

#include <filesystem>
#include <vector>

namespace plat::files {

std::string SwapNameSeparators(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c == ':')
      c = '/';
    else if (c == '/')
      c = ':';
  }
  return out;
}

bool IsAbsoluteColonPath(std::string_view colon) {
  const size_t first = colon.find(':');
  return first != std::string_view::npos && first > 0;
}

std::string ColonToPosix(std::string_view colon) {
  if (colon.empty()) return {};
  if (colon.find(':') == std::string_view::npos) return SwapNameSeparators(colon);

  const bool absolute = IsAbsoluteColonPath(colon);
  std::vector<std::string> parts;
  size_t i = 0;
  if (!absolute) {
    // A leading run of k colons climbs k - 1 folders from the current one.
    size_t run = 0;
    while (i < colon.size() && colon[i] == ':') ++run, ++i;
    for (size_t k = 1; k < run; ++k) parts.emplace_back("..");
  }
  while (i < colon.size()) {
    const size_t end = colon.find(':', i);
    const size_t stop = end == std::string_view::npos ? colon.size() : end;
    parts.push_back(SwapNameSeparators(colon.substr(i, stop - i)));
    if (end == std::string_view::npos) break;
    // One colon ends the name; every further colon in a row climbs a folder.
    size_t run = 0;
    i = end;
    while (i < colon.size() && colon[i] == ':') ++run, ++i;
    for (size_t k = 1; k < run; ++k) parts.emplace_back("..");
  }

  std::string out;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k > 0 || absolute) out.push_back('/');
    out.append(parts[k]);
  }
  if (out.empty()) out.push_back('.');
  return out;
}

std::string PosixToColon(std::string_view posix, bool folder) {
  if (posix.empty() || posix.front() != '/') return {};
  const std::filesystem::path p = std::filesystem::path(posix).lexically_normal();
  std::string out;
  int count = 0;
  for (const auto& part : p.relative_path()) {
    const std::string s = part.string();
    if (s.empty() || s == ".") continue;
    if (count > 0) out += ':';
    out += SwapNameSeparators(s);
    ++count;
  }
  if (count == 0) return {};
  // A lone volume is always written with its colon, file or not.
  if (folder || count == 1) out += ':';
  return out;
}

}  // namespace plat::files
