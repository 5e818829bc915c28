// uirun as a user runs it: the gallery's picture, scripts that set, read and expect, and the
// exit statuses of bad files and options. Each run starts a private X server of its own.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "comma_locale.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Uirun : public ::testing::Test {
 protected:
  void SetUp() override {
    static int n = 0;
    dir = fs::temp_directory_path() /
          ("uirun_test_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  Result run(const std::string& args, const std::string& input = "") {
    fs::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
    std::ofstream(in) << input;
    std::string command = std::string(UIRUN) + " --headless " + args + " <" + in.string() + " >" +
                          out.string() + " 2>" + err.string();
    Result r;
    int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
  }
  std::string write(const char* name, const std::string& text) {
    std::ofstream(dir / name) << text;
    return (dir / name).string();
  }
  fs::path dir;
};

// Reads a PNG into rows of RGB.
bool readPng(const std::string& path, int* width, int* height, std::vector<unsigned char>* rgb) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  *width = static_cast<int>(png_get_image_width(png, info));
  *height = static_cast<int>(png_get_image_height(png, info));
  png_set_strip_alpha(png);
  png_read_update_info(png, info);
  rgb->resize(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 3);
  for (int y = 0; y < *height; ++y)
    png_read_row(png, rgb->data() + static_cast<size_t>(y) * static_cast<size_t>(*width) * 3,
                 nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return true;
}

TEST_F(Uirun, TheGallerysPictureShowsItsWindowAndStatusLine) {
  std::string picture = (dir / "gallery.png").string();
  Result r = run("--screenshot " + picture);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "wrote " + picture + "\n");
  EXPECT_EQ(r.err, "") << "every picture was found and typed";
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  ASSERT_TRUE(readPng(picture, &width, &height, &rgb));
  EXPECT_EQ(width, 820);
  EXPECT_EQ(height, 790);
  // The status line (the bottom rows) holds dark text on the light background.
  int dark = 0;
  for (int y = height - 22; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned char* p =
          &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
      if (p[0] < 80 && p[1] < 80 && p[2] < 80) ++dark;
    }
  EXPECT_GT(dark, 100) << "the status text is drawn";
  // The panel's own colour (#c8d8e8) is where the file puts it.
  const unsigned char* panel =
      &rgb[(static_cast<size_t>(40) * static_cast<size_t>(width) + 50) * 3];
  EXPECT_EQ(panel[0], 0xc8);
  EXPECT_EQ(panel[1], 0xd8);
  EXPECT_EQ(panel[2], 0xe8);
}

TEST_F(Uirun, ScriptsSetReadAndExpect) {
  std::string file = write("app.yaml", R"(app:
  type: UIapp
  visible: 1
  width: 300
  height: 200
  box:
    type: UIpanel
    visible: 1
    width: 120
    height: 50
)");
  Result r = run(file + " --script -",
                 "get app.box.width\n"
                 "set app.box.width 150\n"
                 "expect app.box.width 150.0\n"
                 "res app.box width\n"
                 "get app.box.clientWidth\n"
                 "get app.nothing\n"
                 "get app.title\n"
                 "click app.box\n"
                 "close app\n"
                 "expect app.visible 0\n"
                 "expect app.cancel 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "app.box.width = 120\n"
            "app.box width = 150\n"
            "app.box.clientWidth = 150\n"
            "app.nothing missing\n"
            "app.title unset\n");
}

// Under a comma-decimal locale the file's reals, the script's numbers, the object manager's
// texts and a field's display all stay in the C locale's form.
TEST_F(Uirun, NumbersKeepTheirPointInACommaLocale) {
  ASSERT_FALSE(uitest::commaLocale().empty()) << "localedef could not make the comma locale";
  std::string file = write("app.yaml", R"(app:
  type: UIapp
  visible: 1
  width: 300
  height: 200
  box:
    type: UIpanel
    visible: 1
    width: 120
    height: 50
    clientWidth: 3.5
  num:
    type: UIfield
    visible: 1
    y: 60
    width: 120
    height: 36
    format: 1
    decimalPoints: 2
    value: 3.14159
)");
  setenv("LC_ALL", uitest::commaLocale().c_str(), 1);
  Result r = run(file + " --script -",
                 "get app.num.value\n"
                 "res app.num value\n"
                 "set app.num.value 2.25\n"
                 "expect app.num.value 2.25\n"
                 "res app.num value\n");
  unsetenv("LC_ALL");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "app.num.value = 3.14159\n"
            "app.num value = 3.14\n"
            "app.num value = 2.25\n");
}

TEST_F(Uirun, AFailedExpectSaysWhatAndEndsWithOne) {
  std::string file = write("app.yaml", "app:\n  type: UIapp\n  visible: 1\n  width: 300\n");
  Result r = run(file + " --script -", "expect app.width 299\nget app.width\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "<stdin>:1: expect app.width: expected 299, got 300\n");
  EXPECT_EQ(r.out, "") << "the script stops at the failure";
  Result bad = run(file + " --script -", "frobnicate app\n");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "<stdin>:1: unknown command frobnicate\n");
}

TEST_F(Uirun, BadFilesAndOptionsEndWithTwo) {
  std::string file = write("bad.yaml", "app:\n  type: UIapp\n  width: wide\n");
  Result r = run(file);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, file + ":3:10: bad value 'wide' for 'width' (an int)\n");
  Result missing = run((dir / "none.yaml").string());
  EXPECT_EQ(missing.status, 2);
  Result option = run("--no-such-option");
  EXPECT_EQ(option.status, 2);
  Result help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: uirun", 0), 0u);
}

}  // namespace
