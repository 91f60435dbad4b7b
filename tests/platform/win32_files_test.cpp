// Windows semantics of the file primitives and the services on top of them:
// share modes, letter case, separators, attributes, and names beyond ASCII
// through the wide-character calls.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/platform.h"
#include "platform/win32/windows_api.h"
#include "support/file_text.h"
#include "support/temp_folder.h"

namespace orvane::platform {
namespace {

namespace fs = std::filesystem;
using orvane::testing::ReadText;
using orvane::testing::TempFolder;
using orvane::testing::WriteText;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path FromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

// The scratch folder as a UTF-8 path with a final separator.
std::string Slash(const TempFolder& temp) {
  return Utf8(temp.Path()) + "\\";
}

// --- Share modes -------------------------------------------------------------

struct ShareCase {
  std::string name;
  ShareMode holder;  // how the first handle holds the file
  ShareMode opener;  // how the second one asks for it
  bool opens;
};

class ShareModeTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ShareModeTest, SecondOpenerIsAdmittedOnlyWhenBothShareReading) {
  const TempFolder temp;
  const std::string path = temp / "data.bin";
  WriteText(path, "shared");
  File holder = OpenFileForReading(path, GetParam().holder);
  ASSERT_TRUE(holder.IsOpen());
  File second = OpenFileForReading(path, GetParam().opener);
  EXPECT_EQ(second.IsOpen(), GetParam().opens);
  if (second.IsOpen()) EXPECT_EQ(orvane::testing::ReadSmallFile(second), "shared");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShareModeTest,
    ::testing::Values(ShareCase{"NoneKeepsOutAReader", ShareMode::kNone, ShareMode::kRead, false},
                      ShareCase{"NoneKeepsOutAnExclusiveReader", ShareMode::kNone, ShareMode::kNone,
                                false},
                      ShareCase{"ReadAdmitsAReader", ShareMode::kRead, ShareMode::kRead, true},
                      ShareCase{"ExclusiveReaderRefusedWhileOthersRead", ShareMode::kRead,
                                ShareMode::kNone, false}),
    [](const auto& tested) { return tested.param.name; });

TEST(ShareMode, FileBeingWrittenCannotBeOpened) {
  const TempFolder temp;
  const std::string path = temp / "being-written.bin";
  File writer = CreateFileForWriting(path);
  ASSERT_TRUE(writer.IsOpen());
  EXPECT_FALSE(OpenFileForReading(path, ShareMode::kRead).IsOpen());
  EXPECT_FALSE(CreateFileForWriting(path).IsOpen());
  writer.Close();
  EXPECT_TRUE(OpenFileForReading(path, ShareMode::kRead).IsOpen());
}

TEST(ShareMode, RemoveFolderTreeStopsAtAFileHeldOpen) {
  const TempFolder temp;
  const std::string tree = Slash(temp) + "tree";
  fs::create_directories(FromUtf8(tree) / "sub");
  WriteText(FromUtf8(tree) / "held.bin", "in use");
  WriteText(FromUtf8(tree) / "sub" / "other.txt", "x");
  {
    File held = OpenFileForReading(tree + "\\held.bin", ShareMode::kNone);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_FALSE(RemoveFolderTree(tree, false));
    EXPECT_TRUE(fs::exists(FromUtf8(tree) / "held.bin"));
    EXPECT_TRUE(fs::is_directory(FromUtf8(tree)));
  }
  EXPECT_TRUE(RemoveFolderTree(tree, false));
  EXPECT_FALSE(fs::exists(FromUtf8(tree)));
}

TEST(ShareMode, CopyFromAFileHeldWithoutSharingFailsAfterRetrying) {
  const TempFolder temp;
  const std::string source = temp / "dictheo.zip";
  const std::string target = temp / "copy.zip";
  WriteText(source, "dictionary");
  File held = OpenFileForReading(source, ShareMode::kNone);
  ASSERT_TRUE(held.IsOpen());
  const auto start = std::chrono::steady_clock::now();
  try {
    CopyFileData(source, target, kCopyOverwrite);
    FAIL() << "no failure raised";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Unable to open file \"" + source + "\"");
  }
  // Three attempts with a pause of 10 ms after each.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
  EXPECT_FALSE(fs::exists(target));
}

TEST(ShareMode, CopyFromAFileOthersOnlyReadSucceeds) {
  const TempFolder temp;
  const std::string source = temp / "trad_dyn.pl";
  WriteText(source, "translations");
  File reader = OpenFileForReading(source, ShareMode::kRead);
  ASSERT_TRUE(reader.IsOpen());
  EXPECT_TRUE(CopyFileData(source, temp / "copy.pl", kCopyOverwrite));
  EXPECT_EQ(ReadText(temp / "copy.pl"), "translations");
}

// --- Names as the file system compares them ----------------------------------

class PathEncodingTest : public ::testing::TestWithParam<PathEncoding> {};

TEST_P(PathEncodingTest, NamesDifferingOnlyInCaseAreTheSameFile) {
  const TempFolder temp;
  const std::string folder = Slash(temp);
  WriteText(temp / "Yap.zip", "run-time");
  File file = OpenFileForReading(folder + "yap.zip", ShareMode::kNone, GetParam());
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(orvane::testing::ReadSmallFile(file), "run-time");
  file.Close();
  EXPECT_TRUE(FileIsPresent(folder + "YAP.ZIP", GetParam()));
  EXPECT_TRUE(RemoveFile(folder + "yap.zip", GetParam()));
  EXPECT_FALSE(fs::exists(temp.Path() / "Yap.zip"));
}

TEST_P(PathEncodingTest, RunsOfSeparatorsAndSlashesNameTheSameFile) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "orvane42");
  WriteText(temp.Path() / "orvane42" / "orvane.exe", "inner");
  const std::string root = Utf8(temp.Path());
  for (const std::string& path :
       {root + "\\\\orvane42\\\\orvane.exe", root + "/orvane42/orvane.exe",
        root + "\\\\orvane42\\\\\\orvane.exe"}) {
    EXPECT_TRUE(FileIsPresent(path, GetParam())) << path;
    EXPECT_TRUE(OpenFileForReading(path, ShareMode::kRead, GetParam()).IsOpen()) << path;
  }
  EXPECT_TRUE(FolderIsPresent(root + "\\\\orvane42\\", GetParam()));
}

TEST_P(PathEncodingTest, MakeFoldersCreatesEveryLevelAndRemoveFolderTreeTakesThemAway) {
  const TempFolder temp;
  const std::string deep = Slash(temp) + "a\\\\b/c\\";
  EXPECT_TRUE(MakeFolders(deep, GetParam()));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a" / "b" / "c"));
  EXPECT_TRUE(RemoveFolderTree(Slash(temp) + "a", false));
  EXPECT_FALSE(fs::exists(temp.Path() / "a"));
}

TEST_P(PathEncodingTest, FolderCannotBeOpenedAsAFile) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "sub");
  EXPECT_FALSE(OpenFileForReading(temp / "sub", ShareMode::kNone, GetParam()).IsOpen());
  EXPECT_FALSE(FileIsPresent(temp / "sub", GetParam()));
  EXPECT_FALSE(RemoveFile(temp / "sub", GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Encodings, PathEncodingTest,
                         ::testing::Values(PathEncoding::kUtf8, PathEncoding::kSystemCodePage),
                         [](const auto& tested) {
                           return tested.param == PathEncoding::kUtf8 ? "Utf8" : "SystemCodePage";
                         });

TEST(MissingDrive, OnlyAnUnmappedDriveLetterCounts) {
  // Wine maps C: and Z:; no system maps every letter from A to Z.
  const DWORD drives = ::GetLogicalDrives();
  char unmapped = 0;
  for (char letter = 'Z'; letter >= 'A'; --letter) {
    if ((drives & (1UL << (letter - 'A'))) == 0) unmapped = letter;
  }
  ASSERT_NE(unmapped, 0);
  EXPECT_TRUE(IsMissingDrive(std::string(1, unmapped) + ":\\orvane42"));
  EXPECT_TRUE(IsMissingDrive(std::string(1, static_cast<char>(unmapped + 32)) + ":"));
  EXPECT_FALSE(IsMissingDrive("C:\\"));
  EXPECT_FALSE(IsMissingDrive("\\orvane42\\"));
  EXPECT_FALSE(IsMissingDrive("relative"));
  EXPECT_FALSE(MakeFolders(std::string(1, unmapped) + ":\\orvane42\\"));
}

// --- Names beyond ASCII ------------------------------------------------------

// "Grüße" is in every Western code page; "Şule" is not in Windows-1252, and
// "日本" only in the East Asian ones.
class WideNameTest : public ::testing::TestWithParam<std::string> {};

TEST_P(WideNameTest, FolderAndFileKeepTheirNames) {
  const TempFolder temp;
  const std::string name = GetParam();
  const std::string folder = Slash(temp) + name + "\\" + name + "\\";
  ASSERT_TRUE(MakeFolders(folder));
  EXPECT_TRUE(FolderIsPresent(folder));
  EXPECT_TRUE(fs::is_directory(temp.Path() / FromUtf8(name) / FromUtf8(name)));

  const std::string file = folder + name + ".txt";
  {
    File out = CreateFileForWriting(file);
    ASSERT_TRUE(out.IsOpen());
    EXPECT_EQ(out.Write("data", 4), 4);
  }
  EXPECT_TRUE(FileIsPresent(file));
  EXPECT_EQ(ReadText(FromUtf8(file)), "data");
  EXPECT_TRUE(CopyFileData(file, folder + "copy of " + name, kCopyOverwrite));
  EXPECT_EQ(ReadText(FromUtf8(folder + "copy of " + name)), "data");

  FolderListing listing(folder + "*", kAttrAny);
  std::set<std::string> names;
  FolderEntry entry;
  while (listing.Next(entry)) names.insert(entry.name);
  listing.Close();
  EXPECT_EQ(names, (std::set<std::string>{".", "..", name + ".txt", "copy of " + name}));

  EXPECT_TRUE(RemoveFolderTree(Slash(temp) + name, false));
  EXPECT_FALSE(fs::exists(temp.Path() / FromUtf8(name)));
}

TEST_P(WideNameTest, CurrentFolderComesBackAsUtf8) {
  const TempFolder temp;
  const fs::path folder = temp.Path() / FromUtf8(GetParam());
  fs::create_directory(folder);
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  const std::string current = CurrentFolder();
  fs::current_path(before);
  EXPECT_TRUE(fs::equivalent(FromUtf8(current), folder)) << current;
  EXPECT_TRUE(current.ends_with(GetParam())) << current;
}

TEST_P(WideNameTest, SystemCodePagePathReachesTheSameFileWhenTheCodePageHoldsTheName) {
  const TempFolder temp;
  const std::string utf8_path = Slash(temp) + GetParam() + ".bin";
  const std::string converted = Utf8ToSystemCodePage(utf8_path);
  // A character the code page lacks turns into its default character, which
  // no file name may hold: the path then names no file, and none is made.
  const bool representable = converted.find('?') == std::string::npos;
  File file = CreateFileForWriting(converted, PathEncoding::kSystemCodePage);
  EXPECT_EQ(file.IsOpen(), representable);
  file.Close();
  EXPECT_EQ(FileIsPresent(utf8_path), representable);
  EXPECT_EQ(FileIsPresent(converted, PathEncoding::kSystemCodePage), representable);
}

INSTANTIATE_TEST_SUITE_P(Names, WideNameTest, ::testing::Values("Grüße", "Şule", "日本"),
                         [](const auto& tested) { return "Name" + std::to_string(tested.index); });

// --- Listing -----------------------------------------------------------------

struct MaskCase {
  std::string name;
  std::uint32_t mask;
  std::set<std::string> listed;
};

class ListingMaskTest : public ::testing::TestWithParam<MaskCase> {
 protected:
  void SetUp() override {
    WriteText(temp_ / "plain.txt", "p");
    WriteText(temp_ / "readonly.txt", "r");
    WriteText(temp_ / "hidden.txt", "h");
    WriteText(temp_ / "system.txt", "s");
    WriteText(temp_ / "both.txt", "b");
    fs::create_directory(temp_.Path() / "sub");
    SetAttributes("readonly.txt", FILE_ATTRIBUTE_READONLY);
    SetAttributes("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes("system.txt", FILE_ATTRIBUTE_SYSTEM);
    SetAttributes("both.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }

  void TearDown() override {
    for (const char* name : {"readonly.txt", "hidden.txt", "system.txt", "both.txt"}) {
      SetAttributes(name, FILE_ATTRIBUTE_NORMAL);
    }
  }

  void SetAttributes(const std::string& name, DWORD attributes) {
    const std::wstring path = (temp_.Path() / name).wstring();
    ASSERT_NE(::SetFileAttributesW(path.c_str(), attributes), FALSE);
    if (attributes != FILE_ATTRIBUTE_NORMAL &&
        (::GetFileAttributesW(path.c_str()) & attributes) == 0) {
      GTEST_SKIP() << "the file system keeps no DOS attributes";
    }
  }

  TempFolder temp_;
};

TEST_P(ListingMaskTest, SpecialEntriesOnlyWhenTheMaskAsks) {
  FolderListing listing(Slash(temp_) + "*.*", GetParam().mask);
  ASSERT_TRUE(listing.IsOpen());
  std::set<std::string> listed;
  FolderEntry entry;
  while (listing.Next(entry)) listed.insert(entry.name);
  EXPECT_EQ(listed, GetParam().listed);
}

const std::set<std::string> kAlways = {"plain.txt", "readonly.txt"};

std::set<std::string> With(std::initializer_list<std::string> more) {
  std::set<std::string> names = kAlways;
  names.insert(more);
  return names;
}

INSTANTIATE_TEST_SUITE_P(
    Masks, ListingMaskTest,
    ::testing::Values(MaskCase{"Plain", 0, kAlways},
                      MaskCase{"ReadOnlyBitChangesNothing", kAttrReadOnly | kAttrArchive, kAlways},
                      MaskCase{"Hidden", kAttrHidden, With({"hidden.txt"})},
                      MaskCase{"System", kAttrSystem, With({"system.txt"})},
                      MaskCase{"HiddenAndSystem", kAttrHidden | kAttrSystem,
                               With({"hidden.txt", "system.txt", "both.txt"})},
                      MaskCase{"Folders", kAttrFolder, With({".", "..", "sub"})},
                      MaskCase{"Everything", kAttrAny,
                               With({".", "..", "sub", "hidden.txt", "system.txt", "both.txt"})}),
    [](const auto& tested) { return tested.param.name; });

TEST(FolderListing, ReportsTheSystemsAttributesSizeAndTime) {
  const TempFolder temp;
  WriteText(temp / "a.orvfg", std::string(5000, 'a'));
  fs::create_directory(temp.Path() / "sub");
  FolderListing listing(Slash(temp) + "*", kAttrAny);
  FolderEntry entry;
  bool saw_file = false;
  bool saw_folder = false;
  while (listing.Next(entry)) {
    if (entry.name == "a.orvfg") {
      saw_file = true;
      EXPECT_EQ(entry.attributes & kAttrFolder, 0U);
      EXPECT_EQ(entry.size, 5000);
      // A file written just now: a date after 2020 in the DOS form.
      EXPECT_GT(entry.dos_time >> 25, 40U);
    } else if (entry.name == "sub") {
      saw_folder = true;
      EXPECT_NE(entry.attributes & kAttrFolder, 0U);
    }
  }
  EXPECT_TRUE(saw_file);
  EXPECT_TRUE(saw_folder);
}

TEST(FolderListing, PatternWithoutMatchOrFolderDoesNotOpen) {
  const TempFolder temp;
  EXPECT_FALSE(FolderListing(Slash(temp) + "*.zip", kAttrAny).IsOpen());
  EXPECT_FALSE(FolderListing(Slash(temp) + "missing\\*", kAttrAny).IsOpen());
}

TEST(SetFileDosTime, TheListingGivesTheTimeBack) {
  const TempFolder temp;
  WriteText(temp / "dated.txt", "x");
  // 2021-06-15 13:45:30, local time.
  constexpr std::uint32_t kDosTime =
      ((2021 - 1980) << 25) | (6 << 21) | (15 << 16) | (13 << 11) | (45 << 5) | (30 / 2);
  ASSERT_TRUE(SetFileDosTime(temp / "dated.txt", kDosTime));
  FolderListing listing(temp / "dated.txt", kAttrAny);
  FolderEntry entry;
  ASSERT_TRUE(listing.Next(entry));
  EXPECT_EQ(entry.dos_time, kDosTime);
}

// --- Replacing and flushing --------------------------------------------------

TEST(ReplaceFile, PutsTheNewFileInPlaceOfTheOld) {
  const TempFolder temp;
  WriteText(temp / "dictheo.zip", "old");
  WriteText(temp / "dictheo.zip.new", "new");
  EXPECT_TRUE(FlushFileToDisk(temp / "dictheo.zip.new"));
  EXPECT_TRUE(ReplaceFile(temp / "dictheo.zip.new", temp / "dictheo.zip"));
  EXPECT_EQ(ReadText(temp / "dictheo.zip"), "new");
  EXPECT_FALSE(fs::exists(temp.Path() / "dictheo.zip.new"));
}

TEST(ReplaceFile, TargetHeldOpenWithoutSharingStaysAsItWas) {
  const TempFolder temp;
  WriteText(temp / "trad_dyn.pl", "old");
  WriteText(temp / "trad_dyn.pl.new", "new");
  File held = OpenFileForReading(temp / "trad_dyn.pl", ShareMode::kNone);
  ASSERT_TRUE(held.IsOpen());
  EXPECT_FALSE(ReplaceFile(temp / "trad_dyn.pl.new", temp / "trad_dyn.pl"));
  held.Close();
  EXPECT_EQ(ReadText(temp / "trad_dyn.pl"), "old");
  EXPECT_EQ(ReadText(temp / "trad_dyn.pl.new"), "new");
}

TEST(FlushFileToDisk, MissingFileGivesFalse) {
  const TempFolder temp;
  EXPECT_FALSE(FlushFileToDisk(temp / "missing.bin"));
}

}  // namespace
}  // namespace orvane::platform

#endif  // _WIN32
