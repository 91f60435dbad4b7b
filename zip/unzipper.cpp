#include "zip/unzipper.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "zip/zip_errors.h"

namespace orvane {

namespace {

using platform::PathEncoding;

constexpr std::uint32_t kInitialCrc = 0xFFFFFFFFU;
// Name bytes read together with a local header; longer names are rare.
constexpr std::size_t kNamePrefetch = 256;

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}
// The bytes after the last of these begin the file-name part of a path.
bool EndsFolderPart(char c) {
  return IsSeparator(c) || c == ':';
}

char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares two names without regard to ASCII letter case.
int CompareText(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto fa = static_cast<unsigned char>(FoldCase(a[i]));
    const auto fb = static_cast<unsigned char>(FoldCase(b[i]));
    if (fa != fb) return fa < fb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool LessText(const std::string& a, const std::string& b) {
  return CompareText(a, b) < 0;
}

// "..", and the forms Windows trims to it (trailing dots and spaces).
bool IsParentComponent(const std::string& name, std::size_t begin, std::size_t end) {
  if (end - begin < 2 || name[begin] != '.' || name[begin + 1] != '.') return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(begin) + 2,
                     name.begin() + static_cast<std::ptrdiff_t>(end),
                     [](char c) { return c == '.' || c == ' '; });
}

bool HasParentComponent(const std::string& name) {
  std::size_t begin = 0;
  while (begin <= name.size()) {
    std::size_t end = begin;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (IsParentComponent(name, begin, end)) return true;
    begin = end + 1;
  }
  return false;
}

bool IsFolderEntryName(const std::string& name) {
  return !name.empty() && name.back() == '/';
}

// A stored name is written below the output folder only when it cannot lead
// out of it: it is not empty, does not start at a root, holds no parent
// component and no NUL byte (which would cut the path short at the system
// call). A folder entry is made at the joined path as it stands, so a drive
// (":") in it would leave the folder as well.
bool IsUnsafeName(const std::string& name) {
  if (name.empty() || IsSeparator(name.front())) return true;
  if (name.find('\0') != std::string::npos) return true;
  if (IsFolderEntryName(name) && name.find(':') != std::string::npos) return true;
  return HasParentComponent(name);
}

// The bytes after the last "/", "\" or ":".
std::string FileNamePart(const std::string& path) {
  const auto last = std::find_if(path.rbegin(), path.rend(), EndsFolderPart);
  return {last.base(), path.end()};
}

// The bytes up to and including the last "/", "\" or ":".
std::string FolderPart(const std::string& path) {
  const auto last = std::find_if(path.rbegin(), path.rend(), EndsFolderPart);
  return {path.begin(), last.base()};
}

[[noreturn]] void RaiseReadError() {
  throw EReadError("Stream read error");
}

template <std::size_t N>
std::array<std::uint8_t, N> ReadRecord(TStream& stream) {
  std::array<std::uint8_t, N> bytes{};
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

// A name of a record, refused before it is allocated when the archive cannot
// hold that many bytes after the current position.
std::string ReadName(TStream& stream, std::size_t length, std::int64_t archive_size) {
  if (stream.Position() + static_cast<std::int64_t>(length) > archive_size) RaiseReadError();
  std::string name(length, '\0');
  stream.ReadBuffer(name.data(), length);
  return name;
}

void Skip(TStream& stream, std::int64_t count) {
  if (count != 0) stream.Seek(count, SeekOrigin::kCurrent);
}

// Reads a stream through a block buffer, for the central directory: its
// small records and names, read one by one, would otherwise cost a system
// call each. Reads past the end of the underlying stream end short, as
// there, and a seek only moves the position this view keeps.
class TReadAhead final : public TStream {
 public:
  TReadAhead(TStream& source, std::int64_t size)
      : source_(source), size_(size), position_(source.Position()) {}

  std::size_t Read(void* buffer, std::size_t count) override {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      if (!Buffered() && !Refill()) break;
      const auto offset = static_cast<std::size_t>(position_ - block_start_);
      const std::size_t n = std::min(count - done, block_size_ - offset);
      std::memcpy(out + done, block_.data() + offset, n);
      done += n;
      position_ += static_cast<std::int64_t>(n);
    }
    return done;
  }
  std::size_t Write(const void* /*buffer*/, std::size_t /*count*/) override { return 0; }
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
    std::int64_t base = position_;
    if (origin == SeekOrigin::kBegin) base = 0;
    if (origin == SeekOrigin::kEnd) base = size_;
    if (base + offset < 0) RaiseReadError();
    position_ = base + offset;
    return position_;
  }
  std::int64_t Size() override { return size_; }

 private:
  static constexpr std::size_t kBlockSize = std::size_t{64} * 1024;

  [[nodiscard]] bool Buffered() const {
    return position_ >= block_start_ &&
           position_ < block_start_ + static_cast<std::int64_t>(block_size_);
  }
  bool Refill() {
    source_.SetPosition(position_);
    block_start_ = position_;
    block_size_ = source_.Read(block_.data(), block_.size());
    return block_size_ != 0;
  }

  TStream& source_;
  std::int64_t size_;
  std::int64_t position_;
  std::int64_t block_start_ = 0;
  std::size_t block_size_ = 0;
  TByteBlock block_ = TByteBlock(kBlockSize);
};

// Up to count bytes, fewer only where the stream ends.
std::size_t ReadUpTo(TStream& stream, std::uint8_t* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t n = stream.Read(buffer + done, count - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

// Stands between the entry's data and the output file: counts the bytes
// written, and refuses any byte beyond the size the entry declares, so that
// data which inflates past it stops at that point. It sums the CRC-32 of what
// passes only when asked: a decompressor already sums the bytes it writes,
// and summing them twice would cost as much as the whole check.
class TCheckedOutput final : public TStream {
 public:
  enum class Sum { kNone, kCrc32 };

  TCheckedOutput(TStream& target, std::int64_t limit, const std::string& entry_name, Sum sum)
      : target_(target), limit_(limit), entry_name_(entry_name), sums_(sum == Sum::kCrc32) {}

  std::size_t Read(void* /*buffer*/, std::size_t /*count*/) override { return 0; }

  std::size_t Write(const void* buffer, std::size_t count) override {
    if (static_cast<std::int64_t>(count) > limit_ - written_) {
      RaiseZipError(zipmsg::kSizeMismatch, {entry_name_, limit_});
    }
    target_.WriteBuffer(buffer, count);
    if (sums_) crc_ = UpdateCrc32Block(crc_, buffer, count);
    written_ += static_cast<std::int64_t>(count);
    return count;
  }

  // Only asks for the position are answered: the output is written in order.
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
    const bool stays = offset == 0 ? origin != SeekOrigin::kBegin || written_ == 0
                                   : origin == SeekOrigin::kBegin && offset == written_;
    if (!stays) throw EWriteError("Stream write error");
    return written_;
  }
  std::int64_t Size() override { return written_; }

  [[nodiscard]] std::int64_t Written() const { return written_; }
  [[nodiscard]] std::uint32_t Crc32() const { return ~crc_; }

 private:
  TStream& target_;
  std::int64_t limit_;
  const std::string& entry_name_;
  bool sums_;
  std::int64_t written_ = 0;
  std::uint32_t crc_ = kInitialCrc;
};

}  // namespace

std::string& ForcedOutputName() {
  static std::string name;
  return name;
}

// --- TNameList --------------------------------------------------------------

void TNameList::Add(const std::string& name) {
  const auto at = std::lower_bound(names_.begin(), names_.end(), name, LessText);
  if (at != names_.end() && CompareText(*at, name) == 0) return;
  names_.insert(at, name);
}

const std::string& TNameList::Items(int index) const {
  if (index < 0 || index >= Count()) {
    throw EListError(Format("List index (%d) out of bounds", {index}));
  }
  return names_[static_cast<std::size_t>(index)];
}

bool TNameList::Contains(const std::string& name) const {
  return std::binary_search(names_.begin(), names_.end(), name, LessText);
}

// --- Scopes -----------------------------------------------------------------

// Busy from construction to destruction.
class TUnZipper::BusyScope {
 public:
  explicit BusyScope(TUnZipper& reader) : reader_(reader) {
    reader_.RefuseWhileBusy();
    reader_.busy_ = true;
  }
  ~BusyScope() { reader_.busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  TUnZipper& reader_;
};

// The archive is open from construction to destruction.
class TUnZipper::ArchiveScope {
 public:
  explicit ArchiveScope(TUnZipper& reader) : reader_(reader) { reader_.OpenArchiveFile(); }
  ~ArchiveScope() { reader_.CloseArchiveFile(); }
  ArchiveScope(const ArchiveScope&) = delete;
  ArchiveScope& operator=(const ArchiveScope&) = delete;

 private:
  TUnZipper& reader_;
};

// Releases the output file on every way out; the normal way closes it first
// through CloseTarget, which reports lost data.
class TUnZipper::TargetScope {
 public:
  explicit TargetScope(TUnZipper& reader) : reader_(reader) {}
  ~TargetScope() { reader_.DiscardTarget(); }
  TargetScope(const TargetScope&) = delete;
  TargetScope& operator=(const TargetScope&) = delete;

 private:
  TUnZipper& reader_;
};

// What the data of a file entry must come to.
struct TUnZipper::ExpectedData {
  std::uint32_t crc32 = 0;
  std::int64_t compressed_size = 0;
  std::int64_t uncompressed_size = 0;
};

// --- TUnZipper --------------------------------------------------------------

TUnZipper::TUnZipper() = default;

TUnZipper::~TUnZipper() {
  DiscardTarget();
  name_filter_.Clear();
  entries_.Clear();
  central_headers_.clear();
}

void TUnZipper::RefuseWhileBusy() const {
  if (busy_) RaiseZipError(zipmsg::kFileChange);
}

void TUnZipper::SetInputFileName(const std::string& name) {
  RefuseWhileBusy();
  input_file_name_ = name;
}

void TUnZipper::SetOutputFolder(const std::string& folder) {
  RefuseWhileBusy();
  output_folder_ = folder;
}

void TUnZipper::Clear() {
  RefuseWhileBusy();
  name_filter_.Clear();
  entries_.Clear();
  central_headers_.clear();
}

const CentralDirectoryHeader* TUnZipper::CentralHeaderOf(const TZipFileEntry& entry) const {
  const auto found = central_headers_.find(&entry);
  if (found == central_headers_.end()) return nullptr;
  // An entry the caller put at the address of a discarded one is not the
  // directory's.
  if (static_cast<std::int32_t>(found->second.local_header_offset) != entry.HeaderPosition()) {
    return nullptr;
  }
  return &found->second;
}

void TUnZipper::ExtractAll() {
  const BusyScope busy(*this);
  const bool extract_every_entry = name_filter_.Count() == 0;
  folder_made_.clear();
  const ArchiveScope archive(*this);
  ReadCentralDirectory();
  const int count = entries_.Count();
  for (int i = 0; i < count; ++i) {
    TZipFileEntry& entry = entries_.Items(i);
    if (extract_every_entry || name_filter_.Contains(entry.ArchiveFileName())) ExtractEntry(entry);
  }
}

void TUnZipper::ReadDirectory() {
  const BusyScope busy(*this);
  const ArchiveScope archive(*this);
  ReadCentralDirectory();
}

void TUnZipper::OpenArchiveFile() {
  archive_stream_ = std::make_unique<TFileStream>(input_file_name_, TFileStream::Mode::kOpenRead,
                                                  PathEncoding::kSystemCodePage);
}

void TUnZipper::CloseArchiveFile() {
  archive_stream_.reset();
}

void TUnZipper::ReadCentralDirectory() {
  TStream& archive = *archive_stream_;
  const std::int64_t archive_size = archive.Size();
  // The end record is not searched for: an archive comment or bytes after
  // the record make the archive unreadable.
  const std::int64_t end_position =
      archive_size - static_cast<std::int64_t>(kEndOfCentralDirectorySize);
  if (end_position < 0) RaiseZipError(zipmsg::kCorruptZip, {input_file_name_});
  archive.SetPosition(end_position);
  end_record_ =
      EndOfCentralDirectory::Parse(ReadRecord<kEndOfCentralDirectorySize>(archive).data());
  if (end_record_.signature != kEndOfCentralDirectorySignature) {
    RaiseZipError(zipmsg::kCorruptZip, {input_file_name_});
  }
  archive.SetPosition(end_record_.central_directory_offset);
  TReadAhead directory(archive, archive_size);
  // Each header read consumes 46 bytes of the archive, so a count larger
  // than the archive can hold ends in a read error, not in a large list.
  for (unsigned i = 0; i < end_record_.entries_on_disk; ++i) {
    ReadCentralHeader(directory, archive_size);
  }
}

void TUnZipper::ReadCentralHeader(TStream& archive, std::int64_t archive_size) {
  central_header_ =
      CentralDirectoryHeader::Parse(ReadRecord<kCentralDirectoryHeaderSize>(archive).data());
  if (central_header_.signature != kCentralDirectorySignature) {
    RaiseZipError(zipmsg::kCorruptZip, {input_file_name_});
  }
  TZipFileEntry& entry = entries_.Add();
  entry.SetHeaderPosition(static_cast<std::int32_t>(central_header_.local_header_offset));
  central_headers_.insert_or_assign(&entry, central_header_);
  entry.SetArchiveFileName(ReadName(archive, central_header_.file_name_length, archive_size));
  Skip(archive, static_cast<std::int64_t>(central_header_.extra_field_length) +
                    central_header_.file_comment_length);
}

TUnZipper::TLocalHeaderInfo TUnZipper::ReadLocalHeader(TZipFileEntry& entry) {
  TStream& archive = *archive_stream_;
  archive.SetPosition(entry.HeaderPosition());
  // The header and the name come in one read when the directory's name
  // length holds for the local header too, as it does in sound archives.
  const CentralDirectoryHeader* central = CentralHeaderOf(entry);
  const std::size_t expected_name =
      central == nullptr ? 0 : std::min<std::size_t>(central->file_name_length, kNamePrefetch);
  std::array<std::uint8_t, kLocalFileHeaderSize + kNamePrefetch> bytes{};
  const std::size_t got = ReadUpTo(archive, bytes.data(), kLocalFileHeaderSize + expected_name);
  if (got < kLocalFileHeaderSize) RaiseReadError();
  local_header_ = LocalFileHeader::Parse(bytes.data());
  const std::size_t length = local_header_.file_name_length;
  const std::size_t prefetched = got - kLocalFileHeaderSize;
  const auto* after_header = reinterpret_cast<const char*>(bytes.data()) + kLocalFileHeaderSize;
  std::string name(after_header, std::min(length, prefetched));
  if (length > prefetched) name += ReadName(archive, length - prefetched, archive.Size());
  // Bytes read beyond the name belong to the extra field or the data.
  const auto overread = static_cast<std::int64_t>(prefetched - std::min(length, prefetched));
  Skip(archive, static_cast<std::int64_t>(local_header_.extra_field_length) - overread);
  entry.SetArchiveFileName(name);
  entry.SetDiskFileName(name);
  entry.SetSize(static_cast<std::int32_t>(ExpectedDataOf(entry).uncompressed_size));
  entry.SetDateTime(
      UnpackDosDateTime(local_header_.modification_date, local_header_.modification_time));
  return {local_header_.crc32, local_header_.compression_method};
}

TUnZipper::ExpectedData TUnZipper::ExpectedDataOf(const TZipFileEntry& entry) const {
  const CentralDirectoryHeader* central = CentralHeaderOf(entry);
  if ((local_header_.flags & kFlagDataDescriptor) != 0 && central != nullptr) {
    return {central->crc32, central->compressed_size, central->uncompressed_size};
  }
  return {local_header_.crc32, local_header_.compressed_size, local_header_.uncompressed_size};
}

std::string TUnZipper::OutputPathOf(const std::string& name) const {
  if (output_folder_.empty()) return name;
  if (IsSeparator(output_folder_.back())) return output_folder_ + name;
  return output_folder_ + '\\' + name;
}

void TUnZipper::ExtractEntry(TZipFileEntry& entry) {
  const TLocalHeaderInfo local = ReadLocalHeader(entry);
  const std::string stored_name = entry.DiskFileName();
  if (IsUnsafeName(stored_name)) RaiseZipError(zipmsg::kUnsafeName, {stored_name});
  if (IsFolderEntryName(stored_name)) {
    ExtractFolderEntry(stored_name);
  } else {
    ExtractFileEntry(entry, local, stored_name);
  }
}

void TUnZipper::ExtractFolderEntry(const std::string& stored_name) {
  // A folder that cannot be made shows when a file is created in it.
  platform::MakeFolders(OutputPathOf(stored_name), PathEncoding::kSystemCodePage);
}

void TUnZipper::ExtractFileEntry(TZipFileEntry& entry, const TLocalHeaderInfo& local,
                                 const std::string& stored_name) {
  const ExpectedData expected = ExpectedDataOf(entry);
  std::string output_name = ForcedOutputName();
  if (output_name.empty()) {
    output_name =
        stored_name.find(':') != std::string::npos ? FileNamePart(stored_name) : stored_name;
  }
  const TargetScope target(*this);
  OpenTarget(OutputPathOf(output_name));
  const bool stored = local.method == kMethodStored;
  TCheckedOutput output(*target_stream_, expected.uncompressed_size, stored_name,
                        stored ? TCheckedOutput::Sum::kCrc32 : TCheckedOutput::Sum::kNone);
  std::uint32_t crc32 = 0;
  if (stored) {
    output.CopyFrom(*archive_stream_, expected.compressed_size);
    crc32 = output.Crc32();
  } else {
    const std::unique_ptr<TDeCompressor> decompressor =
        MakeDecompressor(entry, local.method, *archive_stream_, output);
    decompressor->Decompress();
    crc32 = decompressor->Crc32();
  }
  if (output.Written() != expected.uncompressed_size) {
    RaiseZipError(zipmsg::kSizeMismatch, {stored_name, expected.uncompressed_size});
  }
  if (crc32 != expected.crc32) RaiseZipError(zipmsg::kCrcMismatch, {stored_name});
  CloseTarget();
}

std::unique_ptr<TDeCompressor> TUnZipper::MakeDecompressor(TZipFileEntry& /*entry*/,
                                                           std::uint16_t method, TStream& archive,
                                                           TStream& output) {
  if (method != TInflater::MethodCode()) {
    RaiseZipError(zipmsg::kUnsupportedCompressionFormat, {static_cast<unsigned>(method)});
  }
  return std::make_unique<TInflater>(archive, output, buffer_size_);
}

bool TUnZipper::OpenTarget(const std::string& output_path) {
  const std::string folder = FolderPart(output_path);
  // A folder that cannot be made shows when the file cannot be created.
  if (!folder.empty() && folder != folder_made_) {
    folder_made_ = platform::MakeFolders(folder, PathEncoding::kSystemCodePage) ? folder : "";
  }
  target_stream_ = std::make_unique<TFileStream>(output_path, TFileStream::Mode::kCreate,
                                                 PathEncoding::kSystemCodePage);
  if (on_entry_start_) on_entry_start_(*this, output_path);
  return true;
}

void TUnZipper::CloseTarget() {
  if (!target_stream_) return;
  const std::unique_ptr<TFileStream> target = std::move(target_stream_);
  target->Close();
}

void TUnZipper::DiscardTarget() noexcept {
  target_stream_.reset();
}

}  // namespace orvane
