// uirun as a user runs it: the gallery's picture, scripts that set, read and expect, and the
// exit statuses of bad files and options. Each run starts a private X server of its own.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
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
  EXPECT_EQ(verbs, 17) << help.out;
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

// What a running interface has become, written as an interface file: values changed by the
// script, values the library wrote back, links and expressions as the file wrote them. The
// written file loads back to the same tree, and its links still work.
TEST_F(Uirun, DumpYamlWritesAFileThatLoadsBackToTheSameTree) {
  std::string file = write("app.yaml", R"(app:
  type: UIapp
  title: Round trip
  visible: 1
  width: 300
  height: 200
  color: { backgroundColor: "#ffeecc" }
  box:
    type: UIframe
    x: 10
    y: 10
    width: 200
    height: 120
    choice:
      type: UItoggle
      label: "Choose: me"
      set: 0
  readout:
    type: UIlabel
    y: 150
    label: => app.title
  wide:
    type: UIlabel
    y: 170
    width: => app.box.width / 2 + 10
)");
  std::string first = (dir / "first.yaml").string(), second = (dir / "second.yaml").string();
  Result r = run(file + " --dump-yaml " + first + " --script -",
                 "set app.box.choice.set 1\nset app.title Changed\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string written = slurp(first);
  EXPECT_NE(written.find("      set: 1\n"), std::string::npos) << written;
  EXPECT_NE(written.find("  title: Changed\n"), std::string::npos) << written;
  EXPECT_NE(written.find("label: => app.title\n"), std::string::npos) << written;
  EXPECT_NE(written.find("width: => app.box.width / 2 + 10\n"), std::string::npos) << written;
  EXPECT_NE(written.find("backgroundColor: \"#ffeecc\""), std::string::npos) << written;
  EXPECT_NE(written.find("clientWidth: "), std::string::npos) << "what the library wrote back";
  EXPECT_EQ(written.find("handle"), std::string::npos) << "the library's own are left out";
  EXPECT_EQ(written.find("parent"), std::string::npos) << "children's parents are implied";
  // Loaded again it is the same tree, written the same; its links are alive.
  Result again = run(first + " --dump-yaml " + second);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(slurp(second), written);
  Result links = run(first + " --script -",
                     "expect app.readout.label Changed\nexpect app.wide.width 110\n"
                     "set app.box.width 100\nexpect app.wide.width 60\n"
                     "expect app.box.choice.label \"Choose: me\"\nexpect app.box.choice.set 1\n");
  EXPECT_EQ(links.status, 0) << links.err;
  Result unwritable = run(first + " --dump-yaml " + (dir / "no/such/folder.yaml").string());
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;
}

// uirun's own options have two dashes; one dash is the X toolkit's, which gets them as they
// were given and rejects what it does not know.
TEST_F(Uirun, OptionsAreUirunsOrTheToolkits) {
  std::string file = write("data.yaml", "data:\n  type: UIfont\n");
  Result xrm = run("-xrm '*blinkRate: 0' " + file + " -name other");
  EXPECT_EQ(xrm.status, 0) << xrm.err;
  EXPECT_NE(xrm.out.find("data\n"), std::string::npos) << xrm.out;
  Result xt = run(file + " -bogus");
  EXPECT_EQ(xt.status, 2);
  EXPECT_NE(xt.err.find("unknown option -bogus"), std::string::npos) << xt.err;
  Result own = run(file + " --bogus");
  EXPECT_EQ(own.status, 2);
  EXPECT_NE(own.err.find("--bogus"), std::string::npos) << own.err;
  Result two = run(file + " " + file);
  EXPECT_EQ(two.status, 2) << "one file at a time";
  Result missing = run(file + " --screenshot");
  EXPECT_EQ(missing.status, 2) << "an option without its value";
  Result version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("uirun ", 0), 0u) << version.out;
}

// The manual page says what --help says: every option and every script command.
TEST_F(Uirun, TheManualPageNamesEveryOptionAndCommand) {
  std::string page = slurp(fs::path(UI_PROJECT_ROOT) / "docs/uirun.1");
  ASSERT_FALSE(page.empty());
  std::string plain;  // without roff's escapes and font changes
  for (size_t i = 0; i < page.size(); ++i) {
    if (page[i] == '\\' && i + 1 < page.size() && page[i + 1] == 'f') {
      i += 2;
      continue;
    }
    if (page[i] != '\\') plain += page[i];
  }
  Result help = run("--help");
  ASSERT_EQ(help.status, 0);
  std::istringstream lines(help.out);
  int options = 0, commands = 0;
  bool inCommands = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Script commands", 0) == 0) inCommands = true;
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (line.rfind("  --", 0) == 0) {
      ++options;
      EXPECT_NE(plain.find(word), std::string::npos) << "the manual lacks " << word;
    } else if (inCommands && line.rfind("  ", 0) == 0 && line.rfind("   ", 0) != 0) {
      ++commands;
      bool listed = plain.find(".BI " + word + " ") != std::string::npos ||
                    plain.find(".B " + word + "\n") != std::string::npos;
      EXPECT_TRUE(listed) << "the manual lacks the command " << word;
    }
  }
  EXPECT_GE(options, 9);
  EXPECT_EQ(commands, 17);
}

// uirun in the background, fed its script a line at a time while the test changes its file.
class RunningUirun {
 public:
  RunningUirun(const fs::path& dir, const std::string& args)
      : out_(dir / "bg.out"), err_(dir / "bg.err") {
    int fds[2];
    if (::pipe(fds) != 0) return;
    std::string command =
        std::string(UIRUN) + " --headless " + args + " >" + out_.string() + " 2>" + err_.string();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[0], 0);
      ::close(fds[0]);
      ::close(fds[1]);
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[0]);
    in_ = fds[1];
  }
  ~RunningUirun() {
    if (in_ >= 0) ::close(in_);
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  void send(const std::string& lines) {
    ASSERT_EQ(::write(in_, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  }
  // Lets the runner turn its loop, a short wait at a time, until its output or errors hold
  // `text` (`times` times; for up to 20 s). Each wait is followed by a "get" of `ack`, whose answer
  // says the wait is over, so that waits never pile up in the pipe.
  bool turnUntil(const std::string& text, bool inErrors = false, size_t times = 1,
                 const std::string& ack = "app.title") {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto count = [](const std::string& all, const std::string& what) {
      size_t n = 0;
      for (size_t at = 0; (at = all.find(what, at)) != std::string::npos; ++at) ++n;
      return n;
    };
    auto answers = [&] { return count(slurp(out_), ack + " = "); };
    while (std::chrono::steady_clock::now() < deadline) {
      if (count(slurp(inErrors ? err_ : out_), text) >= times) return true;
      size_t before = answers();
      send("wait 100\nget " + ack + "\n");
      while (answers() == before && std::chrono::steady_clock::now() < deadline)
        ::usleep(20 * 1000);
    }
    return false;
  }
  int finish() {
    send("quit\n");
    ::close(in_);
    in_ = -1;
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return status_;
  }
  std::string out() const { return slurp(out_); }
  std::string err() const { return slurp(err_); }

 private:
  fs::path out_, err_;
  pid_t pid_ = -1;
  int in_ = -1;
  int status_ = -1;
};

// --watch: the file edited under a running runner. The value the user gave stays (though the
// file sets it, the file did not change it), what the file changed changes, new objects appear
// (with their links), removed ones go, a value replaces a link without writing through it; a
// file with errors leaves the interface as it was and says where the errors are.
TEST_F(Uirun, WatchReloadsAnEditedFileKeepingWhatTheUserDid) {
  const std::string head = R"(app:
  type: UIapp
  title: Watch
  visible: 1
  width: 300
  height: 200
)";
  std::string file = write("watched.yaml", head + R"(  choice:
    type: UItoggle
    x: 10
    y: 10
    label: Pick
    set: 0
  note:
    type: UIlabel
    y: 60
    label: before
  gone:
    type: UIlabel
    y: 100
    label: bye
)");
  RunningUirun runner(dir, "--watch " + file + " --script -");
  runner.send("click app.choice\nget app.choice.set\n");
  ASSERT_TRUE(runner.turnUntil("app.choice.set = 1\n")) << runner.err();
  write("watched.yaml", head + R"(  choice:
    type: UItoggle
    x: 10
    y: 10
    label: Picked
    set: 0
  note:
    type: UIlabel
    y: 60
    label: after
    width: => app.choice.width + 5
  fresh:
    type: UIlabel
    y: 140
    label: new here
  echo:
    type: UIlabel
    y: 170
    label: => app.title
)");
  ASSERT_TRUE(runner.turnUntil("reloaded " + file)) << runner.err();
  runner.send(
      "expect app.choice.set 1\nexpect app.choice.label Picked\nexpect app.note.label after\n"
      "get app.gone\nres app.fresh labelString\nget app.fresh.label\n");
  ASSERT_TRUE(runner.turnUntil("app.fresh.label = new here\n")) << runner.err();
  EXPECT_NE(runner.out().find("app.gone missing\n"), std::string::npos) << runner.out();
  EXPECT_NE(runner.out().find("app.fresh labelString = new here\n"), std::string::npos)
      << "the new label is on screen: " << runner.out();
  runner.send("set app.choice.width 80\nexpect app.note.width 85\n");
  // A value in place of the link, and the object it linked to gone.
  write("watched.yaml", head +
                            "  note:\n    type: UIlabel\n    label: after\n    width: 50\n"
                            "  echo:\n    type: UIlabel\n    label: plain\n");
  ASSERT_TRUE(runner.turnUntil("reloaded " + file, false, 2)) << runner.err();
  runner.send(
      "expect app.note.width 50\nexpect app.echo.label plain\nexpect app.title Watch\n"
      "get app.choice\n");
  ASSERT_TRUE(runner.turnUntil("app.choice missing\n")) << runner.err();
  // Broken: the running interface stays, the problem is reported where it is.
  write("watched.yaml", head + "  note:\n    type: UIlabel\n    width: wide\n");
  ASSERT_TRUE(runner.turnUntil("not reloaded", true)) << runner.err();
  EXPECT_NE(runner.err().find(file + ":9:12: bad value 'wide' for 'width' (an int)\n"),
            std::string::npos)
      << runner.err();
  runner.send("expect app.note.label after\nexpect app.note.width 50\nget app.fresh\n");
  EXPECT_EQ(runner.finish(), 0) << runner.err();
}

}  // namespace

namespace {

// The dialogs example, driven by its script: every kind opens from its button and writes back.
TEST_F(Uirun, TheDialogsExampleAnswersItsScript) {
  fs::path root = UI_PROJECT_ROOT;
  Result r = run((root / "examples/dialogs.yaml").string() + " --script " +
                 (root / "tests/runner/dialogs.script").string());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("dialogs.multi.selectedText = [red, blue]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("dialogs.panelDialog:Separator y = "), std::string::npos) << r.out;
  // A widget name that is not there is a script error naming it.
  Result bad = run((root / "examples/dialogs.yaml").string() + " --script -",
                   "click dialogs.openMessage\nclick dialogs.message:Nothing\n");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("no widget Nothing in dialogs.message"), std::string::npos) << bad.err;
  // The gallery's buttons open its dialogs.
  Result gallery = run((root / "examples/gallery.yaml").string() + " --script -",
                       "click gallery.openMessage\nexpect gallery.messageDialog.visible 1\n"
                       "click gallery.messageDialog:OK\nexpect gallery.messageDialog.ok 1\n"
                       "click gallery.openFile\nclose gallery.fileDialog\n"
                       "expect gallery.fileDialog.cancel 1\n");
  EXPECT_EQ(gallery.status, 0) << gallery.err;
}

}  // namespace
