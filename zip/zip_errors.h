// The zip library's failures and its message table.
//
// Messages are registered under keys made of the library's name, a point and
// the message's name ("myzipper2.serrcorruptzip"), and every EZipError is
// formatted from the registered text.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace orvane {

ORVANE_EXCEPTION_CLASS(EZipError, Exception);
// zlib failures are stream errors.
ORVANE_EXCEPTION_CLASS(EZlibError, EStreamError);
ORVANE_EXCEPTION_CLASS(ECompressionError, EZlibError);
ORVANE_EXCEPTION_CLASS(EDecompressionError, EZlibError);

namespace zipmsg {
inline constexpr std::string_view kFileChange = "myzipper2.serrfilechange";
inline constexpr std::string_view kCorruptZip = "myzipper2.serrcorruptzip";
inline constexpr std::string_view kUnsupportedCompressionFormat =
    "myzipper2.serrunsupportedcompressionformat";
inline constexpr std::string_view kMissingFileName = "myzipper2.serrmissingfilename";
inline constexpr std::string_view kMissingArchiveName = "myzipper2.serrmissingarchivename";
inline constexpr std::string_view kFileDoesNotExist = "myzipper2.serrfiledoesnotexist";
// The reader checks what it writes against the entry's CRC-32 and size.
inline constexpr std::string_view kCrcMismatch = "myzipper2.serrcrcmismatch";
inline constexpr std::string_view kSizeMismatch = "myzipper2.serrsizemismatch";
// The reader refuses names that would leave the output folder.
inline constexpr std::string_view kUnsafeName = "myzipper2.serrunsafename";
// The writer refuses what the format cannot hold.
inline constexpr std::string_view kTooManyEntries = "myzipper2.serrtoomanyentries";
inline constexpr std::string_view kTooLarge = "myzipper2.serrtoolarge";
}  // namespace zipmsg

// The text registered under a key; the key itself when none is registered.
std::string_view ZipMessageText(std::string_view key);

// Formats the message registered under key with the arguments.
std::string ZipMessage(std::string_view key, std::initializer_list<FormatArg> args = {});

[[noreturn]] void RaiseZipError(std::string_view key, std::initializer_list<FormatArg> args = {});

}  // namespace orvane
