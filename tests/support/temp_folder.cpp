#include "support/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace orvane::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static unsigned counter = 0;
  std::random_device rd;
  for (;;) {
    path_ = fs::temp_directory_path() /
            ("orvane-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(path_, ec)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempFolder::Slash() const {
  return path_.string() + "/";
}

std::string TempFolder::operator/(const std::string& name) const {
  return (path_ / name).string();
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

void MakeSystemFile(const fs::path& path) {
#ifdef _WIN32
  WriteText(path, "system");
  if (!::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_SYSTEM)) {
    throw std::runtime_error("cannot mark " + path.string() + " as a system file");
  }
#else
  if (::mkfifo(path.c_str(), 0600) != 0) {
    throw std::runtime_error("cannot make the FIFO " + path.string());
  }
#endif
}

std::vector<std::uint8_t> SampleBytes(std::size_t size, bool compressible, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  std::mt19937 gen(seed);
  static const char kWords[] = "theorem lemma proof figure point line circle angle ";
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = compressible
                   ? static_cast<std::uint8_t>(kWords[(i + gen() % 3) % (sizeof kWords - 1)])
                   : static_cast<std::uint8_t>(gen());
  }
  return bytes;
}

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
#endif
}

bool HaveProgram(const std::string& name) {
#ifdef _WIN32
  (void)name;
  return false;
#else
  return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
#endif
}

}  // namespace orvane::testing
