#include "zip/stream.h"

#include <algorithm>
#include <cstring>

#include "platform/errors.h"

namespace orvane {

namespace {

constexpr std::size_t kCopyBlock = std::size_t{64} * 1024;

// Where a seek lands, or -1 when it would land before the start.
std::int64_t SeekTarget(std::int64_t offset, SeekOrigin origin, std::int64_t position,
                        std::int64_t size) {
  std::int64_t base = 0;
  switch (origin) {
    case SeekOrigin::kBegin:
      base = 0;
      break;
    case SeekOrigin::kCurrent:
      base = position;
      break;
    case SeekOrigin::kEnd:
      base = size;
      break;
  }
  const std::int64_t target = base + offset;
  return target < 0 ? -1 : target;
}

}  // namespace

std::int64_t TStream::Size() {
  const std::int64_t here = Position();
  const std::int64_t end = Seek(0, SeekOrigin::kEnd);
  Seek(here, SeekOrigin::kBegin);
  return end;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const std::size_t n = Read(out + done, count - done);
    if (n == 0) throw EReadError("Stream read error");
    done += n;
  }
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  TByteBlock block(static_cast<std::size_t>(std::min<std::int64_t>(count, kCopyBlock)));
  std::int64_t left = count;
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, kCopyBlock));
    source.ReadBuffer(block.data(), n);
    WriteBuffer(block.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

std::int64_t TStream::CopyAllFrom(TStream& source) {
  source.SetPosition(0);
  return CopyFrom(source, source.Size());
}

// --- TFileStream -----------------------------------------------------------

TFileStream::TFileStream(const std::string& path, Mode mode, platform::PathEncoding encoding)
    : path_(path) {
  if (mode == Mode::kOpenRead) {
    file_ = platform::OpenFileForReading(path, platform::ShareMode::kNone, encoding);
    if (!file_.IsOpen()) throw EFOpenError(Format("Unable to open file \"%s\"", {path}));
    // The file is opened without sharing: its size stays what it is now.
    read_only_size_ = file_.Size();
  } else {
    file_ = platform::CreateFileForWriting(path, encoding);
    if (!file_.IsOpen()) throw EFCreateError(Format("Unable to create file \"%s\"", {path}));
  }
}

TFileStream::~TFileStream() {
  // A failure here has nobody to report to; Close is the place that reports.
  FlushWrites();
}

bool TFileStream::FlushWrites() {
  if (pending_ == 0) return true;
  const std::size_t count = pending_;
  pending_ = 0;
  if (file_.Write(write_buffer_.get(), count) == static_cast<std::int64_t>(count)) return true;
  // Part of the gathered bytes is lost: the position is where the system
  // stands now, so that no later seek is taken for one that needs no call.
  const std::int64_t at = file_.Seek(0, SeekOrigin::kCurrent);
  if (at >= 0) position_ = at;
  return false;
}

void TFileStream::FlushWritesOrRaise() {
  if (!FlushWrites()) throw EWriteError("Stream write error");
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  FlushWritesOrRaise();
  const std::int64_t n = file_.Read(buffer, count);
  if (n < 0) throw EReadError("Stream read error");
  position_ += n;
  return static_cast<std::size_t>(n);
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (pending_ + count > kWriteBufferSize && !FlushWrites()) return 0;
  // A block as large as the buffer goes to the system as it is; so does a
  // write to a file opened for reading, which the system refuses at once.
  if (count >= kWriteBufferSize || read_only_size_ >= 0) {
    const std::int64_t n = file_.Write(buffer, count);
    if (n <= 0) return 0;
    position_ += n;
    return static_cast<std::size_t>(n);
  }
  if (!write_buffer_)
    write_buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kWriteBufferSize);
  std::memcpy(write_buffer_.get() + pending_, buffer, count);
  pending_ += count;
  position_ += static_cast<std::int64_t>(count);
  return count;
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
  // The reader goes to each local header in turn; after a stored entry the
  // file already stands there.
  if ((origin == SeekOrigin::kCurrent && offset == 0) ||
      (origin == SeekOrigin::kBegin && offset == position_)) {
    return position_;
  }
  FlushWritesOrRaise();
  const std::int64_t position = file_.Seek(offset, origin);
  if (position < 0) throw EReadError("Stream read error");
  position_ = position;
  return position;
}

std::int64_t TFileStream::Size() {
  if (read_only_size_ >= 0) return read_only_size_;
  FlushWritesOrRaise();
  const std::int64_t size = file_.Size();
  if (size < 0) throw EReadError("Stream read error");
  return size;
}

void TFileStream::Close() {
  if (!file_.IsOpen()) return;
  const bool flushed = FlushWrites();
  if (!file_.Close() || !flushed) throw EWriteError("Stream write error");
}

// --- TMemoryStream ---------------------------------------------------------

void TMemoryStream::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  std::size_t grown = std::max<std::size_t>(capacity_ + capacity_ / 2, 4096);
  grown = std::max(grown, capacity);
  // Bytes beyond the size are filled before they count: SetSize and Write
  // zero any gap they open.
  auto fresh = std::make_unique_for_overwrite<std::uint8_t[]>(grown);
  if (size_ != 0) std::memcpy(fresh.get(), data_.get(), size_);
  data_ = std::move(fresh);
  capacity_ = grown;
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  const std::size_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_.get() + position_, n);
  position_ += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  const std::size_t end = position_ + count;
  Reserve(end);
  if (position_ > size_) std::memset(data_.get() + size_, 0, position_ - size_);
  std::memcpy(data_.get() + position_, buffer, count);
  position_ = end;
  size_ = std::max(size_, end);
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  const std::int64_t target = SeekTarget(offset, origin, static_cast<std::int64_t>(position_),
                                         static_cast<std::int64_t>(size_));
  if (target < 0) throw EReadError("Stream read error");
  position_ = static_cast<std::size_t>(target);
  return target;
}

void TMemoryStream::Clear() {
  data_.reset();
  size_ = capacity_ = position_ = 0;
}

void TMemoryStream::SetSize(std::size_t size) {
  Reserve(size);
  if (size > size_) std::memset(data_.get() + size_, 0, size - size_);
  size_ = size;
  position_ = std::min(position_, size_);
}

// --- TConstMemoryStream ----------------------------------------------------

std::size_t TConstMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  const std::size_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

std::size_t TConstMemoryStream::Write(const void* /*buffer*/, std::size_t /*count*/) {
  return 0;
}

std::int64_t TConstMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  const std::int64_t target = SeekTarget(offset, origin, static_cast<std::int64_t>(position_),
                                         static_cast<std::int64_t>(size_));
  if (target < 0) throw EReadError("Stream read error");
  position_ = static_cast<std::size_t>(target);
  return target;
}

}  // namespace orvane
