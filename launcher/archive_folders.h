// The two operations that connect the launcher's folders with the zip
// library. Both take the launcher's UTF-8 paths and convert every one of
// them to the system code page on the way in.
#pragma once

#include <string>

namespace orvane {

// Extracts every entry of the archive into the target folder (mode 0), or,
// in single-file mode (any other value), writes every file entry under the
// target's file name inside the target's folder. Failures are exceptions;
// files extracted before a failure stay.
void UnpackArchive(const std::string& archive_path, std::string target, int single_file_mode);

// Writes the files directly inside the folder (whose path ends in a
// separator) into the archive, each under its bare name, in listing order.
// The new archive is written beside the old one under a temporary name and
// replaces it only once it is complete: an empty or missing folder, or any
// failure, leaves the old archive as it was.
void PackFolder(const std::string& folder_path, const std::string& archive_path);

// The name under which PackFolder writes the new archive before it replaces
// the old one.
std::string PendingArchiveName(const std::string& archive_path);

// Path pieces on the bytes of a path: the file-name part follows the last
// "/", "\" or ":"; the folder part runs up to and including it.
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);

}  // namespace orvane
