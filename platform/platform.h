// Everything the system takes from the operating system, declared once.
//
// The implementation is chosen by the build: platform/posix/ or
// platform/win32/. The portable parts of the services (folder creation,
// tree removal, file copy, the launch object, the failure box) are built on
// the primitives declared here and live beside this header.
//
// Paths are byte strings in one of two encodings. The launcher's own paths
// are UTF-8; the zip library's paths are in the system code page (the ANSI
// code page on Windows, UTF-8 on POSIX). Both "\" and "/" separate path
// components, and a run of separators counts as one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::platform {

enum class PathEncoding { kUtf8, kSystemCodePage };

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// Who else may open a file while we hold it open for reading.
enum class ShareMode {
  kNone,  // nobody: the file is ours alone
  kRead,  // others may read but not write
};

// File attribute bits, as the listing reports them.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrVolumeId = 0x08;
inline constexpr std::uint32_t kAttrFolder = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrAny = 0x3F;
// A symbolic link or other reparse point (FILE_ATTRIBUTE_REPARSE_POINT). Not
// part of kAttrAny: it only describes an entry and never filters one out.
// Tree removal takes such an entry away without entering it.
inline constexpr std::uint32_t kAttrSymLink = 0x400;

// An open file; closed when the object goes. Move-only.
class File {
 public:
  File() = default;
  explicit File(std::intptr_t native) : native_(native) {}
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept : native_(other.Release()) {}
  File& operator=(File&& other) noexcept;

  [[nodiscard]] bool IsOpen() const { return native_ != kInvalid; }
  // Bytes read (0 at the end of the file), or -1 on failure.
  std::int64_t Read(void* buffer, std::size_t count);
  // Bytes written, or -1 on failure. A short count means the disk is full.
  std::int64_t Write(const void* buffer, std::size_t count);
  // The new position, or -1 on failure.
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin);
  // The file's size, or -1 on failure.
  std::int64_t Size();
  // Closes the file; false when the system reports a failure (data may be lost).
  bool Close();
  [[nodiscard]] std::intptr_t Native() const { return native_; }
  std::intptr_t Release() {
    const std::intptr_t n = native_;
    native_ = kInvalid;
    return n;
  }

  static constexpr std::intptr_t kInvalid = -1;

 private:
  std::intptr_t native_ = kInvalid;
};

// Opens an existing file for reading. A closed File on failure.
File OpenFileForReading(const std::string& path, ShareMode share,
                        PathEncoding encoding = PathEncoding::kUtf8);
// Creates a file for reading and writing, replacing an existing one, shared
// with no other opener. A closed File on failure.
File CreateFileForWriting(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);
// The system's error code of the last failed call on this thread (errno or
// GetLastError).
int LastErrorCode();

// True when the path names an existing entry that is not a folder.
bool FileIsPresent(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);
// True when the path names an existing folder.
bool FolderIsPresent(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);
// Creates one folder whose parent exists; true when it was made.
bool CreateOneFolder(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);
// True when the path starts with a drive letter and a colon naming a drive
// that does not exist (never on POSIX).
bool IsMissingDrive(const std::string& path);
// Deletes one file; true when it was deleted.
bool RemoveFile(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);
// Removes an empty folder; true when it was removed.
bool RemoveEmptyFolder(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);
// Renames a file over another one in the same folder, replacing it in one
// step: a reader sees either the old file or the new one, never a mix.
bool ReplaceFile(const std::string& from, const std::string& to,
                 PathEncoding encoding = PathEncoding::kUtf8);
// Forces a written file's data to the disk, so that a replacement made after
// it survives a power loss.
bool FlushFileToDisk(const std::string& path, PathEncoding encoding = PathEncoding::kUtf8);
// Gives the file the modification time of a packed DOS date (high word) and
// time (low word), in local time.
bool SetFileDosTime(const std::string& path, std::uint32_t dos_date_time,
                    PathEncoding encoding = PathEncoding::kUtf8);

// One listed entry.
struct FolderEntry {
  std::string name;              // no folder part
  std::uint32_t attributes = 0;  // kAttr* bits
  std::int64_t size = 0;
  std::uint32_t dos_time = 0;  // last write, local time: DOS date << 16 | DOS time; 0 if none
};

// A listing over a pattern: a folder, a separator and a name that may hold
// the wildcards "*" and "?" ("*.*" matches every name). Entries carrying the
// hidden, system, volume or folder attribute are listed only when the mask
// holds that bit; others always. Closed when the object goes.
class FolderListing {
 public:
  FolderListing(const std::string& pattern, std::uint32_t mask,
                PathEncoding encoding = PathEncoding::kUtf8);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // False when the listing could not be started (nothing to list).
  [[nodiscard]] bool IsOpen() const { return state_ != nullptr; }
  // The next matching entry; false at the end, or when the listing broke
  // off (then Failed() tells).
  bool Next(FolderEntry& entry);
  // True when the system reported an error before the end of the listing:
  // the entries seen so far are not the whole folder.
  [[nodiscard]] bool Failed() const { return failed_; }
  void Close();

 private:
  struct State;
  State* state_ = nullptr;
  bool failed_ = false;
};

// An advisory lock on a file, held by this process until released or until
// the object goes (also when the process dies). Several holders may share
// it; an exclusive holder excludes everyone else.
class LockFile {
 public:
  // Opens the file, creating it when missing; IsOpen tells whether it worked.
  explicit LockFile(const std::string& path);
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  [[nodiscard]] bool IsOpen() const;
  // Takes the lock shared or exclusive. With wait, blocks until granted;
  // without, gives false at once when someone else holds a conflicting lock.
  bool Lock(bool exclusive, bool wait);
  void Unlock();
  // Releases the lock and closes the file.
  void Close();

 private:
  std::intptr_t native_ = -1;
  bool locked_ = false;
};

// The process's current folder, without a trailing separator except at a root.
std::string CurrentFolder();
// TEMP, else TMP, with a separator appended unless it ends in one; the POSIX
// implementation falls back to TMPDIR and then "/tmp/". Empty when none is set.
std::string TempFolder();
// The value of an environment variable; empty when unset. Windows matches the
// name without regard to case, as its environment does.
std::string EnvironmentVariable(const std::string& name);

// Start-up: records the command line for FirstArgument and routes text output
// as the platform wants it. Called once from main.
void InitializeProgram(int argc, char** argv);
// The program's first command-line argument as the platform's argument
// splitter yields it; empty when there is none.
std::string FirstArgument();

// Converts a UTF-8 text to the system code page: invalid UTF-8 becomes "?",
// and a character the code page lacks becomes its default character.
std::string Utf8ToSystemCodePage(std::string_view utf8);

// Pauses the calling thread.
void SleepMilliseconds(unsigned milliseconds);

// Starts the program named by the first word of the command line with that
// command line, inheriting the environment and the current folder. With wait,
// blocks until it ends and stores its exit code. Raises EProcess "Failed to
// execute %s : %d" with the command line and the system's error code.
struct StartedProcess {
  std::intptr_t process_handle = -1;
  std::intptr_t thread_handle = -1;
  std::uint32_t process_id = 0;
  int exit_code = 0;
};
StartedProcess StartProcess(const std::string& command_line, bool wait);
void CloseProcessHandles(StartedProcess& process);

// Shows one failure box: caption, text, a single OK button, no owner. The
// POSIX stand-in writes the caption and the text to standard error.
void ShowMessageBox(std::string_view caption, std::string_view text);

// The work folder lies in a folder that other users may write to. Makes it,
// owner-only, when it is missing; then raises EInOutError unless it is a real
// folder of this user that nobody else may write to. Nothing is removed.
void SecureWorkFolder(const std::string& path);

}  // namespace orvane::platform
