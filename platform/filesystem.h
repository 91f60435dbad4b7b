// File-system services of the launcher, built on the platform primitives.
// They report by their results; MakeFolders on an empty path and the failures
// of CopyFileData raise.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace orvane::platform {

// Flags of CopyFileData.
inline constexpr unsigned kCopyOverwrite = 1;
inline constexpr unsigned kCopyMakeFolder = 2;
inline constexpr unsigned kCopyKeepTime = 4;

// Creates the folder and every missing parent, outermost first. True when the
// folder exists afterwards. An empty path raises EInOutError "Cannot create
// empty directory" (code 3).
bool MakeFolders(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);

// Makes a folder path absolute against the current folder: "/" becomes "\",
// runs of separators fold into one except a leading pair, "." and ".."
// segments are resolved, and the result ends in one "\".
std::string AbsoluteFolderPath(const std::string& path);

// Removes everything in the folder, and the folder itself unless
// children_only. Stops at the first entry that cannot be removed, leaving the
// rest; true when everything asked for was removed.
bool RemoveFolderTree(const std::string& path, bool children_only);

// Copies a file in blocks of 4096 bytes. False when refused by the flags;
// raises EFOpenError (after three attempts 10 ms apart), EFCreateError or
// EWriteError, and EReadError when a read fails in mid-copy.
bool CopyFileData(const std::string& source, const std::string& target, unsigned flags);

}  // namespace orvane::platform
