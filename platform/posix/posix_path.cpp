#include "platform/posix/posix_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

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

// Closes a directory stream on every path out of a lookup.
class DirectoryStream {
 public:
  explicit DirectoryStream(const std::string& folder)
      : dir_(::opendir(folder.empty() ? "." : folder.c_str())) {}
  ~DirectoryStream() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  DirectoryStream(const DirectoryStream&) = delete;
  DirectoryStream& operator=(const DirectoryStream&) = delete;
  [[nodiscard]] DIR* Get() const { return dir_; }

 private:
  DIR* dir_;
};

// The entry of folder whose name equals name without regard to ASCII case.
bool FindCaseless(const std::string& folder, const std::string& name, std::string& found) {
  const DirectoryStream dir(folder);
  if (dir.Get() == nullptr) return false;
  while (const dirent* e = ::readdir(dir.Get())) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      return true;
    }
  }
  return false;
}

struct Resolution {
  std::string path;
  // True when a component was found only under another case: the caller's
  // spelling is then known not to be the one on disk.
  bool recased = false;
};

// Resolves every component of a separator-normalised path, from the root
// down. A component that exists as written costs one lstat; one that does not
// costs a listing of its folder. Once a component is missing altogether, the
// rest cannot exist either and is kept as written without further listings.
Resolution ResolveComponents(const std::string& path) {
  Resolution out;
  if (path.empty() || Exists(path)) {
    out.path = path;
    return out;
  }
  const bool rooted = path[0] == '/';
  std::string resolved(rooted ? 1 : 0, '/');
  std::size_t start = rooted ? 1 : 0;
  bool missing = false;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    const std::string folder = resolved;
    std::string candidate = folder + name;
    std::string found;
    if (!missing && name != "." && name != ".." && !Exists(candidate)) {
      if (FindCaseless(folder, name, found)) {
        candidate = folder + found;
        out.recased = true;
      } else {
        missing = true;
      }
    }
    resolved = candidate;
    if (end < path.size()) resolved += '/';
    start = end + 1;
  }
  out.path = std::move(resolved);
  return out;
}

}  // namespace

std::string ResolveExisting(const std::string& path) {
  return ResolveComponents(ToPosixSeparators(path)).path;
}

// A new file is named as the caller wrote it: looking for another spelling of
// a name that does not exist would list its folder once per created file,
// which unpacking tens of thousands of files cannot afford. Only the folder
// part is resolved (free when it exists as written). When the folder itself
// was found under another case, the caller's spelling is evidently not the
// one on disk, and the name is then looked up without regard to case too.
// So a name that differs only in case from an existing file, in a folder
// spelled as on disk, makes a second file rather than replacing the first.
std::string ResolveForCreation(const std::string& path) {
  std::string posix = ToPosixSeparators(path);
  if (posix.empty() || Exists(posix)) return posix;
  const bool trailing = posix.size() > 1 && posix.back() == '/';
  if (trailing) posix.pop_back();
  const std::size_t cut = posix.rfind('/');
  const std::string name = cut == std::string::npos ? posix : posix.substr(cut + 1);
  const Resolution folder =
      cut == std::string::npos ? Resolution{} : ResolveComponents(posix.substr(0, cut + 1));
  std::string found;
  std::string result = folder.path + name;
  if (folder.recased && name != "." && name != ".." && FindCaseless(folder.path, name, found)) {
    result = folder.path + found;
  }
  if (trailing) result += '/';
  return result;
}

}  // namespace orvane::platform
