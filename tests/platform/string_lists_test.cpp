// String lists of the resource file: one item a line, taken as written,
// comments skipped, read once per resource folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/resources/resource_file.h"
#include "support/session.h"

namespace {

TEST(StringLists, ItemsAreLinesAsWrittenAndMissingOnesAreEmpty) {
  const std::string keep = plat::res::ResourceFolder();
  vmktest::TempDir dir;
  std::filesystem::create_directories(dir.path() / "STR#");
  std::ofstream(dir.path() / "STR#" / "16012.txt") << "# mask texts\n inside \r\n\n outside \n";
  plat::res::SetResourceFolder(dir.path().string());
  EXPECT_EQ(plat::res::CountIndStrings(16012), 3);
  EXPECT_EQ(plat::res::GetIndString(16012, 1), " inside ");
  EXPECT_EQ(plat::res::GetIndString(16012, 2), "");
  EXPECT_EQ(plat::res::GetIndString(16012, 3), " outside ");
  EXPECT_EQ(plat::res::GetIndString(16012, 0), "");
  EXPECT_EQ(plat::res::GetIndString(16012, 4), "");
  EXPECT_EQ(plat::res::GetIndString(16013, 1), "");
  EXPECT_EQ(plat::res::CountIndStrings(16013), 0);
  // A list is read once: a change on disk shows after the folder is set again.
  std::ofstream(dir.path() / "STR#" / "16012.txt") << "other\n";
  EXPECT_EQ(plat::res::GetIndString(16012, 1), " inside ");
  plat::res::SetResourceFolder(dir.path().string());
  EXPECT_EQ(plat::res::GetIndString(16012, 1), "other");
  // The bundle's own lists.
  plat::res::SetResourceFolder(std::string(VMK_SOURCE_DIR) + "/resources/rsrc");
  EXPECT_EQ(plat::res::CountIndStrings(16000), 93);
  EXPECT_EQ(plat::res::CountIndStrings(16010), 89);
  EXPECT_EQ(plat::res::GetIndString(16010, 2), "Composite");
  plat::res::SetResourceFolder(keep);
}

}  // namespace
