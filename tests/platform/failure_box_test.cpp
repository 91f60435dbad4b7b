// The failure box: its 1024-byte buffer, shown each time it fills and once
// more for what remains.

#include "platform/failure_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane::platform {
namespace {

struct Shown {
  std::vector<std::string> captions;
  std::vector<std::string> texts;
};

FailureBox::ShowFunction Recorder(Shown& shown) {
  return [&shown](std::string_view caption, std::string_view text) {
    shown.captions.emplace_back(caption);
    shown.texts.emplace_back(text);
  };
}

std::string SampleText(std::size_t size) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}

struct ChunkCase {
  std::size_t size;
  std::vector<std::size_t> boxes;
};

class FailureBoxTest : public ::testing::TestWithParam<ChunkCase> {
 protected:
  void Check(const Shown& shown) const {
    std::vector<std::size_t> sizes;
    std::string joined;
    for (const std::string& text : shown.texts) {
      sizes.push_back(text.size());
      joined += text;
    }
    EXPECT_EQ(sizes, GetParam().boxes);
    EXPECT_EQ(joined, SampleText(GetParam().size));
    for (const std::string& caption : shown.captions) EXPECT_EQ(caption, "Error");
  }
};

TEST_P(FailureBoxTest, OneWrite) {
  Shown shown;
  {
    FailureBox box(Recorder(shown));
    box.Write(SampleText(GetParam().size));
  }
  Check(shown);
}

TEST_P(FailureBoxTest, ManySmallWrites) {
  Shown shown;
  const std::string text = SampleText(GetParam().size);
  FailureBox box(Recorder(shown));
  for (std::size_t i = 0; i < text.size(); i += 7) box.Write(std::string_view(text).substr(i, 7));
  box.Flush();
  box.Flush();  // nothing left: no second box
  Check(shown);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FailureBoxTest,
                         ::testing::Values(ChunkCase{0, {}}, ChunkCase{1023, {1023}},
                                           ChunkCase{1024, {1024}}, ChunkCase{1025, {1024, 1}},
                                           ChunkCase{2100, {1024, 1024, 52}}),
                         [](const auto& tested) { return std::to_string(tested.param.size); });

TEST(FailureBox, FullBufferIsShownAtOnceNotAtTheEnd) {
  Shown shown;
  FailureBox box(Recorder(shown));
  box.Write(SampleText(1024));
  EXPECT_EQ(shown.texts.size(), 1U);
  box.Write("x");
  EXPECT_EQ(shown.texts.size(), 1U);
}

}  // namespace
}  // namespace orvane::platform
