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
  EXPECT_EQ(width, 1240);
  EXPECT_EQ(height, 822);
  // The status line (the bottom rows) holds dark text on the light background.
  int dark = 0;
  for (int y = height - 22; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned char* p =
          &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
      if (p[0] < 80 && p[1] < 80 && p[2] < 80) ++dark;
    }
  EXPECT_GT(dark, 100) << "the status text is drawn";
  // The panel's own colour (#c8d8e8) is where the file puts it (below the 32-pixel menu bar).
  const unsigned char* panel =
      &rgb[(static_cast<size_t>(40 + 32) * static_cast<size_t>(width) + 50) * 3];
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

TEST_F(Uirun, ClicksPickListItemsAndPostMenusOnTheWayToACommand) {
  std::string file = write("menus.yaml", R"(app:
  type: UIapp
  visible: 1
  width: 300
  height: 240
  menu: => bar
  bar: { type: UIcmdList, cmdList: [file] }
  file: { type: UIcmdList, label: File, cmdList: [more] }
  more: { type: UIcmdList, label: More, cmdList: [deep] }
  deep: { type: UIcmd, label: Deep }
  names:
    type: UIlist
    visible: 1
    width: 150
    height: 80
    strings: [a, b, c, d, e, f, g, h, i, j, k, l]
)");
  Result r = run(file + " --script -",
                 "click app.names 10\n"
                 "expect app.names.selectedItem 10\n"
                 "expect app.names.selectedText k\n"
                 "click app.deep\n"
                 "expect app.deep.do 1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  r = run(file + " --script -", "click app.names 12\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("click app.names: no item 12"), std::string::npos) << r.err;
  r = run(file + " --script -", "click app.bar 1\n");
  EXPECT_EQ(r.status, 1) << "a command list has no widget";
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

TEST_F(Uirun, ResourcesPrintTheConvertersText) {
  std::string file = write("app.yaml", R"(app:
  type: UIapp
  visible: 1
  width: 300
  height: 200
  go:
    type: UIbutton
    visible: 1
    width: 90
    alignment: 0
    color: { backgroundColor: "#ff0000" }
  flag:
    type: UItoggle
    visible: 1
    y: 40
    set: 1
  box:
    type: UIframe
    visible: 1
    y: 80
    width: 50
    height: 50
)");
  Result r = run(file + " --script -",
                 "res app.go alignment\n"
                 "res app.go recomputeSize\n"
                 "res app.go background\n"
                 "res app.flag set\n"
                 "set app.flag.set 0\n"
                 "res app.flag set\n"
                 "res app.box shadowType\n"
                 "res app.go width\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "app.go alignment = alignment_beginning\n"
            "app.go recomputeSize = False\n"
            "app.go background = #ffff00000000\n"
            "app.flag set = set\n"
            "app.flag set = unset\n"
            "app.box shadowType = shadow_etched_in\n"
            "app.go width = 90\n");
}

// Runs a shell command line in the test's folder, the display unset (as on a machine
// without one).
Result runShell(const fs::path& dir, const std::string& line) {
  fs::path out = dir / "stdout", err = dir / "stderr";
  std::string command = "cd " + dir.string() + " && env -u DISPLAY sh -c '" + line + "' >" +
                        out.string() + " 2>" + err.string() + " </dev/null";
  Result r;
  int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

// Every example says how to run it in its first comment ("Run it with scripts/run FILE"), or is
// included by one that does. scripts/run ends in "uirun FILE" (after building), which is run
// here as it would be on a machine without a display.
TEST_F(Uirun, EveryExampleRunsTheWayItsCommentSays) {
  const fs::path root = UI_PROJECT_ROOT;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(root / "examples"))
    if (entry.path().extension() == ".yaml") files.push_back(entry.path());
  ASSERT_FALSE(files.empty());
  std::string includes;
  for (const fs::path& f : files) {
    std::istringstream lines(slurp(f));
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("include:", 0) == 0) includes += line + "\n";
  }
  int ran = 0;
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.string());
    std::string comment;
    std::istringstream lines(slurp(f));
    for (std::string line; std::getline(lines, line) && line.rfind("#", 0) == 0;)
      comment += line.substr(1) + " ";
    const std::string say = "Run it with scripts/run ";
    size_t at = comment.find(say);
    if (at == std::string::npos) {
      EXPECT_NE(includes.find(f.filename().string()), std::string::npos)
          << "says neither how to run it nor is included by an example that does";
      continue;
    }
    std::istringstream words(comment.substr(at + say.size()));
    std::string named;
    words >> named;
    while (!named.empty() && (named.back() == '.' || named.back() == ',')) named.pop_back();
    EXPECT_EQ(root / named, f) << "the comment names the file itself";
    Result r = runShell(dir, std::string(UIRUN) + " " + (root / named).string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    if (r.out.rfind("wrote ", 0) == 0) {
      EXPECT_TRUE(fs::exists(dir / "uirun.png"));
    }
    ++ran;
  }
  EXPECT_GE(ran, 2) << "the gallery and the dataflow at least";
}

TEST_F(Uirun, AWindowlessInterfaceReadsItsTemplatesAndPrintsItsObjects) {
  const fs::path root = UI_PROJECT_ROOT;
  Result r = runShell(dir, std::string(UIRUN) + " " + (root / "examples/dataflow.yaml").string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  doubled\n    parent => Applications[0].counter\n    text = 12\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("shared\n  start = 1\n"), std::string::npos) << "the included file's";
  // With a display (a private one standing in for the user's), the same.
  Result shown = runShell(dir, "DISPLAY=:nothere " + std::string(UIRUN) + " --headless " +
                                   (root / "examples/dataflow.yaml").string());
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out, r.out);
  // Given again by hand, the folder beside is read once and all is as before.
  Result both = run((root / "examples/dataflow.yaml").string() + " --templates " +
                        (root / "examples/templates").string() + " --script -",
                    "expect counter.doubled.text 12\n");
  EXPECT_EQ(both.status, 0) << both.err;
  // An explicit picture of nothing is still an error.
  Result picture = run((root / "examples/dataflow.yaml").string() + " --screenshot " +
                       (dir / "none.png").string());
  EXPECT_EQ(picture.status, 1);
  EXPECT_EQ(picture.err, "uirun: nothing on screen to take a picture of\n");
}

// The README's command lines that call uirun, run from the project's folder.
TEST_F(Uirun, TheReadmesCommandLinesRun) {
  const fs::path root = UI_PROJECT_ROOT;
  std::istringstream lines(slurp(root / "README.md"));
  std::vector<std::string> commands;
  std::string block;
  bool inShell = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("```", 0) == 0) {
      if (inShell && block.find("build/runner/uirun") != std::string::npos)
        commands.push_back(block);
      inShell = !inShell && line == "```sh";
      block.clear();
      continue;
    }
    if (inShell) block += line + "\n";
  }
  ASSERT_FALSE(commands.empty());
  for (std::string command : commands) {
    SCOPED_TRACE(command);
    const std::string written = "build/runner/uirun", built = UIRUN;
    for (size_t at = 0; (at = command.find(written, at)) != std::string::npos; at += built.size())
      command.replace(at, written.size(), built);
    std::ofstream(dir / "readme.sh") << "cd " << root.string() << "\n" << command;
    Result r = runShell(dir, "sh " + (dir / "readme.sh").string());
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

// --help lists the script commands from the table the script runs them from: every verb it
// lists is known to a script, and one that takes a path asks for it.
TEST_F(Uirun, EveryCommandTheHelpListsIsKnownToScripts) {
  Result help = run("--help");
  ASSERT_EQ(help.status, 0);
  size_t at = help.out.find("Script commands");
  ASSERT_NE(at, std::string::npos) << help.out;
  std::istringstream lines(help.out.substr(at));
  std::string line;
  std::getline(lines, line);
  std::string file = write("app.yaml", "app:\n  type: UIapp\n  visible: 1\n  width: 100\n");
  int verbs = 0;
  while (std::getline(lines, line) && line.rfind("  ", 0) == 0) {
    std::istringstream words(line);
    std::string verb, syntax;
    words >> verb >> syntax;
    if (verb.empty() || line.rfind("   ", 0) == 0) continue;  // a wrapped line
    SCOPED_TRACE(verb);
    ++verbs;
    Result r = run(file + " --script -", verb + "\n");
    EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << r.err;
    if (syntax.rfind("PATH", 0) == 0) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "<stdin>:1: " + verb + " needs a path\n");
    }
  }
  EXPECT_EQ(verbs, 14) << help.out;
  Result unknown = run(file + " --script -", "frobnicate\n");
  EXPECT_EQ(unknown.err, "<stdin>:1: unknown command frobnicate\n");
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
