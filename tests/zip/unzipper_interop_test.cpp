// The zip reader on archives made by other zip writers: Info-ZIP zip
// (deflated and stored entries, folder entries, a streamed archive) and
// Python's zipfile (extra fields and comments only in the central directory,
// as Windows archivers write them, and streamed entries with data
// descriptors). Every file must come out byte for byte as it went in.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "zip/unzipper.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RunCommand;
using testing::SampleBytes;
using testing::TempFolder;
using testing::WriteBytes;
using testing::WriteText;

// Every file and folder below root, relative, folders with a final "/".
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> found;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    std::string name = fs::relative(item.path(), root).generic_string();
    if (item.is_directory()) name += '/';
    found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

void ExpectSameTree(const fs::path& expected, const fs::path& actual) {
  const std::vector<std::string> tree = Tree(expected);
  ASSERT_EQ(Tree(actual), tree);
  for (const std::string& name : tree) {
    if (name.back() == '/') continue;
    EXPECT_TRUE(ReadBytes(expected / name) == ReadBytes(actual / name)) << name << " differs";
  }
}

void Extract(const std::string& archive, const std::string& folder) {
  TUnZipper reader;
  reader.SetInputFileName(archive);
  reader.SetOutputFolder(folder);
  reader.ExtractAll();
}

// The compression methods and general purpose flags of the archive's
// central headers, so a test can show it covers what it claims.
struct DirectorySummary {
  std::set<std::uint16_t> methods;
  bool any_data_descriptor = false;
  bool any_central_extra = false;
};

DirectorySummary Summarise(const std::string& archive) {
  TUnZipper reader;
  reader.SetInputFileName(archive);
  reader.ReadDirectory();
  DirectorySummary summary;
  for (int i = 0; i < reader.Entries().Count(); ++i) {
    const CentralDirectoryHeader* header = reader.CentralHeaderOf(reader.Entries().Items(i));
    summary.methods.insert(header->compression_method);
    summary.any_data_descriptor |= (header->flags & kFlagDataDescriptor) != 0;
    summary.any_central_extra |= header->extra_field_length != 0;
  }
  return summary;
}

// A source tree with compressible text, noise that does not compress, an
// empty file and nested folders.
void MakeSourceTree(const fs::path& root) {
  fs::create_directories(root / "docs");
  fs::create_directories(root / "data/deep");
  WriteBytes(root / "docs/readme.txt", SampleBytes(200000, true, 1));
  WriteBytes(root / "data/noise.bin", SampleBytes(70000, false, 2));
  WriteBytes(root / "data/deep/table.csv", SampleBytes(3000, true, 3));
  WriteText(root / "data/empty.txt", "");
}

class InfoZipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    MakeSourceTree(src_);
  }

  TempFolder scratch_;
  fs::path src_ = scratch_.Path() / "src";
  std::string archive_ = scratch_ / "peer.zip";
  std::string out_ = scratch_.Slash() + "out/";
};

TEST_F(InfoZipTest, DeflatedStoredAndFolderEntries) {
  // -n .bin stores the noise; the rest is deflated; -r writes folder entries.
  ASSERT_EQ(RunCommand("cd '" + src_.string() + "' && zip -qr -n .bin '" + archive_ + "' ."), 0);
  const DirectorySummary summary = Summarise(archive_);
  EXPECT_EQ(summary.methods, (std::set<std::uint16_t>{kMethodStored, kMethodDeflated}));
  Extract(archive_, out_);
  ExpectSameTree(src_, out_);
}

TEST_F(InfoZipTest, StreamedToAPipe) {
  // Written to a pipe, zip cannot go back to fill in the local headers.
  ASSERT_EQ(RunCommand("cd '" + src_.string() + "' && zip -qr - . | cat > '" + archive_ + "'"), 0);
  EXPECT_TRUE(Summarise(archive_).any_data_descriptor);
  Extract(archive_, out_);
  ExpectSameTree(src_, out_);
}

// Writes the source tree and archives of it with Python's zipfile.
constexpr const char* kPythonWriter = R"PY(
import io, os, struct, sys, zipfile

src, mode, archive = sys.argv[1], sys.argv[2], sys.argv[3]
files = sorted(os.path.relpath(os.path.join(d, f), src).replace(os.sep, "/")
               for d, _, names in os.walk(src) for f in names)

class Unseekable(io.RawIOBase):
    """A target that cannot seek back: zipfile streams its entries."""
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)

# Adds an NTFS time stamp extra field and a file comment to every central
# header only, as Windows archivers write them.
def with_central_only_extras(data):
    end = len(data) - 22
    count, = struct.unpack_from("<H", data, end + 8)
    offset, = struct.unpack_from("<I", data, end + 16)
    out, pos = bytearray(data[:offset]), offset
    stamp = 132000000000000000
    for i in range(count):
        header = bytearray(data[pos:pos + 46])
        n, e, c = struct.unpack_from("<HHH", header, 28)
        body = data[pos + 46:pos + 46 + n + e]
        ntfs = struct.pack("<HHIHHQQQ", 0x000A, 32, 0, 1, 24, stamp, stamp, stamp)
        comment = b"entry %d" % i
        struct.pack_into("<HHH", header, 28, n, e + len(ntfs), len(comment))
        out += header + body + ntfs + comment
        pos += 46 + n + e + c
    record = bytearray(data[end:])
    struct.pack_into("<I", record, 12, len(out) - offset)
    return bytes(out + record)

def write(target):
    with zipfile.ZipFile(target, "w") as z:
        for i, name in enumerate(files):
            method = zipfile.ZIP_STORED if i % 2 else zipfile.ZIP_DEFLATED
            with open(os.path.join(src, name), "rb") as f:
                z.writestr(name, f.read(), compress_type=method)

if mode == "central-extra":
    buffer = io.BytesIO()
    write(buffer)
    data = with_central_only_extras(buffer.getvalue())
else:
    buffer = io.BytesIO()
    write(Unseekable(buffer))
    data = buffer.getvalue()
with open(archive, "wb") as f:
    f.write(data)
)PY";

class PythonZipfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
    MakeSourceTree(src_);
    WriteText(script_, kPythonWriter);
  }
  void WriteArchive(const std::string& mode) {
    ASSERT_EQ(RunCommand("python3 '" + script_ + "' '" + src_.string() + "' " + mode + " '" +
                         archive_ + "'"),
              0);
  }

  TempFolder scratch_;
  fs::path src_ = scratch_.Path() / "src";
  std::string script_ = scratch_ / "write_zip.py";
  std::string archive_ = scratch_ / "peer.zip";
  std::string out_ = scratch_.Slash() + "out/";
};

TEST_F(PythonZipfileTest, CentralOnlyExtraFieldsAndComments) {
  WriteArchive("central-extra");
  const DirectorySummary summary = Summarise(archive_);
  EXPECT_TRUE(summary.any_central_extra);
  EXPECT_EQ(summary.methods, (std::set<std::uint16_t>{kMethodStored, kMethodDeflated}));
  Extract(archive_, out_);
  ExpectSameTree(src_, out_);
}

TEST_F(PythonZipfileTest, StreamedEntriesWithDataDescriptors) {
  WriteArchive("streamed");
  const DirectorySummary summary = Summarise(archive_);
  EXPECT_TRUE(summary.any_data_descriptor);
  EXPECT_EQ(summary.methods, (std::set<std::uint16_t>{kMethodStored, kMethodDeflated}));
  Extract(archive_, out_);
  ExpectSameTree(src_, out_);
}

}  // namespace
}  // namespace orvane
