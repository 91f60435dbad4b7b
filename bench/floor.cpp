// floor: the least work that a launcher's first run cannot avoid, to measure
// the launcher against.
//
//   floor setup SETUP-CONTAINER WORK-FOLDER
//     writes every file of the set-up once: the payload file, each payload
//     entry (inflated with zlib into memory), the run-time and dictionary
//     files, makes their folders and deletes the two intermediate archives.
//   floor pack PACK-CONTAINER WORK-FOLDER ARCHIVE
//     reads each figure file of the dictionary folder, deflates it once,
//     keeps the smaller of the two forms, and writes one archive's worth of
//     bytes (data plus header-sized gaps) into ARCHIVE with one write.
//
// The containers (made by floor-prepare) already hold every raw deflate
// stream, plain size and path: no zip parsing, no CRC, no checks of names
// here. Files are written with C stdio, one write request per file.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "ORVFLOOR";
constexpr std::size_t kRecordHeaderSize = 12;
constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;
// What a zip archive spends per entry besides the data: local header (30)
// and central header (46), each followed by the name; then the end record.
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;

enum class Kind : std::uint8_t {
  kMakeFolder = 1,
  kWriteFile = 2,
  kDeleteFile = 3,
  kPackSource = 4
};
constexpr std::uint8_t kMethodDeflated = 8;

struct Record {
  Kind kind;
  std::uint8_t method;
  std::uint32_t plain_size;
  std::string_view path;
  const std::uint8_t* data;
  std::uint32_t data_size;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenFile(const std::string& path, const char* mode) {
  File file(std::fopen(path.c_str(), mode));
  if (!file) throw orvane::EInOutError(orvane::Format("Cannot open %s", {path}), errno);
  return file;
}

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
  const File file = OpenFile(path, "rb");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(fs::file_size(path)));
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    throw orvane::EReadError(orvane::Format("Short read from %s", {path}));
  }
  return bytes;
}

void WriteWhole(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const File file = OpenFile(path, "wb");
  if (size != 0 && std::fwrite(data, 1, size, file.get()) != size) {
    throw orvane::EWriteError(orvane::Format("Short write to %s", {path}));
  }
}

std::uint32_t LittleEndian32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t LittleEndian16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::vector<Record> ParseContainer(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < kMagic.size() + 4 ||
      std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0) {
    throw orvane::EReadError("Not a floor container");
  }
  const std::uint32_t count = LittleEndian32(bytes.data() + kMagic.size());
  std::vector<Record> records;
  records.reserve(count);
  std::size_t at = kMagic.size() + 4;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at + kRecordHeaderSize > bytes.size()) throw orvane::EReadError("Truncated container");
    const std::uint8_t* p = bytes.data() + at;
    const std::uint16_t path_length = LittleEndian16(p + 2);
    Record r{static_cast<Kind>(p[0]), p[1], LittleEndian32(p + 4), {}, nullptr,
             LittleEndian32(p + 8)};
    at += kRecordHeaderSize;
    if (at + path_length + r.data_size > bytes.size()) {
      throw orvane::EReadError("Truncated container");
    }
    r.path = std::string_view(reinterpret_cast<const char*>(bytes.data() + at), path_length);
    r.data = bytes.data() + at + path_length;
    at += path_length + r.data_size;
    records.push_back(r);
  }
  return records;
}

// One raw inflate state, reset for each entry.
class Inflater {
 public:
  Inflater() {
    if (inflateInit2(&zlib_, kRawWindowBits) != Z_OK) throw orvane::Exception("inflateInit2");
  }
  ~Inflater() { inflateEnd(&zlib_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  void Inflate(const Record& r, std::uint8_t* out) {
    inflateReset(&zlib_);
    zlib_.next_in = const_cast<Bytef*>(r.data);  // zlib's API is not const-correct
    zlib_.avail_in = r.data_size;
    zlib_.next_out = out;
    zlib_.avail_out = r.plain_size;
    if (inflate(&zlib_, Z_FINISH) != Z_STREAM_END) {
      throw orvane::Exception(orvane::Format("Cannot inflate %s", {std::string(r.path)}));
    }
  }

 private:
  z_stream zlib_{};
};

// One raw deflate state at the codecs' settings, reset for each file.
class Deflater {
 public:
  Deflater() {
    if (deflateInit2(&zlib_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
      throw orvane::Exception("deflateInit2");
    }
  }
  ~Deflater() { deflateEnd(&zlib_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Appends the deflated form of data to out; returns its size.
  std::size_t Deflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
    deflateReset(&zlib_);
    const std::size_t start = out.size();
    out.resize(start + deflateBound(&zlib_, size));
    zlib_.next_in = const_cast<Bytef*>(data);
    zlib_.avail_in = static_cast<uInt>(size);
    zlib_.next_out = out.data() + start;
    zlib_.avail_out = static_cast<uInt>(out.size() - start);
    if (deflate(&zlib_, Z_FINISH) != Z_STREAM_END) throw orvane::Exception("deflate");
    out.resize(out.size() - zlib_.avail_out);
    return out.size() - start;
  }

 private:
  z_stream zlib_{};
};

std::string Join(const std::string& folder, std::string_view path) {
  return folder + "/" + std::string(path);
}

void SetUp(const std::vector<Record>& records, const std::string& work) {
  fs::create_directory(work);
  std::uint32_t largest = 0;
  for (const Record& r : records) largest = std::max(largest, r.plain_size);
  std::vector<std::uint8_t> plain(largest);
  Inflater inflater;
  for (const Record& r : records) {
    switch (r.kind) {
      case Kind::kMakeFolder:
        fs::create_directory(Join(work, r.path));
        break;
      case Kind::kWriteFile:
        if (r.method == kMethodDeflated) {
          inflater.Inflate(r, plain.data());
          WriteWhole(Join(work, r.path), plain.data(), r.plain_size);
        } else {
          WriteWhole(Join(work, r.path), r.data, r.data_size);
        }
        break;
      case Kind::kDeleteFile:
        fs::remove(Join(work, r.path));
        break;
      case Kind::kPackSource:
        break;
    }
  }
}

void Pack(const std::vector<Record>& records, const std::string& work, const std::string& archive) {
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> plain;
  std::size_t central = 0;
  Deflater deflater;
  for (const Record& r : records) {
    if (r.kind != Kind::kPackSource) continue;
    const std::string path = Join(work, r.path);
    const File file = OpenFile(path, "rb");
    plain.resize(r.plain_size);
    if (std::fread(plain.data(), 1, plain.size(), file.get()) != plain.size()) {
      throw orvane::EReadError(orvane::Format("Short read from %s", {path}));
    }
    const std::size_t name = r.path.size() - r.path.rfind('/') - 1;
    out.resize(out.size() + kLocalHeaderSize + name);
    const std::size_t header_end = out.size();
    if (deflater.Deflate(plain.data(), plain.size(), out) >= plain.size()) {
      out.resize(header_end);
      out.insert(out.end(), plain.begin(), plain.end());
    }
    central += kCentralHeaderSize + name;
  }
  out.resize(out.size() + central + kEndRecordSize);
  WriteWhole(archive, out.data(), out.size());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view usage =
      "usage: floor setup SETUP-CONTAINER WORK-FOLDER\n"
      "       floor pack PACK-CONTAINER WORK-FOLDER ARCHIVE\n";
  const std::string_view step = argc > 1 ? argv[1] : "";
  if (!((step == "setup" && argc == 4) || (step == "pack" && argc == 5))) {
    std::fputs(usage.data(), stderr);
    return 2;
  }
  try {
    const std::vector<std::uint8_t> container = ReadWhole(argv[2]);
    const std::vector<Record> records = ParseContainer(container);
    if (step == "setup") {
      SetUp(records, argv[3]);
    } else {
      Pack(records, argv[3], argv[4]);
    }
  } catch (const orvane::Exception& e) {
    std::fprintf(stderr, "%s: %s\n", e.ClassName(), e.Message().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "floor: %s\n", e.what());
    return 1;
  }
  return 0;
}
