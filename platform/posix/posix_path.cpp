#include "platform/posix/posix_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <strings.h>

namespace orvane::platform {

std::string ToPosixSeparators(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const char s = c == '\\' ? '/' : c;
    if (s == '/' && !out.empty() && out.back() == '/') continue;
    out += s;
  }
  return out;
}

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name without regard to ASCII case.
bool FindCaseless(const std::string& folder, const std::string& name, std::string& found) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  bool hit = false;
  while (const dirent* e = ::readdir(dir)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      hit = true;
      break;
    }
  }
  ::closedir(dir);
  return hit;
}

// Resolves every component of an already separator-normalised path.
std::string ResolveComponents(const std::string& path, bool keep_last) {
  if (path.empty() || Exists(path)) return path;
  std::string resolved;
  std::size_t start = 0;
  if (path[0] == '/') {
    resolved = "/";
    start = 1;
  }
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    const bool last = end == path.size();
    if (!name.empty()) {
      std::string candidate = resolved;
      if (!candidate.empty() && candidate.back() != '/') candidate += '/';
      const std::string folder = candidate;
      candidate += name;
      std::string found;
      if (name != "." && name != ".." && !Exists(candidate) &&
          FindCaseless(folder.empty() ? "." : folder, name, found)) {
        candidate = folder + found;
      } else if (last && keep_last) {
        candidate = folder + name;
      }
      resolved = candidate;
    }
    if (end == path.size()) break;
    start = end + 1;
  }
  if (path.back() == '/' && (resolved.empty() || resolved.back() != '/')) resolved += '/';
  return resolved;
}

}  // namespace

std::string ResolveExisting(const std::string& path) {
  return ResolveComponents(ToPosixSeparators(path), false);
}

std::string ResolveForCreation(const std::string& path) {
  return ResolveComponents(ToPosixSeparators(path), true);
}

}  // namespace orvane::platform
