// Replays the fuzz targets' seed corpus, and the findings kept in it, through
// the checks the fuzz targets run, so that every run of the suite repeats
// them without libFuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <typeinfo>
#include <vector>

#include "fuzz/fuzz_checks.h"
#include "support/temp_folder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;
using CorpusCheck = void (*)(const Bytes& input);

void CheckArchiveInput(const Bytes& input) {
  const fuzz::ReaderScratch scratch;
  fuzz::CheckArchive(scratch, input.data(), input.size());
}
void CheckRecordsInput(const Bytes& input) {
  fuzz::CheckRecords(input.data(), input.size());
}
void CheckCommandLineInput(const Bytes& input) {
  fuzz::CheckCommandLine(input.data(), input.size());
}

struct CorpusTarget {
  const char* name;  // the fuzz target and its folder under corpus/
  CorpusCheck check;
};

constexpr CorpusTarget kTargets[] = {
    {"reader", CheckArchiveInput},
    {"records", CheckRecordsInput},
    {"splitter", CheckCommandLineInput},
};

fs::path CorpusFolder(const std::string& target) {
  return fs::path(ORVANE_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / target;
}

struct CorpusCase {
  CorpusTarget target;
  fs::path file;
};

std::vector<CorpusCase> CorpusCases() {
  std::vector<CorpusCase> cases;
  for (const CorpusTarget& target : kTargets) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(CorpusFolder(target.name), ec)) {
      if (item.is_regular_file()) files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) cases.push_back({target, file});
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<CorpusCase>& info) {
  std::string name =
      std::string(info.param.target.name) + "_" + info.param.file.filename().string();
  std::replace_if(
      name.begin(), name.end(),
      [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
  return name;
}

class FuzzCorpusTest : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(FuzzCorpusTest, InputKeepsEveryProperty) {
  const CorpusCase& corpus_case = GetParam();
  const Bytes input = testing::ReadBytes(corpus_case.file);
  try {
    corpus_case.target.check(input);
  } catch (const fuzz::Finding& finding) {
    FAIL() << finding.what();
  } catch (const Exception& error) {
    FAIL() << "uncaught " << error.ClassName() << ": " << error.Message();
  } catch (const std::exception& error) {
    FAIL() << "undocumented exception " << typeid(error).name() << ": " << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzCorpusTest, ::testing::ValuesIn(CorpusCases()), CaseName);

// A corpus folder that went missing would otherwise replay nothing, silently.
TEST(FuzzCorpus, EveryTargetHasSeeds) {
  for (const CorpusTarget& target : kTargets) {
    const fs::path folder = CorpusFolder(target.name);
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_FALSE(fs::is_empty(folder)) << folder;
  }
}

}  // namespace
}  // namespace orvane
