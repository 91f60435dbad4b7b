// The archive entry and the owned, ordered entry list that the writer takes
// and the reader fills.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/stream.h"
#include "zip/zip_format.h"

namespace orvane {

// The smallest base for objects that can copy themselves from another one.
// Assignment between unrelated classes fails with EConvertError.
class TPersistent {
 public:
  TPersistent() = default;
  virtual ~TPersistent();
  TPersistent(const TPersistent&) = default;
  TPersistent& operator=(const TPersistent&) = default;

  [[nodiscard]] virtual const char* ClassName() const;
  // Raises EConvertError "Cannot assign a %s to a %s." unless a derived
  // class knows the source.
  virtual void Assign(const TPersistent& source);
};

// An item of an owned list.
class TCollectionItem : public TPersistent {
 public:
  [[nodiscard]] const char* ClassName() const override;
};

class TZipFileEntry : public TCollectionItem {
 public:
  [[nodiscard]] const char* ClassName() const override;

  // The stored archive name, or the disk name when none is stored.
  [[nodiscard]] const std::string& ArchiveFileName() const;
  void SetArchiveFileName(const std::string& name) { archive_file_name_ = name; }
  [[nodiscard]] const std::string& StoredArchiveFileName() const { return archive_file_name_; }

  [[nodiscard]] const std::string& DiskFileName() const { return disk_file_name_; }
  void SetDiskFileName(const std::string& name) { disk_file_name_ = name; }

  [[nodiscard]] std::int32_t Size() const { return size_; }
  void SetSize(std::int32_t size) { size_ = size; }

  [[nodiscard]] TDateTime DateTime() const { return date_time_; }
  void SetDateTime(TDateTime value) { date_time_ = value; }

  // The caller's source stream; the entry never owns or closes it.
  [[nodiscard]] TStream* Stream() const { return stream_; }
  void SetStream(TStream* stream) { stream_ = stream; }

  // Offset of the entry's local header; kept by the reader.
  [[nodiscard]] std::int32_t HeaderPosition() const { return header_position_; }
  void SetHeaderPosition(std::int32_t position) { header_position_ = position; }

  // From another entry: the stored archive name (not its fallback), the disk
  // name, size, date-time and stream. The header position stays.
  void Assign(const TPersistent& source) override;

 private:
  std::string archive_file_name_;
  TDateTime date_time_ = 0;
  std::string disk_file_name_;
  std::int32_t header_position_ = 0;
  std::int32_t size_ = 0;
  TStream* stream_ = nullptr;
};

// Owns its entries; their streams stay the caller's.
class TZipFileEntries {
 public:
  TZipFileEntry& Add();
  // An entry read from disk; its archive name is the disk name.
  TZipFileEntry& AddFile(const std::string& disk_file_name);
  TZipFileEntry& AddStream(TStream& stream, const std::string& archive_file_name);

  // Raises EListError "List index (%d) out of bounds" outside 0..Count()-1.
  TZipFileEntry& Items(int index);
  [[nodiscard]] const TZipFileEntry& Items(int index) const;

  [[nodiscard]] int Count() const { return static_cast<int>(entries_.size()); }
  // Destroys the entries, never their streams.
  void Clear() { entries_.clear(); }

 private:
  void CheckIndex(int index) const;

  std::vector<std::unique_ptr<TZipFileEntry>> entries_;
};

}  // namespace orvane
