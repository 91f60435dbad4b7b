// Deflate and inflate over streams, with the CRC-32 of the plain data.

#include "zip/codecs.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "zip/zip_errors.h"

namespace orvane {
namespace {

constexpr std::uint32_t kBufferSize = 16384;

std::vector<std::uint8_t> Contents(const TMemoryStream& stream) {
  const std::uint8_t* data = stream.Memory();
  return {data, data + const_cast<TMemoryStream&>(stream).Size()};
}

// A memory stream holding the bytes, positioned at its start.
std::unique_ptr<TMemoryStream> StreamOf(const std::vector<std::uint8_t>& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteBuffer(bytes.data(), bytes.size());
  stream->SetPosition(0);
  return stream;
}

std::vector<std::uint8_t> BytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}

struct Deflated {
  std::vector<std::uint8_t> bytes;
  std::uint32_t crc;
};

Deflated DeflateAll(TStream& input, std::uint32_t buffer_size = kBufferSize) {
  TMemoryStream output;
  TDeflater deflater(input, output, buffer_size);
  deflater.Compress();
  return {Contents(output), deflater.Crc32()};
}

struct Inflated {
  std::vector<std::uint8_t> bytes;
  std::uint32_t crc;
};

Inflated InflateAll(const std::vector<std::uint8_t>& deflated,
                    std::uint32_t buffer_size = kBufferSize) {
  const auto input = StreamOf(deflated);
  TMemoryStream output;
  TInflater inflater(*input, output, buffer_size);
  inflater.Decompress();
  return {Contents(output), inflater.Crc32()};
}

// Raw inflate by zlib itself, to check the deflater against a reference.
std::vector<std::uint8_t> ZlibInflate(const std::vector<std::uint8_t>& deflated,
                                      std::size_t plain_size) {
  std::vector<std::uint8_t> plain(plain_size + 1);
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  z.next_in = const_cast<Bytef*>(deflated.data());
  z.avail_in = static_cast<uInt>(deflated.size());
  z.next_out = plain.data();
  z.avail_out = static_cast<uInt>(plain.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0U) << "the deflate data ends where the output ends";
  plain.resize(z.total_out);
  inflateEnd(&z);
  return plain;
}

TEST(Codecs, MethodCodeAnswersWithoutAnInstance) {
  static_assert(TDeflater::MethodCode() == 8);
  static_assert(TInflater::MethodCode() == 8);
  TMemoryStream in;
  TMemoryStream out;
  const TDeflater deflater(in, out, kBufferSize);
  EXPECT_EQ(deflater.Method(), 8);
  EXPECT_EQ(deflater.CompressionLevel(), TCompressionLevel::clDefault);
  EXPECT_EQ(deflater.BufferSize(), kBufferSize);
  EXPECT_EQ(deflater.Crc32(), 0xFFFFFFFFU);
}

TEST(Deflater, EmptyInputWritesAnEmptyFinalBlock) {
  TMemoryStream input;
  const Deflated result = DeflateAll(input);
  EXPECT_EQ(result.bytes, (std::vector<std::uint8_t>{0x03, 0x00}));
  EXPECT_EQ(result.crc, 0U);
}

TEST(Deflater, Abc) {
  const auto input = StreamOf(BytesOf("abc"));
  const Deflated result = DeflateAll(*input);
  EXPECT_EQ(result.bytes.size(), 5U);
  EXPECT_EQ(result.crc, 0x352441C2U);
  EXPECT_EQ(ZlibInflate(result.bytes, 3), BytesOf("abc"));
}

TEST(Deflater, CoversOnlyTheBytesFromTheCurrentPosition) {
  const auto input = StreamOf(BytesOf("xyzabc"));
  input->SetPosition(3);
  const Deflated result = DeflateAll(*input);
  EXPECT_EQ(result.crc, 0x352441C2U);
  EXPECT_EQ(ZlibInflate(result.bytes, 6), BytesOf("abc"));
}

struct RoundTripCase {
  const char* name;
  std::size_t size;
  bool compressible;
  std::uint32_t buffer_size;
};

class CodecRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Sizes around the block and zlib buffer boundaries, and block sizes that
// do not divide them, catch lost or doubled blocks.
TEST_P(CodecRoundTrip, InflateGivesBackTheBytesAndBothCrcsAgree) {
  const RoundTripCase& c = GetParam();
  const std::vector<std::uint8_t> plain = testing::SampleBytes(c.size, c.compressible);
  const auto input = StreamOf(plain);
  const Deflated deflated = DeflateAll(*input, c.buffer_size);
  const std::uint32_t expected_crc = Crc32Of(plain.data(), plain.size());
  EXPECT_EQ(deflated.crc, expected_crc);
  EXPECT_EQ(ZlibInflate(deflated.bytes, plain.size()), plain);

  const Inflated inflated = InflateAll(deflated.bytes, c.buffer_size);
  EXPECT_EQ(inflated.bytes, plain);
  EXPECT_EQ(inflated.crc, expected_crc);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CodecRoundTrip,
    ::testing::Values(RoundTripCase{"one_byte", 1, true, kBufferSize},
                      RoundTripCase{"exact_block", 16384, false, kBufferSize},
                      RoundTripCase{"block_plus_one", 16385, false, kBufferSize},
                      RoundTripCase{"noise_many_blocks", 200000, false, kBufferSize},
                      RoundTripCase{"text_many_blocks", 500000, true, kBufferSize},
                      RoundTripCase{"odd_block_size", 70001, false, 1000},
                      RoundTripCase{"one_byte_blocks", 5000, true, 1},
                      RoundTripCase{"zero_block_size", 3000, true, 0}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(Inflater, StopsAtTheEndOfTheDeflateData) {
  const auto source = StreamOf(BytesOf("hello, hello, hello"));
  std::vector<std::uint8_t> data = DeflateAll(*source).bytes;
  const std::vector<std::uint8_t> trailing = testing::SampleBytes(40000, false);
  data.insert(data.end(), trailing.begin(), trailing.end());
  const Inflated result = InflateAll(data);
  EXPECT_EQ(result.bytes, BytesOf("hello, hello, hello"));
  EXPECT_EQ(result.crc, Crc32Of("hello, hello, hello", 19));
}

TEST(Inflater, ReadsFromTheCurrentPosition) {
  const auto source = StreamOf(BytesOf("abc"));
  std::vector<std::uint8_t> data = BytesOf("PK-header");
  const std::vector<std::uint8_t> deflated = DeflateAll(*source).bytes;
  data.insert(data.end(), deflated.begin(), deflated.end());
  const auto input = StreamOf(data);
  input->SetPosition(9);
  TMemoryStream output;
  TInflater inflater(*input, output, kBufferSize);
  inflater.Decompress();
  EXPECT_EQ(Contents(output), BytesOf("abc"));
}

class InflaterTruncated : public ::testing::TestWithParam<std::size_t> {};

// Cut at the start, inside the data and just before the final bits: zlib
// runs out of input without reaching the end of the stream.
TEST_P(InflaterTruncated, RaisesDecompressionError) {
  const auto source = StreamOf(testing::SampleBytes(100000, false));
  std::vector<std::uint8_t> data = DeflateAll(*source).bytes;
  const std::size_t keep = GetParam() == 0 ? 0 : data.size() - GetParam();
  data.resize(keep);
  EXPECT_THROW(InflateAll(data), EDecompressionError);
}

INSTANTIATE_TEST_SUITE_P(Cuts, InflaterTruncated, ::testing::Values(0, 1, 50000));

TEST(Inflater, CorruptDataRaisesDecompressionErrorWithZlibsMessage) {
  // 0x07: final block of the reserved type 3.
  const std::vector<std::uint8_t> data{0x07, 0x00, 0x00, 0x00};
  try {
    InflateAll(data);
    FAIL() << "no error";
  } catch (const EDecompressionError& e) {
    EXPECT_EQ(e.Message(), zError(Z_DATA_ERROR));
    EXPECT_STREQ(e.ClassName(), "EDecompressionError");
  }
}

// An output medium that takes only part of what it is given.
class ShortWriteStream final : public TStream {
 public:
  std::size_t Read(void* /*buffer*/, std::size_t /*count*/) override { return 0; }
  std::size_t Write(const void* /*buffer*/, std::size_t count) override { return count / 2; }
  std::int64_t Seek(std::int64_t /*offset*/, SeekOrigin /*origin*/) override { return 0; }
};

TEST(Codecs, AShortWriteRaisesWriteError) {
  const auto source = StreamOf(testing::SampleBytes(50000, false));
  const std::vector<std::uint8_t> deflated = DeflateAll(*source).bytes;
  source->SetPosition(0);
  ShortWriteStream sink;
  TDeflater deflater(*source, sink, kBufferSize);
  EXPECT_THROW(deflater.Compress(), EWriteError);

  const auto input = StreamOf(deflated);
  TInflater inflater(*input, sink, kBufferSize);
  EXPECT_THROW(inflater.Decompress(), EWriteError);
}

}  // namespace
}  // namespace orvane
