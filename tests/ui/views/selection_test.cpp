// Selections kept in step and written back to their object, and the string-choice copy;
// without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "om/om.h"
#include "svc/err.h"
#include "ui/import.h"

namespace {

class Selection : public ::testing::Test {
 protected:
  void SetUp() override {
    OMinit();
    static int n = 0;
    std::string name = "sel" + std::to_string(++n);
    obj = OMcreate_obj(OMstr_to_name(name.c_str()), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
    for (auto [prop, kind] : {std::pair<const char*, int>{"count", OM_KIND_INT},
                              {"strings", OM_KIND_STR_ARRAY},
                              {"selectedItem", OM_KIND_INT},
                              {"selectedString", OM_KIND_STRING}})
      OMcreate_obj(OMstr_to_name(prop), kind, obj, OMnull_obj, 0);
    s.id = obj;
    s.count = 3;
    s.strings = list;
    s.selectedIndex = 0;
    s.selectedString = nullptr;
  }
  void TearDown() override {
    std::free(s.selectedString);
    OMdestroy_obj(obj, 0);
  }
  void choose(const char* text) {
    std::free(s.selectedString);
    s.selectedString = text ? strdup(text) : nullptr;
  }
  int intOf(const char* prop) {
    int v = -99;
    OMget_int_val(OMfind_str_subobj(obj, prop, 0), &v);
    return v;
  }
  std::string textOf(const char* prop) {
    char* t = nullptr;
    if (OMget_str_val(OMfind_str_subobj(obj, prop, 0), &t, 0) != 1) return "<unset>";
    std::string out = t;
    std::free(t);
    return out;
  }
  bool written(const char* prop) { return OMis_set(OMfind_str_subobj(obj, prop, 0)) != 0; }

  char a[6] = "red", b[6] = "green", c[6] = "blue";
  char* list[4] = {a, b, c, nullptr};
  OMobj_id obj = OMnull_obj;
  UIselection s{};
};

TEST_F(Selection, AnIndexOutOfRangeBecomesTheFirstEntry) {
  s.selectedIndex = 5;
  choose("blue");
  EXPECT_EQ(UIupdate_selection(&s, 0), 1);
  EXPECT_EQ(s.selectedIndex, 0);
  EXPECT_STREQ(s.selectedString, "red");
  EXPECT_EQ(intOf("selectedItem"), 0);
  EXPECT_EQ(textOf("selectedString"), "red");
  s.selectedIndex = -1;
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_STRING), 1);
  EXPECT_EQ(s.selectedIndex, 0);
}

TEST_F(Selection, AChangedIndexPicksItsString) {
  choose("red");
  s.selectedIndex = 2;
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_INDEX), 1);
  EXPECT_STREQ(s.selectedString, "blue");
  EXPECT_EQ(textOf("selectedString"), "blue");
  EXPECT_FALSE(written("selectedItem")) << "the index came from the object: not written back";
}

TEST_F(Selection, AChangedStringPicksItsIndexOrResetsToTheFirst) {
  choose("green");
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_STRING), 1);
  EXPECT_EQ(s.selectedIndex, 1);
  EXPECT_EQ(intOf("selectedItem"), 1);
  EXPECT_FALSE(written("selectedString")) << "an unchanged string is not written";
  choose("purple");
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_STRING), 1);
  EXPECT_EQ(s.selectedIndex, 0);
  EXPECT_STREQ(s.selectedString, "red");
  EXPECT_EQ(textOf("selectedString"), "red");
  EXPECT_EQ(intOf("selectedItem"), 0);
}

TEST_F(Selection, ANewListKeepsTheStringAtItsNewPlace) {
  choose("blue");
  s.selectedIndex = 2;
  char* reordered[] = {c, a, b};
  s.strings = reordered;
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_STRINGS), 1);
  EXPECT_EQ(s.selectedIndex, 0);
  EXPECT_STREQ(s.selectedString, "blue");
}

TEST_F(Selection, ANullEntryEndsTheListAndANullStringIsFilledIn) {
  list[2] = nullptr;
  s.selectedIndex = 2;
  EXPECT_EQ(UIupdate_selection(&s, 0), 1);
  EXPECT_EQ(s.count, 2);
  EXPECT_EQ(intOf("count"), 2) << "the cut count is written back";
  EXPECT_EQ(s.selectedIndex, 0);
  EXPECT_STREQ(s.selectedString, "red");
}

TEST_F(Selection, InvalidStructuresAreLeftUnchanged) {
  choose("green");
  s.selectedIndex = 7;
  list[0] = nullptr;
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_INDEX), 0) << "a null first string";
  s.strings = nullptr;
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_INDEX), 0) << "no strings";
  list[0] = a;
  s.strings = list;
  s.count = -2;
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_INDEX), 0) << "a negative count";
  EXPECT_EQ(s.selectedIndex, 7);
  EXPECT_STREQ(s.selectedString, "green");
  EXPECT_FALSE(written("selectedItem"));
  EXPECT_FALSE(written("selectedString"));
  EXPECT_EQ(UIupdate_selection(nullptr, 0), 0);
  s.count = 0;
  EXPECT_EQ(UIupdate_selection(&s, UI_SEL_INDEX), 1) << "an empty selection is done";
  EXPECT_EQ(s.selectedIndex, 7);
}

TEST_F(Selection, InstancingWritesEveryField) {
  s.selectedIndex = 1;
  choose("green");
  EXPECT_EQ(UIinstance_selection(&s), 1);
  EXPECT_EQ(intOf("count"), 3);
  EXPECT_EQ(intOf("selectedItem"), 1);
  EXPECT_EQ(textOf("selectedString"), "green");
  int size = 0;
  OMget_array_size(OMfind_str_subobj(obj, "strings", 0), &size);
  EXPECT_EQ(size, 3);
  char* second = nullptr;
  ASSERT_EQ(OMget_str_array_val(OMfind_str_subobj(obj, "strings", 0), 1, &second, 0), 1);
  EXPECT_STREQ(second, "green");
  std::free(second);
  EXPECT_EQ(UIinstance_selection(nullptr), 0);
}

TEST(StringChoice, CopiesReplaceTheDestinationAndNullIsRefused) {
  char* dst = nullptr;
  EXPECT_EQ(UIstring_choice_copy(&dst, "short"), 1);
  EXPECT_STREQ(dst, "short");
  const std::string longer(5000, 'q');
  EXPECT_EQ(UIstring_choice_copy(&dst, longer.c_str()), 1);
  EXPECT_EQ(std::strlen(dst), 5000u);
  EXPECT_EQ(UIstring_choice_copy(&dst, nullptr), 1);
  EXPECT_STREQ(dst, "");
  std::free(dst);
  testing::internal::CaptureStderr();
  EXPECT_EQ(UIstring_choice_copy(nullptr, "x"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "err in string_choice: dst is NULL!\n");
}

}  // namespace
