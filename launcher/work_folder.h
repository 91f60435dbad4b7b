// Moving files between the payload, the launcher folder L and the work
// folder W. Paths are joined by plain concatenation; the doubled separators
// this gives are harmless, since a run of separators counts as one.
#pragma once

#include <string>

namespace orvane {

// The fixed names appended to L or W.
namespace names {
inline constexpr char kPayloadResource[] = "orvaneprincipal";
inline constexpr char kPayloadFile[] = "orvaneprincipal.zip";
inline constexpr char kPayloadFileUnpacked[] = "\\orvaneprincipal.zip";
inline constexpr char kRunTimeArchive[] = "\\yap.zip";
inline constexpr char kDictionaryArchive[] = "dictheo.zip";
inline constexpr char kDictionaryArchiveUnpacked[] = "\\dictheo.zip";
inline constexpr char kDictionaryFolder[] = "dictheo\\";
inline constexpr char kTranslationTable[] = "trad_dyn.csv";
inline constexpr char kInnerExecutableProbe[] = "\\orvane.exe";
inline constexpr char kInnerExecutable[] = "orvane.exe";
inline constexpr char kTranslations[] = "trad_dyn.pl";
// Bookkeeping of the launcher itself, in W.
inline constexpr char kSetUpIncomplete[] = "orvane-setup.incomplete";
inline constexpr char kRunLock[] = "orvane-run.lock";
inline constexpr char kSetUpLock[] = "orvane-setup.lock";
// Made once the user's dictionary archive has been copied into W: only a
// dictionary folder that came from the user's archive is packed back into it.
inline constexpr char kUserDictionaryInUse[] = "orvane-dictionary.user";
}  // namespace names

// True when W holds the inner executable of a set-up that finished. A set-up
// cut short (the launcher killed half-way) leaves its marker behind, and such
// a folder is set up again rather than trusted.
bool InnerApplicationUnpacked(const std::string& work_folder);

// Makes W, marks the set-up as incomplete, writes the payload into it and unpacks it, unpacks the
// nested run-time, brings in the user's dictionary and translation table from L and unpacks the
// dictionary, and removes the mark. Returns the launcher's first command-line argument (the only
// place where it is read).
std::string SetUpWorkFolder(const std::string& launcher_folder, const std::string& work_folder);

// When the user keeps a dictionary archive in L and the dictionary folder of
// W was unpacked from it, packs the folder back into it. A folder unpacked
// from the payload's default dictionary (because L had no archive at set-up,
// or its probe failed) never replaces the user's archive.
void ReturnDictionary(const std::string& launcher_folder, const std::string& work_folder);

}  // namespace orvane
