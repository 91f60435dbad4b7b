// The portable file-system services: folder paths, tree removal and file
// copy, built on the platform primitives.

#include "platform/filesystem.h"

#include <array>
#include <cctype>
#include <vector>

#include "platform/errors.h"

namespace orvane::platform {

namespace {

constexpr char kSeparator = '\\';
constexpr std::string_view kUncPrefix = "\\\\";
constexpr std::size_t kCopyBlockSize = 4096;
constexpr int kOpenAttempts = 3;
constexpr unsigned kOpenRetryPauseMs = 10;

bool StartsWithDrive(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

std::string WithBackslashes(std::string path) {
  for (char& c : path) {
    if (c == '/') c = kSeparator;
  }
  return path;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// An absolute path cut into its root ("\", "X:\" or the leading pair "\\")
// and the rest; the path has backslashes only.
struct RootedPath {
  std::string root;
  std::string rest;
};

// Fully absolute: a leading pair or a drive with its root. A single leading
// separator names the root of the current folder's drive.
bool IsAbsolute(const std::string& path) {
  return path.starts_with(kUncPrefix) ||
         (StartsWithDrive(path) && path.size() > 2 && path[2] == kSeparator);
}

RootedPath SplitRoot(const std::string& absolute) {
  if (absolute.starts_with(kUncPrefix)) {
    return {std::string(kUncPrefix), absolute.substr(kUncPrefix.size())};
  }
  if (StartsWithDrive(absolute)) {
    const std::size_t skip = absolute.size() > 2 && absolute[2] == kSeparator ? 3 : 2;
    return {absolute.substr(0, 2) + kSeparator, absolute.substr(skip)};
  }
  const std::size_t skip = !absolute.empty() && absolute[0] == kSeparator ? 1 : 0;
  return {std::string(1, kSeparator), absolute.substr(skip)};
}

// Where a path that is not absolute starts from: the current folder, or for
// "X:name" on a drive other than the current folder's, that drive's root.
RootedPath Anchor(const std::string& path) {
  const std::string current = WithBackslashes(CurrentFolder());
  const RootedPath here = SplitRoot(current);
  if (!path.empty() && path[0] == kSeparator) return {here.root, path.substr(1)};
  if (StartsWithDrive(path)) {
    if (!EqualIgnoringCase(here.root.substr(0, 2), path.substr(0, 2))) {
      return {path.substr(0, 2) + kSeparator, path.substr(2)};
    }
    return {here.root, here.rest + kSeparator + path.substr(2)};
  }
  return {here.root, here.rest + kSeparator + path};
}

// The segments of a path with "." dropped and ".." taking the previous one
// away; never above the root.
std::vector<std::string> ResolveSegments(const std::string& rest) {
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find(kSeparator, start);
    if (end == std::string::npos) end = rest.size();
    const std::string segment = rest.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  return segments;
}

// The text up to and including the last separator; empty when there is none.
std::string FolderPart(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string NamePart(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Removes one listed entry of a folder being emptied. A link is taken away
// itself and never entered, so that what it points to survives.
bool RemoveEntry(const std::string& folder, const FolderEntry& entry) {
  const std::string path = folder + entry.name;
  if ((entry.attributes & kAttrSymLink) != 0) {
    return RemoveFile(path) || ((entry.attributes & kAttrFolder) != 0 && RemoveEmptyFolder(path));
  }
  if ((entry.attributes & kAttrFolder) != 0) return RemoveFolderTree(path, false);
  return RemoveFile(path);
}

File OpenSourceWithRetries(const std::string& source) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    File file = OpenFileForReading(source, ShareMode::kRead);
    if (file.IsOpen()) return file;
    // Another program may hold the file for a moment (a virus scanner, an
    // indexer, the inner application ending).
    SleepMilliseconds(kOpenRetryPauseMs);
  }
  throw EFOpenError(Format("Unable to open file \"%s\"", {source}));
}

void CopyBlocks(File& from, File& to, const std::string& source, const std::string& target) {
  std::array<char, kCopyBlockSize> block{};
  for (;;) {
    const std::int64_t got = from.Read(block.data(), block.size());
    if (got < 0) throw EReadError(Format("Unable to read from file \"%s\"", {source}));
    if (got == 0) return;
    if (to.Write(block.data(), static_cast<std::size_t>(got)) != got) {
      throw EWriteError(Format("Unable to write to file \"%s\"", {target}));
    }
  }
}

// The source's modification time as a packed DOS date and time, from a
// listing of the file itself; 0 when it cannot be had.
std::uint32_t DosTimeOfFile(const std::string& path) {
  const std::string name = NamePart(path);
  FolderListing listing(path, kAttrAny);
  FolderEntry entry;
  while (listing.Next(entry)) {
    if ((entry.attributes & kAttrFolder) == 0 && EqualIgnoringCase(entry.name, name)) {
      return entry.dos_time;
    }
  }
  return 0;
}

// Source and target are the same file when their absolute forms match; the
// file system compares names without regard to case.
bool IsSameFile(const std::string& source, const std::string& target) {
  return EqualIgnoringCase(AbsoluteFolderPath(source), AbsoluteFolderPath(target));
}

}  // namespace

std::string AbsoluteFolderPath(const std::string& path) {
  const std::string backslashed = WithBackslashes(path);
  const RootedPath rooted = IsAbsolute(backslashed) ? SplitRoot(backslashed) : Anchor(backslashed);
  std::string result = rooted.root;
  for (const std::string& segment : ResolveSegments(rooted.rest)) {
    result += segment;
    result += kSeparator;
  }
  if (result.empty() || result.back() != kSeparator) result += kSeparator;
  return result;
}

bool RemoveFolderTree(const std::string& path, bool children_only) {
  const std::string folder = AbsoluteFolderPath(path);
  {
    FolderListing listing(folder + "*.*", kAttrAny);
    FolderEntry entry;
    while (listing.Next(entry)) {
      if (entry.name.empty() || entry.name == "." || entry.name == "..") continue;
      if (!RemoveEntry(folder, entry)) return false;
    }
  }
  return children_only || RemoveEmptyFolder(folder);
}

bool CopyFileData(const std::string& source, const std::string& target, unsigned flags) {
  if ((flags & kCopyOverwrite) == 0 && FileIsPresent(target)) return false;
  if ((flags & kCopyMakeFolder) != 0) {
    const std::string folder = FolderPart(target);
    if (!folder.empty() && !MakeFolders(folder)) return false;
  }
  File from = OpenSourceWithRetries(source);
  // Creating the target would empty the source before a byte is read.
  if (IsSameFile(source, target)) {
    throw EFCreateError(Format("Unable to create file \"%s\"", {target}));
  }
  File to = CreateFileForWriting(target);
  if (!to.IsOpen()) throw EFCreateError(Format("Unable to create file \"%s\"", {target}));
  CopyBlocks(from, to, source, target);
  if (!to.Close()) throw EWriteError(Format("Unable to write to file \"%s\"", {target}));
  from.Close();
  if ((flags & kCopyKeepTime) != 0) {
    const std::uint32_t dos_time = DosTimeOfFile(source);
    // The copy is complete; a time that cannot be carried over does not undo it.
    if (dos_time != 0) SetFileDosTime(target, dos_time);
  }
  return true;
}

}  // namespace orvane::platform
