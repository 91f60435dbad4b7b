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
// here. The set-up streams the container through two reused 256 KB buffers
// (few requests, little memory touched, as page faults are not free either);
// files are written with unbuffered C stdio, one write request per chunk.

#include <zlib.h>

#include <algorithm>
#include <cerrno>
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
// Data moves in chunks of this size: few requests, little memory touched.
constexpr std::size_t kChunkSize = std::size_t{256} * 1024;

enum class Kind : std::uint8_t {
  kMakeFolder = 1,
  kWriteFile = 2,
  kDeleteFile = 3,
  kPackSource = 4
};
constexpr std::uint8_t kMethodDeflated = 8;

struct Record {
  Kind kind = Kind::kPackSource;
  std::uint8_t method = 0;
  std::uint32_t plain_size = 0;
  std::uint32_t data_size = 0;
  std::string path;
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

std::uint32_t LittleEndian32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t LittleEndian16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Sequential reading of a container, with no stdio buffer in between: each
// read goes straight into the caller's buffer.
class ContainerReader {
 public:
  explicit ContainerReader(const std::string& path) : path_(path), file_(OpenFile(path, "rb")) {
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    char magic[kMagic.size()];
    std::uint8_t count[4];
    Read(magic, sizeof magic);
    if (std::string_view(magic, sizeof magic) != kMagic) {
      throw orvane::EReadError(orvane::Format("Not a floor container: %s", {path}));
    }
    Read(count, sizeof count);
    left_ = LittleEndian32(count);
  }

  // The next record's header and path; false after the last one.
  bool Next(Record& record) {
    if (left_ == 0) return false;
    --left_;
    std::uint8_t header[kRecordHeaderSize];
    Read(header, sizeof header);
    record.kind = static_cast<Kind>(header[0]);
    record.method = header[1];
    record.plain_size = LittleEndian32(header + 4);
    record.data_size = LittleEndian32(header + 8);
    record.path.resize(LittleEndian16(header + 2));
    Read(record.path.data(), record.path.size());
    return true;
  }

  void Read(void* buffer, std::size_t size) {
    if (size != 0 && std::fread(buffer, 1, size, file_.get()) != size) {
      throw orvane::EReadError(orvane::Format("Truncated container %s", {path_}));
    }
  }

 private:
  std::string path_;
  File file_;
  std::uint32_t left_ = 0;
};

// An output file written with one write request per buffer handed over.
File CreateUnbuffered(const std::string& path) {
  File file = OpenFile(path, "wb");
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

void Write(std::FILE* file, const std::uint8_t* data, std::size_t size, const std::string& path) {
  if (size != 0 && std::fwrite(data, 1, size, file) != size) {
    throw orvane::EWriteError(orvane::Format("Short write to %s", {path}));
  }
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

  // Inflates the record's data, pulled from the container in chunks, into
  // the file, one write per filled chunk.
  void Inflate(ContainerReader& container, const Record& r, std::FILE* file,
               const std::string& path, std::vector<std::uint8_t>& in,
               std::vector<std::uint8_t>& out) {
    inflateReset(&zlib_);
    std::uint32_t left = r.data_size;
    int rc = Z_OK;
    zlib_.avail_in = 0;
    while (rc != Z_STREAM_END) {
      if (zlib_.avail_in == 0) {
        if (left == 0) throw orvane::Exception(orvane::Format("Cannot inflate %s", {path}));
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(left, in.size()));
        container.Read(in.data(), n);
        left -= n;
        zlib_.next_in = in.data();
        zlib_.avail_in = n;
      }
      zlib_.next_out = out.data();
      zlib_.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&zlib_, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END) {
        throw orvane::Exception(orvane::Format("Cannot inflate %s", {path}));
      }
      Write(file, out.data(), out.size() - zlib_.avail_out, path);
    }
    if (left != 0) container.Read(in.data(), left);  // never: the stream ends with the data
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
    zlib_.next_in = const_cast<Bytef*>(data);  // zlib's API is not const-correct
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

void SetUp(const std::string& container_path, const std::string& work) {
  ContainerReader container(container_path);
  std::vector<std::uint8_t> in(kChunkSize);
  std::vector<std::uint8_t> out(kChunkSize);
  Inflater inflater;
  fs::create_directory(work);
  Record r;
  while (container.Next(r)) {
    const std::string path = Join(work, r.path);
    switch (r.kind) {
      case Kind::kMakeFolder:
        fs::create_directory(path);
        break;
      case Kind::kWriteFile: {
        const File file = CreateUnbuffered(path);
        if (r.method == kMethodDeflated) {
          inflater.Inflate(container, r, file.get(), path, in, out);
        } else {
          for (std::uint32_t left = r.data_size; left > 0;) {
            const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(left, in.size()));
            container.Read(in.data(), n);
            Write(file.get(), in.data(), n, path);
            left -= n;
          }
        }
        break;
      }
      case Kind::kDeleteFile:
        fs::remove(path);
        break;
      case Kind::kPackSource:
        break;
    }
  }
}

void Pack(const std::string& container_path, const std::string& work, const std::string& archive) {
  ContainerReader container(container_path);
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> plain;
  std::size_t central = 0;
  Deflater deflater;
  Record r;
  while (container.Next(r)) {
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
  const File file = CreateUnbuffered(archive);
  Write(file.get(), out.data(), out.size(), archive);
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
    if (step == "setup") {
      SetUp(argv[2], argv[3]);
    } else {
      Pack(argv[2], argv[3], argv[4]);
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
