// make_reference as the project uses it: a kit of template files and the notes in, the
// reference out; templates added later appear without a change to the program; --check tells
// a stale reference; notes that name nothing are errors.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class MakeReference : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("make_reference_test_" + std::to_string(::getpid()));
    fs::create_directories(dir / "kit");
    write("kit/00-base.yaml", R"(# The base.
templates:
  Base:
    properties:
      x: int
      color: { kind: group, members: { fg: string } }
)");
    write("notes.yaml", "Base:\n  about: The base of all.\n  flow: { x: both }\n");
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name) << text;
  }
  // Runs the program; its errors end up in `errors`.
  int run(const std::string& args) {
    std::string command =
        std::string(MAKE_REFERENCE) + " " + args + " 2>" + (dir / "errors").string();
    int raw = std::system(command.c_str());
    errors = slurp(dir / "errors");
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string paths(const std::string& notes = "notes.yaml") {
    return (dir / "kit").string() + " " + (dir / notes).string() + " " + (dir / "ref.md").string();
  }
  fs::path dir;
  std::string errors;
};

TEST_F(MakeReference, ATemplateAddedLaterAppearsWithItsPropertiesAndFlows) {
  ASSERT_EQ(run(paths()), 0) << errors;
  std::string before = slurp(dir / "ref.md");
  EXPECT_NE(before.find("| `x` | int | unset | both ways |"), std::string::npos) << before;
  EXPECT_NE(before.find("| `color.fg` | string | unset | object to widget |"), std::string::npos);
  EXPECT_NE(before.find("The base of all."), std::string::npos);
  write("kit/40-later.yaml", R"(# Added later.
templates:
  Later:
    base: Base
    methods: { instance: LaterInstance }
    properties:
      value: { kind: real, default: 2.5 }
      items: { kind: "string[]", default: [a, b] }
)");
  EXPECT_EQ(run("--check " + paths()), 1) << "the reference is stale now";
  EXPECT_NE(errors.find("is stale: run cmake --build build --target reference"), std::string::npos)
      << errors;
  ASSERT_EQ(run(paths()), 0) << errors;
  std::string after = slurp(dir / "ref.md");
  EXPECT_NE(after.find("## Added later\n"), std::string::npos) << after;
  EXPECT_NE(after.find("### Later\n"), std::string::npos);
  EXPECT_NE(after.find("- Based on: [Base](#base)"), std::string::npos);
  EXPECT_NE(after.find("- Methods: instance `LaterInstance`"), std::string::npos);
  EXPECT_NE(after.find("- From [Base](#base): x, color"), std::string::npos);
  EXPECT_NE(after.find("| `value` | real | `2.5` | object to widget |"), std::string::npos);
  EXPECT_NE(after.find("| `items` | string[] | `[a, b]` | object to widget |"), std::string::npos);
  EXPECT_EQ(run("--check " + paths()), 0) << errors;
}

TEST_F(MakeReference, NotesOnWhatDoesNotExistAreErrorsWithTheirPlace) {
  write("bad.yaml", "Base:\n  flow: { y: out, x: sideways }\nNobody:\n  about: no one\n");
  EXPECT_EQ(run(paths("bad.yaml")), 2);
  const std::string bad = (dir / "bad.yaml").string();
  EXPECT_NE(errors.find(bad + ":2:11: 'Base' declares no property 'y'"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find(bad + ":2:22: flow of 'x' is in, out or both, not 'sideways'"),
            std::string::npos)
      << errors;
  EXPECT_NE(errors.find(bad + ":3:1: notes on 'Nobody', which no template file defines"),
            std::string::npos)
      << errors;
  EXPECT_FALSE(fs::exists(dir / "ref.md")) << "nothing is written";
  write("kit/50-broken.yaml", "templates: [\n");
  EXPECT_EQ(run(paths()), 2);
  EXPECT_NE(errors.find("50-broken.yaml"), std::string::npos) << errors;
  EXPECT_EQ(run("only-one-argument"), 2);
}

}  // namespace
