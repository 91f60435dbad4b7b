// Archives written by TZipper, checked by other zip readers: Info-ZIP unzip,
// Python's zipfile and bsdtar. Each test is skipped when its peer is missing.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "zip/zipper.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

struct Source {
  std::string archive_name;
  std::vector<std::uint8_t> bytes;
  bool from_disk;
};

// Writes one archive of stream and disk entries, stored and deflated, large
// enough for several to go through the temporary file, and keeps a copy of
// every entry's bytes under its archive name in expected/.
class ZipperInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<Source> sources{
        {"empty.txt", {}, false},
        {"abc.txt", {'a', 'b', 'c'}, false},
        {"text.txt", testing::SampleBytes(300000, true), false},
        {"noise.bin", testing::SampleBytes(200000, false), false},
        {"sub/dir/nested.txt", testing::SampleBytes(5000, true, 7), false},
        {"disk-text.txt", testing::SampleBytes(40000, true, 3), true},
        {"disk-noise.bin", testing::SampleBytes(70000, false, 4), true},
        {"disk-small.txt", testing::SampleBytes(10, true, 5), true},
    };
    fs::create_directory(folder_.Path() / "disk");
    TZipper zipper;
    zipper.SetMemoryThreshold(50000);
    for (const Source& s : sources) {
      const fs::path expected = folder_.Path() / "expected" / s.archive_name;
      fs::create_directories(expected.parent_path());
      testing::WriteBytes(expected, s.bytes);
      if (s.from_disk) {
        const std::string disk = folder_ / ("disk/" + s.archive_name);
        testing::WriteBytes(disk, s.bytes);
        zipper.Entries().AddFile(disk).SetArchiveFileName(s.archive_name);
      } else {
        auto& stream = *streams_.emplace_back(std::make_unique<TMemoryStream>());
        stream.WriteBuffer(s.bytes.data(), s.bytes.size());
        stream.SetPosition(0);
        zipper.Entries().AddStream(stream, s.archive_name);
      }
      names_.push_back(s.archive_name);
    }
    zipper.SetOutputFileName(Archive());
    zipper.WriteArchive();
  }

  [[nodiscard]] std::string Archive() const { return folder_ / "written.zip"; }
  [[nodiscard]] std::string Expected() const { return folder_ / "expected"; }

  // Compares every extracted entry with its expected bytes.
  void ExpectExtractedEqual(const std::string& extracted) const {
    for (const std::string& name : names_) {
      EXPECT_EQ(testing::ReadBytes(fs::path(extracted) / name),
                testing::ReadBytes(fs::path(Expected()) / name))
          << name;
    }
  }

  testing::TempFolder folder_;
  std::vector<std::unique_ptr<TMemoryStream>> streams_;
  std::vector<std::string> names_;
};

TEST_F(ZipperInterop, UnzipTestsAndExtractsIt) {
  if (!testing::HaveProgram("unzip")) GTEST_SKIP() << "unzip is not installed";
  EXPECT_EQ(testing::RunCommand("unzip -tq " + Quoted(Archive()) + " >/dev/null"), 0);
  const std::string extracted = folder_ / "unzip";
  ASSERT_EQ(testing::RunCommand("unzip -q " + Quoted(Archive()) + " -d " + Quoted(extracted)), 0);
  ExpectExtractedEqual(extracted);
}

TEST_F(ZipperInterop, PythonZipfileFindsEveryEntryIntact) {
  if (!testing::HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  const std::string script =
      "import sys, zipfile, pathlib\n"
      "archive, expected, count = sys.argv[1], pathlib.Path(sys.argv[2]), int(sys.argv[3])\n"
      "with zipfile.ZipFile(archive) as z:\n"
      "    assert z.testzip() is None, 'bad entry'\n"
      "    infos = z.infolist()\n"
      "    assert len(infos) == count, len(infos)\n"
      "    for info in infos:\n"
      "        assert z.read(info) == (expected / info.filename).read_bytes(), info.filename\n"
      "        assert info.compress_type in (0, 8)\n";
  const std::string script_path = folder_ / "check.py";
  testing::WriteText(script_path, script);
  EXPECT_EQ(testing::RunCommand("python3 " + Quoted(script_path) + " " + Quoted(Archive()) + " " +
                                Quoted(Expected()) + " " + std::to_string(names_.size())),
            0);
}

TEST_F(ZipperInterop, BsdtarExtractsIt) {
  if (!testing::HaveProgram("bsdtar")) GTEST_SKIP() << "bsdtar is not installed";
  const std::string extracted = folder_ / "bsdtar";
  fs::create_directory(extracted);
  ASSERT_EQ(testing::RunCommand("bsdtar -xf " + Quoted(Archive()) + " -C " + Quoted(extracted)), 0);
  ExpectExtractedEqual(extracted);
}

}  // namespace
}  // namespace orvane
