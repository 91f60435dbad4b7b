// orvane-zip: a command-line front end to the zip library.
//
//   orvane-zip list ARCHIVE            one line per central directory entry
//   orvane-zip extract ARCHIVE FOLDER  every entry, folder entries included
//   orvane-zip create ARCHIVE FILE...  one entry per file, under its bare name
//
// Arguments are taken as the system hands them over, which is the system code
// page the zip library expects. A failure prints one line "CLASSNAME: MESSAGE"
// on standard error and exits with 1; a usage error exits with 2.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "zip/stream.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace orvane {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: orvane-zip list ARCHIVE\n"
    "       orvane-zip extract ARCHIVE FOLDER\n"
    "       orvane-zip create ARCHIVE FILE...\n";

// The bytes after the last "/" or "\".
std::string BareFileName(const std::string& path) {
  const std::size_t last = path.find_last_of("/\\");
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string Hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

void List(const std::string& archive) {
  TUnZipper reader;
  reader.SetInputFileName(archive);
  reader.ReadDirectory();
  const TZipFileEntries& entries = reader.Entries();
  for (int i = 0; i < entries.Count(); ++i) {
    const TZipFileEntry& entry = entries.Items(i);
    const CentralDirectoryHeader* header = reader.CentralHeaderOf(entry);
    if (header == nullptr) continue;
    std::cout << entry.ArchiveFileName() << '\t' << header->uncompressed_size << '\t'
              << header->compressed_size << '\t' << header->compression_method << '\t'
              << Hex8(header->crc32) << '\n';
  }
  std::cout.flush();
}

void Extract(const std::string& archive, const std::string& folder) {
  TUnZipper reader;
  reader.SetInputFileName(archive);
  reader.SetOutputFolder(folder);
  reader.ExtractAll();
}

void Create(const std::string& archive, const std::vector<std::string>& files) {
  // The streams are opened before the writer takes them and closed after the
  // archive has been written, on every way out.
  std::vector<std::unique_ptr<TFileStream>> streams;
  TZipper writer;
  writer.SetOutputFileName(archive);
  for (const std::string& file : files) {
    streams.push_back(std::make_unique<TFileStream>(file, TFileStream::Mode::kOpenRead));
    writer.Entries().AddStream(*streams.back(), BareFileName(file));
  }
  writer.WriteArchive();
  for (const auto& stream : streams) stream->Close();
}

int Usage() {
  std::cerr << kUsage;
  return kExitUsage;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  if (command == "list" && args.size() == 2) {
    List(args[1]);
  } else if (command == "extract" && args.size() == 3) {
    Extract(args[1], args[2]);
  } else if (command == "create" && args.size() >= 3) {
    Create(args[1], {args.begin() + 2, args.end()});
  } else {
    return Usage();
  }
  return kExitSuccess;
}

int Fail(const char* class_name, const std::string& message) {
  std::cerr << class_name << ": " << message << '\n';
  return kExitFailure;
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    return orvane::Run(args);
  } catch (const orvane::Exception& failure) {
    return orvane::Fail(failure.ClassName(), failure.Message());
  } catch (const std::bad_alloc&) {
    return orvane::Fail("EOutOfMemory", "Out of memory");
  } catch (const std::exception& failure) {
    return orvane::Fail("Exception", failure.what());
  }
}
