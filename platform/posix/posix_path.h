// Path translation for the POSIX implementation: separators and letter case.
#pragma once

#include <string>

namespace orvane::platform {

// "\" becomes "/" and runs of separators fold into one.
std::string ToPosixSeparators(const std::string& path);

// The target file system compares names without regard to case. When a
// component of the path does not exist under its exact name, it is looked up
// among the folder's entries without regard to ASCII case. A path that exists
// as written costs one stat and no listing.
std::string ResolveExisting(const std::string& path);

// For a path about to be created: as ResolveExisting for the folder part;
// the last component is kept as written, without listing its folder, unless
// it exists as written or the folder part itself was found under another
// case.
std::string ResolveForCreation(const std::string& path);

}  // namespace orvane::platform
