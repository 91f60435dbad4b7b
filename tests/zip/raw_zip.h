// Builds zip archives byte by byte, so that a test can give every header
// field the value that shows a fault: names that differ between the central
// directory and the local header, wrong CRC-32 or sizes, unknown methods,
// data descriptors, comments and trailing bytes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zip/zip_format.h"

namespace orvane::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// Raw deflate (no zlib header or trailer), as zip method 8 stores it.
inline Bytes RawDeflate(const Bytes& plain) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  Bytes out(deflateBound(&z, static_cast<uLong>(plain.size())));
  z.next_in = const_cast<Bytef*>(plain.data());
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

struct RawEntry {
  std::string name;                         // the local header's name
  std::optional<std::string> central_name;  // when the directory says otherwise
  Bytes data;                               // the bytes after the local header
  std::uint16_t method = kMethodStored;
  std::uint16_t flags = 0;
  std::uint32_t crc32 = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint16_t date = 0x4ACE;  // 2017-06-14
  std::uint16_t time = 0x7E1D;  // 15:48:58
  Bytes local_extra;
  Bytes central_extra;
  std::string comment;
  // Written after the data: CRC-32 and sizes when the local header has none.
  bool data_descriptor = false;
  // The central header's local header offset, when not the true one.
  std::optional<std::uint32_t> local_header_offset;
};

class RawZip {
 public:
  // A stored entry with its true CRC-32 and sizes.
  RawEntry& Stored(const std::string& name, const std::string& content) {
    return Add(name, ToBytes(content), ToBytes(content), kMethodStored);
  }
  RawEntry& Deflated(const std::string& name, const Bytes& plain) {
    return Add(name, plain, RawDeflate(plain), kMethodDeflated);
  }
  RawEntry& Deflated(const std::string& name, const std::string& content) {
    return Deflated(name, ToBytes(content));
  }
  // A folder entry: a name ending in "/" and no data.
  RawEntry& Folder(const std::string& name) { return Stored(name, ""); }

  // Moves CRC-32 and sizes out of the local header into a descriptor after
  // the data, as a streaming writer does.
  static void UseDataDescriptor(RawEntry& entry) {
    entry.flags |= kFlagDataDescriptor;
    entry.data_descriptor = true;
  }

  [[nodiscard]] Bytes Build(const std::string& archive_comment = "") const {
    Bytes out;
    std::vector<std::uint32_t> offsets;
    for (const RawEntry& e : entries_) {
      offsets.push_back(static_cast<std::uint32_t>(out.size()));
      LocalFileHeader local;
      local.signature = kLocalFileHeaderSignature;
      local.version_needed = 20;
      local.flags = e.flags;
      local.compression_method = e.method;
      local.modification_time = e.time;
      local.modification_date = e.date;
      if (!e.data_descriptor) {
        local.crc32 = e.crc32;
        local.compressed_size = e.compressed_size;
        local.uncompressed_size = e.uncompressed_size;
      }
      local.file_name_length = static_cast<std::uint16_t>(e.name.size());
      local.extra_field_length = static_cast<std::uint16_t>(e.local_extra.size());
      Append(out, local.Serialize());
      Append(out, e.name);
      Append(out, e.local_extra);
      Append(out, e.data);
      if (e.data_descriptor) {
        AppendU32(out, 0x08074B50);
        AppendU32(out, e.crc32);
        AppendU32(out, e.compressed_size);
        AppendU32(out, e.uncompressed_size);
      }
    }
    const auto directory_offset = static_cast<std::uint32_t>(out.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const RawEntry& e = entries_[i];
      const std::string& name = e.central_name.value_or(e.name);
      CentralDirectoryHeader central;
      central.signature = kCentralDirectorySignature;
      central.version_made_by = 20;
      central.version_needed = 20;
      central.flags = e.flags;
      central.compression_method = e.method;
      central.modification_time = e.time;
      central.modification_date = e.date;
      central.crc32 = e.crc32;
      central.compressed_size = e.compressed_size;
      central.uncompressed_size = e.uncompressed_size;
      central.file_name_length = static_cast<std::uint16_t>(name.size());
      central.extra_field_length = static_cast<std::uint16_t>(e.central_extra.size());
      central.file_comment_length = static_cast<std::uint16_t>(e.comment.size());
      central.external_attributes = kExternalAttributesWritten;
      central.local_header_offset = e.local_header_offset.value_or(offsets[i]);
      Append(out, central.Serialize());
      Append(out, name);
      Append(out, e.central_extra);
      Append(out, e.comment);
    }
    EndOfCentralDirectory end;
    end.signature = kEndOfCentralDirectorySignature;
    end.entries_on_disk = static_cast<std::uint16_t>(entries_.size());
    end.total_entries = end.entries_on_disk;
    end.central_directory_size = static_cast<std::uint32_t>(out.size()) - directory_offset;
    end.central_directory_offset = directory_offset;
    end.comment_length = static_cast<std::uint16_t>(archive_comment.size());
    Append(out, end.Serialize());
    Append(out, archive_comment);
    return out;
  }

  // Offset of the first central header in a built archive.
  static std::uint32_t DirectoryOffset(const Bytes& archive) {
    const std::size_t end = archive.size() - kEndOfCentralDirectorySize;
    return EndOfCentralDirectory::Parse(archive.data() + end).central_directory_offset;
  }

 private:
  RawEntry& Add(const std::string& name, const Bytes& plain, Bytes stored, std::uint16_t method) {
    RawEntry& e = entries_.emplace_back();
    e.name = name;
    e.method = method;
    e.crc32 = Crc32Of(plain.data(), plain.size());
    e.uncompressed_size = static_cast<std::uint32_t>(plain.size());
    e.compressed_size = static_cast<std::uint32_t>(stored.size());
    e.data = std::move(stored);
    return e;
  }

  template <typename Range>
  static void Append(Bytes& out, const Range& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  static void AppendU32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }

  std::deque<RawEntry> entries_;  // references stay valid as entries are added
};

}  // namespace orvane::testing
