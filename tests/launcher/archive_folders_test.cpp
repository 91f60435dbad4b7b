// Unpacking an archive into a folder and packing a folder into an archive.

#include "launcher/archive_folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/errors.h"
#include "support/temp_folder.h"
#include "zip/stream.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

// Writes an archive of stream entries with the project's writer.
void MakeArchive(const std::string& path,
                 const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<std::unique_ptr<TMemoryStream>> streams;
  TZipper zipper;
  zipper.SetOutputFileName(path);
  for (const auto& [name, data] : files) {
    streams.push_back(std::make_unique<TMemoryStream>());
    streams.back()->WriteBuffer(data.data(), data.size());
    streams.back()->SetPosition(0);
    zipper.Entries().AddStream(*streams.back(), name);
  }
  zipper.WriteArchive();
}

std::vector<std::string> EntryNames(const std::string& archive) {
  TUnZipper reader;
  TempFolder out;
  reader.SetInputFileName(archive);
  reader.SetOutputFolder(out.Slash());
  reader.ExtractAll();
  std::vector<std::string> names;
  for (int i = 0; i < reader.Entries().Count(); ++i) {
    names.push_back(reader.Entries().Items(i).ArchiveFileName());
  }
  return names;
}

TEST(UnpackArchive, TargetFolderWithOrWithoutSeparator) {
  TempFolder dir;
  const std::string archive = dir / "a.zip";
  MakeArchive(archive, {{"x.txt", "x"}});
  for (const std::string& target : {dir / "plain", dir / "slash/", dir.Slash() + "back\\"}) {
    UnpackArchive(archive, target, 0);
  }
  EXPECT_EQ(ReadText(dir / "plain/x.txt"), "x");
  EXPECT_EQ(ReadText(dir / "slash/x.txt"), "x");
  EXPECT_EQ(ReadText(dir / "back/x.txt"), "x");
}

TEST(UnpackArchive, SingleFileModeWritesUnderTheTargetNameUntilTheNextCall) {
  TempFolder dir;
  const std::string archive = dir / "a.zip";
  MakeArchive(archive, {{"x.txt", "first"}, {"y.txt", "second"}});
  UnpackArchive(archive, dir / "out/data.bin", 1);
  EXPECT_EQ(ReadText(dir / "out/data.bin"), "second") << "the last file entry wins";
  EXPECT_FALSE(fs::exists(dir / "out/x.txt"));
  EXPECT_EQ(ForcedOutputName(), "data.bin");

  UnpackArchive(archive, dir / "again", 0);
  EXPECT_TRUE(ForcedOutputName().empty());
  EXPECT_EQ(ReadText(dir / "again/x.txt"), "first");
}

TEST(UnpackArchive, MissingArchiveRaisesOpenError) {
  TempFolder dir;
  EXPECT_THROW(UnpackArchive(dir / "none.zip", dir.Slash(), 0), EFOpenError);
}

class PackFolderTest : public ::testing::Test {
 protected:
  TempFolder dir;
  std::string folder = dir.Slash() + "dict/";
  std::string archive = dir / "dictheo.zip";
  void SetUp() override { fs::create_directories(folder); }
};

TEST_F(PackFolderTest, PacksEveryFileUnderItsBareName) {
  WriteText(folder + "a.orvfg", "alpha");
  WriteText(folder + "b.orvfg", "beta");
  WriteText(folder + ".hidden.orvfg", "hidden files are packed too");
  PackFolder(folder, archive);
  auto names = EntryNames(archive);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".hidden.orvfg", "a.orvfg", "b.orvfg"}));
  EXPECT_FALSE(fs::exists(PendingArchiveName(archive)));
}

TEST_F(PackFolderTest, ReplacesTheOldArchiveWhole) {
  MakeArchive(archive, {{"old.orvfg", "old"}});
  WriteText(folder + "new.orvfg", "new");
  PackFolder(folder, archive);
  EXPECT_EQ(EntryNames(archive), std::vector<std::string>{"new.orvfg"});
}

TEST_F(PackFolderTest, NothingToPackKeepsTheOldArchive) {
  MakeArchive(archive, {{"old.orvfg", "old"}});
  const auto before = testing::ReadBytes(archive);
  PackFolder(folder, archive);                    // empty folder
  PackFolder(dir.Slash() + "missing/", archive);  // no folder
  EXPECT_EQ(testing::ReadBytes(archive), before);
}

TEST_F(PackFolderTest, NothingToPackWritesNoArchive) {
  PackFolder(folder, archive);
  EXPECT_FALSE(fs::exists(archive));
}

TEST_F(PackFolderTest, SubfolderFailsAndKeepsTheOldArchive) {
  MakeArchive(archive, {{"old.orvfg", "old"}});
  const auto before = testing::ReadBytes(archive);
  WriteText(folder + "a.orvfg", "alpha");
  fs::create_directories(folder + "sub");
  try {
    PackFolder(folder, archive);
    FAIL() << "a subfolder cannot be packed";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Unable to open file \"" + folder + "sub\"");
  }
  EXPECT_EQ(testing::ReadBytes(archive), before);
  EXPECT_FALSE(fs::exists(PendingArchiveName(archive)));
}

TEST(PathPieces, SplitAfterTheLastDelimiter) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {{"C:\\out\\data.bin", "C:\\out\\", "data.bin"},
                        {"C:data.bin", "C:", "data.bin"},
                        {"a/b\\c", "a/b\\", "c"},
                        {"plain", "", "plain"},
                        {"ends/", "ends/", ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(FolderPart(c.path), c.folder) << c.path;
    EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
  }
}

}  // namespace
}  // namespace orvane
