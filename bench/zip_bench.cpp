// orvane-zip-bench: the zip library's codecs, CRC-32, writer and reader, each
// beside the same work done by calling zlib directly.
//
// Two kinds of data: "text" (word text from a small vocabulary, deflates to
// about a fifth) and "random" (bytes deflate cannot shrink; deflate then
// emits stored blocks, which inflate copies at memory speed). Throughput is
// counted in plain bytes.
//
// The direct zlib runs use the codecs' settings: raw deflate (window bits
// -15), Z_DEFAULT_COMPRESSION, memory level 8, Z_DEFAULT_STRATEGY. The codecs
// also compute the CRC-32 of the plain data, as the zip format needs it, so
// each direct run comes three times: zlib alone on the whole buffer, the same
// plus zlib's crc32 over the plain bytes, and zlib driven in 16384-byte
// pieces with the CRC and the copies a stream codec makes (the like-for-like
// figure).

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "zip/codecs.h"
#include "zip/stream.h"
#include "zip/unzipper.h"
#include "zip/zip_format.h"
#include "zip/zipper.h"

namespace {

namespace fs = std::filesystem;
using orvane::TConstMemoryStream;
using orvane::TMemoryStream;

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kCodecDataSize = 8 << 20;
constexpr std::size_t kCrcDataSize = 1 << 20;
constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;
constexpr std::uint32_t kBufferSize = 16384;
// Archive benchmarks: a few hundred files of mixed sizes, about 12 MB.
constexpr int kArchiveEntries = 300;

enum DataKind { kText = 0, kRandom = 1 };

Bytes RandomBytes(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  Bytes out(size);
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t value = rng();
    for (std::size_t j = 0; j < 8 && i + j < size; ++j) {
      out[i + j] = static_cast<std::uint8_t>(value >> (8 * j));
    }
  }
  return out;
}

// Words of 2 to 10 letters from a 60-word vocabulary, drawn with falling
// weights, with clause-like separators.
Bytes WordText(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<std::string> vocabulary;
  std::uniform_int_distribution<int> length(2, 10);
  std::uniform_int_distribution<int> letter('a', 'z');
  std::vector<double> weights;
  for (int i = 0; i < 60; ++i) {
    std::string word;
    for (int n = length(rng); n > 0; --n) word += static_cast<char>(letter(rng));
    vocabulary.push_back(word);
    weights.push_back(1.0 / (i + 1));
  }
  const std::vector<std::string> separators = {" ", "(", ")", ", ", ".\n", " :- ", "\n    "};
  std::discrete_distribution<int> pick_word(weights.begin(), weights.end());
  std::discrete_distribution<int> pick_separator({20, 3, 3, 5, 2, 1, 2});
  Bytes out;
  out.reserve(size + 32);
  while (out.size() < size) {
    const std::string& word = vocabulary[pick_word(rng)];
    const std::string& separator = separators[pick_separator(rng)];
    out.insert(out.end(), word.begin(), word.end());
    out.insert(out.end(), separator.begin(), separator.end());
  }
  out.resize(size);
  return out;
}

const Bytes& PlainData(DataKind kind) {
  static const Bytes text = WordText(kCodecDataSize, 1);
  static const Bytes random = RandomBytes(kCodecDataSize, 2);
  return kind == kText ? text : random;
}

// A raw deflate state at the codecs' settings.
class ZlibDeflate {
 public:
  ZlibDeflate() {
    deflateInit2(&zlib_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                 Z_DEFAULT_STRATEGY);
  }
  ~ZlibDeflate() { deflateEnd(&zlib_); }
  ZlibDeflate(const ZlibDeflate&) = delete;
  ZlibDeflate& operator=(const ZlibDeflate&) = delete;
  z_stream* operator->() { return &zlib_; }
  z_stream* get() { return &zlib_; }

 private:
  z_stream zlib_{};
};

class ZlibInflate {
 public:
  ZlibInflate() { inflateInit2(&zlib_, kRawWindowBits); }
  ~ZlibInflate() { inflateEnd(&zlib_); }
  ZlibInflate(const ZlibInflate&) = delete;
  ZlibInflate& operator=(const ZlibInflate&) = delete;
  z_stream* operator->() { return &zlib_; }
  z_stream* get() { return &zlib_; }

 private:
  z_stream zlib_{};
};

// The whole input in one deflate call into a buffer that holds the worst case.
std::size_t DeflateDirect(const Bytes& plain, Bytes& out) {
  ZlibDeflate zlib;
  out.resize(deflateBound(zlib.get(), plain.size()));
  zlib->next_in = const_cast<Bytef*>(plain.data());  // zlib's API is not const-correct
  zlib->avail_in = static_cast<uInt>(plain.size());
  zlib->next_out = out.data();
  zlib->avail_out = static_cast<uInt>(out.size());
  deflate(zlib.get(), Z_FINISH);
  return out.size() - zlib->avail_out;
}

const Bytes& DeflatedData(DataKind kind) {
  static const Bytes text = [] {
    Bytes out;
    out.resize(DeflateDirect(PlainData(kText), out));
    return out;
  }();
  static const Bytes random = [] {
    Bytes out;
    out.resize(DeflateDirect(PlainData(kRandom), out));
    return out;
  }();
  return kind == kText ? text : random;
}

// An output stream whose block already has room for capacity bytes, its pages
// touched: the timed runs then neither grow it nor fault its pages in, just
// as the direct zlib runs write into a buffer made before the loop.
void Reserve(TMemoryStream& output, std::size_t capacity) {
  output.SetSize(capacity);
  output.SetSize(0);
}

void SetUpCounters(benchmark::State& state, std::size_t plain_bytes, DataKind kind) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain_bytes));
  state.SetLabel(kind == kText ? "text" : "random");
}

// --- deflate -------------------------------------------------------------------

void BM_TDeflater(benchmark::State& state) {
  const auto kind = static_cast<DataKind>(state.range(0));
  const Bytes& plain = PlainData(kind);
  TMemoryStream output;
  Reserve(output, plain.size() + plain.size() / 16 + 1024);
  for (auto _ : state) {
    TConstMemoryStream input(plain.data(), plain.size());
    output.SetSize(0);
    orvane::TDeflater deflater(input, output, kBufferSize);
    deflater.Compress();
    benchmark::DoNotOptimize(deflater.Crc32());
  }
  SetUpCounters(state, plain.size(), kind);
}

void DeflateDirectRun(benchmark::State& state, bool with_crc) {
  const auto kind = static_cast<DataKind>(state.range(0));
  const Bytes& plain = PlainData(kind);
  Bytes out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DeflateDirect(plain, out));
    if (with_crc) {
      benchmark::DoNotOptimize(crc32(0, plain.data(), static_cast<uInt>(plain.size())));
    }
  }
  SetUpCounters(state, plain.size(), kind);
}
void BM_ZlibDeflate(benchmark::State& state) {
  DeflateDirectRun(state, false);
}
void BM_ZlibDeflateCrc(benchmark::State& state) {
  DeflateDirectRun(state, true);
}

// zlib driven as a stream writer must drive it: plain input taken in
// 16384-byte blocks (CRC-32 over each), compressed output drained from a
// 16384-byte buffer into its destination.
void BM_ZlibDeflateStreamed(benchmark::State& state) {
  const auto kind = static_cast<DataKind>(state.range(0));
  const Bytes& plain = PlainData(kind);
  Bytes out(plain.size() + plain.size() / 16 + 1024);
  Bytes in_block(kBufferSize);
  Bytes out_block(kBufferSize);
  for (auto _ : state) {
    ZlibDeflate zlib;
    std::size_t written = 0;
    std::uint32_t crc = 0;
    const auto drain = [&] {
      const std::size_t n = kBufferSize - zlib->avail_out;
      std::memcpy(out.data() + written, out_block.data(), n);
      written += n;
      zlib->next_out = out_block.data();
      zlib->avail_out = kBufferSize;
    };
    zlib->next_out = out_block.data();
    zlib->avail_out = kBufferSize;
    for (std::size_t at = 0; at < plain.size(); at += kBufferSize) {
      const std::size_t n = std::min<std::size_t>(kBufferSize, plain.size() - at);
      std::memcpy(in_block.data(), plain.data() + at, n);
      crc = crc32(crc, in_block.data(), static_cast<uInt>(n));
      zlib->next_in = in_block.data();
      zlib->avail_in = static_cast<uInt>(n);
      while (zlib->avail_in > 0) {
        if (zlib->avail_out == 0) drain();
        deflate(zlib.get(), Z_NO_FLUSH);
      }
    }
    for (int rc = Z_OK; rc != Z_STREAM_END;) {
      if (zlib->avail_out == 0) drain();
      rc = deflate(zlib.get(), Z_FINISH);
    }
    drain();
    benchmark::DoNotOptimize(crc);
  }
  SetUpCounters(state, plain.size(), kind);
}

// --- inflate -------------------------------------------------------------------

void BM_TInflater(benchmark::State& state) {
  const auto kind = static_cast<DataKind>(state.range(0));
  const Bytes& deflated = DeflatedData(kind);
  TMemoryStream output;
  Reserve(output, PlainData(kind).size());
  for (auto _ : state) {
    TConstMemoryStream input(deflated.data(), deflated.size());
    output.SetSize(0);
    orvane::TInflater inflater(input, output, kBufferSize);
    inflater.Decompress();
    benchmark::DoNotOptimize(inflater.Crc32());
  }
  SetUpCounters(state, PlainData(kind).size(), kind);
}

// The same with larger blocks: how much of the distance to one-shot zlib the
// block size accounts for (zlib copies every produced block into its window,
// and its fast loop stops at each block end).
void BM_TInflaterBlockSize(benchmark::State& state) {
  const Bytes& deflated = DeflatedData(kText);
  const auto block = static_cast<std::uint32_t>(state.range(0));
  TMemoryStream output;
  Reserve(output, PlainData(kText).size());
  for (auto _ : state) {
    TConstMemoryStream input(deflated.data(), deflated.size());
    output.SetSize(0);
    orvane::TInflater inflater(input, output, block);
    inflater.Decompress();
    benchmark::DoNotOptimize(inflater.Crc32());
  }
  SetUpCounters(state, PlainData(kText).size(), kText);
}

void InflateDirectRun(benchmark::State& state, bool with_crc) {
  const auto kind = static_cast<DataKind>(state.range(0));
  const Bytes& deflated = DeflatedData(kind);
  Bytes out(PlainData(kind).size());
  for (auto _ : state) {
    ZlibInflate zlib;
    zlib->next_in = const_cast<Bytef*>(deflated.data());
    zlib->avail_in = static_cast<uInt>(deflated.size());
    zlib->next_out = out.data();
    zlib->avail_out = static_cast<uInt>(out.size());
    benchmark::DoNotOptimize(inflate(zlib.get(), Z_FINISH));
    if (with_crc) {
      benchmark::DoNotOptimize(crc32(0, out.data(), static_cast<uInt>(out.size())));
    }
  }
  SetUpCounters(state, out.size(), kind);
}
void BM_ZlibInflate(benchmark::State& state) {
  InflateDirectRun(state, false);
}
void BM_ZlibInflateCrc(benchmark::State& state) {
  InflateDirectRun(state, true);
}

// zlib driven in 16384-byte steps: compressed input fed in 16384-byte pieces,
// plain output produced 16384 bytes per inflate call, CRC-32 over each step.
// With own_blocks, as a stream reader must drive it: each input piece copied
// into a block of its own, the output produced into a block and copied on to
// its destination. Without, the input is read in place and the output goes
// straight into its destination: what this loses to one call over the whole
// buffer is zlib's own share of the step size (each call ends its fast loop
// and copies the bytes it produced into its window).
void InflateStepsRun(benchmark::State& state, bool own_blocks) {
  const auto kind = static_cast<DataKind>(state.range(0));
  const Bytes& deflated = DeflatedData(kind);
  Bytes out(PlainData(kind).size());
  Bytes in_block(kBufferSize);
  Bytes out_block(kBufferSize);
  for (auto _ : state) {
    ZlibInflate zlib;
    std::size_t read = 0;
    std::size_t written = 0;
    std::uint32_t crc = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
      Bytef* const step = own_blocks ? out_block.data() : out.data() + written;
      zlib->next_out = step;
      zlib->avail_out = static_cast<uInt>(
          own_blocks ? kBufferSize : std::min<std::size_t>(kBufferSize, out.size() - written));
      while (zlib->avail_out > 0 && rc != Z_STREAM_END) {
        if (zlib->avail_in == 0) {
          const std::size_t n = std::min<std::size_t>(kBufferSize, deflated.size() - read);
          const Bytef* piece = deflated.data() + read;
          if (own_blocks) {
            std::memcpy(in_block.data(), piece, n);
            piece = in_block.data();
          }
          zlib->next_in = const_cast<Bytef*>(piece);
          zlib->avail_in = static_cast<uInt>(n);
          read += n;
        }
        rc = inflate(zlib.get(), Z_NO_FLUSH);
      }
      const auto n = static_cast<std::size_t>(zlib->next_out - step);
      crc = crc32(crc, step, static_cast<uInt>(n));
      if (own_blocks) std::memcpy(out.data() + written, step, n);
      written += n;
    }
    benchmark::DoNotOptimize(crc);
  }
  SetUpCounters(state, out.size(), kind);
}

void BM_ZlibInflateStreamed(benchmark::State& state) {
  InflateStepsRun(state, true);
}
void BM_ZlibInflateSteps(benchmark::State& state) {
  InflateStepsRun(state, false);
}

// --- CRC-32 ----------------------------------------------------------------------

void BM_UpdateCrc32Block(benchmark::State& state) {
  const Bytes data = RandomBytes(kCrcDataSize, 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvane::UpdateCrc32Block(0xFFFFFFFFU, data.data(), data.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_UpdateCrc32Bytewise(benchmark::State& state) {
  const Bytes data = RandomBytes(kCrcDataSize, 3);
  for (auto _ : state) {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const std::uint8_t byte : data) crc = orvane::UpdateCrc32(crc, byte);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// --- writer and reader over temporary files --------------------------------------

// A scratch folder under the system's temporary folder, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    path_ =
        fs::temp_directory_path() / ("orvane-zip-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  [[nodiscard]] std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Entry contents: sizes from 1 KB to about 80 KB, half text, half random.
std::vector<Bytes> ArchiveContents() {
  std::vector<Bytes> contents;
  std::mt19937_64 rng(4);
  std::uniform_int_distribution<std::size_t> size(1024, std::size_t{80} * 1024);
  for (int i = 0; i < kArchiveEntries; ++i) {
    const std::size_t n = size(rng);
    contents.push_back(i % 2 == 0 ? WordText(n, 100 + i) : RandomBytes(n, 100 + i));
  }
  return contents;
}

std::size_t TotalSize(const std::vector<Bytes>& contents) {
  std::size_t total = 0;
  for (const Bytes& c : contents) total += c.size();
  return total;
}

void WriteArchive(const std::vector<Bytes>& contents, const std::string& archive) {
  std::vector<std::unique_ptr<TConstMemoryStream>> streams;
  orvane::TZipper writer;
  writer.SetOutputFileName(archive);
  for (std::size_t i = 0; i < contents.size(); ++i) {
    streams.push_back(std::make_unique<TConstMemoryStream>(contents[i].data(), contents[i].size()));
    writer.Entries().AddStream(*streams.back(), "entry" + std::to_string(i) + ".bin");
  }
  writer.WriteArchive();
}

void BM_TZipperWriteArchive(benchmark::State& state) {
  const ScratchFolder scratch;
  const std::vector<Bytes> contents = ArchiveContents();
  for (auto _ : state) WriteArchive(contents, scratch.Path("out.zip"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalSize(contents)));
  state.SetLabel(std::to_string(kArchiveEntries) + " entries from memory");
}

void BM_TUnZipperExtractAll(benchmark::State& state) {
  const ScratchFolder scratch;
  const std::vector<Bytes> contents = ArchiveContents();
  const std::string archive = scratch.Path("in.zip");
  WriteArchive(contents, archive);
  for (auto _ : state) {
    orvane::TUnZipper reader;
    reader.SetBufferSize(static_cast<std::uint32_t>(state.range(0)));
    reader.SetInputFileName(archive);
    reader.SetOutputFolder(scratch.Path("out"));
    reader.ExtractAll();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalSize(contents)));
  state.SetLabel(std::to_string(kArchiveEntries) + " entries into files, " +
                 std::to_string(state.range(0) / 1024) + " KB blocks");
}

// The same archive work with zlib alone: each entry deflated in one call and
// written after a header-sized gap into one file, then a directory-sized gap; each entry inflated
// in one call and written to its own file.
void BM_ZlibWriteArchive(benchmark::State& state) {
  const ScratchFolder scratch;
  const std::vector<Bytes> contents = ArchiveContents();
  const std::string path = scratch.Path("out.zip");
  Bytes deflated;
  for (auto _ : state) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         &std::fclose);
    for (const Bytes& plain : contents) {
      const std::size_t n = DeflateDirect(plain, deflated);
      const Bytes header(orvane::kLocalFileHeaderSize + 16);
      std::fwrite(header.data(), 1, header.size(), file.get());
      const bool keep = n < plain.size();
      std::fwrite(keep ? deflated.data() : plain.data(), 1, keep ? n : plain.size(), file.get());
      benchmark::DoNotOptimize(crc32(0, plain.data(), static_cast<uInt>(plain.size())));
    }
    const Bytes directory(contents.size() * (orvane::kCentralDirectoryHeaderSize + 16) +
                          orvane::kEndOfCentralDirectorySize);
    std::fwrite(directory.data(), 1, directory.size(), file.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalSize(contents)));
}

void BM_ZlibExtract(benchmark::State& state) {
  const ScratchFolder scratch;
  const std::vector<Bytes> contents = ArchiveContents();
  std::vector<Bytes> deflated(contents.size());
  for (std::size_t i = 0; i < contents.size(); ++i) {
    deflated[i].resize(DeflateDirect(contents[i], deflated[i]));
  }
  fs::create_directories(scratch.Path("out"));
  Bytes plain;
  for (auto _ : state) {
    for (std::size_t i = 0; i < contents.size(); ++i) {
      plain.resize(contents[i].size());
      ZlibInflate zlib;
      zlib->next_in = deflated[i].data();
      zlib->avail_in = static_cast<uInt>(deflated[i].size());
      zlib->next_out = plain.data();
      zlib->avail_out = static_cast<uInt>(plain.size());
      inflate(zlib.get(), Z_FINISH);
      benchmark::DoNotOptimize(crc32(0, plain.data(), static_cast<uInt>(plain.size())));
      const std::string path = scratch.Path("out/entry" + std::to_string(i) + ".bin");
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                           &std::fclose);
      std::fwrite(plain.data(), 1, plain.size(), file.get());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalSize(contents)));
}

BENCHMARK(BM_TDeflater)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibDeflate)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibDeflateCrc)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibDeflateStreamed)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TInflater)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TInflaterBlockSize)
    ->Arg(16384)
    ->Arg(65536)
    ->Arg(262144)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflateCrc)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflateStreamed)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflateSteps)->Arg(kText)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateCrc32Block)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateCrc32Bytewise)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TZipperWriteArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibWriteArchive)->Unit(benchmark::kMillisecond);
// The reader's block size (16384 by default) sets how much each write to the
// output file carries.
BENCHMARK(BM_TUnZipperExtractAll)->Arg(16384)->Arg(262144)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibExtract)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
