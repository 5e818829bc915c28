// Error reporting: formatting, squashing, and the out-of-memory choice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svc/err.h"

namespace {

std::vector<std::string> seen;
void record(const char* reporter, int flag, int severity, const char* text) {
  seen.push_back(std::string(reporter) + "|" + std::to_string(flag) + "|" +
                 std::to_string(severity) + "|" + text);
}

std::string asked;
int retry(const char* format, ...) {
  asked = format;
  return 1;
}
int giveUp(const char*, ...) {
  return 0;
}

class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    previous = ERRset_reporter(record);
  }
  void TearDown() override {
    ERRset_reporter(previous);
    ERRset_outofmem_dialog_handler(nullptr);
  }
  ERRreporter previous = nullptr;
};

TEST_F(Errors, FormatsSquashesAndDropsTrailingLineEnds) {
  ERRerror("UIcore::setBackgroundPixmap", 0, 2, "Couldn't find file %s.\n", "a.x");
  ++ERRerror_squashed;
  ERRerror("quiet", 0, 2, "dropped");
  --ERRerror_squashed;
  ERRerror("long", 1, 2, "%s", std::string(3000, 'x').c_str());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "UIcore::setBackgroundPixmap|0|2|Couldn't find file a.x.");
  EXPECT_EQ(seen[1].size(), std::string("long|1|2|").size() + 3000) << "nothing cut";
}

TEST_F(Errors, OutOfMemoryAsksWhenItCan) {
  EXPECT_EQ(ERRout_of_memory("Can't allocate image buffer"), 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "ERRout_of_memory|0|2|out of memory: Can't allocate image buffer");
  ERRset_outofmem_dialog_handler(retry);
  EXPECT_EQ(ERRout_of_memory("again"), 1) << "retry";
  EXPECT_EQ(asked, "%s");
  EXPECT_EQ(seen.size(), 1u) << "the handler asks instead of a report";
  ERRset_outofmem_dialog_handler(giveUp);
  EXPECT_EXIT(ERRout_of_memory("give up"), ::testing::ExitedWithCode(1), "");
}

}  // namespace
