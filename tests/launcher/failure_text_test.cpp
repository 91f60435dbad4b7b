// The text that reports a failure nobody caught.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "launcher/run_sequence.h"
#include "zip/zip_errors.h"

namespace orvane {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

[[noreturn]] void FailDeepInside() {
  RaiseZipError(zipmsg::kCorruptZip, {"x.zip"});
}

TEST(UnhandledFailureText, HeadClassLineFramesAndEmptyLine) {
  std::exception_ptr failure;
  try {
    FailDeepInside();
  } catch (...) {
    failure = std::current_exception();
  }
  const std::string text = UnhandledFailureText(failure);
  const auto lines = Lines(text);
  ASSERT_GE(lines.size(), 4U) << text;
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"(An unhandled exception occurred at \$[0-9A-F]{8,} :)")))
      << lines[0];
  EXPECT_EQ(lines[1], "EZipError : Corrupt ZIP file x.zip");
  const std::regex frame(R"(  \$[0-9A-F]{8,})");
  std::size_t i = 2;
  while (i < lines.size() && std::regex_match(lines[i], frame)) ++i;
  EXPECT_GE(i, 3U) << "at least the failing address";
  EXPECT_EQ(i, lines.size() - 1);
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
  // The first frame line repeats the failing address of the head line.
  EXPECT_EQ(lines[2].substr(2), lines[0].substr(35, lines[2].size() - 2));
}

TEST(UnhandledFailureText, ForeignFailuresStillGiveAClassName) {
  const auto text = UnhandledFailureText(std::make_exception_ptr(std::bad_alloc()));
  EXPECT_EQ(Lines(text)[1], "EOutOfMemory : Out of memory");
}

}  // namespace
}  // namespace orvane
