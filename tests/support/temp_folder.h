// Test helpers: a scratch folder removed at the end of the test, and small
// file helpers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvane::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  // The folder as a string with a final separator.
  [[nodiscard]] std::string Slash() const;
  [[nodiscard]] std::string operator/(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);
// A file that is not a plain one to the file system's find-first: a FIFO on
// POSIX, a file with the system attribute on Windows.
void MakeSystemFile(const std::filesystem::path& path);
// Deterministic bytes: compressible text when compressible, else noise.
std::vector<std::uint8_t> SampleBytes(std::size_t size, bool compressible, unsigned seed = 1);
// Runs a shell command; its exit status.
int RunCommand(const std::string& command);
// True when the program is on PATH.
bool HaveProgram(const std::string& name);

}  // namespace orvane::testing
