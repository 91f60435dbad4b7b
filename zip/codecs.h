// The codecs of one entry: a compressor turns plain data into its compressed
// form, a decompressor does the reverse; both compute the CRC-32 of the plain
// data on the way. Deflate and inflate are zlib's raw streams (no zlib header,
// no Adler-32 trailer), as zip method 8 wants them.
//
// A codec serves one entry: construct, run once, read Crc32(), destroy. Both
// streams are the caller's and stay open.
#pragma once

#include <cstdint>

#include "zip/stream.h"
#include "zip/zip_format.h"

namespace orvane {

class TCompressor {
 public:
  TCompressor(TStream& input, TStream& output, std::uint32_t buffer_size);
  virtual ~TCompressor() = default;
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;

  // Reads the input from its current position to its end and writes the
  // compressed form to the output.
  virtual void Compress() = 0;
  // The zip compression method the codec writes.
  [[nodiscard]] virtual std::uint16_t Method() const = 0;

  // The CRC-32 of the plain bytes read, once Compress has returned.
  [[nodiscard]] std::uint32_t Crc32() const { return crc32_; }
  [[nodiscard]] std::uint32_t BufferSize() const { return buffer_size_; }

 protected:
  TStream& InputStream() { return input_; }
  TStream& OutputStream() { return output_; }
  void SetCrc32(std::uint32_t crc) { crc32_ = crc; }

 private:
  TStream& input_;
  TStream& output_;
  std::uint32_t crc32_;
  std::uint32_t buffer_size_;
};

enum class TCompressionLevel { clNone, clFastest, clDefault, clMax };

class TDeflater final : public TCompressor {
 public:
  TDeflater(TStream& input, TStream& output, std::uint32_t buffer_size);

  void Compress() override;
  static constexpr std::uint16_t MethodCode() { return kMethodDeflated; }
  [[nodiscard]] std::uint16_t Method() const override { return MethodCode(); }

  [[nodiscard]] TCompressionLevel CompressionLevel() const { return compression_level_; }

 private:
  TCompressionLevel compression_level_ = TCompressionLevel::clDefault;
};

class TDeCompressor {
 public:
  TDeCompressor(TStream& input, TStream& output, std::uint32_t buffer_size);
  virtual ~TDeCompressor() = default;
  TDeCompressor(const TDeCompressor&) = delete;
  TDeCompressor& operator=(const TDeCompressor&) = delete;

  // Reads compressed data from the input's current position and writes the
  // plain form to the output, stopping where the compressed data ends.
  virtual void Decompress() = 0;
  [[nodiscard]] virtual std::uint16_t Method() const = 0;

  // The CRC-32 of the plain bytes written, once Decompress has returned.
  [[nodiscard]] std::uint32_t Crc32() const { return crc32_; }
  [[nodiscard]] std::uint32_t BufferSize() const { return buffer_size_; }

 protected:
  TStream& InputStream() { return input_; }
  TStream& OutputStream() { return output_; }
  void SetCrc32(std::uint32_t crc) { crc32_ = crc; }

 private:
  TStream& input_;
  TStream& output_;
  std::uint32_t crc32_;
  std::uint32_t buffer_size_;
};

// Inflates one raw deflate stream. It may read beyond the end of the deflate
// data (it pulls its input in blocks), so the input's position afterwards
// means nothing.
class TInflater final : public TDeCompressor {
 public:
  TInflater(TStream& input, TStream& output, std::uint32_t buffer_size);

  void Decompress() override;
  static constexpr std::uint16_t MethodCode() { return kMethodDeflated; }
  [[nodiscard]] std::uint16_t Method() const override { return MethodCode(); }
};

}  // namespace orvane
