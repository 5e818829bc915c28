// Display name normalisation, without a display.
#include <gtest/gtest.h>

#include <string>

#include "ui/dpyMgr.h"

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

}  // namespace
