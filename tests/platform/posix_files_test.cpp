// The POSIX file primitives stand in for a file system that ignores letter
// case and takes "\" and runs of separators: opening, creating and listing.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "platform/platform.h"
#include "support/file_text.h"
#include "support/temp_folder.h"

namespace orvane::platform {
namespace {

namespace fs = std::filesystem;
using orvane::testing::ReadText;
using orvane::testing::TempFolder;
using orvane::testing::WriteText;

struct OpenCase {
  std::string name;
  std::string relative;  // appended to the folder with a "\"
  std::string contents;
};

class CaselessOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(CaselessOpenTest, FindsTheFileAsTheTargetSystemWould) {
  const TempFolder temp;
  fs::create_directories(temp.Path() / "Yap/Lib");
  WriteText(temp.Path() / "Yap.zip", "zip");
  WriteText(temp.Path() / "Yap/Lib/Boot.pl", "boot");
  File file =
      OpenFileForReading(temp.Path().string() + "\\" + GetParam().relative, ShareMode::kNone);
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(orvane::testing::ReadSmallFile(file), GetParam().contents);
}

INSTANTIATE_TEST_SUITE_P(Cases, CaselessOpenTest,
                         ::testing::Values(OpenCase{"AsWritten", "Yap.zip", "zip"},
                                           OpenCase{"LowerCase", "yap.zip", "zip"},
                                           OpenCase{"UpperCase", "YAP.ZIP", "zip"},
                                           OpenCase{"DoubledBackslashes", "\\\\yap.zip", "zip"},
                                           OpenCase{"FolderCase", "yap\\LIB\\boot.PL", "boot"},
                                           OpenCase{"MixedSeparators", "YAP//lib\\\\Boot.pl",
                                                    "boot"}),
                         [](const auto& tested) { return tested.param.name; });

TEST(CaselessOpen, MissingFileStaysClosed) {
  const TempFolder temp;
  EXPECT_FALSE(OpenFileForReading(temp / "none.txt", ShareMode::kNone).IsOpen());
  EXPECT_FALSE(OpenFileForReading(temp / "none/x.txt", ShareMode::kNone).IsOpen());
  EXPECT_FALSE(OpenFileForReading(temp.Slash(), ShareMode::kNone).IsOpen());  // a folder
}

TEST(CreateFile, NewNameIsKeptAsWritten) {
  const TempFolder temp;
  File file = CreateFileForWriting(temp.Slash() + "\\New.TXT");
  ASSERT_TRUE(file.IsOpen());
  file.Close();
  EXPECT_TRUE(fs::exists(temp.Path() / "New.TXT"));
}

TEST(CreateFile, FolderFoundUnderAnotherCaseIsUsed) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "Dict");
  File file = CreateFileForWriting(temp.Slash() + "DICT\\a.orvfg");
  ASSERT_TRUE(file.IsOpen());
  file.Close();
  EXPECT_TRUE(fs::exists(temp.Path() / "Dict/a.orvfg"));
  EXPECT_FALSE(fs::exists(temp.Path() / "DICT"));
}

TEST(CreateFile, ExistingFileReachedThroughAnotherCaseIsReplaced) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "Dict");
  WriteText(temp.Path() / "Dict/old.txt", "old contents");
  File file = CreateFileForWriting(temp.Slash() + "dict/OLD.txt");
  ASSERT_TRUE(file.IsOpen());
  file.Write("new", 3);
  file.Close();
  EXPECT_EQ(ReadText(temp.Path() / "Dict/old.txt"), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path() / "Dict"), fs::directory_iterator()),
            1);
}

TEST(FileAndFolderPresence, TellFilesFromFolders) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "Sub");
  WriteText(temp.Path() / "Sub/F.txt", "x");
  EXPECT_TRUE(FileIsPresent(temp.Slash() + "sub\\\\f.TXT"));
  EXPECT_FALSE(FileIsPresent(temp.Slash() + "sub"));
  EXPECT_TRUE(FolderIsPresent(temp.Slash() + "SUB\\"));
  EXPECT_FALSE(FolderIsPresent(temp.Slash() + "sub/f.txt"));
  EXPECT_FALSE(FileIsPresent(temp.Slash() + "missing"));
}

TEST(RemoveAndMakeFolder, ReachEntriesSpelledInAnotherCase) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "Yap");
  WriteText(temp.Path() / "Yap/a.txt", "x");
  EXPECT_TRUE(RemoveFile(temp.Slash() + "YAP\\A.TXT"));
  EXPECT_FALSE(fs::exists(temp.Path() / "Yap/a.txt"));
  EXPECT_FALSE(RemoveFile(temp.Slash() + "yap\\a.txt"));
  EXPECT_TRUE(CreateOneFolder(temp.Slash() + "yap/Bin"));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "Yap/Bin"));
  EXPECT_FALSE(CreateOneFolder(temp.Slash() + "YAP\\bin"));
  EXPECT_FALSE(RemoveFile(temp.Slash() + "Yap/bin"));
}

// ---------------------------------------------------------------------------
// FolderListing

struct ListingCase {
  std::string name;
  std::string pattern;
  std::uint32_t mask;
  std::set<std::string> names;
};

class FolderListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(FolderListingTest, ListsWhatPatternAndMaskAllow) {
  const TempFolder temp;
  WriteText(temp.Path() / "a.txt", "1");
  WriteText(temp.Path() / "B.TXT", "22");
  WriteText(temp.Path() / "noext", "333");
  WriteText(temp.Path() / ".hidden", "4");
  fs::create_directory(temp.Path() / "dir.txt");
  FolderListing listing(temp.Slash() + "\\" + GetParam().pattern, GetParam().mask);
  ASSERT_TRUE(listing.IsOpen());
  std::set<std::string> names;
  FolderEntry entry;
  while (listing.Next(entry)) names.insert(entry.name);
  EXPECT_EQ(names, GetParam().names);
}

constexpr std::uint32_t kPlain = 0;

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderListingTest,
    ::testing::Values(
        ListingCase{"PlainFilesOnly", "*", kPlain, {"a.txt", "B.TXT", "noext"}},
        ListingCase{
            "StarDotStarMatchesNamesWithoutPoint", "*.*", kPlain, {"a.txt", "B.TXT", "noext"}},
        ListingCase{"HiddenWithItsBit", "*", kAttrHidden, {"a.txt", "B.TXT", "noext", ".hidden"}},
        ListingCase{"FoldersWithTheirBit",
                    "*",
                    kAttrFolder,
                    {".", "..", "a.txt", "B.TXT", "noext", "dir.txt"}},
        ListingCase{"Everything",
                    "*.*",
                    kAttrAny,
                    {".", "..", "a.txt", "B.TXT", "noext", ".hidden", "dir.txt"}},
        ListingCase{"ExtensionIgnoresCase", "*.txt", kAttrAny, {"a.txt", "B.TXT", "dir.txt"}},
        ListingCase{"QuestionMarkIsOneCharacter", "?.TxT", kPlain, {"a.txt", "B.TXT"}},
        ListingCase{"ExactName", "NOEXT", kPlain, {"noext"}},
        ListingCase{"NoMatch", "*.zip", kAttrAny, {}}),
    [](const auto& tested) { return tested.param.name; });

TEST(FolderListing, ReportsAttributesAndSize) {
  const TempFolder temp;
  WriteText(temp.Path() / "file", "12345");
  fs::create_directory(temp.Path() / "sub");
  fs::create_directory_symlink(temp.Path() / "sub", temp.Path() / "link");
  FolderListing listing(temp.Slash() + "*", kAttrAny);
  FolderEntry entry;
  std::map<std::string, FolderEntry> entries;
  while (listing.Next(entry)) entries[entry.name] = entry;
  ASSERT_EQ(entries.count("file"), 1U);
  EXPECT_EQ(entries["file"].size, 5);
  EXPECT_EQ(entries["file"].attributes & kAttrFolder, 0U);
  EXPECT_NE(entries["file"].dos_time, 0U);
  EXPECT_NE(entries["sub"].attributes & kAttrFolder, 0U);
  EXPECT_EQ(entries["sub"].attributes & kAttrSymLink, 0U);
  EXPECT_EQ(entries["link"].attributes & (kAttrFolder | kAttrSymLink), kAttrFolder | kAttrSymLink);
}

TEST(FolderListing, MissingFolderDoesNotOpen) {
  const TempFolder temp;
  FolderListing listing(temp.Slash() + "missing\\*.*", kAttrAny);
  EXPECT_FALSE(listing.IsOpen());
  FolderEntry entry;
  EXPECT_FALSE(listing.Next(entry));
}

}  // namespace
}  // namespace orvane::platform
