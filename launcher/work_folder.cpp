#include "launcher/work_folder.h"

#include "launcher/archive_folders.h"
#include "payload/resource_registry.h"
#include "platform/filesystem.h"
#include "platform/platform.h"

namespace orvane {

namespace {

void MakeMarker(const std::string& path) {
  platform::File marker = platform::CreateFileForWriting(path);
}

}  // namespace

bool InnerApplicationUnpacked(const std::string& work_folder) {
  return platform::FileIsPresent(work_folder + names::kInnerExecutableProbe) &&
         !platform::FileIsPresent(work_folder + names::kSetUpIncomplete);
}

std::string SetUpWorkFolder(const std::string& launcher_folder, const std::string& work_folder) {
  const std::string& L = launcher_folder;
  const std::string& W = work_folder;

  platform::MakeFolders(W);
  MakeMarker(W + names::kSetUpIncomplete);
  // A set-up cut short may have left a dictionary folder; figures of it must
  // not come back in the next dictionary return.
  platform::RemoveFolderTree(W + names::kDictionaryFolder, false);
  std::string argument = platform::FirstArgument();

  SaveResourceToFile(names::kPayloadResource, W + names::kPayloadFile);
  UnpackArchive(W + names::kPayloadFileUnpacked, W, 0);
  platform::RemoveFile(W + names::kPayloadFile);

  UnpackArchive(W + names::kRunTimeArchive, W, 0);
  platform::RemoveFile(W + names::kRunTimeArchive);

  if (platform::FileIsPresent(L + names::kDictionaryArchive)) {
    platform::CopyFileData(L + names::kDictionaryArchive, W + names::kDictionaryArchive,
                           platform::kCopyOverwrite);
    MakeMarker(W + names::kUserDictionaryInUse);
  }
  UnpackArchive(W + names::kDictionaryArchiveUnpacked, W + names::kDictionaryFolder, 0);

  if (platform::FileIsPresent(L + names::kTranslationTable)) {
    platform::CopyFileData(L + names::kTranslationTable, W + names::kTranslationTable,
                           platform::kCopyOverwrite);
  }
  platform::RemoveFile(W + names::kSetUpIncomplete);
  return argument;
}

void ReturnDictionary(const std::string& launcher_folder, const std::string& work_folder) {
  // The launcher never creates a dictionary archive in L; it only replaces one.
  if (platform::FileIsPresent(launcher_folder + names::kDictionaryArchive) &&
      platform::FileIsPresent(work_folder + names::kUserDictionaryInUse)) {
    PackFolder(work_folder + names::kDictionaryFolder,
               launcher_folder + names::kDictionaryArchiveUnpacked);
  }
}

}  // namespace orvane
