// The zip reader: unpacks the entries of an archive file into a folder.
//
// The end record is taken from the last 22 bytes of the file and the central
// directory supplies the entry names and the positions of the local headers;
// method, sizes, date-time and the name an entry is written under come from
// each local header. An entry whose general purpose flag announces a data
// descriptor takes its CRC-32 and sizes from its central header instead,
// because its local header holds zeros there.
//
// What the reader writes is checked: every file receives exactly the
// uncompressed size the entry declares (an entry that inflates past it is
// stopped at that point, so a hostile archive cannot fill the disk) and its
// CRC-32 must match the stored one. Entry names that would lead out of the
// output folder are refused before anything is created for them.
//
// Paths and names are byte strings in the system code page; stored names are
// used byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zip/codecs.h"
#include "zip/stream.h"
#include "zip/zip_entries.h"
#include "zip/zip_format.h"

namespace orvane {

// The one output name of the process: when not empty, every file entry that
// any reader extracts is written under this name (inside its OutputFolder)
// instead of its stored name; folder entries are not affected. Empty at
// start-up. It is a process-wide value without a lock, set only by the code
// that unpacks archives into launcher folders.
std::string& ForcedOutputName();

// An ordered set of names, matched without regard to ASCII letter case. A
// name that is already present is not added twice.
class TNameList {
 public:
  void Add(const std::string& name);
  void Clear() { names_.clear(); }
  [[nodiscard]] int Count() const { return static_cast<int>(names_.size()); }
  // Raises EListError "List index (%d) out of bounds" outside 0..Count()-1.
  [[nodiscard]] const std::string& Items(int index) const;
  [[nodiscard]] bool Contains(const std::string& name) const;

 private:
  std::vector<std::string> names_;  // kept sorted, case folded
};

class TUnZipper {
 public:
  // Raised after each output file has been created, with the reader and the
  // file's path. The handler must not empty Entries: the entry being
  // extracted belongs to it.
  using TEntryStartEvent = std::function<void(TUnZipper& sender, const std::string& output_path)>;

  // What a local header tells about the data that follows it.
  struct TLocalHeaderInfo {
    std::uint32_t crc32 = 0;
    std::uint16_t method = 0;
  };

  static constexpr std::uint32_t kDefaultBufferSize = 16384;

  TUnZipper();
  virtual ~TUnZipper();
  TUnZipper(const TUnZipper&) = delete;
  TUnZipper& operator=(const TUnZipper&) = delete;

  // True while ExtractAll (or ReadDirectory) runs.
  [[nodiscard]] bool Busy() const { return busy_; }

  // Block size handed to the decompressor.
  [[nodiscard]] std::uint32_t BufferSize() const { return buffer_size_; }
  void SetBufferSize(std::uint32_t size) { buffer_size_ = size; }

  // The archive to read. Raises EZipError (file change) while busy.
  [[nodiscard]] const std::string& InputFileName() const { return input_file_name_; }
  void SetInputFileName(const std::string& name);

  // The folder the entries are written into; empty means the current folder.
  // Raises EZipError (file change) while busy.
  [[nodiscard]] const std::string& OutputFolder() const { return output_folder_; }
  void SetOutputFolder(const std::string& folder);

  // One entry per central header read, in directory order. Every run appends
  // the directory again; Clear empties the list.
  TZipFileEntries& Entries() { return entries_; }
  [[nodiscard]] const TZipFileEntries& Entries() const { return entries_; }

  // The archive names to extract (central directory names); empty means all.
  TNameList& NameFilter() { return name_filter_; }

  [[nodiscard]] const TEntryStartEvent& OnEntryStart() const { return on_entry_start_; }
  void SetOnEntryStart(TEntryStartEvent handler) { on_entry_start_ = std::move(handler); }

  // Opens the archive, appends its whole directory to Entries, then extracts
  // the selected entries in directory order. The archive is closed and Busy
  // cleared on every way out; files written before a failure stay.
  virtual void ExtractAll();

  // Opens the archive, appends its directory to Entries and closes it again,
  // extracting nothing.
  void ReadDirectory();

  // The central header that the directory gave for an entry of Entries;
  // nullptr for an entry the directory did not supply.
  [[nodiscard]] const CentralDirectoryHeader* CentralHeaderOf(const TZipFileEntry& entry) const;

  // Empties NameFilter and Entries. Raises EZipError (file change) while busy.
  void Clear();

 protected:
  // Extracts one entry whose HeaderPosition is set, while the archive is open.
  virtual void ExtractEntry(TZipFileEntry& entry);
  // The decompressor of a method: method 8 gives a TInflater; any other
  // method raises EZipError (unsupported compression format).
  virtual std::unique_ptr<TDeCompressor> MakeDecompressor(TZipFileEntry& entry,
                                                          std::uint16_t method, TStream& archive,
                                                          TStream& output);

  void OpenArchiveFile();
  void CloseArchiveFile();
  // Appends the archive's directory to Entries.
  void ReadCentralDirectory();
  // Reads the entry's local header, name and extra field, and fills the
  // entry's names, size and date-time from them. The archive then stands at
  // the entry's data.
  TLocalHeaderInfo ReadLocalHeader(TZipFileEntry& entry);
  // Creates the output file (and its folders) and raises OnEntryStart.
  bool OpenTarget(const std::string& output_path);
  // Closes the output file; raises EWriteError when written data was lost.
  void CloseTarget();

 private:
  class BusyScope;
  class ArchiveScope;
  class TargetScope;
  struct ExpectedData;

  void RefuseWhileBusy() const;
  void ReadCentralHeader(TStream& archive, std::int64_t archive_size);
  [[nodiscard]] ExpectedData ExpectedDataOf(const TZipFileEntry& entry) const;
  [[nodiscard]] std::string OutputPathOf(const std::string& name) const;
  void ExtractFolderEntry(const std::string& stored_name);
  void ExtractFileEntry(TZipFileEntry& entry, const TLocalHeaderInfo& local,
                        const std::string& stored_name);
  void DiscardTarget() noexcept;

  bool busy_ = false;
  std::uint32_t buffer_size_ = kDefaultBufferSize;
  std::string input_file_name_;
  std::string output_folder_;
  TZipFileEntries entries_;
  TNameList name_filter_;
  std::unique_ptr<TFileStream> target_stream_;
  // The folder OpenTarget made last in this run: entries of one folder follow
  // each other, and making it again for each would cost a few stats apiece.
  std::string folder_made_;
  std::unique_ptr<TFileStream> archive_stream_;
  LocalFileHeader local_header_;
  CentralDirectoryHeader central_header_;
  EndOfCentralDirectory end_record_;
  TEntryStartEvent on_entry_start_;
  // The central header of each entry the directory supplied; entries are
  // owned through pointers, so their addresses stay put until Clear.
  std::unordered_map<const TZipFileEntry*, CentralDirectoryHeader> central_headers_;
};

}  // namespace orvane
