// The Win32 implementation of the folder and file-entry primitives. It must
// contain only Win32-specific code.

#include <cctype>
#include <memory>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace orvane::platform {

namespace {

// Attributes that keep an entry out of a listing unless the mask asks for them.
constexpr std::uint32_t kSpecialAttributes =
    kAttrHidden | kAttrSystem | kAttrVolumeId | kAttrFolder;

DWORD AttributesOf(const std::string& path, PathEncoding encoding) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  if (encoding == PathEncoding::kSystemCodePage) return ::GetFileAttributesA(path.c_str());
  return ::GetFileAttributesW(win32::Widen(path).c_str());
}

// The last-write time in local time as DOS date << 16 | DOS time; 0 when it
// has no DOS form (before 1980 or after 2107).
std::uint32_t DosTimeOf(const FILETIME& utc) {
  FILETIME local{};
  WORD date = 0;
  WORD time = 0;
  if (::FileTimeToLocalFileTime(&utc, &local) == FALSE ||
      ::FileTimeToDosDateTime(&local, &date, &time) == FALSE) {
    return 0;
  }
  return static_cast<std::uint32_t>(date) << 16 | time;
}

template <typename FindData>
void FillEntry(const FindData& data, std::string name, FolderEntry& entry) {
  entry.name = std::move(name);
  entry.attributes = data.dwFileAttributes;
  entry.size = static_cast<std::int64_t>(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 |
                                         data.nFileSizeLow);
  entry.dos_time = DosTimeOf(data.ftLastWriteTime);
}

}  // namespace

bool FileIsPresent(const std::string& path, PathEncoding encoding) {
  const DWORD attributes = AttributesOf(path, encoding);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderIsPresent(const std::string& path, PathEncoding encoding) {
  const DWORD attributes = AttributesOf(path, encoding);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateOneFolder(const std::string& path, PathEncoding encoding) {
  if (encoding == PathEncoding::kSystemCodePage) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
  }
  return ::CreateDirectoryW(win32::Widen(path).c_str(), nullptr) != FALSE;
}

bool IsMissingDrive(const std::string& path) {
  if (path.size() < 2 || path[1] != ':' || std::isalpha(static_cast<unsigned char>(path[0])) == 0) {
    return false;
  }
  const int drive = std::toupper(static_cast<unsigned char>(path[0])) - 'A';
  return (::GetLogicalDrives() & (1UL << drive)) == 0;
}

bool RemoveFile(const std::string& path, PathEncoding encoding) {
  if (encoding == PathEncoding::kSystemCodePage) return ::DeleteFileA(path.c_str()) != FALSE;
  return ::DeleteFileW(win32::Widen(path).c_str()) != FALSE;
}

bool RemoveEmptyFolder(const std::string& path, PathEncoding encoding) {
  if (encoding == PathEncoding::kSystemCodePage) return ::RemoveDirectoryA(path.c_str()) != FALSE;
  return ::RemoveDirectoryW(win32::Widen(path).c_str()) != FALSE;
}

bool SetFileDosTime(const std::string& path, std::uint32_t dos_date_time, PathEncoding encoding) {
  FILETIME local{};
  FILETIME utc{};
  if (::DosDateTimeToFileTime(static_cast<WORD>(dos_date_time >> 16),
                              static_cast<WORD>(dos_date_time & 0xFFFF), &local) == FALSE ||
      ::LocalFileTimeToFileTime(&local, &utc) == FALSE) {
    return false;
  }
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const win32::ScopedKernelHandle file(
      encoding == PathEncoding::kSystemCodePage
          ? ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, kShare, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)
          : ::CreateFileW(win32::Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, kShare, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && ::SetFileTime(file.Get(), nullptr, nullptr, &utc) != FALSE;
}

// --- Listing ---------------------------------------------------------------

// FindFirstFile has already found the first entry when the listing starts;
// it waits in the find data until Next gives it out.
struct FolderListing::State {
  win32::ScopedFindHandle search;
  PathEncoding encoding = PathEncoding::kUtf8;
  std::uint32_t mask = 0;
  bool first_pending = true;
  WIN32_FIND_DATAW wide{};
  WIN32_FIND_DATAA ansi{};

  bool Advance() {
    if (first_pending) {
      first_pending = false;
      return true;
    }
    if (encoding == PathEncoding::kSystemCodePage)
      return ::FindNextFileA(search.Get(), &ansi) != FALSE;
    return ::FindNextFileW(search.Get(), &wide) != FALSE;
  }

  [[nodiscard]] DWORD Attributes() const {
    return encoding == PathEncoding::kSystemCodePage ? ansi.dwFileAttributes
                                                     : wide.dwFileAttributes;
  }

  void Fill(FolderEntry& entry) const {
    if (encoding == PathEncoding::kSystemCodePage) {
      FillEntry(ansi, std::string(ansi.cFileName), entry);
    } else {
      FillEntry(wide, win32::Narrow(wide.cFileName), entry);
    }
  }
};

FolderListing::FolderListing(const std::string& pattern, std::uint32_t mask,
                             PathEncoding encoding) {
  auto state = std::make_unique<State>();
  state->encoding = encoding;
  state->mask = mask;
  state->search =
      win32::ScopedFindHandle(encoding == PathEncoding::kSystemCodePage
                                  ? ::FindFirstFileA(pattern.c_str(), &state->ansi)
                                  : ::FindFirstFileW(win32::Widen(pattern).c_str(), &state->wide));
  if (state->search) state_ = state.release();
}

bool FolderListing::Next(FolderEntry& entry) {
  if (state_ == nullptr) return false;
  while (state_->Advance()) {
    // Entries with a special attribute are listed only when the mask asks for it.
    if ((state_->Attributes() & kSpecialAttributes & ~state_->mask) != 0) continue;
    state_->Fill(entry);
    return true;
  }
  return false;
}

void FolderListing::Close() {
  delete state_;
  state_ = nullptr;
}

}  // namespace orvane::platform
