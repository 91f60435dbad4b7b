// The zip writer: writes a new archive file from a list of entries.
//
// Each entry is deflated into an intermediate stream (memory, or a ".tmp2"
// file beside the archive for large sources) so that its local header can be
// written once with its final sizes and CRC; the deflated form is kept only
// when it is smaller than the data. The central directory is then built by
// walking the local headers of the archive file itself from its first byte.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zip/codecs.h"
#include "zip/stream.h"
#include "zip/zip_entries.h"
#include "zip/zip_format.h"

namespace orvane {

class TZipper {
 public:
  // Raised when the source of an entry has been opened, with the entry's
  // archive name (falling back to its disk name).
  using EntryStartEvent = std::function<void(TZipper& sender, const std::string& archive_name)>;

  static constexpr std::uint32_t kDefaultBufferSize = 16384;
  static constexpr std::int32_t kDefaultMemoryThreshold = 10000 * 1024;

  TZipper() = default;
  virtual ~TZipper();
  TZipper(const TZipper&) = delete;
  TZipper& operator=(const TZipper&) = delete;

  // Writes the archive OutputFileName from Entries(), or from FileNames()
  // when Entries() is empty. Nothing at all happens when both are empty.
  virtual void WriteArchive();

  // Empties Entries() (never closing their streams) and FileNames().
  void Clear();

  TZipFileEntries& Entries() { return entries_; }
  [[nodiscard]] const TZipFileEntries& Entries() const { return entries_; }
  // Disk file names that become entries when Entries() is empty.
  std::vector<std::string>& FileNames() { return file_names_; }
  [[nodiscard]] const std::vector<std::string>& FileNames() const { return file_names_; }

  // True while WriteArchive runs.
  [[nodiscard]] bool Busy() const { return busy_; }

  [[nodiscard]] const std::string& OutputFileName() const { return output_file_name_; }
  // Raises EZipError (and keeps the old name) while Busy().
  void SetOutputFileName(const std::string& name);

  [[nodiscard]] std::uint32_t BufferSize() const { return buffer_size_; }
  void SetBufferSize(std::uint32_t size) { buffer_size_ = size; }

  // Sources up to this many bytes are compressed in memory, larger ones into
  // the temporary file.
  [[nodiscard]] std::int32_t MemoryThreshold() const { return memory_threshold_; }
  void SetMemoryThreshold(std::int32_t threshold) { memory_threshold_ = threshold; }

  [[nodiscard]] const EntryStartEvent& OnEntryStart() const { return on_entry_start_; }
  void SetOnEntryStart(EntryStartEvent handler) { on_entry_start_ = std::move(handler); }

  // The intermediate file used for large sources: the output name with its
  // extension replaced by ".tmp2".
  [[nodiscard]] std::string TemporaryFileName() const;

 protected:
  // Appends one entry at the end of the output file.
  virtual void WriteEntry(TZipFileEntry& entry);
  // The codec for an entry; every entry is deflated.
  virtual std::unique_ptr<TCompressor> MakeCompressor(TZipFileEntry& entry, TStream& source,
                                                      TStream& target);

 private:
  int CollectEntries();
  void PrepareEntries();
  void PrepareDiskEntry(TZipFileEntry& entry, int index);
  void PrepareStreamEntry(TZipFileEntry& entry, int index);
  void WriteCentralDirectory();

  TZipFileEntries entries_;
  bool busy_ = false;
  std::uint32_t buffer_size_ = kDefaultBufferSize;
  std::string output_file_name_;
  std::vector<std::string> file_names_;
  std::int32_t memory_threshold_ = kDefaultMemoryThreshold;
  // The archive file, open only while WriteArchive runs.
  std::unique_ptr<TFileStream> output_;
  EntryStartEvent on_entry_start_;
};

}  // namespace orvane
