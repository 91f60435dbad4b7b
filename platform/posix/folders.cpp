// The POSIX implementation of the folder and file-entry primitives. It must
// contain only POSIX-specific code.

#include <dirent.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/fault_seam.h"
#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace orvane::platform {

namespace {

bool StatPath(const std::string& path, struct stat& st) {
  return CallOnResolvedPath(path, ResolveExisting, [&st](const std::string& native) {
           return ::stat(native.c_str(), &st);
         }) == 0;
}

// Local time as a DOS date (high word) and time (low word); 0 outside the
// years 1980 to 2107, which the DOS form cannot hold.
std::uint32_t DosTimeOf(std::time_t t) {
  std::tm local{};
  if (::localtime_r(&t, &local) == nullptr) return 0;
  const int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  const auto date =
      static_cast<std::uint32_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  const auto time =
      static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return date << 16 | time;
}

// Windows wildcard matching: "*" any run, "?" any one byte, ASCII letters
// without regard to case; no other character is special.
bool WildcardMatch(const std::string& pattern, const char* name) {
  const std::size_t n = std::strlen(name);
  std::size_t p = 0, s = 0, star = std::string::npos, mark = 0;
  auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  while (s < n) {
    if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[s]))) {
      ++p;
      ++s;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = s;
    } else if (star != std::string::npos) {
      p = star + 1;
      s = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool FileIsPresent(const std::string& path, PathEncoding /*encoding*/) {
  if (FaultInjected()) return false;
  struct stat st {};
  return !path.empty() && StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool FolderIsPresent(const std::string& path, PathEncoding /*encoding*/) {
  if (FaultInjected()) return false;
  struct stat st {};
  return !path.empty() && StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool CreateOneFolder(const std::string& path, PathEncoding /*encoding*/) {
  if (FaultInjected()) {
    errno = EIO;
    return false;
  }
  return CallOnResolvedPath(path, ResolveForCreation, [](const std::string& native) {
           return ::mkdir(native.c_str(), 0777);
         }) == 0;
}

bool IsMissingDrive(const std::string& /*path*/) {
  return false;
}

bool RemoveFile(const std::string& path, PathEncoding /*encoding*/) {
  if (FaultInjected()) {
    errno = EIO;
    return false;
  }
  std::string native;
  struct stat st {};
  const int found = CallOnResolvedPath(
      path, ResolveExisting, [&st](const std::string& p) { return ::lstat(p.c_str(), &st); },
      &native);
  if (found != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(native.c_str()) == 0;
}

bool RemoveEmptyFolder(const std::string& path, PathEncoding /*encoding*/) {
  if (FaultInjected()) {
    errno = EIO;
    return false;
  }
  std::string native = ResolveExisting(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return ::rmdir(native.c_str()) == 0;
}

bool SetFileDosTime(const std::string& path, std::uint32_t dos_date_time,
                    PathEncoding /*encoding*/) {
  const std::uint32_t date = dos_date_time >> 16;
  const std::uint32_t time = dos_date_time & 0xFFFF;
  std::tm local{};
  local.tm_year = static_cast<int>((date >> 9) + 80);
  local.tm_mon = static_cast<int>(((date >> 5) & 0x0F) - 1);
  local.tm_mday = static_cast<int>(date & 0x1F);
  local.tm_hour = static_cast<int>(time >> 11);
  local.tm_min = static_cast<int>((time >> 5) & 0x3F);
  local.tm_sec = static_cast<int>((time & 0x1F) * 2);
  local.tm_isdst = -1;
  const std::time_t t = ::mktime(&local);
  if (t == static_cast<std::time_t>(-1)) return false;
  struct timeval times[2] = {{t, 0}, {t, 0}};
  return ::utimes(ResolveExisting(path).c_str(), times) == 0;
}

// --- Listing ---------------------------------------------------------------

struct FolderListing::State {
  DIR* dir = nullptr;
  std::string folder;  // with a final "/", or empty for the current folder
  std::string name_pattern;
  std::uint32_t mask = 0;
};

FolderListing::FolderListing(const std::string& pattern, std::uint32_t mask,
                             PathEncoding /*encoding*/) {
  if (FaultInjected()) return;
  const std::string posix = ToPosixSeparators(pattern);
  const std::size_t cut = posix.rfind('/');
  std::string folder = cut == std::string::npos ? std::string() : posix.substr(0, cut + 1);
  std::string name = cut == std::string::npos ? posix : posix.substr(cut + 1);
  if (name == "*.*") name = "*";  // as on Windows, "*.*" matches names without a point too
  if (!folder.empty()) folder = ResolveExisting(folder);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  auto state = std::make_unique<State>(State{nullptr, folder, name, mask});
  state->dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (state->dir == nullptr) return;
  state_ = state.release();
}

bool FolderListing::Next(FolderEntry& entry) {
  if (state_ == nullptr) return false;
  if (FaultInjected()) {
    failed_ = true;
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(state_->dir);
    if (e == nullptr) {
      failed_ = errno != 0;
      return false;
    }
    const char* name = e->d_name;
    if (!WildcardMatch(state_->name_pattern, name)) continue;
    struct stat st {};
    const std::string full = state_->folder + name;
    if (::lstat(full.c_str(), &st) != 0) {
      if (errno == ENOENT) continue;  // gone since it was listed
      failed_ = true;
      return false;
    }
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) {
      attributes |= kAttrFolder;
    } else if (S_ISREG(st.st_mode)) {
      attributes |= kAttrArchive;
    } else if (!S_ISLNK(st.st_mode)) {
      attributes |= kAttrSystem;  // devices, sockets and pipes are no plain files
    } else {
      // A link reports what it points to, and that it is a link, so that tree
      // removal takes the link away without entering it.
      struct stat target {};
      attributes |= kAttrSymLink;
      attributes |= (::stat(full.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) ? kAttrFolder
                                                                                    : kAttrArchive;
    }
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
      attributes |= kAttrHidden;
    }
    if (::access(full.c_str(), W_OK) != 0 && errno == EACCES) attributes |= kAttrReadOnly;
    // Entries with a special attribute are listed only when the mask asks for it.
    const std::uint32_t special =
        attributes & (kAttrHidden | kAttrSystem | kAttrFolder | kAttrVolumeId);
    if ((special & ~state_->mask) != 0) continue;
    entry.name = name;
    entry.attributes = attributes;
    entry.size = S_ISDIR(st.st_mode) ? 0 : st.st_size;
    entry.dos_time = DosTimeOf(st.st_mtime);
    return true;
  }
}

void FolderListing::Close() {
  if (state_ == nullptr) return;
  ::closedir(state_->dir);
  delete state_;
  state_ = nullptr;
}

}  // namespace orvane::platform
