// Byte streams: the abstract stream, a file stream and a memory stream.
//
// Streams handed to the zip library by a caller stay the caller's: the
// library reads, writes and seeks them but never closes or frees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace orvane {

using platform::SeekOrigin;

// A buffer whose bytes start undefined: blocks that are always filled
// before they are read need no zero-filling, which for the buffers of every
// entry of an archive would cost a pass over memory apiece.
class TByteBlock {
 public:
  explicit TByteBlock(std::size_t size)
      : data_(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size_(size) {}

  [[nodiscard]] std::uint8_t* data() { return data_.get(); }
  [[nodiscard]] const std::uint8_t* data() const { return data_.get(); }
  [[nodiscard]] std::size_t size() const { return size_; }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_;
};

class TStream {
 public:
  TStream() = default;
  virtual ~TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Up to count bytes; the number read, 0 at the end. Raises EReadError when
  // the underlying file reports a failure.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // The number of bytes taken; fewer than count when the medium is full.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Moves the position and returns the new one.
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
  virtual std::int64_t Size();

  std::int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::kBegin); }

  // Exactly count bytes, or EReadError "Stream read error".
  void ReadBuffer(void* buffer, std::size_t count);
  // Exactly count bytes, or EWriteError "Stream write error".
  void WriteBuffer(const void* buffer, std::size_t count);
  // Copies count bytes from the source's current position; raises on a short
  // read or write. Returns count.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
  // Copies the whole source from its beginning.
  std::int64_t CopyAllFrom(TStream& source);
};

// A file opened for reading without sharing, or created anew for reading
// and writing without sharing. The path is in the given encoding; the zip
// library's paths are in the system code page.
//
// A created file gathers small writes in a buffer and hands them to the
// system in large requests. The buffer is emptied before every read, seek
// and size request, and by Close, which reports a write that failed; the
// destructor empties it too, so that whatever was written stays on disk
// when the stream is dropped on a failure path.
class TFileStream final : public TStream {
 public:
  enum class Mode { kOpenRead, kCreate };

  // Raises EFOpenError "Unable to open file "%s"" or EFCreateError "Unable to
  // create file "%s"" with the path.
  TFileStream(const std::string& path, Mode mode,
              platform::PathEncoding encoding = platform::PathEncoding::kSystemCodePage);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override;

  [[nodiscard]] const std::string& FileName() const { return path_; }
  // Writes what the buffer holds and closes the file now; raises EWriteError
  // when the system reports that written data could not be kept.
  void Close();

  // Bytes gathered before a created file is written to the system.
  static constexpr std::size_t kWriteBufferSize = std::size_t{256} * 1024;

 private:
  // Hands the gathered bytes to the system; false when it took fewer.
  bool FlushWrites();
  // The same, raising EWriteError "Stream write error" when it fails.
  void FlushWritesOrRaise();

  std::string path_;
  platform::File file_;
  std::unique_ptr<std::uint8_t[]> write_buffer_;
  std::size_t pending_ = 0;
  // Kept here so that asking for the position or, for a file opened for
  // reading, the size costs no system call.
  std::int64_t position_ = 0;
  std::int64_t read_only_size_ = -1;
};

// A growable block of memory.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override = default;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

  [[nodiscard]] const std::uint8_t* Memory() const { return data_.get(); }
  void Clear();
  void SetSize(std::size_t size);

 private:
  void Reserve(std::size_t capacity);

  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t position_ = 0;
};

// A read-only view of bytes that someone else owns (the embedded payload).
class TConstMemoryStream final : public TStream {
 public:
  TConstMemoryStream(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

}  // namespace orvane
