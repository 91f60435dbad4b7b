#include "zip/zip_format.h"

#include <zlib.h>

#include <cmath>
#include <limits>

#include "platform/errors.h"

namespace orvane {

const std::array<std::uint32_t, 256> Crc32Table = detail::kCrc32Table;

namespace {

// Little-endian field writer and reader over a record buffer.
class FieldWriter {
 public:
  explicit FieldWriter(std::uint8_t* out) : out_(out) {}
  FieldWriter& U16(std::uint16_t v) {
    out_[at_++] = static_cast<std::uint8_t>(v);
    out_[at_++] = static_cast<std::uint8_t>(v >> 8);
    return *this;
  }
  FieldWriter& U32(std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out_[at_++] = static_cast<std::uint8_t>(v >> shift);
    return *this;
  }

 private:
  std::uint8_t* out_;
  std::size_t at_ = 0;
};

class FieldReader {
 public:
  explicit FieldReader(const std::uint8_t* in) : in_(in) {}
  std::uint16_t U16() {
    const auto v = static_cast<std::uint16_t>(in_[at_] | (in_[at_ + 1] << 8));
    at_ += 2;
    return v;
  }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | in_[at_ + static_cast<std::size_t>(i)];
    at_ += 4;
    return v;
  }

 private:
  const std::uint8_t* in_;
  std::size_t at_ = 0;
};

}  // namespace

LocalFileHeader::Bytes LocalFileHeader::Serialize() const {
  Bytes bytes{};
  FieldWriter(bytes.data())
      .U32(signature)
      .U16(version_needed)
      .U16(flags)
      .U16(compression_method)
      .U16(modification_time)
      .U16(modification_date)
      .U32(crc32)
      .U32(compressed_size)
      .U32(uncompressed_size)
      .U16(file_name_length)
      .U16(extra_field_length);
  return bytes;
}

LocalFileHeader LocalFileHeader::Parse(const std::uint8_t* bytes) {
  FieldReader r(bytes);
  LocalFileHeader h;
  h.signature = r.U32();
  h.version_needed = r.U16();
  h.flags = r.U16();
  h.compression_method = r.U16();
  h.modification_time = r.U16();
  h.modification_date = r.U16();
  h.crc32 = r.U32();
  h.compressed_size = r.U32();
  h.uncompressed_size = r.U32();
  h.file_name_length = r.U16();
  h.extra_field_length = r.U16();
  return h;
}

CentralDirectoryHeader::Bytes CentralDirectoryHeader::Serialize() const {
  Bytes bytes{};
  FieldWriter(bytes.data())
      .U32(signature)
      .U16(version_made_by)
      .U16(version_needed)
      .U16(flags)
      .U16(compression_method)
      .U16(modification_time)
      .U16(modification_date)
      .U32(crc32)
      .U32(compressed_size)
      .U32(uncompressed_size)
      .U16(file_name_length)
      .U16(extra_field_length)
      .U16(file_comment_length)
      .U16(disk_number_start)
      .U16(internal_attributes)
      .U32(external_attributes)
      .U32(local_header_offset);
  return bytes;
}

CentralDirectoryHeader CentralDirectoryHeader::Parse(const std::uint8_t* bytes) {
  FieldReader r(bytes);
  CentralDirectoryHeader h;
  h.signature = r.U32();
  h.version_made_by = r.U16();
  h.version_needed = r.U16();
  h.flags = r.U16();
  h.compression_method = r.U16();
  h.modification_time = r.U16();
  h.modification_date = r.U16();
  h.crc32 = r.U32();
  h.compressed_size = r.U32();
  h.uncompressed_size = r.U32();
  h.file_name_length = r.U16();
  h.extra_field_length = r.U16();
  h.file_comment_length = r.U16();
  h.disk_number_start = r.U16();
  h.internal_attributes = r.U16();
  h.external_attributes = r.U32();
  h.local_header_offset = r.U32();
  return h;
}

CentralDirectoryHeader CentralDirectoryHeader::FromLocal(const LocalFileHeader& local,
                                                         std::uint32_t offset) {
  CentralDirectoryHeader h;
  h.signature = kCentralDirectorySignature;
  h.version_made_by = kVersionWritten;
  h.version_needed = local.version_needed;
  h.flags = local.flags;
  h.compression_method = local.compression_method;
  h.modification_time = local.modification_time;
  h.modification_date = local.modification_date;
  h.crc32 = local.crc32;
  h.compressed_size = local.compressed_size;
  h.uncompressed_size = local.uncompressed_size;
  h.file_name_length = local.file_name_length;
  h.extra_field_length = local.extra_field_length;
  h.file_comment_length = 0;
  h.disk_number_start = 0;
  h.internal_attributes = 0;
  h.external_attributes = kExternalAttributesWritten;
  h.local_header_offset = offset;
  return h;
}

EndOfCentralDirectory::Bytes EndOfCentralDirectory::Serialize() const {
  Bytes bytes{};
  FieldWriter(bytes.data())
      .U32(signature)
      .U16(disk_number)
      .U16(central_directory_disk)
      .U16(entries_on_disk)
      .U16(total_entries)
      .U32(central_directory_size)
      .U32(central_directory_offset)
      .U16(comment_length);
  return bytes;
}

EndOfCentralDirectory EndOfCentralDirectory::Parse(const std::uint8_t* bytes) {
  FieldReader r(bytes);
  EndOfCentralDirectory e;
  e.signature = r.U32();
  e.disk_number = r.U16();
  e.central_directory_disk = r.U16();
  e.entries_on_disk = r.U16();
  e.total_entries = r.U16();
  e.central_directory_size = r.U32();
  e.central_directory_offset = r.U32();
  e.comment_length = r.U16();
  return e;
}

// --- Calendar --------------------------------------------------------------

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86400000;
// Day number of 1970-01-01 counted from 1899-12-30.
constexpr std::int64_t kUnixEpochDay = 25569;

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2 ? 1 : 0));
}

}  // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
  const std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kUnixEpochDay;
  const double time =
      static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) /
      static_cast<double>(kMillisecondsPerDay);
  // Before day 0 the fraction counts forward from the day's start as well,
  // so it is subtracted.
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

DecodedDateTime DecodeDateTime(TDateTime value) {
  DecodedDateTime out{};
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) value = 0;  // far outside any DOS date
  std::int64_t days = static_cast<std::int64_t>(std::trunc(value));
  std::int64_t ms =
      std::llround(std::fabs(value - std::trunc(value)) * static_cast<double>(kMillisecondsPerDay));
  if (ms >= kMillisecondsPerDay) {  // rounded up into the next day
    ms -= kMillisecondsPerDay;
    days += value >= 0 ? 1 : -1;
  }
  CivilFromDays(days - kUnixEpochDay, out.year, out.month, out.day);
  out.hour = static_cast<int>(ms / 3600000);
  out.minute = static_cast<int>(ms / 60000 % 60);
  out.second = static_cast<int>(ms / 1000 % 60);
  out.millisecond = static_cast<int>(ms % 1000);
  return out;
}

// Date word: bits 0-4 day of month, 5-8 month, 9-15 years since 1980.
// Time word: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours.
DosDateTime PackDosDateTime(TDateTime value) {
  const DecodedDateTime d = DecodeDateTime(value);
  DosDateTime packed;
  packed.date = static_cast<std::uint16_t>((d.year - 1980) * 512 + d.month * 32 + d.day);
  packed.time = static_cast<std::uint16_t>(d.hour * 2048 + d.minute * 32 + d.second / 2);
  return packed;
}

TDateTime UnpackDosDateTime(std::uint16_t date, std::uint16_t time) {
  const int year = (date >> 9) + 1980;
  const int month = (date >> 5) & 0x0F;
  const int day = date & 0x1F;
  const int hour = time >> 11;
  const int minute = (time >> 5) & 0x3F;
  const int second = (time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    throw EConvertError(Format("%d-%d-%d is not a valid date specification", {year, month, day}));
  }
  if (hour > 23 || minute > 59 || second > 59) {
    throw EConvertError(
        Format("%d:%d:%d.%d is not a valid time specification", {hour, minute, second, 0}));
  }
  return EncodeDateTime(year, month, day, hour, minute, second, 0);
}

// --- CRC-32 ----------------------------------------------------------------

std::uint32_t UpdateCrc32Block(std::uint32_t crc, const void* data, std::size_t length) {
  // zlib keeps its value complemented; our register is not.
  uLong value = ~crc & 0xFFFFFFFFUL;
  const auto* bytes = static_cast<const Bytef*>(data);
  while (length > 0) {
    const auto piece = static_cast<uInt>(std::min<std::size_t>(length, 1U << 30));
    value = crc32(value, bytes, piece);
    bytes += piece;
    length -= piece;
  }
  return ~static_cast<std::uint32_t>(value);
}

std::uint32_t Crc32Of(const void* data, std::size_t length) {
  return ~UpdateCrc32Block(0xFFFFFFFFU, data, length);
}

}  // namespace orvane
