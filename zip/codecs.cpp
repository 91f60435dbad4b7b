#include "zip/codecs.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>

#include "zip/zip_errors.h"

namespace orvane {

namespace {

constexpr std::uint32_t kInitialCrc = 0xFFFFFFFFU;
// Size of the buffer between zlib and the stream on the compressed side.
constexpr std::size_t kZlibBufferSize = 16384;
// Raw deflate: negative window bits ask zlib for no header and no trailer.
constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;

int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case TCompressionLevel::clNone:
      return Z_NO_COMPRESSION;
    case TCompressionLevel::clFastest:
      return Z_BEST_SPEED;
    case TCompressionLevel::clDefault:
      return Z_DEFAULT_COMPRESSION;
    case TCompressionLevel::clMax:
      return Z_BEST_COMPRESSION;
  }
  return Z_DEFAULT_COMPRESSION;
}

// A block buffer of the codec's size. A size of 0 would read nothing and
// silently lose the whole entry, so it is taken as 1.
TByteBlock BlockBuffer(std::uint32_t buffer_size) {
  return TByteBlock(std::max<std::uint32_t>(buffer_size, 1));
}

// A raw deflate stream writing into a TStream. deflateEnd runs however the
// object goes; only Finish writes the last bytes, so a failed run leaves no
// half-finished trailer behind and never writes from a destructor.
class DeflateStream {
 public:
  DeflateStream(TStream& output, TCompressionLevel level) : output_(output) {
    const int rc = deflateInit2(&zlib_, ZlibLevel(level), Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                                Z_DEFAULT_STRATEGY);
    if (rc != Z_OK) throw ECompressionError(zError(rc));
    ResetOutput();
  }
  ~DeflateStream() { deflateEnd(&zlib_); }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;

  // Hands the whole block to zlib.
  void Write(const std::uint8_t* data, std::size_t count) {
    zlib_.next_in = const_cast<Bytef*>(data);  // zlib's API is not const-correct
    zlib_.avail_in = static_cast<uInt>(count);
    while (zlib_.avail_in > 0) {
      if (zlib_.avail_out == 0) FlushOutput();
      const int rc = deflate(&zlib_, Z_NO_FLUSH);
      if (rc != Z_OK) throw ECompressionError(zError(rc));
    }
  }

  // Ends the deflate data and writes what zlib still holds.
  void Finish() {
    for (;;) {
      if (zlib_.avail_out == 0) FlushOutput();
      const int rc = deflate(&zlib_, Z_FINISH);
      if (rc == Z_STREAM_END) break;
      if (rc != Z_OK) throw ECompressionError(zError(rc));
    }
    FlushOutput();
  }

 private:
  void ResetOutput() {
    zlib_.next_out = buffer_.data();
    zlib_.avail_out = static_cast<uInt>(buffer_.size());
  }
  void FlushOutput() {
    output_.WriteBuffer(buffer_.data(), buffer_.size() - zlib_.avail_out);
    ResetOutput();
  }

  TStream& output_;
  z_stream zlib_{};
  TByteBlock buffer_ = TByteBlock(kZlibBufferSize);
};

// A raw inflate stream reading from a TStream in blocks.
class InflateStream {
 public:
  explicit InflateStream(TStream& input) : input_(input) {
    const int rc = inflateInit2(&zlib_, kRawWindowBits);
    if (rc != Z_OK) throw EDecompressionError(zError(rc));
  }
  ~InflateStream() { inflateEnd(&zlib_); }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  // Up to count plain bytes; 0 once the deflate data has ended. Data that
  // ends early makes zlib stop progressing (Z_BUF_ERROR with the input
  // exhausted), which raises like any other zlib failure.
  std::size_t Read(std::uint8_t* data, std::size_t count) {
    zlib_.next_out = data;
    zlib_.avail_out = static_cast<uInt>(count);
    while (zlib_.avail_out > 0 && !ended_) {
      if (zlib_.avail_in == 0) Refill();
      const int rc = inflate(&zlib_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended_ = true;
      } else if (rc != Z_OK) {
        throw EDecompressionError(zError(rc));
      }
    }
    return count - zlib_.avail_out;
  }

 private:
  void Refill() {
    zlib_.next_in = buffer_.data();
    zlib_.avail_in = static_cast<uInt>(input_.Read(buffer_.data(), buffer_.size()));
  }

  TStream& input_;
  z_stream zlib_{};
  TByteBlock buffer_ = TByteBlock(kZlibBufferSize);
  bool ended_ = false;
};

}  // namespace

TCompressor::TCompressor(TStream& input, TStream& output, std::uint32_t buffer_size)
    : input_(input), output_(output), crc32_(kInitialCrc), buffer_size_(buffer_size) {}

TDeflater::TDeflater(TStream& input, TStream& output, std::uint32_t buffer_size)
    : TCompressor(input, output, buffer_size) {}

void TDeflater::Compress() {
  std::uint32_t crc = kInitialCrc;
  TByteBlock block = BlockBuffer(BufferSize());
  DeflateStream deflater(OutputStream(), compression_level_);
  for (;;) {
    const std::size_t n = InputStream().Read(block.data(), block.size());
    if (n == 0) break;
    crc = UpdateCrc32Block(crc, block.data(), n);
    deflater.Write(block.data(), n);
  }
  deflater.Finish();
  SetCrc32(~crc);
}

TDeCompressor::TDeCompressor(TStream& input, TStream& output, std::uint32_t buffer_size)
    : input_(input), output_(output), crc32_(kInitialCrc), buffer_size_(buffer_size) {}

TInflater::TInflater(TStream& input, TStream& output, std::uint32_t buffer_size)
    : TDeCompressor(input, output, buffer_size) {}

void TInflater::Decompress() {
  std::uint32_t crc = kInitialCrc;
  TByteBlock block = BlockBuffer(BufferSize());
  InflateStream inflater(InputStream());
  for (;;) {
    const std::size_t n = inflater.Read(block.data(), block.size());
    if (n == 0) break;
    crc = UpdateCrc32Block(crc, block.data(), n);
    // A short write would lose plain data without a word; WriteBuffer raises.
    OutputStream().WriteBuffer(block.data(), n);
  }
  SetCrc32(~crc);
}

}  // namespace orvane
