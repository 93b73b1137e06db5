// Device pictures: every name the catalogue can give has a shipped file, names
// resolve whatever their case, and names that would leave the folder are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "device/device_catalogue.h"
#include "support/scratch.h"
#include "views/common/device_picture_model.h"

namespace quorvel {
namespace {

const std::string kShipped = std::string(QUORVEL_SOURCE_DIR) + "/images";

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

TEST(DevicePictures, EveryCatalogueNameHasAShippedPicture) {
  const PictureFolder folder(kShipped);
  std::set<std::string> names;
  for (int c = 0; c < 256; ++c)
    for (int s = 0; s < 256; ++s) names.insert(std::string(PictureName(static_cast<uint8_t>(c), static_cast<uint8_t>(s))));
  EXPECT_EQ(names.size(), 18u);
  for (const std::string& name : names) {
    const std::string file = folder.Resolve(name);
    EXPECT_FALSE(file.empty()) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
  }
  EXPECT_FALSE(folder.Resolve("default.bmp").empty()) << "the picture of a missing one";
}

TEST(DevicePictures, NamesResolveByStemAndUnsafeOnesAreRefused) {
  testing::TempFolder dir;
  ASSERT_FALSE(dir.path().empty());
  Touch(dir.path() + "/2476d.png");
  Touch(dir.path() + "/2476d.bmp");  // the same stem twice: the PNG is taken
  Touch(dir.path() + "/Motion-Sensor.BMP");
  Touch(dir.path() + "/notes.txt");
  std::filesystem::create_directory(dir.path() + "/sub.png");
  const PictureFolder folder(dir.path());
  struct Case {
    std::string stored;
    std::string file;  // empty: nothing
  };
  const Case cases[] = {
      {"2476d.bmp", "2476d.png"},
      {"2476D.BMP", "2476d.png"},
      {"2476d", "2476d.png"},
      {"motion-sensor.bmp", "Motion-Sensor.BMP"},
      {"notes.bmp", ""},
      {"sub.bmp", ""},
      {"missing.bmp", ""},
      {"", ""},
      {"../2476d.bmp", ""},
      {"images/2476d.bmp", ""},
      {"images\\2476d.bmp", ""},
      {"..", ""},
      {"2476d\n.bmp", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(folder.Resolve(c.stored), c.file.empty() ? std::string() : dir.path() + "/" + c.file);
  }
  EXPECT_TRUE(PictureFolder(dir.path() + "/none").Resolve("2476d.bmp").empty());
}

TEST(DevicePictures, TheFolderIsFoundBesideTheProgramNeverInTheWorkingFolder) {
  testing::TempFolder root;
  ASSERT_FALSE(root.path().empty());
  const std::string bin = root.path() + "/usr/bin";
  const std::string installed = root.path() + "/usr/share/quorvel/images";
  const std::string source = root.path() + "/src";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(source + "/images");
  EXPECT_EQ(FindImagesFolder(bin, source), source + "/images") << "a build runs from the source tree's";
  std::filesystem::create_directories(installed);
  EXPECT_EQ(FindImagesFolder(bin, source), installed) << "an installed program takes its own";
  EXPECT_EQ(FindImagesFolder("usr/bin", ""), "") << "a relative folder would be the working folder's";
  EXPECT_EQ(FindImagesFolder("", "src"), "");
  EXPECT_EQ(FindImagesFolder(root.path() + "/nowhere", ""), "");
}

}  // namespace
}  // namespace quorvel
