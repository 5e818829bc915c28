// uirun --edit as a user runs it: scripted button-2 drags saved back into the interface file
// with every other byte unchanged, sessions that leave the file alone, links and aliases left
// as they are, includes, and files that cannot or may not be written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// a at 21, 20 (100 x 40); b a flow mapping without x; c's x a link to a's, its y anchored
// (files may not use aliases, but an anchor alone loads).
const char* kFile =
    "# a file to edit\n"
    "win:\n"
    "  type: UIshell\n"
    "  title: Edit me   # this comment stays\n"
    "  visible: 1\n"
    "  width: 300\n"
    "  height: 220\n"
    "  a:\n"
    "    type: UIlabel\n"
    "    x: 21\n"
    "    y: 20\n"
    "    width: 100\n"
    "    height: 40\n"
    "  b: {type: UIlabel, y: 100, width: 80}\n"
    "  c:\n"
    "    type: UIlabel\n"
    "    x: => a.x\n"
    "    y: &low 150\n"
    "    width: 100\n"
    "  d:\n"
    "    type: UIlabel\n"
    "    x: 160\n"
    "    y: 150\n"
    "    width: 100\n";

class EditSave : public ::testing::Test {
 protected:
  void SetUp() override {
    static int n = 0;
    dir = fs::temp_directory_path() /
          ("layout_save_test_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    fs::create_directories(dir);
    file = write("f.yaml", kFile);
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }
  std::string write(const char* name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
  Result run(const std::string& args, const std::string& script) {
    fs::path in = dir / "script", out = dir / "stdout", err = dir / "stderr";
    std::ofstream(in) << script;
    std::string command = std::string(UIRUN) + " --headless --edit " + args + " --script " +
                          in.string() + " >" + out.string() + " 2>" + err.string();
    Result r;
    int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
  }
  fs::path dir;
  std::string file;
};

TEST_F(EditSave, ADragAndASaveChangeOnlyTheEditedNumbers) {
  Result r = run(file,
                 "click win.a 2\n"
                 "drag win.a 40 20 53 20 2\n"  // 21 + 13 = 34, snapped 36
                 "click win.b 2\n"
                 "drag win.b 40 10 52 10 2\n"  // 0 + 12
                 "drag win.b 77 10 85 10 2\n"  // the right edge: width 80 -> 88
                 "save\n"
                 "quit\n");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("saved "), std::string::npos) << r.out;
  std::string expected = replaced(kFile, "    x: 21\n", "    x: 36\n");
  expected = replaced(expected, "  b: {type: UIlabel, y: 100, width: 80}",
                      "  b: {x: 12, type: UIlabel, y: 100, width: 88}");
  EXPECT_EQ(slurp(file), expected);
}

TEST_F(EditSave, AnUnchangedSessionLeavesTheFileUntouched) {
  struct stat before {};
  ::stat(file.c_str(), &before);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Result r = run(file,
                 "click win.a 2\n"
                 "drag win.a 40 20 53 20 2\n"
                 "undo\n"
                 "expect win.a.x 21\n");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_EQ(slurp(file), kFile);
  struct stat after {};
  ::stat(file.c_str(), &after);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << "not even rewritten";
  EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST_F(EditSave, ANormalExitSavesAndRedoneEditsCount) {
  Result r = run(file,
                 "click win.a 2\n"
                 "drag win.a 40 20 40 33 2\n"  // y 20 + 13 -> 32
                 "undo\n"
                 "redo\n");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  // The move snaps the whole origin: x 21 lands on 20.
  std::string expected = replaced(kFile, "    y: 20\n", "    y: 32\n");
  EXPECT_EQ(slurp(file), replaced(expected, "    x: 21\n", "    x: 20\n"));
}

TEST_F(EditSave, LinksAndAnchorsAreNotOverwritten) {
  Result r = run(file,
                 "click win.c 2\n"
                 "drag win.c 40 10 40 30 2\n"  // y is anchored
                 "drag win.c 40 10 52 10 2\n"  // x is a link
                 "save\n");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("f.yaml:17:8: x is a link; not saved"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("f.yaml:18:8: y is shared through an alias or anchor; not saved"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(slurp(file), kFile);
}

TEST_F(EditSave, AnIncludedObjectIsSavedInItsOwnFile) {
  std::string inc = write("inc.yaml",
                          "other:\n"
                          "  type: UIshell\n"
                          "  visible: 1\n"
                          "  x: 500\n"
                          "  y: 400\n"
                          "  width: 200\n"
                          "  height: 100\n"
                          "  e:\n"
                          "    type: UIlabel\n"
                          "    y: 10\n"
                          "    width: 100\n");
  std::string main = write("main.yaml", std::string("include: [inc.yaml]\n") + kFile);
  Result r = run(main,
                 "click other.e 2\n"
                 "drag other.e 40 10 48 10 2\n"
                 "save\n");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_EQ(slurp(main), std::string("include: [inc.yaml]\n") + kFile);
  EXPECT_NE(slurp(inc).find("    x: 8\n    type: UIlabel\n"), std::string::npos) << slurp(inc);
}

TEST_F(EditSave, ObjectsTheFileDoesNotDefineAreListedAndNotWritten) {
  // The toolbar's buttons are copied from its template's button while the session runs: the
  // file has no place for them, so their edits are listed and every other edit still saved.
  std::string text = replaced(kFile, "  d:\n",
                              "  t1: {type: UItool, label: One}\n"
                              "  t2: {type: UItool, label: Two}\n"
                              "  bar:\n"
                              "    type: UItoolbar\n"
                              "    y: 190\n"
                              "    cmdList: [t1, t2]\n"
                              "  d:\n");
  std::string path = write("tools.yaml", text);
  Result r = run(path,
                 "click win.bar.buttons.button0 2\n"
                 "drag win.bar.buttons.button0 97 10 109 10 2\n"  // the right edge: 100 -> 112
                 "expect win.bar.buttons.button0.width 112\n"
                 "click win.a 2\n"
                 "drag win.a 40 20 53 20 2\n"
                 "save\n");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("Applications[0].win.bar.buttons.button0: width of an object made at "
                       "run time or by a template; not saved\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("button1"), std::string::npos) << "only what was edited is listed";
  EXPECT_NE(r.out.find("saved "), std::string::npos) << r.out;
  EXPECT_EQ(slurp(path), replaced(text, "    x: 21\n", "    x: 36\n"))
      << "no width written anywhere for the button";
}

TEST_F(EditSave, AReadOnlyFileIsRefusedAndTheEditsKept) {
  fs::permissions(file, fs::perms::owner_read);
  Result r = run(file,
                 "click win.a 2\n"
                 "drag win.a 40 20 53 20 2\n"
                 "save\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("is read-only; not saved"), std::string::npos) << r.out;
  EXPECT_EQ(slurp(file), kFile);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(EditSave, AFileChangedOnDiskIsRefused) {
  fs::path in = dir / "fifo";
  ASSERT_EQ(::mkfifo(in.c_str(), 0600), 0);
  fs::path out = dir / "stdout";
  std::string command = std::string(UIRUN) + " --headless --edit " + file + " --script " +
                        in.string() + " >" + out.string() + " 2>&1";
  FILE* p = ::popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  {
    std::ofstream script(in);
    script << "click win.a 2\ndrag win.a 40 20 53 20 2\nget win.a.x\n" << std::flush;
    for (int i = 0; i < 200 && slurp(out).find("win.a.x = 36") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(slurp(out).find("win.a.x = 36"), std::string::npos) << slurp(out);
    std::string changed = replaced(kFile, "Edit me", "Edited elsewhere");
    std::ofstream(file, std::ios::binary) << changed;
    script << "save\n" << std::flush;
  }
  int raw = ::pclose(p);
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
  EXPECT_NE(slurp(out).find("changed on disk since it was loaded; not saved"), std::string::npos)
      << slurp(out);
  EXPECT_EQ(slurp(file), replaced(kFile, "Edit me", "Edited elsewhere"));
}

TEST_F(EditSave, TheButtonArgumentIsChecked) {
  Result r = run(file, "click win.a 9\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("a button from 1 to 5"), std::string::npos) << r.err;
  r = run(file, "drag win.a 1 1 2 2 two\n");
  EXPECT_EQ(r.status, 1);
  r = run(file, "click win.a 1\nclick win.a 3\nexpect win.a.x 21\n");
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
