// The start-up registry and writing a registered value to a file.

#include "payload/resource_registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { DestroyResourceRegistry(); }
  TLResourceList& registry = ResourceRegistry();
};

TEST_F(RegistryTest, FindFoldsOnlyAsciiLetters) {
  registry.Add("orvaneprincipal", "ZIP", {"payload"});
  registry.Add("caf\xC3\xA9", "ZIP", {"accent"});
  struct Case {
    const char* name;
    bool found;
  };
  const Case cases[] = {{"orvaneprincipal", true}, {"ORVANEPRINCIPAL", true},
                        {"OrvanePrincipal", true}, {"orvaneprincipal ", false},
                        {"orvaneprincipa", false}, {"CAF\xC3\xA9", true},
                        {"caf\xC3\x89", false}};  // E-acute upper case is beyond ASCII
  for (const Case& c : cases) {
    EXPECT_EQ(registry.Find(c.name) != nullptr, c.found) << c.name;
  }
}

TEST_F(RegistryTest, EmptyRegistryFindsNothing) {
  EXPECT_EQ(registry.Find("x"), nullptr);
}

TEST_F(RegistryTest, AddWithoutPiecesRegistersNothing) {
  registry.Add("nothing", "ZIP", {});
  EXPECT_EQ(registry.Find("nothing"), nullptr);
  EXPECT_EQ(registry.Count(), 0U);
}

TEST_F(RegistryTest, OnePieceIsUsedUnchanged) {
  static const char kPiece[] = "the one piece";
  registry.Add("one", "zip", {std::string_view(kPiece)});
  const TLResource* r = registry.Find("one");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(static_cast<const void*>(r->Data()), static_cast<const void*>(kPiece))
      << "a single piece is not copied";
  EXPECT_EQ(r->ValueType(), "ZIP");
}

TEST_F(RegistryTest, SeveralPiecesAreConcatenatedInOrder) {
  registry.Add("many", "Zip1", {"ab", "", "cde", std::string_view("\0f", 2)});
  const TLResource* r = registry.Find("many");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Value(), std::string_view("abcde\0f", 7));
  EXPECT_EQ(r->ValueType(), "ZIP1");
}

TEST_F(RegistryTest, SaveWritesExactlyTheValueOverALongerFile) {
  TempFolder dir;
  const std::string file = dir / "orvaneprincipal.zip";
  testing::WriteText(file, std::string(10000, 'x'));
  registry.Add("orvaneprincipal", "ZIP", {"PK", "\x05\x06", "rest"});
  SaveResourceToFile("orvaneprincipal", file);
  const auto bytes = ReadBytes(file);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "PK\x05\x06rest");
}

TEST_F(RegistryTest, SaveOfAnEmptyValueMakesAnEmptyFile) {
  TempFolder dir;
  registry.Add("empty", "ZIP", {""});
  SaveResourceToFile("empty", dir / "e.bin");
  EXPECT_TRUE(fs::exists(dir / "e.bin"));
  EXPECT_EQ(fs::file_size(dir / "e.bin"), 0U);
}

TEST_F(RegistryTest, SaveIntoAMissingFolderRaisesCreateError) {
  TempFolder dir;
  registry.Add("orvaneprincipal", "ZIP", {"x"});
  const std::string file = dir / "missing/orvaneprincipal.zip";
  try {
    SaveResourceToFile("orvaneprincipal", file);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Unable to create file \"" + file + "\"");
  }
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(RegistryTest, SaveOfAnUnregisteredNameTouchesNoFile) {
  TempFolder dir;
  EXPECT_THROW(SaveResourceToFile("absent", dir / "a.zip"), EResNotFound);
  EXPECT_FALSE(fs::exists(dir / "a.zip"));
}

}  // namespace
}  // namespace orvane
