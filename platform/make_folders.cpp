// MakeFolders: portable, on top of the single-folder primitive.

#include "platform/errors.h"
#include "platform/filesystem.h"

namespace orvane::platform {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

bool MakeFolders(const std::string& path, PathEncoding encoding) {
  if (path.empty()) throw EInOutError("Cannot create empty directory", 3);
  std::string folder = path;
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  if (FolderIsPresent(folder, encoding)) return true;
  if (IsMissingDrive(folder)) return false;
  // Outermost first: each prefix that ends just before a separator.
  for (std::size_t i = 1; i < folder.size(); ++i) {
    if (!IsSeparator(folder[i]) || IsSeparator(folder[i - 1])) continue;
    const std::string parent = folder.substr(0, i);
    if (parent.size() == 2 && parent[1] == ':') continue;  // a drive, not a folder
    if (!FolderIsPresent(parent, encoding) && !CreateOneFolder(parent, encoding) &&
        !FolderIsPresent(parent, encoding)) {
      return false;
    }
  }
  return CreateOneFolder(folder, encoding) || FolderIsPresent(folder, encoding);
}

}  // namespace orvane::platform
