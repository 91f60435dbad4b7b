// The zip format as this library writes and reads it: one disk, no extra
// fields or comments of its own, no data descriptors, no encryption, no
// 64-bit extensions; every entry stored (method 0) or deflated (method 8).
//
// Records are serialised field by field, little-endian, never by laying a
// packed struct over a buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvane {

inline constexpr std::uint32_t kLocalFileHeaderSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralDirectorySignature = 0x02014B50;
inline constexpr std::uint32_t kEndOfCentralDirectorySignature = 0x06054B50;

inline constexpr std::size_t kLocalFileHeaderSize = 30;         // + name + extra field
inline constexpr std::size_t kCentralDirectoryHeaderSize = 46;  // + name + extra + comment
inline constexpr std::size_t kEndOfCentralDirectorySize = 22;   // + comment

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
// Version 1.0, MS-DOS attribute host: the writer needs nothing newer, even
// for deflated entries.
inline constexpr std::uint16_t kVersionWritten = 10;
// The MS-DOS "archive" attribute bit, in every central header written.
inline constexpr std::uint32_t kExternalAttributesWritten = 0x20;
// General purpose flag bit 3: CRC and sizes follow the data in a descriptor
// and are zero in the local header.
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;

inline constexpr std::size_t kMaxNameLength = 255;
inline constexpr std::uint32_t kMaxEntries = 65535;
// Sizes and offsets are held as signed 32-bit numbers.
inline constexpr std::int64_t kMaxZipOffset = 0x7FFFFFFF;

struct LocalFileHeader {
  std::uint32_t signature = 0;
  std::uint16_t version_needed = 0;
  std::uint16_t flags = 0;
  std::uint16_t compression_method = 0;
  std::uint16_t modification_time = 0;
  std::uint16_t modification_date = 0;
  std::uint32_t crc32 = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint16_t file_name_length = 0;
  std::uint16_t extra_field_length = 0;

  using Bytes = std::array<std::uint8_t, kLocalFileHeaderSize>;
  [[nodiscard]] Bytes Serialize() const;
  static LocalFileHeader Parse(const std::uint8_t* bytes);
};

struct CentralDirectoryHeader {
  std::uint32_t signature = 0;
  std::uint16_t version_made_by = 0;
  std::uint16_t version_needed = 0;
  std::uint16_t flags = 0;
  std::uint16_t compression_method = 0;
  std::uint16_t modification_time = 0;
  std::uint16_t modification_date = 0;
  std::uint32_t crc32 = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint16_t file_name_length = 0;
  std::uint16_t extra_field_length = 0;
  std::uint16_t file_comment_length = 0;
  std::uint16_t disk_number_start = 0;
  std::uint16_t internal_attributes = 0;
  std::uint32_t external_attributes = 0;
  std::uint32_t local_header_offset = 0;

  using Bytes = std::array<std::uint8_t, kCentralDirectoryHeaderSize>;
  [[nodiscard]] Bytes Serialize() const;
  static CentralDirectoryHeader Parse(const std::uint8_t* bytes);
  // The central header that describes a local header written at offset: the
  // fields from version needed through the extra field length are the local
  // header's own.
  static CentralDirectoryHeader FromLocal(const LocalFileHeader& local, std::uint32_t offset);
};

struct EndOfCentralDirectory {
  std::uint32_t signature = 0;
  std::uint16_t disk_number = 0;
  std::uint16_t central_directory_disk = 0;
  std::uint16_t entries_on_disk = 0;
  std::uint16_t total_entries = 0;
  std::uint32_t central_directory_size = 0;
  std::uint32_t central_directory_offset = 0;
  std::uint16_t comment_length = 0;

  using Bytes = std::array<std::uint8_t, kEndOfCentralDirectorySize>;
  [[nodiscard]] Bytes Serialize() const;
  static EndOfCentralDirectory Parse(const std::uint8_t* bytes);
};

// --- Date-time values ------------------------------------------------------
// A date-time is a double: the integral part counts days from 1899-12-30,
// the fraction is the time of day.
using TDateTime = double;

struct DosDateTime {
  std::uint16_t date = 0;
  std::uint16_t time = 0;
};

// Drops the milliseconds and rounds odd seconds down. No range check: the
// year field keeps (year - 1980) modulo 128, so 0 packs to date 0x5F9E.
DosDateTime PackDosDateTime(TDateTime value);
// Raises EConvertError for fields out of range (a date word of 0 among them).
TDateTime UnpackDosDateTime(std::uint16_t date, std::uint16_t time);

// Calendar helpers shared with the file layer.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond);
struct DecodedDateTime {
  int year, month, day, hour, minute, second, millisecond;
};
DecodedDateTime DecodeDateTime(TDateTime value);

// --- CRC-32 ----------------------------------------------------------------
// The reflected polynomial 0xEDB88320; the register starts at 0xFFFFFFFF and
// the result is its complement.
extern const std::array<std::uint32_t, 256> Crc32Table;

constexpr std::uint32_t UpdateCrc32(std::uint32_t crc, std::uint8_t byte);
// UpdateCrc32 over a block, computed in bulk; the same register value.
std::uint32_t UpdateCrc32Block(std::uint32_t crc, const void* data, std::size_t length);
// The finished CRC-32 of a run of bytes.
std::uint32_t Crc32Of(const void* data, std::size_t length);

namespace detail {
constexpr std::array<std::uint32_t, 256> MakeCrc32Table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t value = n;
    for (int step = 0; step < 8; ++step) {
      value = (value & 1) != 0 ? (value >> 1) ^ 0xEDB88320U : value >> 1;
    }
    table[n] = value;
  }
  return table;
}
inline constexpr std::array<std::uint32_t, 256> kCrc32Table = MakeCrc32Table();
}  // namespace detail

constexpr std::uint32_t UpdateCrc32(std::uint32_t crc, std::uint8_t byte) {
  return detail::kCrc32Table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace orvane
