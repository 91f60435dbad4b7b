#include "zip/zipper.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/platform.h"
#include "zip/zip_errors.h"

namespace orvane {

namespace {

constexpr auto kZipPaths = platform::PathEncoding::kSystemCodePage;
constexpr const char* kTemporaryExtension = ".tmp2";
// Find-first for a disk entry accepts plain, read-only, hidden and archive
// files; folders, system files and volume labels do not match.
constexpr std::uint32_t kDiskFileAttributes =
    platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrArchive;

// Runs an action when the scope ends, however it ends.
template <typename Action>
class ScopeExit {
 public:
  explicit ScopeExit(Action action) : action_(std::move(action)) {}
  ~ScopeExit() { action_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  Action action_;
};

// The offset of the first byte after the file-name part's folder.
std::size_t FileNameStart(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < FileNameStart(path)) return path + extension;
  return path.substr(0, dot) + extension;
}

bool SameFileName(const std::string& a, const std::string& b) {
  // Windows file names compare without regard to case.
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Sizes and offsets are signed 32-bit fields of the format.
bool FitsZipField(std::int64_t value) {
  return value >= 0 && value <= kMaxZipOffset;
}

void CheckFits(std::int64_t value, const std::string& entry_name) {
  if (!FitsZipField(value)) RaiseZipError(zipmsg::kTooLarge, {entry_name});
}

std::string StoredName(const TZipFileEntry& entry) {
  return entry.ArchiveFileName().substr(0, kMaxNameLength);
}

// The intermediate stream of one entry, and the temporary file behind it
// when there is one; the file is deleted once its stream is closed.
class Intermediate {
 public:
  Intermediate() : stream_(std::make_unique<TMemoryStream>()) {}
  explicit Intermediate(const std::string& temporary_path)
      : stream_(
            std::make_unique<TFileStream>(temporary_path, TFileStream::Mode::kCreate, kZipPaths)),
        temporary_path_(temporary_path) {}
  ~Intermediate() {
    stream_.reset();
    // A temporary file that cannot be deleted is left behind; the entry is
    // written all the same.
    if (!temporary_path_.empty()) platform::RemoveFile(temporary_path_, kZipPaths);
  }
  Intermediate(const Intermediate&) = delete;
  Intermediate& operator=(const Intermediate&) = delete;

  TStream& Stream() { return *stream_; }

 private:
  std::unique_ptr<TStream> stream_;
  std::string temporary_path_;
};

struct Compressed {
  std::uint32_t crc32 = 0;
  std::uint16_t method = 0;
};

}  // namespace

TZipper::~TZipper() {
  Clear();
}

void TZipper::SetOutputFileName(const std::string& name) {
  if (busy_) RaiseZipError(zipmsg::kFileChange);
  output_file_name_ = name;
}

void TZipper::Clear() {
  entries_.Clear();
  file_names_.clear();
}

std::string TZipper::TemporaryFileName() const {
  std::string name = ReplaceExtension(output_file_name_, kTemporaryExtension);
  // An archive that itself ends in ".tmp2" must not be overwritten by its
  // own intermediate file.
  if (SameFileName(name, output_file_name_)) name = output_file_name_ + kTemporaryExtension;
  return name;
}

std::unique_ptr<TCompressor> TZipper::MakeCompressor(TZipFileEntry& /*entry*/, TStream& source,
                                                     TStream& target) {
  return std::make_unique<TDeflater>(source, target, buffer_size_);
}

int TZipper::CollectEntries() {
  if (!file_names_.empty() && entries_.Count() == 0) {
    entries_.Clear();
    for (const std::string& name : file_names_) entries_.AddFile(name);
  }
  return entries_.Count();
}

void TZipper::WriteArchive() {
  const int count = CollectEntries();
  if (count == 0) return;
  // The entry counts of the format are 16-bit.
  if (static_cast<std::uint32_t>(count) > kMaxEntries) {
    RaiseZipError(zipmsg::kTooManyEntries, {count});
  }

  busy_ = true;
  const ScopeExit not_busy([this] {
    output_.reset();
    busy_ = false;
  });
  PrepareEntries();
  output_ = std::make_unique<TFileStream>(output_file_name_, TFileStream::Mode::kCreate, kZipPaths);
  for (int i = 0; i < count; ++i) WriteEntry(entries_.Items(i));
  WriteCentralDirectory();
  // Closed here, not by the guard, so that a failure to keep the data is
  // reported.
  output_->Close();
}

void TZipper::PrepareEntries() {
  for (int i = 0; i < entries_.Count(); ++i) {
    TZipFileEntry& entry = entries_.Items(i);
    if (entry.Stream() == nullptr) {
      PrepareDiskEntry(entry, i);
    } else {
      PrepareStreamEntry(entry, i);
    }
  }
}

void TZipper::PrepareDiskEntry(TZipFileEntry& entry, int index) {
  const std::string& disk_name = entry.DiskFileName();
  if (disk_name.empty()) RaiseZipError(zipmsg::kMissingFileName, {index});
  platform::FolderEntry found;
  {
    platform::FolderListing listing(disk_name, kDiskFileAttributes, kZipPaths);
    if (!listing.Next(found)) RaiseZipError(zipmsg::kFileDoesNotExist, {disk_name});
  }
  CheckFits(found.size, entry.ArchiveFileName());
  entry.SetSize(static_cast<std::int32_t>(found.size));
  // A file time without a DOS form leaves the date-time as it is.
  if (found.dos_time != 0) {
    entry.SetDateTime(UnpackDosDateTime(static_cast<std::uint16_t>(found.dos_time >> 16),
                                        static_cast<std::uint16_t>(found.dos_time & 0xFFFF)));
  }
}

void TZipper::PrepareStreamEntry(TZipFileEntry& entry, int index) {
  if (entry.ArchiveFileName().empty()) RaiseZipError(zipmsg::kMissingArchiveName, {index});
  const std::int64_t size = entry.Stream()->Size();
  CheckFits(size, entry.ArchiveFileName());
  entry.SetSize(static_cast<std::int32_t>(size));
}

void TZipper::WriteEntry(TZipFileEntry& entry) {
  std::unique_ptr<TFileStream> own_source;
  TStream* source = entry.Stream();
  if (source == nullptr) {
    own_source = std::make_unique<TFileStream>(entry.DiskFileName(), TFileStream::Mode::kOpenRead,
                                               kZipPaths);
    source = own_source.get();
  }
  if (on_entry_start_) on_entry_start_(*this, entry.ArchiveFileName());

  const std::string name = StoredName(entry);
  // The header must describe the bytes actually written: the source is
  // measured again now that it is open, and compressed from its start so
  // that the CRC, the deflated data and a stored copy all cover the same
  // bytes.
  const std::int64_t size = source->Size();
  CheckFits(size, name);
  entry.SetSize(static_cast<std::int32_t>(size));
  source->SetPosition(0);

  std::unique_ptr<Intermediate> intermediate =
      entry.Size() <= memory_threshold_ ? std::make_unique<Intermediate>()
                                        : std::make_unique<Intermediate>(TemporaryFileName());
  Compressed compressed;
  {
    const std::unique_ptr<TCompressor> compressor =
        MakeCompressor(entry, *source, intermediate->Stream());
    compressor->Compress();
    compressed = {compressor->Crc32(), compressor->Method()};
  }

  const DosDateTime stamp = PackDosDateTime(entry.DateTime());
  LocalFileHeader header;
  header.signature = kLocalFileHeaderSignature;
  header.version_needed = kVersionWritten;
  header.flags = 0;
  header.modification_time = stamp.time;
  header.modification_date = stamp.date;
  header.crc32 = compressed.crc32;
  header.uncompressed_size = static_cast<std::uint32_t>(entry.Size());
  header.file_name_length = static_cast<std::uint16_t>(name.size());
  header.extra_field_length = 0;
  const std::int64_t deflated_size = intermediate->Stream().Size();
  const bool keep_deflated = deflated_size < entry.Size();
  header.compression_method = keep_deflated ? compressed.method : kMethodStored;
  header.compressed_size = static_cast<std::uint32_t>(keep_deflated ? deflated_size : entry.Size());

  // The next local header, or the central directory, must still have an
  // offset the format can hold.
  const std::int64_t header_offset = output_->Position();
  CheckFits(header_offset + static_cast<std::int64_t>(kLocalFileHeaderSize + name.size()) +
                header.compressed_size,
            name);
  const LocalFileHeader::Bytes bytes = header.Serialize();
  output_->WriteBuffer(bytes.data(), bytes.size());
  output_->WriteBuffer(name.data(), name.size());
  if (keep_deflated) {
    output_->CopyAllFrom(intermediate->Stream());
  } else {
    source->SetPosition(0);
    output_->CopyFrom(*source, entry.Size());
  }
}

void TZipper::WriteCentralDirectory() {
  TFileStream& output = *output_;
  const std::int64_t directory_offset = output.Position();
  std::uint16_t count = 0;
  std::int64_t header_position = 0;
  LocalFileHeader::Bytes local_bytes{};
  output.SetPosition(header_position);
  output.ReadBuffer(local_bytes.data(), local_bytes.size());
  LocalFileHeader local = LocalFileHeader::Parse(local_bytes.data());
  // The walk ends on the first central header written: it follows the data
  // of the last entry.
  while (local.signature == kLocalFileHeaderSignature) {
    std::string name(local.file_name_length, '\0');
    output.ReadBuffer(name.data(), name.size());
    const std::int64_t after_name = output.Position();

    const CentralDirectoryHeader central =
        CentralDirectoryHeader::FromLocal(local, static_cast<std::uint32_t>(header_position));
    const std::int64_t end = output.Seek(0, SeekOrigin::kEnd);
    CheckFits(end + static_cast<std::int64_t>(kCentralDirectoryHeaderSize + name.size() +
                                              kEndOfCentralDirectorySize),
              name);
    const CentralDirectoryHeader::Bytes central_bytes = central.Serialize();
    output.WriteBuffer(central_bytes.data(), central_bytes.size());
    output.WriteBuffer(name.data(), name.size());
    ++count;

    header_position = after_name + local.compressed_size;
    output.SetPosition(header_position);
    output.ReadBuffer(local_bytes.data(), local_bytes.size());
    local = LocalFileHeader::Parse(local_bytes.data());
  }

  EndOfCentralDirectory end_record;
  end_record.signature = kEndOfCentralDirectorySignature;
  end_record.entries_on_disk = count;
  end_record.total_entries = count;
  const std::int64_t directory_end = output.Seek(0, SeekOrigin::kEnd);
  end_record.central_directory_size = static_cast<std::uint32_t>(directory_end - directory_offset);
  end_record.central_directory_offset = static_cast<std::uint32_t>(directory_offset);
  const EndOfCentralDirectory::Bytes end_bytes = end_record.Serialize();
  output.WriteBuffer(end_bytes.data(), end_bytes.size());
}

}  // namespace orvane
