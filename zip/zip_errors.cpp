#include "zip/zip_errors.h"

#include <array>
#include <utility>

namespace orvane {

namespace {

using Registered = std::pair<std::string_view, std::string_view>;

constexpr std::array kMessages{
    Registered{zipmsg::kFileChange, "Changing output file name is not allowed while (un)zipping"},
    Registered{zipmsg::kCorruptZip, "Corrupt ZIP file %s"},
    Registered{zipmsg::kUnsupportedCompressionFormat, "Unsupported compression format %d"},
    Registered{zipmsg::kMissingFileName, "Missing filename in entry %d"},
    Registered{zipmsg::kMissingArchiveName, "Missing archive filename in streamed entry %d"},
    Registered{zipmsg::kFileDoesNotExist, "File \"%s\" does not exist."},
    Registered{zipmsg::kCrcMismatch, "CRC-32 mismatch in entry \"%s\""},
    Registered{zipmsg::kSizeMismatch, "Size mismatch in entry \"%s\": %d bytes expected"},
    Registered{zipmsg::kUnsafeName, "Unsafe file name in entry \"%s\""},
    Registered{zipmsg::kTooManyEntries, "Too many entries for a ZIP file: %d (at most 65535)"},
    Registered{zipmsg::kTooLarge, "Entry \"%s\" does not fit in a ZIP file (2 GB limit)"},
};

}  // namespace

std::string_view ZipMessageText(std::string_view key) {
  for (const auto& [registered_key, text] : kMessages) {
    if (registered_key == key) return text;
  }
  return key;
}

std::string ZipMessage(std::string_view key, std::initializer_list<FormatArg> args) {
  return Format(ZipMessageText(key), args);
}

void RaiseZipError(std::string_view key, std::initializer_list<FormatArg> args) {
  throw EZipError(ZipMessage(key, args));
}

}  // namespace orvane
