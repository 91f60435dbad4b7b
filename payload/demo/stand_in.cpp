// A stand-in for the inner application, for demonstrations and tests. It
// behaves towards the launcher as the real application does: it runs from
// the work folder, receives the launcher's argument, reads "trad_dyn.csv"
// when present, writes "trad_dyn.pl" into its own folder and adds a figure
// file to "dictheo\".
//
// It is an outside component of the launcher, so it uses the standard
// library directly. Environment variables steer it in tests:
//   ORVANE_STAND_IN_RECORD=path  write what it received and saw into path
//   ORVANE_STAND_IN_NOOP=1       exit at once (benchmarks)
//   ORVANE_STAND_IN_SLEEP_MS=n   wait n milliseconds before finishing
//   ORVANE_STAND_IN_FIGURE=name  name of the figure file to add (default "run.orvfg")
//   ORVANE_STAND_IN_EMPTY_DICTIONARY=1  remove every figure file, add none
//   ORVANE_STAND_IN_EXIT=n       exit code
//   ORVANE_STAND_IN_DONE=path    create path just before exiting

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

#ifdef _WIN32
std::string ToUtf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}
#endif

fs::path OwnFolder(const char* argv0) {
#ifdef _WIN32
  (void)argv0;
  wchar_t path[MAX_PATH * 4];
  GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return fs::path(path).parent_path();
#else
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::absolute(argv0).parent_path() : self.parent_path();
#endif
}

std::string CommandLine(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  return ToUtf8(GetCommandLineW());
#else
  std::string line;
  for (int i = 0; i < argc; ++i) line += (i ? " " : "") + std::string(argv[i]);
  return line;
#endif
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Record(const fs::path& record, int argc, char** argv, const fs::path& folder) {
  std::ofstream out(record, std::ios::binary | std::ios::trunc);
  out << "argc=" << argc - 1 << "\n";
  for (int i = 1; i < argc; ++i) out << "arg" << i << "=" << argv[i] << "\n";
  out << "cmdline=" << CommandLine(argc, argv) << "\n";
  out << "cwd=" << fs::current_path().string() << "\n";
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    std::string relative = fs::relative(e.path(), folder).generic_string();
    if (e.is_directory()) relative += "/";
    files.push_back(relative);
  }
  std::sort(files.begin(), files.end());
  for (const auto& f : files) out << "entry=" << f << "\n";
  const fs::path csv = folder / "trad_dyn.csv";
  out << "csv=" << (fs::exists(csv) ? ReadFile(csv) : std::string("(none)")) << "\n";
}

void UpdateDictionary(const fs::path& dictionary) {
  std::error_code ec;
  fs::create_directories(dictionary, ec);
  if (Env("ORVANE_STAND_IN_EMPTY_DICTIONARY") == "1") {
    for (const auto& e : fs::directory_iterator(dictionary, ec)) fs::remove(e.path(), ec);
    return;
  }
  std::string name = Env("ORVANE_STAND_IN_FIGURE");
  if (name.empty()) name = "run.orvfg";
  std::ofstream(dictionary / name, std::ios::binary) << "figure added by the stand-in\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (Env("ORVANE_STAND_IN_NOOP") == "1") return 0;
  const fs::path folder = OwnFolder(argv[0]);
  const std::string argument = argc > 1 ? argv[1] : "";

  std::cout << "orvane stand-in: started from " << folder.string() << "\n";
  std::cout << "orvane stand-in: argument [" << argument << "]\n";
  std::cout << "orvane stand-in: command line " << CommandLine(argc, argv) << "\n";

  const std::string record = Env("ORVANE_STAND_IN_RECORD");
  if (!record.empty()) Record(record, argc, argv, folder);

  const fs::path csv = folder / "trad_dyn.csv";
  const std::string table = fs::exists(csv) ? ReadFile(csv) : std::string();
  {
    std::ofstream pl(folder / "trad_dyn.pl", std::ios::binary | std::ios::trunc);
    pl << "% translations written by the stand-in\n";
    pl << "argument('" << argument << "').\n";
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) pl << "trad('" << line << "').\n";
    }
  }
  UpdateDictionary(folder / "dictheo");

  if (const std::string ms = Env("ORVANE_STAND_IN_SLEEP_MS"); !ms.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms.c_str())));
  }
  std::cout << "orvane stand-in: wrote trad_dyn.pl and a figure file; done\n";
  if (const std::string done = Env("ORVANE_STAND_IN_DONE"); !done.empty()) {
    std::ofstream(done, std::ios::binary) << "done\n";
  }
  const std::string code = Env("ORVANE_STAND_IN_EXIT");
  return code.empty() ? 0 : std::atoi(code.c_str());
}
