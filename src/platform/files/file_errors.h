// Result codes of the file layer, with the values the system has always
// used for them, so that callers passing a code on keep their meaning.
#pragma once

#include "platform/types/mac_types.h"

namespace plat::files {

constexpr OSErr kDiskFull = -34;
constexpr OSErr kIOError = -36;
constexpr OSErr kBadName = -37;
constexpr OSErr kNotOpen = -38;
constexpr OSErr kEndOfFile = -39;
constexpr OSErr kBadPosition = -40;
constexpr OSErr kFileNotFound = -43;
constexpr OSErr kDuplicateName = -48;
constexpr OSErr kParamError = -50;
constexpr OSErr kBadRefNum = -51;
constexpr OSErr kPermission = -54;
constexpr OSErr kTooManyOpen = -42;
constexpr OSErr kFolderNotFound = -120;
// The user cancelled a dialog.
constexpr OSErr kUserCanceled = -128;

}  // namespace plat::files
