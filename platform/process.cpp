// The launch object and the command-line rules; the process itself is
// started by the platform's StartProcess.

#include "platform/process.h"

#include "platform/errors.h"

namespace orvane::platform {

namespace {

constexpr char kQuote = '"';

// Outside double quotes, every control character and the space end a word.
bool IsWordSeparator(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

}  // namespace

TProcess::~TProcess() {
  CloseProcessHandles(started_);
}

void TProcess::SetOptions(std::set<TProcessOption> options) {
  // A suspended process cannot be waited for: it would never end.
  if (options.contains(TProcessOption::poRunSuspended)) {
    options.erase(TProcessOption::poWaitOnExit);
  }
  options_ = std::move(options);
}

void TProcess::AddOption(TProcessOption option) {
  std::set<TProcessOption> options = options_;
  options.insert(option);
  SetOptions(std::move(options));
}

std::string TProcess::CommandLine() const {
  std::string line = QuoteIfNeeded(Executable);
  for (const std::string& parameter : Parameters) {
    line += ' ';
    line += QuoteIfNeeded(parameter);
  }
  return line;
}

void TProcess::Execute() {
  if (Executable.empty()) throw EProcess("Cannot execute empty command-line");
  const bool wait = options_.contains(TProcessOption::poWaitOnExit) &&
                    !options_.contains(TProcessOption::poRunSuspended);
  // A second Execute replaces the first process's handles; that process goes on.
  CloseProcessHandles(started_);
  started_ = StartProcess(CommandLine(), wait);
}

std::string QuoteIfNeeded(const std::string& text) {
  if (text.find(' ') == std::string::npos || text.find(kQuote) != std::string::npos) return text;
  return kQuote + text + kQuote;
}

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = command_line.size();
  while (i < n) {
    while (i < n && IsWordSeparator(command_line[i])) ++i;
    if (i == n) break;
    std::string word;
    bool quoted = false;
    for (; i < n && (quoted || !IsWordSeparator(command_line[i])); ++i) {
      if (command_line[i] != kQuote) {
        word += command_line[i];
      } else if (i + 1 < n && command_line[i + 1] == kQuote) {
        ++i;  // a doubled quote is dropped and leaves quoting as it was
      } else {
        quoted = !quoted;
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

}  // namespace orvane::platform
