// Where the program finds what it ships: its own installed prefix before any
// build or source tree, and never the working folder.
#include "platform/install_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/scratch.h"

namespace quorvel {
namespace {

TEST(InstallPaths, TheInstalledPrefixComesFirstThenTheTreesNeverTheWorkingFolder) {
  testing::TempFolder root;
  ASSERT_FALSE(root.path().empty());
  const std::string bin = root.path() + "/usr/bin";
  const std::string installed = root.path() + "/usr/share/quorvel/houses/example_house.txt";
  const std::string tree = root.path() + "/src/sim/houses/example_house.txt";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(root.path() + "/src/sim/houses");
  std::ofstream(tree) << "seed 1\n";
  const std::string relative = "houses/example_house.txt";

  EXPECT_EQ(FindShipped(bin, relative, {tree}), tree) << "a build runs from its tree";
  std::filesystem::create_directories(root.path() + "/usr/share/quorvel/houses");
  std::ofstream(installed) << "seed 2\n";
  EXPECT_EQ(FindShipped(bin, relative, {tree}), installed) << "an installed program takes its own, made plain";
  EXPECT_EQ(FindShipped("usr/bin", relative, {"sim/houses/example_house.txt"}), "")
      << "relative folders would be the working folder's";
  EXPECT_EQ(FindShipped(root.path() + "/nowhere", relative), "");
  EXPECT_EQ(FirstExisting({"", root.path() + "/none", tree}), tree);
}

TEST(InstallPaths, TheProgramFolderIsThisProgramsOwn) {
  const std::string folder = ProgramFolder("ignored");
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "/quorvel_tests_platform"));
}

}  // namespace
}  // namespace quorvel
