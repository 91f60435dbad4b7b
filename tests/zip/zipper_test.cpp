// The zip writer: archive layout, stored-or-deflated choice, the temporary
// file, the entry checks and their order, and the limits of the format.

#include "zip/zipper.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zip/zip_errors.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// A memory stream holding the bytes, positioned at its start.
std::unique_ptr<TMemoryStream> StreamOf(const Bytes& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteBuffer(bytes.data(), bytes.size());
  stream->SetPosition(0);
  return stream;
}

Bytes RawInflate(const Bytes& deflated, std::size_t plain_size) {
  Bytes plain(plain_size + 1);
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytef*>(deflated.data());
  z.avail_in = static_cast<uInt>(deflated.size());
  z.next_out = plain.data();
  z.avail_out = static_cast<uInt>(plain.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  plain.resize(z.total_out);
  inflateEnd(&z);
  return plain;
}

// One entry of a written archive, found through its central header.
struct WrittenEntry {
  CentralDirectoryHeader central;
  std::string central_name;
  LocalFileHeader local;
  std::string local_name;
  Bytes data;  // the bytes after the local name

  [[nodiscard]] Bytes Plain() const {
    return local.compression_method == kMethodDeflated ? RawInflate(data, local.uncompressed_size)
                                                       : data;
  }
};

struct WrittenArchive {
  Bytes bytes;
  EndOfCentralDirectory end;
  std::vector<WrittenEntry> entries;
};

// Reads an archive the way a strict reader would, checking that every
// offset lands where it says.
WrittenArchive ReadArchive(const std::string& path) {
  WrittenArchive archive;
  archive.bytes = testing::ReadBytes(path);
  const Bytes& b = archive.bytes;
  EXPECT_GE(b.size(), kEndOfCentralDirectorySize);
  if (b.size() < kEndOfCentralDirectorySize) return archive;
  archive.end = EndOfCentralDirectory::Parse(b.data() + b.size() - kEndOfCentralDirectorySize);
  EXPECT_EQ(archive.end.signature, kEndOfCentralDirectorySignature);
  std::size_t at = archive.end.central_directory_offset;
  for (int i = 0; i < archive.end.entries_on_disk; ++i) {
    WrittenEntry e;
    e.central = CentralDirectoryHeader::Parse(b.data() + at);
    EXPECT_EQ(e.central.signature, kCentralDirectorySignature);
    at += kCentralDirectoryHeaderSize;
    e.central_name.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                          b.begin() + static_cast<std::ptrdiff_t>(at + e.central.file_name_length));
    at += e.central.file_name_length;
    const std::size_t local_at = e.central.local_header_offset;
    e.local = LocalFileHeader::Parse(b.data() + local_at);
    EXPECT_EQ(e.local.signature, kLocalFileHeaderSignature);
    const std::size_t name_at = local_at + kLocalFileHeaderSize;
    e.local_name.assign(
        b.begin() + static_cast<std::ptrdiff_t>(name_at),
        b.begin() + static_cast<std::ptrdiff_t>(name_at + e.local.file_name_length));
    const std::size_t data_at = name_at + e.local.file_name_length;
    e.data.assign(b.begin() + static_cast<std::ptrdiff_t>(data_at),
                  b.begin() + static_cast<std::ptrdiff_t>(data_at + e.local.compressed_size));
    archive.entries.push_back(std::move(e));
  }
  EXPECT_EQ(at + kEndOfCentralDirectorySize, b.size()) << "nothing between directory and end";
  return archive;
}

class ZipperTest : public ::testing::Test {
 protected:
  // Keeps a stream alive for the zipper and returns it.
  TMemoryStream& Stream(const Bytes& bytes) { return *streams_.emplace_back(StreamOf(bytes)); }
  TMemoryStream& Stream(const std::string& text) { return Stream(ToBytes(text)); }

  std::string Output() const { return folder_ / "pack.zip"; }

  // Writes the zipper's entries into Output() and reads the result back.
  WrittenArchive Write(TZipper& zipper) {
    zipper.SetOutputFileName(Output());
    zipper.WriteArchive();
    EXPECT_FALSE(zipper.Busy());
    return ReadArchive(Output());
  }

  testing::TempFolder folder_;
  std::vector<std::unique_ptr<TMemoryStream>> streams_;
};

TEST_F(ZipperTest, InitialValues) {
  const TZipper zipper;
  EXPECT_EQ(zipper.Entries().Count(), 0);
  EXPECT_FALSE(zipper.Busy());
  EXPECT_EQ(zipper.BufferSize(), 16384U);
  EXPECT_EQ(zipper.OutputFileName(), "");
  EXPECT_TRUE(zipper.FileNames().empty());
  EXPECT_EQ(zipper.MemoryThreshold(), 10240000);
  EXPECT_FALSE(zipper.OnEntryStart());
}

TEST_F(ZipperTest, SingleStoredEntryLayoutByteByByte) {
  TZipper zipper;
  zipper.Entries().AddStream(Stream("abc"), "a.txt");
  const WrittenArchive archive = Write(zipper);
  // clang-format off
  const Bytes expected{
      // local header at 0
      0x50, 0x4B, 0x03, 0x04,  0x0A, 0x00,  0x00, 0x00,  0x00, 0x00,  // signature, version, flags, method
      0x00, 0x00,  0x9E, 0x5F,                                      // time, date
      0xC2, 0x41, 0x24, 0x35,                                       // CRC-32 of abc
      0x03, 0x00, 0x00, 0x00,  0x03, 0x00, 0x00, 0x00,              // sizes
      0x05, 0x00,  0x00, 0x00,                                      // name and extra lengths
      'a', '.', 't', 'x', 't',
      'a', 'b', 'c',                                                // data at 35
      // central header at 38
      0x50, 0x4B, 0x01, 0x02,  0x0A, 0x00,  0x0A, 0x00,  0x00, 0x00,  0x00, 0x00,
      0x00, 0x00,  0x9E, 0x5F,  0xC2, 0x41, 0x24, 0x35,
      0x03, 0x00, 0x00, 0x00,  0x03, 0x00, 0x00, 0x00,
      0x05, 0x00,  0x00, 0x00,  0x00, 0x00,  0x00, 0x00,  0x00, 0x00,  // name, extra, comment, disk, internal
      0x20, 0x00, 0x00, 0x00,                                       // external attributes
      0x00, 0x00, 0x00, 0x00,                                       // local header offset
      'a', '.', 't', 'x', 't',
      // end record at 89
      0x50, 0x4B, 0x05, 0x06,  0x00, 0x00,  0x00, 0x00,  0x01, 0x00,  0x01, 0x00,
      0x33, 0x00, 0x00, 0x00,                                       // directory size 51
      0x26, 0x00, 0x00, 0x00,                                       // directory offset 38
      0x00, 0x00};
  // clang-format on
  ASSERT_EQ(archive.bytes.size(), 111U);
  EXPECT_EQ(archive.bytes, expected);
}

TEST_F(ZipperTest, TwoStreamEntriesWithoutDateTime) {
  TZipper zipper;
  zipper.Entries().AddStream(Stream("first"), "a");
  zipper.Entries().AddStream(Stream("second"), "b");
  const WrittenArchive archive = Write(zipper);
  EXPECT_EQ(archive.end.entries_on_disk, 2);
  EXPECT_EQ(archive.end.total_entries, 2);
  ASSERT_EQ(archive.entries.size(), 2U);
  EXPECT_EQ(archive.entries[0].central.local_header_offset, 0U);
  const std::vector<std::string> names{"a", "b"};
  const std::vector<std::string> contents{"first", "second"};
  for (std::size_t i = 0; i < 2; ++i) {
    const WrittenEntry& e = archive.entries[i];
    EXPECT_EQ(e.local_name, names[i]);
    EXPECT_EQ(e.central_name, names[i]);
    EXPECT_EQ(e.local.modification_date, 0x5F9E);
    EXPECT_EQ(e.local.modification_time, 0);
    EXPECT_EQ(e.local.version_needed, 10);
    EXPECT_EQ(e.local.flags, 0);
    EXPECT_EQ(e.central.version_made_by, 10);
    EXPECT_EQ(e.central.external_attributes, 0x20U);
    EXPECT_EQ(e.central.modification_date, 0x5F9E);
    EXPECT_EQ(e.Plain(), ToBytes(contents[i]));
  }
  // Back to back from offset 0.
  EXPECT_EQ(archive.entries[1].central.local_header_offset, kLocalFileHeaderSize + 1 + 5);
}

TEST_F(ZipperTest, EmptyListWritesNothing) {
  TZipper zipper;
  zipper.SetOutputFileName(Output());
  zipper.WriteArchive();
  EXPECT_FALSE(fs::exists(Output()));

  testing::WriteText(Output(), "not an archive");
  zipper.WriteArchive();
  EXPECT_EQ(testing::ReadText(Output()), "not an archive");
}

TEST_F(ZipperTest, ZeroByteSourceIsStored) {
  TZipper zipper;
  zipper.Entries().AddStream(Stream(""), "empty");
  const WrittenArchive archive = Write(zipper);
  ASSERT_EQ(archive.entries.size(), 1U);
  const LocalFileHeader& local = archive.entries[0].local;
  EXPECT_EQ(local.compression_method, kMethodStored);
  EXPECT_EQ(local.compressed_size, 0U);
  EXPECT_EQ(local.uncompressed_size, 0U);
  EXPECT_EQ(local.crc32, 0U);
}

struct ChoiceCase {
  const char* name;
  Bytes data;
  std::uint16_t method;
};

class ZipperMethodChoice : public ZipperTest, public ::testing::WithParamInterface<ChoiceCase> {};

// Deflated only when strictly smaller; the central header repeats the local
// header's values.
TEST_P(ZipperMethodChoice, KeepsTheSmallerForm) {
  const ChoiceCase& c = GetParam();
  TZipper zipper;
  zipper.Entries().AddStream(Stream(c.data), "x.bin");
  const WrittenArchive archive = Write(zipper);
  ASSERT_EQ(archive.entries.size(), 1U);
  const WrittenEntry& e = archive.entries[0];
  EXPECT_EQ(e.local.compression_method, c.method);
  EXPECT_EQ(e.central.compression_method, c.method);
  EXPECT_EQ(e.local.uncompressed_size, c.data.size());
  if (c.method == kMethodStored) {
    EXPECT_EQ(e.local.compressed_size, c.data.size());
  } else {
    EXPECT_LT(e.local.compressed_size, c.data.size());
  }
  EXPECT_EQ(e.central.compressed_size, e.local.compressed_size);
  EXPECT_EQ(e.local.crc32, Crc32Of(c.data.data(), c.data.size()));
  EXPECT_EQ(e.central.crc32, e.local.crc32);
  EXPECT_EQ(e.Plain(), c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipperMethodChoice,
    ::testing::Values(ChoiceCase{"noise", testing::SampleBytes(50000, false), kMethodStored},
                      ChoiceCase{"text", testing::SampleBytes(50000, true), kMethodDeflated},
                      // "aa" deflates to 4 bytes; "a" x 6 to 4: not smaller.
                      ChoiceCase{"short", ToBytes("aaaa"), kMethodStored},
                      ChoiceCase{"just_smaller", ToBytes(std::string(8, 'a')), kMethodDeflated}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Records whether the intermediate file existed while each entry was
// compressed.
class ObservingZipper : public TZipper {
 public:
  std::vector<bool> temporary_present;

 protected:
  std::unique_ptr<TCompressor> MakeCompressor(TZipFileEntry& entry, TStream& source,
                                              TStream& target) override {
    temporary_present.push_back(platform::FileIsPresent(TemporaryFileName()));
    return TZipper::MakeCompressor(entry, source, target);
  }
};

TEST_F(ZipperTest, SourcesAboveTheMemoryThresholdGoThroughTheTemporaryFile) {
  constexpr std::int32_t kThreshold = 4000;
  ObservingZipper zipper;
  zipper.SetMemoryThreshold(kThreshold);
  const Bytes at_threshold = testing::SampleBytes(kThreshold, true);
  const Bytes above = testing::SampleBytes(kThreshold + 1, true, 2);
  const Bytes noise_above = testing::SampleBytes(kThreshold + 1, false, 3);
  zipper.Entries().AddStream(Stream(at_threshold), "at");
  zipper.Entries().AddStream(Stream(above), "above");
  zipper.Entries().AddStream(Stream(noise_above), "noise");
  const WrittenArchive archive = Write(zipper);
  EXPECT_EQ(zipper.temporary_present, (std::vector<bool>{false, true, true}));
  EXPECT_FALSE(fs::exists(folder_ / "pack.tmp2"));
  ASSERT_EQ(archive.entries.size(), 3U);
  EXPECT_EQ(archive.entries[0].Plain(), at_threshold);
  EXPECT_EQ(archive.entries[1].local.compression_method, kMethodDeflated);
  EXPECT_EQ(archive.entries[1].Plain(), above);
  EXPECT_EQ(archive.entries[2].local.compression_method, kMethodStored);
  EXPECT_EQ(archive.entries[2].Plain(), noise_above);
}

struct TemporaryNameCase {
  const char* output;
  const char* temporary;
};

class ZipperTemporaryName : public ::testing::TestWithParam<TemporaryNameCase> {};

TEST_P(ZipperTemporaryName, ReplacesTheExtension) {
  TZipper zipper;
  zipper.SetOutputFileName(GetParam().output);
  EXPECT_EQ(zipper.TemporaryFileName(), GetParam().temporary);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipperTemporaryName,
    ::testing::Values(TemporaryNameCase{"C:\\out\\pack.zip", "C:\\out\\pack.tmp2"},
                      TemporaryNameCase{"pack", "pack.tmp2"},
                      TemporaryNameCase{"a.b.zip", "a.b.tmp2"},
                      TemporaryNameCase{"C:\\out.d\\pack", "C:\\out.d\\pack.tmp2"},
                      TemporaryNameCase{"/out.d/pack", "/out.d/pack.tmp2"},
                      // never the archive itself
                      TemporaryNameCase{"C:\\out\\pack.tmp2", "C:\\out\\pack.tmp2.tmp2"},
                      TemporaryNameCase{"pack.TMP2", "pack.TMP2.tmp2"}));

TEST_F(ZipperTest, AnArchiveNamedLikeItsTemporaryFileSurvivesALargeEntry) {
  TZipper zipper;
  zipper.SetMemoryThreshold(10);
  const Bytes data = testing::SampleBytes(5000, true);
  zipper.Entries().AddStream(Stream(data), "big");
  zipper.SetOutputFileName(folder_ / "pack.tmp2");
  zipper.WriteArchive();
  const WrittenArchive archive = ReadArchive(folder_ / "pack.tmp2");
  ASSERT_EQ(archive.entries.size(), 1U);
  EXPECT_EQ(archive.entries[0].Plain(), data);
  EXPECT_FALSE(fs::exists(folder_ / "pack.tmp2.tmp2"));
}

TEST_F(ZipperTest, FileNamesBecomeDiskEntriesWithTheirTimes) {
  const std::string first = folder_ / "one.txt";
  const std::string second = folder_ / "two.bin";
  testing::WriteText(first, "one one one one one one one one");
  testing::WriteBytes(second, testing::SampleBytes(3000, false));
  // 2017-06-14 15:48:58
  constexpr std::uint32_t kDosTime = 0x4ACE7E1D;
  ASSERT_TRUE(platform::SetFileDosTime(first, kDosTime));
  ASSERT_TRUE(platform::SetFileDosTime(second, kDosTime));

  TZipper zipper;
  zipper.FileNames() = {first, second};
  const WrittenArchive archive = Write(zipper);
  ASSERT_EQ(archive.entries.size(), 2U);
  EXPECT_EQ(archive.entries[0].local_name, first) << "the disk name is the archive name";
  EXPECT_EQ(archive.entries[1].central_name, second);
  EXPECT_EQ(archive.entries[0].Plain(), testing::ReadBytes(first));
  EXPECT_EQ(archive.entries[1].Plain(), testing::ReadBytes(second));
  for (const WrittenEntry& e : archive.entries) {
    EXPECT_EQ(e.local.modification_date, 0x4ACE);
    EXPECT_EQ(e.local.modification_time, 0x7E1D);
  }
  // The entries stay, and names added later are not taken up.
  ASSERT_EQ(zipper.Entries().Count(), 2);
  EXPECT_EQ(zipper.Entries().Items(1).Size(), 3000);
  EXPECT_EQ(zipper.Entries().Items(0).DateTime(), EncodeDateTime(2017, 6, 14, 15, 48, 58, 0));
  zipper.FileNames().push_back(first);
  EXPECT_EQ(Write(zipper).entries.size(), 2U);
  zipper.Clear();
  EXPECT_EQ(zipper.Entries().Count(), 0);
  EXPECT_TRUE(zipper.FileNames().empty());
}

TEST_F(ZipperTest, EntriesWinOverFileNames) {
  const std::string listed = folder_ / "listed.txt";
  testing::WriteText(listed, "listed");
  TZipper zipper;
  zipper.FileNames() = {listed};
  zipper.Entries().AddStream(Stream("streamed"), "s.txt");
  const WrittenArchive archive = Write(zipper);
  ASSERT_EQ(archive.entries.size(), 1U);
  EXPECT_EQ(archive.entries[0].local_name, "s.txt");
}

TEST_F(ZipperTest, HiddenAndReadOnlyFilesAreFound) {
  const std::string hidden = folder_ / ".hidden";
  const std::string read_only = folder_ / "read-only.txt";
  testing::WriteText(hidden, "hidden");
  testing::WriteText(read_only, "read only");
  fs::permissions(read_only, fs::perms::owner_read);
  TZipper zipper;
  zipper.Entries().AddFile(hidden).SetArchiveFileName("h");
  zipper.Entries().AddFile(read_only).SetArchiveFileName("r");
  const WrittenArchive archive = Write(zipper);
  ASSERT_EQ(archive.entries.size(), 2U);
  EXPECT_EQ(archive.entries[0].Plain(), ToBytes("hidden"));
  EXPECT_EQ(archive.entries[1].Plain(), ToBytes("read only"));
}

// Builds the entry list of one failure case inside a test folder.
struct FailureCase {
  const char* name;
  void (*fill)(TZipFileEntries& entries, const testing::TempFolder& folder, TStream& stream);
  std::string (*message)(const testing::TempFolder& folder);
};

class ZipperEntryChecks : public ZipperTest, public ::testing::WithParamInterface<FailureCase> {};

// Every check runs before the output file is created.
TEST_P(ZipperEntryChecks, FailBeforeAnyFileIsCreated) {
  testing::WriteText(folder_ / "present.txt", "present");
  fs::create_directory(folder_ / "folder");
  testing::MakeSystemFile(folder_ / "system-file");
  TZipper zipper;
  GetParam().fill(zipper.Entries(), folder_, Stream("data"));
  zipper.SetOutputFileName(Output());
  try {
    zipper.WriteArchive();
    FAIL() << "no error";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Message(), GetParam().message(folder_));
  }
  EXPECT_FALSE(zipper.Busy());
  EXPECT_FALSE(fs::exists(Output()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipperEntryChecks,
    ::testing::Values(
        FailureCase{
            "missing_disk_name",
            [](TZipFileEntries& entries, const testing::TempFolder& folder, TStream& s) {
              entries.AddStream(s, "a");
              entries.AddFile(folder / "present.txt");
              entries.Add();
            },
            [](const testing::TempFolder&) { return std::string("Missing filename in entry 2"); }},
        FailureCase{"missing_archive_name",
                    [](TZipFileEntries& entries, const testing::TempFolder&, TStream& s) {
                      entries.AddStream(s, "a");
                      entries.AddStream(s, "");
                    },
                    [](const testing::TempFolder&) {
                      return std::string("Missing archive filename in streamed entry 1");
                    }},
        FailureCase{"missing_file",
                    [](TZipFileEntries& entries, const testing::TempFolder& folder, TStream&) {
                      entries.AddFile(folder / "absent.txt");
                    },
                    [](const testing::TempFolder& folder) {
                      return "File \"" + (folder / "absent.txt") + "\" does not exist.";
                    }},
        FailureCase{"folder",
                    [](TZipFileEntries& entries, const testing::TempFolder& folder, TStream&) {
                      entries.AddFile(folder / "present.txt");
                      entries.AddFile(folder / "folder");
                    },
                    [](const testing::TempFolder& folder) {
                      return "File \"" + (folder / "folder") + "\" does not exist.";
                    }},
        FailureCase{"system_file",
                    [](TZipFileEntries& entries, const testing::TempFolder& folder, TStream&) {
                      entries.AddFile(folder / "system-file");
                    },
                    [](const testing::TempFolder& folder) {
                      return "File \"" + (folder / "system-file") + "\" does not exist.";
                    }}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(ZipperTest, ChangingTheOutputNameWhileBusyStopsTheArchive) {
  TZipper zipper;
  zipper.Entries().AddStream(Stream("data"), "a");
  zipper.Entries().AddFile(folder_ / "b.txt");
  testing::WriteText(folder_ / "b.txt", "b");
  std::vector<std::string> started;
  zipper.SetOnEntryStart([&](TZipper& sender, const std::string& name) {
    started.push_back(name);
    EXPECT_TRUE(sender.Busy());
    if (started.size() == 2) sender.SetOutputFileName(folder_ / "other.zip");
  });
  zipper.SetOutputFileName(Output());
  try {
    zipper.WriteArchive();
    FAIL() << "no error";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Message(), "Changing output file name is not allowed while (un)zipping");
  }
  EXPECT_EQ(started, (std::vector<std::string>{"a", folder_ / "b.txt"}));
  EXPECT_FALSE(zipper.Busy());
  EXPECT_EQ(zipper.OutputFileName(), Output());
  EXPECT_TRUE(fs::exists(Output())) << "the partial archive stays";

  // The writer is idle and whole again.
  zipper.SetOnEntryStart(nullptr);
  const WrittenArchive archive = Write(zipper);
  EXPECT_EQ(archive.entries.size(), 2U);
}

TEST_F(ZipperTest, LongNamesAreCutTo255Bytes) {
  TZipper zipper;
  const std::string name(300, 'n');
  zipper.Entries().AddStream(Stream("data"), name);
  const WrittenArchive archive = Write(zipper);
  ASSERT_EQ(archive.entries.size(), 1U);
  EXPECT_EQ(archive.entries[0].local.file_name_length, 255);
  EXPECT_EQ(archive.entries[0].central.file_name_length, 255);
  EXPECT_EQ(archive.entries[0].local_name, name.substr(0, 255));
  EXPECT_EQ(archive.entries[0].central_name, name.substr(0, 255));
  EXPECT_EQ(archive.entries[0].Plain(), ToBytes("data"));
}

TEST_F(ZipperTest, TooManyEntriesFailBeforeTheFileExists) {
  TZipper zipper;
  TMemoryStream& shared = Stream("x");
  for (std::uint32_t i = 0; i <= kMaxEntries; ++i) zipper.Entries().AddStream(shared, "x");
  zipper.SetOutputFileName(Output());
  try {
    zipper.WriteArchive();
    FAIL() << "no error";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Message(), "Too many entries for a ZIP file: 65536 (at most 65535)");
  }
  EXPECT_FALSE(zipper.Busy());
  EXPECT_FALSE(fs::exists(Output()));
}

// A source that claims a size the format cannot hold; reading it is never
// needed, since the check comes first.
class HugeStream final : public TStream {
 public:
  std::size_t Read(void* /*buffer*/, std::size_t /*count*/) override {
    ADD_FAILURE() << "read";
    return 0;
  }
  std::size_t Write(const void* /*buffer*/, std::size_t /*count*/) override { return 0; }
  std::int64_t Seek(std::int64_t /*offset*/, SeekOrigin /*origin*/) override { return 0; }
  std::int64_t Size() override { return std::int64_t{1} << 31; }
};

TEST_F(ZipperTest, AnEntryBeyondTheSizeFieldsFailsBeforeTheFileExists) {
  TZipper zipper;
  HugeStream huge;
  zipper.Entries().AddStream(Stream("small"), "small");
  zipper.Entries().AddStream(huge, "huge.bin");
  zipper.SetOutputFileName(Output());
  try {
    zipper.WriteArchive();
    FAIL() << "no error";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Message(), "Entry \"huge.bin\" does not fit in a ZIP file (2 GB limit)");
  }
  EXPECT_FALSE(fs::exists(Output()));
}

// The header describes what is written even when the source is not at its
// start, or has grown since the entries were checked.
TEST_F(ZipperTest, StreamSourcesAreWrittenWholeAsTheyAreWhenWritten) {
  TZipper zipper;
  TMemoryStream& moved = Stream("0123456789");
  moved.SetPosition(4);
  TMemoryStream& growing = Stream(testing::SampleBytes(1000, true));
  zipper.Entries().AddStream(moved, "moved");
  zipper.Entries().AddStream(growing, "growing");
  const Bytes tail = testing::SampleBytes(500, false);
  zipper.SetOnEntryStart([&](TZipper&, const std::string& name) {
    if (name == "growing") {
      growing.Seek(0, SeekOrigin::kEnd);
      growing.WriteBuffer(tail.data(), tail.size());
    }
  });
  const WrittenArchive archive = Write(zipper);
  ASSERT_EQ(archive.entries.size(), 2U);
  EXPECT_EQ(archive.entries[0].Plain(), ToBytes("0123456789"));
  EXPECT_EQ(archive.entries[0].local.crc32, Crc32Of("0123456789", 10));
  Bytes grown = testing::SampleBytes(1000, true);
  grown.insert(grown.end(), tail.begin(), tail.end());
  EXPECT_EQ(archive.entries[1].local.uncompressed_size, 1500U);
  EXPECT_EQ(archive.entries[1].Plain(), grown);
  EXPECT_EQ(archive.entries[1].local.crc32, Crc32Of(grown.data(), grown.size()));
}

// A source whose reads fail part way.
class FailingStream final : public TStream {
 public:
  explicit FailingStream(std::size_t size) : size_(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    if (position_ >= size_ / 2) throw EReadError("Stream read error");
    const std::size_t n = std::min(count, size_ / 2 - position_);
    std::memset(buffer, 'x', n);
    position_ += n;
    return n;
  }
  std::size_t Write(const void* /*buffer*/, std::size_t /*count*/) override { return 0; }
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
    if (origin == SeekOrigin::kEnd) offset += static_cast<std::int64_t>(size_);
    if (origin == SeekOrigin::kCurrent) offset += static_cast<std::int64_t>(position_);
    position_ = static_cast<std::size_t>(offset);
    return offset;
  }

 private:
  std::size_t size_;
  std::size_t position_ = 0;
};

TEST_F(ZipperTest, AFailingSourceLeavesNoTemporaryFileAndTheWriterIdle) {
  TZipper zipper;
  zipper.SetMemoryThreshold(100);
  FailingStream failing(100000);
  zipper.Entries().AddStream(Stream("first"), "first");
  zipper.Entries().AddStream(failing, "failing");
  zipper.SetOutputFileName(Output());
  EXPECT_THROW(zipper.WriteArchive(), EReadError);
  EXPECT_FALSE(zipper.Busy());
  EXPECT_FALSE(fs::exists(folder_ / "pack.tmp2"));
  EXPECT_TRUE(fs::exists(Output()));
}

TEST_F(ZipperTest, AnOutputThatCannotBeCreatedRaisesCreateError) {
  TZipper zipper;
  zipper.Entries().AddStream(Stream("data"), "a");
  const std::string output = folder_ / "missing-folder/pack.zip";
  zipper.SetOutputFileName(output);
  try {
    zipper.WriteArchive();
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Unable to create file \"" + output + "\"");
  }
  EXPECT_FALSE(zipper.Busy());
}

TEST_F(ZipperTest, DestructionLeavesCallerStreamsOpen) {
  TMemoryStream& stream = Stream("kept");
  {
    TZipper zipper;
    zipper.Entries().AddStream(stream, "kept");
    Write(zipper);
  }
  stream.SetPosition(0);
  char bytes[4] = {};
  stream.ReadBuffer(bytes, 4);
  EXPECT_EQ(std::string(bytes, 4), "kept");
}

}  // namespace
}  // namespace orvane
