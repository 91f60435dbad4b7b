#include "launcher/archive_folders.h"

#include <memory>
#include <vector>

#include "platform/errors.h"
#include "platform/platform.h"
#include "zip/stream.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace orvane {

namespace {

using platform::PathEncoding;

std::size_t LastDelimiter(const std::string& path) {
  return path.find_last_of("/\\:");
}

std::string ToCodePage(const std::string& utf8) {
  return platform::Utf8ToSystemCodePage(utf8);
}

// Deletes the pending archive unless the pack finished and took it over.
class PendingArchiveGuard {
 public:
  explicit PendingArchiveGuard(std::string path) : path_(std::move(path)) {}
  ~PendingArchiveGuard() {
    if (!released_) platform::RemoveFile(path_, PathEncoding::kSystemCodePage);
  }
  PendingArchiveGuard(const PendingArchiveGuard&) = delete;
  PendingArchiveGuard& operator=(const PendingArchiveGuard&) = delete;
  void Release() { released_ = true; }

 private:
  std::string path_;
  bool released_ = false;
};

}  // namespace

std::string FileNamePart(const std::string& path) {
  const std::size_t cut = LastDelimiter(path);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FolderPart(const std::string& path) {
  const std::size_t cut = LastDelimiter(path);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string PendingArchiveName(const std::string& archive_path) {
  return archive_path + ".new";
}

void UnpackArchive(const std::string& archive_path, std::string target, int single_file_mode) {
  ForcedOutputName().clear();
  if (single_file_mode != 0) ForcedOutputName() = ToCodePage(FileNamePart(target));
  // An empty target names the current folder; it is not turned into "\",
  // which would be the root of the drive.
  if (ForcedOutputName().empty() && !target.empty() && target.back() != '\\') target += '\\';

  TUnZipper unzipper;
  unzipper.SetInputFileName(ToCodePage(archive_path));
  unzipper.SetOutputFolder(ToCodePage(FolderPart(target)));
  unzipper.ExtractAll();
}

void PackFolder(const std::string& folder_path, const std::string& archive_path) {
  const std::string folder = ToCodePage(folder_path);
  const std::string archive = ToCodePage(archive_path);
  const std::string pending = ToCodePage(PendingArchiveName(archive_path));

  // Declared before the writer so that the writer, which refers to them, goes first.
  std::vector<std::unique_ptr<TFileStream>> streams;
  TZipper zipper;
  zipper.SetOutputFileName(pending);
  {
    platform::FolderListing listing(folder + "*", platform::kAttrAny,
                                    PathEncoding::kSystemCodePage);
    platform::FolderEntry entry;
    while (listing.Next(entry)) {
      if (entry.name == "." || entry.name == "..") continue;
      // A subfolder cannot be opened as a file: packing ends with the open error.
      streams.push_back(
          std::make_unique<TFileStream>(folder + entry.name, TFileStream::Mode::kOpenRead));
      zipper.Entries().AddStream(*streams.back(), entry.name);
    }
    // A listing that broke off saw only part of the folder; an archive of
    // that part would lose the rest of the user's dictionary.
    if (listing.Failed()) throw EReadError(Format("Unable to list folder \"%s\"", {folder}));
  }
  if (streams.empty()) return;  // nothing to pack: the old archive stays

  PendingArchiveGuard guard(pending);
  zipper.WriteArchive();
  platform::FlushFileToDisk(pending, PathEncoding::kSystemCodePage);
  if (!platform::ReplaceFile(pending, archive, PathEncoding::kSystemCodePage)) {
    throw EFCreateError(Format("Unable to create file \"%s\"", {archive}));
  }
  guard.Release();
}

}  // namespace orvane
