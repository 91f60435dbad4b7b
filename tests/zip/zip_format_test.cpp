// Records, DOS date and time packing, CRC-32 and the message table.

#include "zip/zip_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "zip/zip_errors.h"

namespace orvane {
namespace {

TEST(Crc32, TableIsTheReflectedPolynomial) {
  EXPECT_EQ(Crc32Table[0], 0x00000000U);
  EXPECT_EQ(Crc32Table[1], 0x77073096U);
  EXPECT_EQ(Crc32Table[255], 0x2D02EF8DU);
}

TEST(Crc32, KnownValues) {
  EXPECT_EQ(Crc32Of("", 0), 0U);
  EXPECT_EQ(Crc32Of("abc", 3), 0x352441C2U);
  EXPECT_EQ(Crc32Of("123456789", 9), 0xCBF43926U);
}

TEST(Crc32, BulkEqualsBytewise) {
  std::string data;
  for (int i = 0; i < 10000; ++i) data += static_cast<char>(i * 7 + i / 13);
  std::uint32_t bytewise = 0xFFFFFFFFU;
  for (const char c : data) bytewise = UpdateCrc32(bytewise, static_cast<std::uint8_t>(c));
  EXPECT_EQ(UpdateCrc32Block(0xFFFFFFFFU, data.data(), data.size()), bytewise);
}

struct DosCase {
  int year, month, day, hour, minute, second, millisecond;
  std::uint16_t date, time;
};

class PackDosDateTimeTest : public ::testing::TestWithParam<DosCase> {};

TEST_P(PackDosDateTimeTest, PacksFields) {
  const DosCase& c = GetParam();
  const TDateTime value =
      EncodeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond);
  const DosDateTime packed = PackDosDateTime(value);
  EXPECT_EQ(packed.date, c.date);
  EXPECT_EQ(packed.time, c.time);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackDosDateTimeTest,
                         ::testing::Values(DosCase{1899, 12, 30, 0, 0, 0, 0, 0x5F9E, 0x0000},
                                           DosCase{2017, 6, 14, 15, 48, 58, 0, 0x4ACE, 0x7E1D},
                                           DosCase{2017, 6, 14, 15, 48, 59, 0, 0x4ACE,
                                                   0x7E1D},  // odd second rounds down
                                           DosCase{2017, 6, 14, 15, 48, 58, 750, 0x4ACE,
                                                   0x7E1D},  // ms dropped
                                           DosCase{1980, 1, 1, 0, 0, 0, 0, 0x0021, 0x0000},
                                           DosCase{2107, 12, 31, 23, 59, 58, 0, 0xFF9F, 0xBF7D}));

TEST(PackDosDateTime, ZeroIsTheUnsetDate) {
  const DosDateTime packed = PackDosDateTime(0.0);
  EXPECT_EQ(packed.date, 0x5F9E);
  EXPECT_EQ(packed.time, 0x0000);
}

TEST(UnpackDosDateTime, RoundTripsAndZeroWordsMean2027) {
  const TDateTime value = UnpackDosDateTime(0x4ACE, 0x7E1D);
  EXPECT_DOUBLE_EQ(value, EncodeDateTime(2017, 6, 14, 15, 48, 58, 0));
  EXPECT_DOUBLE_EQ(UnpackDosDateTime(0x5F9E, 0), EncodeDateTime(2027, 12, 30, 0, 0, 0, 0));
  const DecodedDateTime d = DecodeDateTime(UnpackDosDateTime(0x5F9E, 0));
  EXPECT_EQ(d.year, 2027);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 30);
}

struct BadDos {
  std::uint16_t date, time;
  const char* message;
};

class UnpackDosErrors : public ::testing::TestWithParam<BadDos> {};

TEST_P(UnpackDosErrors, RaisesConvertError) {
  const BadDos& c = GetParam();
  try {
    UnpackDosDateTime(c.date, c.time);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), c.message);
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnpackDosErrors,
    ::testing::Values(BadDos{0x0000, 0, "1980-0-0 is not a valid date specification"},
                      BadDos{0x0020 | 0, 0, "1980-1-0 is not a valid date specification"},
                      BadDos{(13 << 5) | 1, 0, "1980-13-1 is not a valid date specification"},
                      BadDos{(2 << 5) | 30, 0, "1980-2-30 is not a valid date specification"},
                      BadDos{0x0021, 24 << 11, "24:0:0.0 is not a valid time specification"},
                      BadDos{0x0021, 60 << 5, "0:60:0.0 is not a valid time specification"},
                      BadDos{0x0021, 30, "0:0:60.0 is not a valid time specification"}));

TEST(UnpackDosDateTime, LeapDayIsValidOnlyInLeapYears) {
  EXPECT_NO_THROW(UnpackDosDateTime(static_cast<std::uint16_t>((20 << 9) | (2 << 5) | 29), 0));
  EXPECT_THROW(UnpackDosDateTime(static_cast<std::uint16_t>((21 << 9) | (2 << 5) | 29), 0),
               EConvertError);
}

TEST(Records, LocalHeaderIsLittleEndianFieldByField) {
  LocalFileHeader h;
  h.signature = kLocalFileHeaderSignature;
  h.version_needed = 10;
  h.flags = 0x0102;
  h.compression_method = 8;
  h.modification_time = 0x7E1D;
  h.modification_date = 0x4ACE;
  h.crc32 = 0x352441C2;
  h.compressed_size = 0x01020304;
  h.uncompressed_size = 0xA0B0C0D0;
  h.file_name_length = 5;
  h.extra_field_length = 0x0900;
  const auto bytes = h.Serialize();
  const std::uint8_t expected[30] = {0x50, 0x4B, 0x03, 0x04, 10,   0,    0x02, 0x01, 8,    0,
                                     0x1D, 0x7E, 0xCE, 0x4A, 0xC2, 0x41, 0x24, 0x35, 0x04, 0x03,
                                     0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0, 5,    0,    0x00, 0x09};
  EXPECT_EQ(std::memcmp(bytes.data(), expected, 30), 0);
  const LocalFileHeader back = LocalFileHeader::Parse(bytes.data());
  EXPECT_EQ(back.Serialize(), bytes);
}

TEST(Records, CentralHeaderFromLocalCopiesTheSharedFields) {
  LocalFileHeader local;
  local.signature = kLocalFileHeaderSignature;
  local.version_needed = 10;
  local.compression_method = 8;
  local.modification_date = 0x5F9E;
  local.crc32 = 0xDEADBEEF;
  local.compressed_size = 7;
  local.uncompressed_size = 9;
  local.file_name_length = 3;
  const CentralDirectoryHeader c = CentralDirectoryHeader::FromLocal(local, 1234);
  const auto bytes = c.Serialize();
  const auto lbytes = local.Serialize();
  EXPECT_EQ(std::memcmp(bytes.data() + 6, lbytes.data() + 4, 26), 0);
  EXPECT_EQ(bytes[4], 10);
  EXPECT_EQ(bytes[5], 0);
  EXPECT_EQ(bytes[38], 0x20);
  const CentralDirectoryHeader back = CentralDirectoryHeader::Parse(bytes.data());
  EXPECT_EQ(back.local_header_offset, 1234U);
  EXPECT_EQ(back.signature, kCentralDirectorySignature);
}

TEST(Records, EndRecordRoundTrips) {
  EndOfCentralDirectory e;
  e.signature = kEndOfCentralDirectorySignature;
  e.entries_on_disk = 1;
  e.total_entries = 1;
  e.central_directory_size = 51;
  e.central_directory_offset = 38;
  const auto bytes = e.Serialize();
  EXPECT_EQ(bytes[0], 0x50);
  EXPECT_EQ(bytes[3], 0x06);
  EXPECT_EQ(bytes[12], 51);
  EXPECT_EQ(bytes[16], 38);
  EXPECT_EQ(EndOfCentralDirectory::Parse(bytes.data()).Serialize(), bytes);
}

TEST(ZipMessages, RegisteredUnderTheirKeys) {
  EXPECT_EQ(ZipMessage("myzipper2.serrcorruptzip", {"x.zip"}), "Corrupt ZIP file x.zip");
  EXPECT_EQ(ZipMessage("myzipper2.serrfilechange"),
            "Changing output file name is not allowed while (un)zipping");
  EXPECT_EQ(ZipMessage("myzipper2.serrunsupportedcompressionformat", {12}),
            "Unsupported compression format 12");
  EXPECT_EQ(ZipMessage("myzipper2.serrmissingfilename", {2}), "Missing filename in entry 2");
  EXPECT_EQ(ZipMessage("myzipper2.serrmissingarchivename", {0}),
            "Missing archive filename in streamed entry 0");
  EXPECT_EQ(ZipMessage("myzipper2.serrfiledoesnotexist", {"C:\\x"}),
            "File \"C:\\x\" does not exist.");
}

TEST(ZipMessages, RaisedAsEZipError) {
  try {
    RaiseZipError(zipmsg::kCorruptZip, {"a.zip"});
    FAIL();
  } catch (const EZipError& e) {
    EXPECT_STREQ(e.ClassName(), "EZipError");
    EXPECT_EQ(e.Message(), "Corrupt ZIP file a.zip");
  }
}

}  // namespace
}  // namespace orvane
