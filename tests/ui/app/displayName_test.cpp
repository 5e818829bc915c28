// Display name normalisation, without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/dpyMgr.h"
#include "ui/init.h"

namespace {

std::string norm(const char* name) {
  return UIdpyContext::cnvtDisplayName(name).c_str();
}

TEST(DisplayNames, TheTableOfForms) {
  EXPECT_EQ(norm(":0"), ":0.0");
  EXPECT_EQ(norm("unix:0.1"), "unix:0.1");
  EXPECT_EQ(norm("host"), "host:0.0");
  EXPECT_EQ(norm("host:"), "host:0.0");
  EXPECT_EQ(norm("host:1.123"), "host:1.12");
  EXPECT_EQ(norm("0"), ":0.0");
  EXPECT_EQ(norm("host:x"), "host:0.0");
  EXPECT_EQ(norm(nullptr), "");
  EXPECT_EQ(norm(""), "");
  EXPECT_EQ(norm(":0.0"), ":0.0");
  EXPECT_EQ(norm("12"), ":12.0");
  EXPECT_EQ(norm(":3.x"), ":3.0");
  EXPECT_EQ(norm(":3."), ":3.0");
}

TEST(DisplayNames, HostileNamesStayBoundedAndSafe) {
  std::string huge(5000, '9');
  EXPECT_EQ(norm((":" + huge).c_str()), ":" + huge + ".0") << "digits are kept, not parsed";
  std::string host(4096, 'h');
  EXPECT_EQ(norm((host + ":1").c_str()), host + ":1.0");
  EXPECT_EQ(norm("::1:0"), ":0.0") << "host ':', then a display part without digits";
  EXPECT_EQ(norm("host:.5"), "host:0.5");
  EXPECT_EQ(norm("[::1]:0"), "[:0.0") << "the host part ends at the first ':'";
  EXPECT_EQ(norm("h:1.2.3"), "h:1.2");
  EXPECT_EQ(norm("h:1.23456"), "h:1.23");
  EXPECT_EQ(norm("-:x"), "-:0.0");
}

// The standard options as the toolkit parses them: the same abbreviations, and the value of
// another option is never taken for one.
TEST(CommandLineOptions, ReadLikeTheToolkit) {
  auto option = [](std::vector<std::string> line, const char* resource) {
    std::vector<char*> argv;
    for (std::string& a : line) argv.push_back(a.data());
    argv.push_back(nullptr);
    GlobalArgs args(static_cast<int>(line.size()), argv.data());
    return UIcommandLineOption(resource);
  };
  EXPECT_EQ(option({"tool", "-display", ":5"}, "display"), ":5");
  EXPECT_EQ(option({"tool", "-d", ":6"}, "display"), ":6") << "an abbreviation";
  EXPECT_EQ(option({"tool", "-disp", ":7", "file.yaml"}, "display"), ":7");
  EXPECT_EQ(option({"tool", "-title", "-display", "file.yaml"}, "display"), "")
      << "a title that looks like an option";
  EXPECT_EQ(option({"tool", "-title", "-display"}, "title"), "-display");
  EXPECT_EQ(option({"tool", "-xrm", "*display: :9"}, "display"), "") << "a resource line";
  EXPECT_EQ(option({"tool", "-name", "painted", "-geometry", "10x20+3+4"}, "name"), "painted");
  EXPECT_EQ(option({"tool", "-name", "painted", "-geometry", "10x20+3+4"}, "geometry"),
            "10x20+3+4");
  EXPECT_EQ(option({"tool", "-iconic"}, "iconic"), "on");
  EXPECT_EQ(option({"tool", "file.yaml"}, "iconic"), "");
  EXPECT_EQ(option({"tool", "-display"}, "display"), "") << "no value";
  EXPECT_EQ(option({"tool"}, "display"), "");
}

TEST(CommandLineOptions, TheDisplayOptionBeatsTheEnvironment) {
  std::vector<std::string> line{"tool", "-display", ":41"};
  std::vector<char*> argv;
  for (std::string& a : line) argv.push_back(a.data());
  argv.push_back(nullptr);
  setenv("DISPLAY", ":42", 1);
  {
    GlobalArgs args(3, argv.data());
    EXPECT_EQ(UIdefaultDisplayName(), ":41");
  }
  GlobalArgs none(1, argv.data());
  EXPECT_EQ(UIdefaultDisplayName(), ":42");
  unsetenv("DISPLAY");
  EXPECT_EQ(UIdefaultDisplayName(), "");
}

}  // namespace
