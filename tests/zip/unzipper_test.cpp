// The zip reader on archives built byte by byte: directory reading, output
// names and folders, the busy guard, and the checks that keep a damaged or
// hostile archive from writing wrong data or leaving the output folder.

#include "zip/unzipper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"
#include "zip/raw_zip.h"
#include "zip/zip_errors.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::RawEntry;
using testing::RawZip;
using testing::ReadText;
using testing::TempFolder;

// A failure as the system reports it: class name and message; both empty
// when the call succeeded.
struct Failure {
  std::string class_name;
  std::string message;
  bool operator==(const Failure&) const = default;
};

void PrintTo(const Failure& f, std::ostream* os) {
  *os << f.class_name << ": " << f.message;
}

Failure FailureOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const Exception& e) {
    return {e.ClassName(), e.Message()};
  }
  return {};
}

// Every file and folder below root, relative, folders with a final "/".
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = fs::relative(it->path(), root).generic_string();
    if (it->is_directory()) name += '/';
    found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Sets the process-wide output name for one test.
class ForcedNameScope {
 public:
  explicit ForcedNameScope(const std::string& name) { ForcedOutputName() = name; }
  ~ForcedNameScope() { ForcedOutputName().clear(); }
  ForcedNameScope(const ForcedNameScope&) = delete;
  ForcedNameScope& operator=(const ForcedNameScope&) = delete;
};

// Makes a folder current for one test.
class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const fs::path& folder) : saved_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~CurrentFolderScope() { fs::current_path(saved_); }
  CurrentFolderScope(const CurrentFolderScope&) = delete;
  CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

 private:
  fs::path saved_;
};

class UnZipperTest : public ::testing::Test {
 protected:
  // Writes the archive into the scratch folder and points the reader at it,
  // with the folder "out/" of the scratch folder as output.
  void Prepare(const Bytes& archive) {
    testing::WriteBytes(archive_path_, archive);
    reader_.SetInputFileName(archive_path_);
    reader_.SetOutputFolder(out_);
  }
  Failure Extract(const Bytes& archive) {
    Prepare(archive);
    return FailureOf([this] { reader_.ExtractAll(); });
  }
  [[nodiscard]] std::vector<std::string> OutTree() const { return Tree(out_); }
  [[nodiscard]] std::string Out(const std::string& name) const { return ReadText(out_ + name); }

  TempFolder scratch_;
  std::string archive_path_ = scratch_ / "archive.zip";
  std::string out_ = scratch_.Slash() + "out/";
  TUnZipper reader_;
};

// --- The directory ---------------------------------------------------------

TEST_F(UnZipperTest, EmptyArchiveExtractsNothing) {
  const Bytes archive = RawZip().Build();
  ASSERT_EQ(archive.size(), kEndOfCentralDirectorySize);
  EXPECT_EQ(Extract(archive), Failure{});
  EXPECT_EQ(reader_.Entries().Count(), 0);
  EXPECT_FALSE(fs::exists(out_));
  EXPECT_FALSE(reader_.Busy());
}

TEST_F(UnZipperTest, MissingArchiveIsAnOpenError) {
  reader_.SetInputFileName(scratch_ / "none.zip");
  EXPECT_EQ(FailureOf([this] { reader_.ExtractAll(); }),
            (Failure{"EFOpenError", "Unable to open file \"" + (scratch_ / "none.zip") + "\""}));
  EXPECT_FALSE(reader_.Busy());
}

// Archives whose directory cannot be read: the whole directory is read before
// the first entry, so none of them writes anything.
struct DirectoryCase {
  const char* label;
  std::function<Bytes()> archive;
  const char* class_name;
  bool corrupt;  // "Corrupt ZIP file %s"; else "Stream read error"
};

Bytes TwoEntries() {
  RawZip zip;
  zip.Stored("a.txt", "alpha");
  zip.Stored("b.txt", "beta");
  return zip.Build();
}

Bytes WithSecondCentralSignatureBroken() {
  Bytes bytes = TwoEntries();
  const std::uint32_t first = RawZip::DirectoryOffset(bytes);
  const std::size_t second = first + kCentralDirectoryHeaderSize + 5;  // after "a.txt"
  bytes[second] = 'X';
  return bytes;
}

Bytes WithEndRecordField(std::size_t offset, std::uint32_t value, int width) {
  Bytes bytes = TwoEntries();
  const std::size_t end = bytes.size() - kEndOfCentralDirectorySize;
  for (int i = 0; i < width; ++i)
    bytes[end + offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

Bytes WithFirstCentralNameLength(std::uint16_t length) {
  Bytes bytes = TwoEntries();
  const std::uint32_t first = RawZip::DirectoryOffset(bytes);
  bytes[first + 28] = static_cast<std::uint8_t>(length);
  bytes[first + 29] = static_cast<std::uint8_t>(length >> 8);
  return bytes;
}

class DirectoryFailureTest : public UnZipperTest,
                             public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(DirectoryFailureTest, FailsBeforeAnythingIsWritten) {
  const DirectoryCase& c = GetParam();
  const std::string message =
      c.corrupt ? "Corrupt ZIP file " + archive_path_ : std::string("Stream read error");
  EXPECT_EQ(Extract(c.archive()), (Failure{c.class_name, message}));
  EXPECT_FALSE(fs::exists(out_));
  EXPECT_FALSE(reader_.Busy());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectoryFailureTest,
    ::testing::Values(
        DirectoryCase{"ArchiveComment", [] { return RawZip().Build("a comment"); }, "EZipError",
                      true},
        DirectoryCase{"CommentOnEntries",
                      [] {
                        RawZip zip;
                        zip.Stored("a.txt", "alpha");
                        return zip.Build("x");
                      },
                      "EZipError", true},
        DirectoryCase{"BytesAppended",
                      [] {
                        Bytes bytes = TwoEntries();
                        bytes.push_back(0);
                        return bytes;
                      },
                      "EZipError", true},
        DirectoryCase{"ShorterThanEndRecord",
                      [] { return Bytes(kEndOfCentralDirectorySize - 1, 0); }, "EZipError", true},
        DirectoryCase{"EmptyFile", [] { return Bytes{}; }, "EZipError", true},
        DirectoryCase{"SecondCentralSignatureBroken", WithSecondCentralSignatureBroken, "EZipError",
                      true},
        // 65535 headers claimed: the third header read runs into the end of the file.
        DirectoryCase{"CountBeyondDirectory", [] { return WithEndRecordField(8, 0xFFFF, 2); },
                      "EReadError", false},
        DirectoryCase{"CountBeyondFile",
                      [] {
                        Bytes bytes = RawZip().Build();
                        bytes[8] = bytes[9] = 0xFF;
                        return bytes;
                      },
                      "EReadError", false},
        DirectoryCase{"DirectoryOffsetBeyondFile",
                      [] { return WithEndRecordField(16, 0x7FFFFFF0, 4); }, "EReadError", false},
        DirectoryCase{"NameBeyondFile", [] { return WithFirstCentralNameLength(0xFFFF); },
                      "EReadError", false}),
    [](const auto& p) { return std::string(p.param.label); });

TEST_F(UnZipperTest, EntriesReadBeforeADirectoryFailureStay) {
  EXPECT_EQ(Extract(WithSecondCentralSignatureBroken()).class_name, "EZipError");
  ASSERT_EQ(reader_.Entries().Count(), 1);
  EXPECT_EQ(reader_.Entries().Items(0).ArchiveFileName(), "a.txt");
}

TEST_F(UnZipperTest, ReadDirectoryKeepsTheCentralHeadersAndWritesNothing) {
  RawZip zip;
  zip.Stored("a.txt", "alpha");
  zip.Deflated("b.txt", std::string(1000, 'b'));
  Prepare(zip.Build());
  reader_.ReadDirectory();
  EXPECT_FALSE(fs::exists(out_));
  ASSERT_EQ(reader_.Entries().Count(), 2);
  const TZipFileEntry& b = reader_.Entries().Items(1);
  EXPECT_EQ(b.ArchiveFileName(), "b.txt");
  const CentralDirectoryHeader* header = reader_.CentralHeaderOf(b);
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->compression_method, kMethodDeflated);
  EXPECT_EQ(header->uncompressed_size, 1000U);
  EXPECT_LT(header->compressed_size, 1000U);
  EXPECT_EQ(header->crc32, Crc32Of(std::string(1000, 'b').data(), 1000));
  EXPECT_EQ(reader_.CentralHeaderOf(reader_.Entries().Add()), nullptr);
}

// --- Output names and folders -------------------------------------------------

TEST_F(UnZipperTest, ExtractsStoredAndDeflatedEntriesAndFillsThem) {
  RawZip zip;
  zip.Stored("a.txt", "alpha");
  zip.Deflated("b.txt", std::string(5000, 'b'));
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(Out("a.txt"), "alpha");
  EXPECT_EQ(Out("b.txt"), std::string(5000, 'b'));
  const TZipFileEntry& b = reader_.Entries().Items(1);
  EXPECT_EQ(b.DiskFileName(), "b.txt");
  EXPECT_EQ(b.Size(), 5000);
  EXPECT_DOUBLE_EQ(b.DateTime(), EncodeDateTime(2017, 6, 14, 15, 48, 58, 0));
}

struct NameCase {
  const char* stored_name;
  const char* content;
  std::vector<std::string> tree;  // what the output folder holds afterwards
  const char* written;            // the file holding the content
};

class OutputNameTest : public UnZipperTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(OutputNameTest, WritesUnderTheOutputName) {
  const NameCase& c = GetParam();
  RawZip zip;
  zip.Stored(c.stored_name, c.content);
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(OutTree(), c.tree);
  EXPECT_EQ(Out(c.written), c.content);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputNameTest,
    ::testing::Values(NameCase{"a.txt", "alpha", {"a.txt"}, "a.txt"},
                      NameCase{"empty.txt", "", {"empty.txt"}, "empty.txt"},
                      NameCase{"data/a.txt", "alpha", {"data/", "data/a.txt"}, "data/a.txt"},
                      NameCase{"data\\sub\\a.txt",
                               "alpha",
                               {"data/", "data/sub/", "data/sub/a.txt"},
                               "data/sub/a.txt"},
                      // A name with a drive keeps only its file-name part.
                      NameCase{"C:/data/a.txt", "alpha", {"a.txt"}, "a.txt"},
                      NameCase{"x:y\\z.txt", "zed", {"z.txt"}, "z.txt"},
                      // Dots that are not a parent component are ordinary name bytes.
                      NameCase{"..a/b..c", "dots", {"..a/", "..a/b..c"}, "..a/b..c"}));

class FolderEntriesTest : public UnZipperTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FolderEntriesTest, FoldersAreMadeWithOrWithoutTheirEntries) {
  RawZip zip;
  if (GetParam()) {
    zip.Folder("Yap/");
    zip.Folder("Yap/bin/");
  }
  zip.Deflated("Yap/bin/yap.exe", std::string(3000, 'y'));
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(OutTree(), (std::vector<std::string>{"Yap/", "Yap/bin/", "Yap/bin/yap.exe"}));
  EXPECT_EQ(Out("Yap/bin/yap.exe"), std::string(3000, 'y'));
}

INSTANTIATE_TEST_SUITE_P(Cases, FolderEntriesTest, ::testing::Bool());

TEST_F(UnZipperTest, OutputFolderWithoutSeparatorGetsOne) {
  RawZip zip;
  zip.Stored("a.txt", "alpha");
  Prepare(zip.Build());
  reader_.SetOutputFolder(scratch_ / "plain");
  reader_.ExtractAll();
  EXPECT_EQ(ReadText(scratch_ / "plain/a.txt"), "alpha");
}

TEST_F(UnZipperTest, NameEndingInBackslashCannotBeCreated) {
  RawZip zip;
  zip.Stored("dir\\", "");
  EXPECT_EQ(Extract(zip.Build()),
            (Failure{"EFCreateError", "Unable to create file \"" + out_ + "dir\\\""}));
}

TEST_F(UnZipperTest, ForcedOutputNameTakesEveryFileButNoFolder) {
  const ForcedNameScope forced("x.bin");
  RawZip zip;
  zip.Folder("sub/");
  zip.Stored("a", "first");
  zip.Stored("sub/b", "second");
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(OutTree(), (std::vector<std::string>{"sub/", "x.bin"}));
  EXPECT_EQ(Out("x.bin"), "second");
}

TEST_F(UnZipperTest, LaterEntryOfTheSameNameReplacesTheFile) {
  RawZip zip;
  zip.Stored("a.txt", "a much longer first content");
  zip.Stored("a.txt", "second");
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(Out("a.txt"), "second");
}

TEST_F(UnZipperTest, EmptyOutputFolderIsTheCurrentFolder) {
  RawZip zip;
  zip.Folder("f/");
  zip.Stored("f/a.txt", "alpha");
  testing::WriteBytes(archive_path_, zip.Build());
  fs::create_directory(out_);
  const CurrentFolderScope current(out_);
  reader_.SetInputFileName(archive_path_);
  reader_.ExtractAll();
  EXPECT_EQ(OutTree(), (std::vector<std::string>{"f/", "f/a.txt"}));
}

// --- Selection ---------------------------------------------------------------

TEST_F(UnZipperTest, NameFilterSelectsWithoutRegardToCase) {
  RawZip zip;
  zip.Stored("One.txt", "1");
  zip.Stored("two.txt", "2");
  reader_.NameFilter().Add("ONE.TXT");
  reader_.NameFilter().Add("one.txt");  // the same name: kept once
  EXPECT_EQ(reader_.NameFilter().Count(), 1);
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(OutTree(), std::vector<std::string>{"One.txt"});
}

struct RenamedCase {
  const char* filter;
  std::vector<std::string> tree;
};

class RenamedEntryTest : public UnZipperTest, public ::testing::WithParamInterface<RenamedCase> {};

// The filter sees the central directory's name, the file gets the local one.
TEST_P(RenamedEntryTest, FilterMatchesCentralNameFileTakesLocalName) {
  RawZip zip;
  zip.Stored("b", "data").central_name = "a";
  reader_.NameFilter().Add(GetParam().filter);
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(OutTree(), GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(Cases, RenamedEntryTest,
                         ::testing::Values(RenamedCase{"A", {"b"}}, RenamedCase{"b", {}}));

// Local headers whose name or extra field the directory does not foretell:
// the entry's data still starts right after them, for a stored and for a
// deflated entry, and the entry after them is found as well.
struct LocalLayoutCase {
  const char* label;
  std::string local_name;
  std::string central_name;
  std::size_t local_extra;
};

class LocalLayoutTest : public UnZipperTest,
                        public ::testing::WithParamInterface<LocalLayoutCase> {};

TEST_P(LocalLayoutTest, DataStartsAfterTheLocalNameAndExtraField) {
  const LocalLayoutCase& c = GetParam();
#ifdef _WIN32
  // The scratch folder and a 300-byte name pass the 260 characters that a
  // Windows path may hold.
  if (c.local_name.size() > 200) GTEST_SKIP() << "the path would pass MAX_PATH";
#endif
  RawZip zip;
  RawEntry& stored = zip.Stored(c.local_name + ".s", "stored data");
  stored.central_name = c.central_name + ".s";
  stored.local_extra = Bytes(c.local_extra, 0xEE);
  RawEntry& deflated = zip.Deflated(c.local_name + ".d", std::string(5000, 'q'));
  deflated.central_name = c.central_name + ".d";
  deflated.local_extra = Bytes(c.local_extra, 0xEE);
  zip.Stored("next", "after");
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(Out(c.local_name + ".s"), "stored data");
  EXPECT_EQ(Out(c.local_name + ".d"), std::string(5000, 'q'));
  EXPECT_EQ(Out("next"), "after");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalLayoutTest,
    ::testing::Values(LocalLayoutCase{"SameName", "same", "same", 0},
                      LocalLayoutCase{"ShorterThanTheDirectorys", "b", "a-much-longer-name", 0},
                      LocalLayoutCase{"LongerThanTheDirectorys", "a-much-longer-name", "b", 0},
                      LocalLayoutCase{"WithExtraField", "same", "same", 20},
                      LocalLayoutCase{"ShorterWithExtraField", "b", "a-much-longer-name", 9},
                      LocalLayoutCase{"NameOfThreeHundredBytes",
                                      std::string(150, 'p') + "/" + std::string(147, 'f'),
                                      std::string(150, 'p') + "/" + std::string(147, 'f'), 4}),
    [](const auto& p) { return std::string(p.param.label); });

// A directory far larger than any block it is read in.
TEST_F(UnZipperTest, ExtractsEveryEntryOfALargeDirectory) {
  constexpr int kCount = 1500;
  RawZip zip;
  for (int i = 0; i < kCount; ++i) {
    zip.Stored("entry-with-a-name-of-some-length-" + std::to_string(i), std::to_string(i))
        .central_extra = Bytes(24, 0);
  }
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(OutTree().size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(Out("entry-with-a-name-of-some-length-0"), "0");
  EXPECT_EQ(Out("entry-with-a-name-of-some-length-1499"), "1499");
}

// --- Events and the busy guard --------------------------------------------------

TEST_F(UnZipperTest, OnEntryStartReportsEachCreatedFile) {
  RawZip zip;
  zip.Folder("d/");
  zip.Stored("d/a.txt", "alpha");
  std::vector<std::string> paths;
  reader_.SetOnEntryStart([&](TUnZipper& sender, const std::string& path) {
    EXPECT_EQ(&sender, &reader_);
    EXPECT_TRUE(sender.Busy());
    EXPECT_TRUE(fs::exists(path));
    paths.push_back(path);
  });
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(paths, std::vector<std::string>{out_ + "d/a.txt"});
}

// What a handler may not do while the reader runs.
class BusyGuardTest
    : public UnZipperTest,
      public ::testing::WithParamInterface<std::pair<const char*, void (*)(TUnZipper&)>> {};

TEST_P(BusyGuardTest, RefusedFromOnEntryStartAndEndsTheRun) {
  RawZip zip;
  zip.Stored("a.txt", "alpha");
  zip.Stored("b.txt", "beta");
  auto change = GetParam().second;
  reader_.SetOnEntryStart([change](TUnZipper& sender, const std::string&) { change(sender); });
  EXPECT_EQ(Extract(zip.Build()),
            (Failure{"EZipError", "Changing output file name is not allowed while (un)zipping"}));
  EXPECT_FALSE(reader_.Busy());
  EXPECT_EQ(OutTree(), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(reader_.OutputFolder(), out_);
  EXPECT_EQ(reader_.InputFileName(), archive_path_);
  reader_.SetOutputFolder("elsewhere");  // allowed again once the run is over
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BusyGuardTest,
    ::testing::Values(std::make_pair(
                          "OutputFolder", +[](TUnZipper& r) { r.SetOutputFolder("x"); }),
                      std::make_pair(
                          "InputFileName", +[](TUnZipper& r) { r.SetInputFileName("x.zip"); }),
                      std::make_pair(
                          "ExtractAll", +[](TUnZipper& r) { r.ExtractAll(); }),
                      std::make_pair(
                          "Clear", +[](TUnZipper& r) { r.Clear(); })),
    [](const auto& p) { return std::string(p.param.first); });

TEST_F(UnZipperTest, SecondRunAppendsTheDirectoryAgainAndWritesTwice) {
  RawZip zip;
  zip.Stored("a.txt", "alpha");
  zip.Stored("b.txt", "beta");
  int created = 0;
  reader_.SetOnEntryStart([&](TUnZipper&, const std::string&) { ++created; });
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(created, 2);
  reader_.ExtractAll();
  EXPECT_EQ(created, 2 + 4);
  EXPECT_EQ(reader_.Entries().Count(), 4);
  reader_.Clear();
  EXPECT_EQ(reader_.Entries().Count(), 0);
}

// --- Entries that fail ------------------------------------------------------------

struct EntryCase {
  const char* label;
  std::function<void(RawEntry&)> damage;
  Failure failure;
  bool file_created;
  const char* file_content;  // what the created file holds afterwards
};

class EntryFailureTest : public UnZipperTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(EntryFailureTest, EndsTheRunWithTheEntrysError) {
  const EntryCase& c = GetParam();
  RawZip zip;
  c.damage(zip.Stored("a.txt", "alpha"));
  zip.Stored("after.txt", "never written");
  EXPECT_EQ(Extract(zip.Build()), c.failure);
  EXPECT_EQ(fs::exists(out_ + "a.txt"), c.file_created);
  if (c.file_created) {
    EXPECT_EQ(Out("a.txt"), c.file_content);
  }
  EXPECT_FALSE(fs::exists(out_ + "after.txt"));
  EXPECT_FALSE(reader_.Busy());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryFailureTest,
    ::testing::Values(EntryCase{"UnknownMethod",
                                [](RawEntry& e) { e.method = 12; },
                                {"EZipError", "Unsupported compression format 12"},
                                true,
                                ""},
                      EntryCase{"DateWordZero",
                                [](RawEntry& e) { e.date = 0; },
                                {"EConvertError", "1980-0-0 is not a valid date specification"},
                                false,
                                ""},
                      EntryCase{"HourTwentyFour",
                                [](RawEntry& e) { e.time = 24 << 11; },
                                {"EConvertError", "24:0:0.0 is not a valid time specification"},
                                false,
                                ""},
                      EntryCase{"StoredDataBeyondFile",
                                [](RawEntry& e) { e.compressed_size = 0x100000; },
                                {"EReadError", "Stream read error"},
                                true,
                                ""},
                      EntryCase{"LocalHeaderBeyondFile",
                                [](RawEntry& e) { e.local_header_offset = 0x7FFFFF00; },
                                {"EReadError", "Stream read error"},
                                false,
                                ""},
                      EntryCase{"LocalHeaderAtNegativeOffset",
                                [](RawEntry& e) { e.local_header_offset = 0xFFFFFF00; },
                                {"EReadError", "Stream read error"},
                                false,
                                ""}),
    [](const auto& p) { return std::string(p.param.label); });

// --- What is written is what the entry declares ----------------------------------

struct CheckCase {
  const char* label;
  std::function<void(RawZip&)> build;
  std::string message;
  std::uintmax_t max_written;  // the output file never grows beyond this
};

class DataCheckTest : public UnZipperTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(DataCheckTest, MismatchIsRefusedNamingTheEntry) {
  const CheckCase& c = GetParam();
  RawZip zip;
  c.build(zip);
  EXPECT_EQ(Extract(zip.Build()), (Failure{"EZipError", c.message}));
  ASSERT_TRUE(fs::exists(out_ + "e.bin"));
  EXPECT_LE(fs::file_size(out_ + "e.bin"), c.max_written);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataCheckTest,
    ::testing::Values(
        CheckCase{"StoredCrc", [](RawZip& z) { z.Stored("e.bin", "alpha").crc32 ^= 1; },
                  "CRC-32 mismatch in entry \"e.bin\"", 5},
        CheckCase{"DeflatedCrc",
                  [](RawZip& z) { z.Deflated("e.bin", std::string(4000, 'd')).crc32 ^= 1; },
                  "CRC-32 mismatch in entry \"e.bin\"", 4000},
        CheckCase{"StoredShorterThanDeclared",
                  [](RawZip& z) { z.Stored("e.bin", "alpha").uncompressed_size = 6; },
                  "Size mismatch in entry \"e.bin\": 6 bytes expected", 5},
        CheckCase{"StoredLongerThanDeclared",
                  [](RawZip& z) { z.Stored("e.bin", "alpha").uncompressed_size = 4; },
                  "Size mismatch in entry \"e.bin\": 4 bytes expected", 4},
        CheckCase{"DeflatedShorterThanDeclared",
                  [](RawZip& z) { z.Deflated("e.bin", "alpha").uncompressed_size = 6; },
                  "Size mismatch in entry \"e.bin\": 6 bytes expected", 5},
        // 4 MiB of zeros deflate to some 4 KiB: the run stops at the declared
        // size instead of filling the disk.
        CheckCase{
            "InflatesPastDeclared",
            [](RawZip& z) { z.Deflated("e.bin", Bytes(4U << 20, 0)).uncompressed_size = 1000; },
            "Size mismatch in entry \"e.bin\": 1000 bytes expected", 1000},
        // The central header's values count for a descriptor entry.
        CheckCase{"DescriptorCrc",
                  [](RawZip& z) {
                    RawEntry& e = z.Deflated("e.bin", std::string(100, 'd'));
                    RawZip::UseDataDescriptor(e);
                    e.crc32 ^= 1;
                  },
                  "CRC-32 mismatch in entry \"e.bin\"", 100}),
    [](const auto& p) { return std::string(p.param.label); });

TEST_F(UnZipperTest, DamagedDeflateDataIsADecompressionError) {
  RawZip zip;
  RawEntry& e = zip.Deflated("e.bin", "alpha");
  e.data = {0xFF, 0xFF};  // a block of the reserved type
  e.compressed_size = 2;
  EXPECT_EQ(Extract(zip.Build()).class_name, "EDecompressionError");
}

struct DescriptorCase {
  const char* label;
  bool deflated;
};

class DataDescriptorTest : public UnZipperTest,
                           public ::testing::WithParamInterface<DescriptorCase> {};

// A streaming writer leaves CRC-32 and sizes zero in the local header.
TEST_P(DataDescriptorTest, TakesCrcAndSizesFromTheCentralHeader) {
  const std::string content(3000, 's');
  RawZip zip;
  RawZip::UseDataDescriptor(GetParam().deflated ? zip.Deflated("s.txt", content)
                                                : zip.Stored("s.txt", content));
  zip.Stored("after.txt", "after");
  EXPECT_EQ(Extract(zip.Build()), Failure{});
  EXPECT_EQ(Out("s.txt"), content);
  EXPECT_EQ(Out("after.txt"), "after");
  EXPECT_EQ(reader_.Entries().Items(0).Size(), 3000);
}

INSTANTIATE_TEST_SUITE_P(Cases, DataDescriptorTest,
                         ::testing::Values(DescriptorCase{"Stored", false},
                                           DescriptorCase{"Deflated", true}),
                         [](const auto& p) { return std::string(p.param.label); });

// --- Names that would leave the output folder ----------------------------------

class UnsafeNameTest : public UnZipperTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnsafeNameTest, IsRefusedBeforeAnythingIsCreated) {
  const std::string& name = GetParam();
  RawZip zip;
  zip.Stored("first.txt", "first");
  zip.Stored(name, "escape");
  EXPECT_EQ(Extract(zip.Build()),
            (Failure{"EZipError", "Unsafe file name in entry \"" + name + "\""}));
  EXPECT_EQ(Tree(scratch_.Path()),
            (std::vector<std::string>{"archive.zip", "out/", "out/first.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, UnsafeNameTest,
                         ::testing::Values("../x", "..", "../", "/abs", "\\abs", "a\\..\\..\\x",
                                           "a/../../x", "a/..\\..\\x/", "", "a/.. /x", "a/.../x",
                                           "C:/x/", std::string("a\0b", 3)));

}  // namespace
}  // namespace orvane
