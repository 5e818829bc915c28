// uirun with the standard X toolkit options, on an X server of the test's own: -display with
// and without $DISPLAY, -geometry, -title, -iconic, -name with -xrm, and its window destroyed
// by another client while it runs.
#include <gtest/gtest.h>
#include <png.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "private_display.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// One server for the binary, stopped at exit.
const std::string& server() {
  static PrivateDisplay display;
  static std::string name = [] {
    std::string error;
    return display.start(&error, "1024x768x24");
  }();
  return name;
}

bool waitFor(const std::function<bool()>& pred, int ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// uirun started in the background: its standard input is a pipe the test writes a script to,
// its output goes to files.
class Runner {
 public:
  Runner(const fs::path& dir, std::vector<std::string> args, const char* display)
      : out_(dir / "out"), err_(dir / "err") {
    int in[2];
    if (pipe(in) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      close(in[1]);
      int o = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      if (display)
        setenv("DISPLAY", display, 1);
      else
        unsetenv("DISPLAY");
      std::vector<char*> argv{const_cast<char*>(UIRUN)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(UIRUN, argv.data());
      _exit(127);
    }
    close(in[0]);
    script_ = in[1];
  }
  ~Runner() {
    closeScript();
    if (pid_ > 0 && !finished(0)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void send(const std::string& lines) {
    if (script_ >= 0) (void)!::write(script_, lines.data(), lines.size());
  }
  void closeScript() {
    if (script_ >= 0) close(script_);
    script_ = -1;
  }
  // True once the process has ended within ms; its status is then in status().
  bool finished(int ms) {
    if (done_) return true;
    return waitFor(
        [&] {
          int raw = 0;
          if (waitpid(pid_, &raw, WNOHANG) != pid_) return false;
          status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
          done_ = true;
          return true;
        },
        ms);
  }
  int status() const { return status_; }
  std::string out() const { return slurp(out_); }
  std::string err() const { return slurp(err_); }

 private:
  fs::path out_, err_;
  pid_t pid_ = -1;
  int script_ = -1;
  int status_ = -1;
  bool done_ = false;
};

class UirunXOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(server().empty());
    static int n = 0;
    dir = fs::temp_directory_path() /
          ("uirun_xoptions_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    fs::create_directories(dir);
    file = (dir / "app.yaml").string();
    std::ofstream(file) << R"(app:
  type: UIapp
  title: From the file
  x: 10
  y: 20
  width: 300
  height: 200
  visible: 1
  go:
    type: UIbutton
    x: 10
    y: 10
    width: 80
    height: 30
second:
  type: UIshell
  title: The second
  x: 400
  y: 20
  width: 120
  height: 60
  visible: 1
)";
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs uirun to its end with a script from standard input.
  Runner runToEnd(std::vector<std::string> args, const std::string& script, const char* display) {
    Runner r(dir, std::move(args), display);
    r.send(script);
    r.closeScript();
    EXPECT_TRUE(r.finished(60000)) << "uirun did not end";
    return r;
  }

  fs::path dir;
  std::string file;
};

// The top-level window whose WM_CLASS names the application, viewable; None until there is one.
Window windowOfApplication(Display* d, const std::string& appName, const std::string& title) {
  Window root = None, parent = None, *children = nullptr;
  unsigned count = 0;
  Window found = None;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return None;
  for (unsigned i = 0; i < count && !found; ++i) {
    XClassHint hint{};
    XWindowAttributes attrs;
    char* name = nullptr;
    if (XGetClassHint(d, children[i], &hint)) {
      bool ours = hint.res_name && appName == hint.res_name;
      bool titled = XFetchName(d, children[i], &name) && name && title == name;
      if (ours && titled && XGetWindowAttributes(d, children[i], &attrs) &&
          attrs.map_state == IsViewable)
        found = children[i];
      if (name) XFree(name);
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
    }
  }
  if (children) XFree(children);
  return found;
}

// Pixels of the gallery's icons: saturated blue, unlike the light panels and grey background.
int bluePixels(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return -1;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  size_t width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  png_set_strip_alpha(png);
  png_read_update_info(png, info);
  std::vector<unsigned char> row(width * 3);
  int blue = 0;
  for (size_t y = 0; y < height; ++y) {
    png_read_row(png, row.data(), nullptr);
    for (size_t x = 0; x < width; ++x)
      if (row[x * 3] < 100 && row[x * 3 + 2] > 150) ++blue;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return blue;
}

TEST_F(UirunXOptions, DisplayOptionChoosesTheServerWithAndWithoutDollarDisplay) {
  struct Case {
    std::vector<std::string> display;
    const char* env;
  } const cases[] = {
      {{"-display", server()}, ":97"},  // beats a $DISPLAY that names no server
      {{"-display", server()}, nullptr},
      {{"-d", server()}, nullptr},  // the toolkit's abbreviation
  };
  for (const Case& c : cases) {
    std::string picture = (dir / "gallery.png").string();
    std::vector<std::string> args = c.display;
    args.insert(args.end(), {"--screenshot", picture});
    Runner r = runToEnd(args, "", c.env);
    SCOPED_TRACE(c.display[0] + " with DISPLAY " + (c.env ? c.env : "unset"));
    EXPECT_EQ(r.status(), 0) << r.err();
    EXPECT_EQ(r.err(), "") << "no X errors, every picture found";
    EXPECT_GT(bluePixels(picture), 200) << "the pictures are drawn";
    fs::remove(picture);
  }
}

TEST_F(UirunXOptions, GeometryTitleAndIconicApplyToTheFirstWindow) {
  Runner r = runToEnd({"-display", server(), "-geometry", "320x240+40+50", "-title",
                       "From the line", "-iconic", file, "--script", "-"},
                      "get app.x\nget app.y\nget app.width\nget app.height\n"
                      "get app.title\nget app.iconic\n"
                      "get second.x\nget second.title\nget second.iconic\n",
                      nullptr);
  EXPECT_EQ(r.status(), 0) << r.err();
  EXPECT_EQ(r.out(),
            "app.x = 40\napp.y = 50\napp.width = 320\napp.height = 240\n"
            "app.title = From the line\napp.iconic = 1\n"
            "second.x = 400\nsecond.title = The second\nsecond.iconic unset\n");
  EXPECT_EQ(r.err(), "");
  // A position from the right and bottom edges.
  Runner edge = runToEnd({"-display", server(), "-geometry", "-0-0", file, "--script", "-"},
                         "get app.x\nget app.y\n", nullptr);
  EXPECT_EQ(edge.out(), "app.x = 724\napp.y = 568\n") << edge.err();
}

TEST_F(UirunXOptions, NameChoosesTheResourcesOverTheEnvironment) {
  for (const char* env : {"", "CQ_XAPPNAME=other "}) {
    SCOPED_TRACE(env);
    std::string command = "cd " + dir.string() + " && env -u DISPLAY " + env + UIRUN +
                          " -display " + server() +
                          " -name painted -xrm 'painted*background: red' -xrm "
                          "'other*background: blue' " +
                          file + " --script - >out 2>err <<'EOF'\nres app background\nEOF\n";
    int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << slurp(dir / "err");
    EXPECT_EQ(slurp(dir / "out"), "app background = #ffff00000000\n");
  }
}

TEST_F(UirunXOptions, AWindowDestroyedByAnotherClient) {
  Display* d = XOpenDisplay(server().c_str());
  ASSERT_NE(d, nullptr);
  auto destroyShown = [&](const char* title) {
    Window w = None;
    EXPECT_TRUE(
        waitFor([&] { return (w = windowOfApplication(d, "victim", title)) != None; }, 20000))
        << "no window of WM_CLASS victim titled " << title;
    if (w == None) return false;
    XDestroyWindow(d, w);
    XSync(d, False);
    return true;
  };
  {
    // A script command on the destroyed window's objects fails once, clearly.
    Runner r(dir, {"-display", server(), "-name", "victim", file, "--script", "-"}, nullptr);
    ASSERT_TRUE(destroyShown("From the file"));
    r.send("wait 300\nexpect app.visible 0\nexpect second.visible 1\nclick app.go\n");
    r.closeScript();
    ASSERT_TRUE(r.finished(60000));
    EXPECT_EQ(r.status(), 1);
    std::string err = r.err();
    EXPECT_NE(err.find("app.go"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one message: " << err;
  }
  {
    // Shown again, it is whole: input reaches it.
    Runner r(dir, {"-display", server(), "-name", "victim", file, "--script", "-"}, nullptr);
    ASSERT_TRUE(destroyShown("From the file"));
    r.send(
        "wait 300\nexpect app.visible 0\nset app.visible 1\nsettle\nexpect app.visible 1\n"
        "click app.go\n");
    r.closeScript();
    ASSERT_TRUE(r.finished(60000));
    EXPECT_EQ(r.status(), 0) << r.err();
    EXPECT_EQ(r.err(), "");
  }
  {
    // Without a script, uirun ends once no window is left.
    Runner r(dir, {"-display", server(), "-name", "victim", file}, nullptr);
    r.closeScript();
    ASSERT_TRUE(destroyShown("From the file"));
    EXPECT_FALSE(r.finished(500)) << "the second window is still there";
    ASSERT_TRUE(destroyShown("The second"));
    ASSERT_TRUE(r.finished(20000)) << "uirun still runs without a window";
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.err(), "");
  }
  XCloseDisplay(d);
}

}  // namespace
