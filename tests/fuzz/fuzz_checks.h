// The properties checked on every fuzz input, shared by the libFuzzer targets
// and by the normal test suite, which replays the seed corpus through them.
//
// A check returns normally when the input was handled as it must be: success
// or one of the system's own failures (an orvane::Exception). It throws
// Finding when a property is broken, and lets every other exception pass:
// std::bad_alloc from a size taken on trust, or any foreign exception, is a
// finding as well.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "platform/errors.h"
#include "platform/process.h"
#include "support/temp_folder.h"
#include "zip/unzipper.h"
#include "zip/zip_format.h"

namespace orvane::fuzz {

namespace fs = std::filesystem;

// A property that an input broke.
class Finding : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

inline std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 32 && code < 127 && c != '\\') {
      out += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[code >> 4];
      out += kHex[code & 0x0F];
    }
  }
  return out;
}

// --- Reader -----------------------------------------------------------------

// A scratch area for one reader run per input: the archive file, the output
// folder, and an empty sentinel folder beside them. Anything that appears in
// the area's root or in the sentinel was written outside the output folder.
class ReaderScratch {
 public:
  static constexpr const char* kArchiveName = "input.zip";
  static constexpr const char* kOutputName = "out";
  static constexpr const char* kSentinelName = "sentinel";

  ReaderScratch() {
    fs::create_directory(Sentinel());
    fs::create_directory(Output());
    canonical_output_ = fs::canonical(Output());
  }

  [[nodiscard]] fs::path Archive() const { return root_.Path() / kArchiveName; }
  [[nodiscard]] fs::path Output() const { return root_.Path() / kOutputName; }
  [[nodiscard]] fs::path Sentinel() const { return root_.Path() / kSentinelName; }
  [[nodiscard]] const fs::path& CanonicalOutput() const { return canonical_output_; }

  // Empties the output folder for the next run.
  void ResetOutput() const {
    fs::remove_all(Output());
    fs::create_directory(Output());
  }

  // Throws Finding unless the root holds exactly the archive, the output
  // folder and the empty sentinel.
  void CheckConfined(std::string_view run) const {
    const std::set<std::string> expected = {kArchiveName, kOutputName, kSentinelName};
    std::set<std::string> present;
    for (const fs::directory_entry& item : fs::directory_iterator(root_.Path())) {
      present.insert(item.path().filename().string());
    }
    for (const std::string& name : present) {
      if (!expected.contains(name)) {
        throw Finding(std::string("the reader (") + std::string(run) +
                      ") wrote beside its output folder: " + Printable(name));
      }
    }
    if (!fs::is_directory(Output()) || !fs::is_empty(Sentinel())) {
      throw Finding(std::string("the reader (") + std::string(run) +
                    ") replaced the output folder or wrote into the sentinel folder");
    }
  }

 private:
  testing::TempFolder root_;
  fs::path canonical_output_;
};

// Keeps the process-wide forced output name empty for the length of a check.
class ForcedNameCleared {
 public:
  ForcedNameCleared() : saved_(ForcedOutputName()) { ForcedOutputName().clear(); }
  ~ForcedNameCleared() { ForcedOutputName() = saved_; }
  ForcedNameCleared(const ForcedNameCleared&) = delete;
  ForcedNameCleared& operator=(const ForcedNameCleared&) = delete;

 private:
  std::string saved_;
};

// A created output file must lie inside the output folder once the system
// has resolved it: "\" separates folders like "/", links are followed.
inline void CheckInsideOutput(const ReaderScratch& scratch, const std::string& output_path) {
  std::string posix_path = output_path;
  std::replace(posix_path.begin(), posix_path.end(), '\\', '/');
  const fs::path resolved = fs::weakly_canonical(posix_path);
  const auto [out_end, path_end] =
      std::mismatch(scratch.CanonicalOutput().begin(), scratch.CanonicalOutput().end(),
                    resolved.begin(), resolved.end());
  if (out_end != scratch.CanonicalOutput().end() || path_end == resolved.end()) {
    throw Finding("the reader created a file outside its output folder: " + Printable(output_path));
  }
}

// One ExtractAll of the scratch archive into the empty output folder. Returns
// the names the reader's entry list held afterwards, whether the run
// succeeded or not.
inline std::vector<std::string> ExtractOnce(const ReaderScratch& scratch,
                                            const std::vector<std::string>& filter) {
  TUnZipper reader;
  reader.SetInputFileName(scratch.Archive().string());
  reader.SetOutputFolder(scratch.Output().string() + "/");
  for (const std::string& name : filter) reader.NameFilter().Add(name);
  reader.SetOnEntryStart([&scratch](TUnZipper& /*sender*/, const std::string& path) {
    CheckInsideOutput(scratch, path);
  });
  try {
    reader.ExtractAll();
  } catch (const Exception&) {
    // A refused archive: the documented way out.
  }
  if (reader.Busy()) throw Finding("the reader stayed busy after ExtractAll");
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(reader.Entries().Count()));
  for (int i = 0; i < reader.Entries().Count(); ++i) {
    names.push_back(reader.Entries().Items(i).ArchiveFileName());
  }
  return names;
}

// The archive is extracted twice: once whole, once with a name filter made of
// every second name the first run saw and a name that is never there, so that
// both selected and passed-over entries are met.
inline void CheckArchive(const ReaderScratch& scratch, const std::uint8_t* data, std::size_t size) {
  const ForcedNameCleared forced_name_cleared;
  testing::WriteBytes(scratch.Archive(), std::vector<std::uint8_t>(data, data + size));

  const std::vector<std::string> names = ExtractOnce(scratch, {});
  scratch.CheckConfined("without a name filter");
  scratch.ResetOutput();

  std::vector<std::string> filter = {"no such entry"};
  for (std::size_t i = 0; i < names.size(); i += 2) filter.push_back(names[i]);
  ExtractOnce(scratch, filter);
  scratch.CheckConfined("with a name filter");
  scratch.ResetOutput();
}

// --- Records and date-time words --------------------------------------------

// Bytes to record and back gives the same bytes; the record is parsed from a
// buffer of exactly its size, so a read past it shows under AddressSanitizer.
template <typename Record>
Record CheckRecordRoundTrip(const std::uint8_t* data, std::size_t size, const char* what) {
  const typename Record::Bytes original = [&] {
    typename Record::Bytes bytes{};
    std::copy_n(data, std::min(size, bytes.size()), bytes.begin());
    return bytes;
  }();
  const std::vector<std::uint8_t> exact(original.begin(), original.end());
  const Record record = Record::Parse(exact.data());
  if (record.Serialize() != original) {
    throw Finding(std::string(what) + ": serializing the parsed record changed its bytes");
  }
  return record;
}

inline void CheckCentralFromLocal(const LocalFileHeader& local, std::uint32_t offset) {
  const CentralDirectoryHeader central = CentralDirectoryHeader::FromLocal(local, offset);
  const bool copied =
      central.signature == kCentralDirectorySignature &&
      central.version_needed == local.version_needed && central.flags == local.flags &&
      central.compression_method == local.compression_method &&
      central.modification_time == local.modification_time &&
      central.modification_date == local.modification_date && central.crc32 == local.crc32 &&
      central.compressed_size == local.compressed_size &&
      central.uncompressed_size == local.uncompressed_size &&
      central.file_name_length == local.file_name_length &&
      central.extra_field_length == local.extra_field_length &&
      central.local_header_offset == offset;
  if (!copied) throw Finding("CentralDirectoryHeader::FromLocal lost a field of the local header");
}

inline bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

inline int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Whether the two words name a real date and time, worked out apart from the
// code under test.
inline bool IsValidDosDateTime(std::uint16_t date, std::uint16_t time) {
  const int year = (date >> 9) + 1980;
  const int month = (date >> 5) & 0x0F;
  const int day = date & 0x1F;
  const int hour = time >> 11;
  const int minute = (time >> 5) & 0x3F;
  const int second = (time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  return hour <= 23 && minute <= 59 && second <= 59;
}

inline bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Valid words unpack to a value that packs back to the same words; invalid
// ones raise EConvertError with the date or the time message.
inline void CheckDosDateTime(std::uint16_t date, std::uint16_t time) {
  const std::string words =
      Format("date 0x%x, time 0x%x", {static_cast<unsigned>(date), static_cast<unsigned>(time)});
  const bool valid = IsValidDosDateTime(date, time);
  TDateTime value = 0;
  try {
    value = UnpackDosDateTime(date, time);
  } catch (const EConvertError& error) {
    if (valid) throw Finding("UnpackDosDateTime refused valid words: " + words);
    if (!EndsWith(error.Message(), " is not a valid date specification") &&
        !EndsWith(error.Message(), " is not a valid time specification")) {
      throw Finding("UnpackDosDateTime raised an unexpected message: " + error.Message());
    }
    return;
  }
  if (!valid) throw Finding("UnpackDosDateTime accepted invalid words: " + words);
  const DosDateTime packed = PackDosDateTime(value);
  if (packed.date != date || packed.time != time) {
    throw Finding("PackDosDateTime(UnpackDosDateTime(w)) differs from w: " + words);
  }
}

inline std::uint16_t Word16(const std::uint8_t* data, std::size_t size, std::size_t at) {
  const auto byte = [&](std::size_t i) -> std::uint16_t { return i < size ? data[i] : 0; };
  return static_cast<std::uint16_t>(byte(at) | byte(at + 1) << 8);
}

inline std::uint32_t Word32(const std::uint8_t* data, std::size_t size, std::size_t at) {
  return static_cast<std::uint32_t>(Word16(data, size, at)) |
         static_cast<std::uint32_t>(Word16(data, size, at + 2)) << 16;
}

// The same bytes are read as each of the three records, and the first four
// as a date and a time word.
inline void CheckRecords(const std::uint8_t* data, std::size_t size) {
  const auto local = CheckRecordRoundTrip<LocalFileHeader>(data, size, "LocalFileHeader");
  CheckRecordRoundTrip<CentralDirectoryHeader>(data, size, "CentralDirectoryHeader");
  CheckRecordRoundTrip<EndOfCentralDirectory>(data, size, "EndOfCentralDirectory");
  CheckCentralFromLocal(local, Word32(data, size, kLocalFileHeaderSize));
  CheckDosDateTime(Word16(data, size, 0), Word16(data, size, 2));
}

// --- Command-line splitting -------------------------------------------------

inline bool HoldsControl(const std::string& word) {
  return std::any_of(word.begin(), word.end(), [](char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code < 32;
  });
}

inline std::string JoinQuoted(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line += ' ';
    line += platform::QuoteIfNeeded(word);
  }
  return line;
}

// Splitting never keeps a double quote. Words without tabs or other control
// characters survive being quoted, joined and split again; an empty word
// cannot (quoting leaves it empty), so the empty words are left out of that
// round.
inline void CheckCommandLine(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> words = platform::SplitCommandLine(line);
  for (const std::string& word : words) {
    if (word.find('"') != std::string::npos) {
      throw Finding("a split word kept a double quote: " + Printable(word));
    }
  }
  if (std::any_of(words.begin(), words.end(), HoldsControl)) return;
  std::vector<std::string> kept;
  std::copy_if(words.begin(), words.end(), std::back_inserter(kept),
               [](const std::string& word) { return !word.empty(); });
  const std::string joined = JoinQuoted(kept);
  if (platform::SplitCommandLine(joined) != kept) {
    throw Finding("quoting and splitting again changed the words of " + Printable(line) +
                  " (joined: " + Printable(joined) + ")");
  }
}

// --- libFuzzer glue ---------------------------------------------------------

// Runs a check for libFuzzer: a finding or an undocumented exception ends the
// process with a report, which libFuzzer records as a crash.
template <typename Check>
int RunForFuzzer(Check check) {
  try {
    check();
  } catch (const Finding& finding) {
    std::fprintf(stderr, "FINDING: %s\n", finding.what());
    std::abort();
  } catch (const Exception& error) {
    std::fprintf(stderr, "UNCAUGHT %s: %s\n", error.ClassName(), error.Message().c_str());
    std::abort();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "UNDOCUMENTED EXCEPTION %s: %s\n", typeid(error).name(), error.what());
    std::abort();
  }
  return 0;
}

}  // namespace orvane::fuzz
