#include "zip/zip_entries.h"

#include "platform/errors.h"

namespace orvane {

TPersistent::~TPersistent() = default;

const char* TPersistent::ClassName() const {
  return "TPersistent";
}

void TPersistent::Assign(const TPersistent& source) {
  throw EConvertError(Format("Cannot assign a %s to a %s.", {source.ClassName(), ClassName()}));
}

const char* TCollectionItem::ClassName() const {
  return "TCollectionItem";
}

const char* TZipFileEntry::ClassName() const {
  return "TZipFileEntry";
}

const std::string& TZipFileEntry::ArchiveFileName() const {
  return archive_file_name_.empty() ? disk_file_name_ : archive_file_name_;
}

void TZipFileEntry::Assign(const TPersistent& source) {
  const auto* entry = dynamic_cast<const TZipFileEntry*>(&source);
  if (entry == nullptr) {
    TCollectionItem::Assign(source);
    return;
  }
  archive_file_name_ = entry->archive_file_name_;
  disk_file_name_ = entry->disk_file_name_;
  size_ = entry->size_;
  date_time_ = entry->date_time_;
  stream_ = entry->stream_;
}

TZipFileEntry& TZipFileEntries::Add() {
  entries_.push_back(std::make_unique<TZipFileEntry>());
  return *entries_.back();
}

TZipFileEntry& TZipFileEntries::AddFile(const std::string& disk_file_name) {
  TZipFileEntry& entry = Add();
  entry.SetDiskFileName(disk_file_name);
  return entry;
}

TZipFileEntry& TZipFileEntries::AddStream(TStream& stream, const std::string& archive_file_name) {
  TZipFileEntry& entry = Add();
  entry.SetStream(&stream);
  entry.SetArchiveFileName(archive_file_name);
  return entry;
}

void TZipFileEntries::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) {
    throw EListError(Format("List index (%d) out of bounds", {index}));
  }
}

TZipFileEntry& TZipFileEntries::Items(int index) {
  CheckIndex(index);
  return *entries_[static_cast<std::size_t>(index)];
}

const TZipFileEntry& TZipFileEntries::Items(int index) const {
  CheckIndex(index);
  return *entries_[static_cast<std::size_t>(index)];
}

}  // namespace orvane
