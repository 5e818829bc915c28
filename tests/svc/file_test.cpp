// Files and texts: path variables, search, tests, extensions, translations.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "svc/file.h"
#include "svc/translate.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("file_test_" + std::to_string(::getpid()));
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    std::ofstream(dir / "b" / "pic.x") << "x";
    std::ofstream(dir / "a" / "both.txt") << "a";
    std::ofstream(dir / "b" / "both.txt") << "b";
    fs::create_directories(dir / "b" / "folder.x");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string map(const char* text) {
    char buffer[FILE_MAX_PATH];
    return FILEmap_variables(text, buffer);
  }
  fs::path dir;
};

TEST_F(Files, VariablesExpandWithFolderIndexes) {
  setenv("UI_TEST_PATH", "/one:/two::/four", 1);
  EXPECT_EQ(map("$UI_TEST_PATH"), "/one:/two::/four");
  EXPECT_EQ(map("$UI_TEST_PATH<0>/x"), "/one/x");
  EXPECT_EQ(map("$UI_TEST_PATH<1>"), "/two");
  EXPECT_EQ(map("[$UI_TEST_PATH<2>]"), "[]") << "an empty folder";
  EXPECT_EQ(map("$UI_TEST_PATH<3>"), "/four");
  EXPECT_EQ(map("$UI_TEST_PATH<9>"), "") << "past the last folder";
  EXPECT_EQ(map("$UI_TEST_PATH<x>"), "/one:/two::/four<x>") << "not an index: left as text";
  unsetenv("UI_TEST_UNSET");
  EXPECT_EQ(map("a$UI_TEST_UNSET.b"), "a.b");
  EXPECT_EQ(map("cost $$5 and $"), "cost $5 and $");
  setenv("UI_TEST_LONG", std::string(5000, 'z').c_str(), 1);
  EXPECT_EQ(map("$UI_TEST_LONG").size(), static_cast<size_t>(FILE_MAX_PATH - 1));
  unsetenv("KLT_PATH");
  EXPECT_EQ(map("$KLT_PATH<0>"), std::string(UI_PROJECT_ROOT)) << "the project's own root";
  setenv("KLT_PATH", "/opt/klt:/other", 1);
  EXPECT_EQ(map("$KLT_PATH<0>/runtime"), "/opt/klt/runtime");
  unsetenv("KLT_PATH");
  EXPECT_EQ(FILEmap_variables(nullptr, nullptr), nullptr);
}

TEST_F(Files, FindSearchesThePathInOrder) {
  std::string path =
      "::" + (dir / "missing").string() + ":" + (dir / "a").string() + ":" + (dir / "b").string();
  char* found = FILEfind("both.txt", path.c_str(), 32, 1, 0, 0);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(std::string(found), (dir / "a" / "both.txt").string());
  std::free(found);
  found = FILEfind("pic.x", path.c_str(), 32, 1, 0, 0);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(std::string(found), (dir / "b" / "pic.x").string());
  std::free(found);
  EXPECT_EQ(FILEfind("folder.x", path.c_str(), 32, 1, 0, 0), nullptr) << "folders are not files";
  EXPECT_EQ(FILEfind("nothing", path.c_str(), 32, 1, 0, 0), nullptr);
  EXPECT_EQ(FILEfind("", path.c_str(), 32, 1, 0, 0), nullptr);
  std::string absolute = (dir / "b" / "pic.x").string();
  found = FILEfind(absolute.c_str(), nullptr, 32, 1, 0, 0);
  ASSERT_NE(found, nullptr);
  std::free(found);
}

TEST_F(Files, ExistenceModesAndExtensions) {
  std::string file = (dir / "b" / "pic.x").string();
  std::string folder = (dir / "b").string();
  EXPECT_EQ(FILEexists(file.c_str(), FILE_EXISTS, 0), 1);
  EXPECT_EQ(FILEexists(file.c_str(), FILE_WRITABLE_FILE, 0), 1);
  EXPECT_EQ(FILEexists(file.c_str(), FILE_DIRECTORY, 0), 0);
  EXPECT_EQ(FILEexists(folder.c_str(), FILE_DIRECTORY, 0), 1);
  EXPECT_EQ(FILEexists(folder.c_str(), FILE_WRITABLE_DIR, 0), 1);
  EXPECT_EQ(FILEexists(folder.c_str(), FILE_WRITABLE_FILE, 0), 0);
  EXPECT_EQ(FILEexists((dir / "none").c_str(), FILE_EXISTS, 0), 0);
  EXPECT_STREQ(FILEget_file_extension("dir.v2/pic.x"), ".x");
  EXPECT_STREQ(FILEget_file_extension("a.tar.gz"), ".gz");
  EXPECT_EQ(FILEget_file_extension("dir.v2/readme"), nullptr);
  EXPECT_EQ(FILEget_file_extension(".profile"), nullptr);
  EXPECT_EQ(FILEget_file_extension("name."), nullptr);
}

TEST_F(Files, TranslationsAreBuiltInAndOverridable) {
  EXPECT_STREQ(TMget_translation("UI_OK", 0), "OK");
  EXPECT_STREQ(TMget_translation("UI_DIRECTORIES", 0), "Directories");
  EXPECT_STREQ(TMget_translation("NO_SUCH_KEY", 0), "NO_SUCH_KEY");
  std::ofstream((dir / "de.txt")) << "# German\nUI_OK=Gut\nUI_NO=Nein\\nwirklich\nbroken line\n";
  EXPECT_EQ(TMload_translations((dir / "de.txt").c_str()), 2);
  EXPECT_STREQ(TMget_translation("UI_OK", 0), "Gut");
  EXPECT_STREQ(TMget_translation("UI_NO", 0), "Nein\nwirklich");
  EXPECT_STREQ(TMget_translation("UI_CANCEL", 0), "Cancel");
  EXPECT_EQ(TMload_translations((dir / "none.txt").c_str()), -1);
}

}  // namespace
