// Colon-separated path names and their POSIX equivalents.
//
// The system names folders the classic way: the volume name and every
// folder name are each followed by a colon ("home:ann:Pictures:"), a name
// after the last colon names an item in that folder, and a path that begins
// with a colon is relative (each further colon in a row climbs one folder).
// On this platform the first component of an absolute POSIX path plays the
// volume: "/home/ann/Pictures" is "home:ann:Pictures:" as a folder. A colon
// inside a POSIX name shows as a slash in colon form and back again, so
// every name survives the trip.
//
// This is the only place where the two notations meet.
#pragma once

#include <string>
#include <string_view>

namespace plat::files {

// Swaps ':' and '/' in one name (colon form <-> POSIX form; its own inverse).
std::string SwapNameSeparators(std::string_view name);

// True when the colon path is absolute (has a volume name before its first
// colon).
bool IsAbsoluteColonPath(std::string_view colon);

// POSIX form of a colon path. Absolute paths give "/vol/a/b" (no trailing
// slash, also for folder paths), relative ones "a/b", "../a" or "." for ":".
// A bare name without colons is returned as a relative name. Empty in,
// empty out.
std::string ColonToPosix(std::string_view colon);

// Colon form of an absolute POSIX path, lexically normalised; `folder`
// appends the closing colon. The root folder itself has no colon form and
// gives "" (as does a relative path).
std::string PosixToColon(std::string_view posix, bool folder);

}  // namespace plat::files
