// Toolbars and label arrays made through the object manager on the shared server: their
// buttons and labels become widgets where the layout puts them, and a real click on a tool's
// button does the tool.
#include <gtest/gtest.h>

#include <Xm/Xm.h>

#include <string>
#include <vector>

#include "ui/misc.h"
#include "ui/palette.h"
#include "ui/wind.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

class Toolbars : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("toolbar_test");
    static int n = 0;
    prefix = "t" + std::to_string(++n) + "_";
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    window = track(OMcreate_obj_from_path("UIshell", (prefix + "win").c_str(), place));
    OMset_int_val(sub(window, "visible"), 1);
    OMset_int_val(sub(window, "width"), 400);
    OMset_int_val(sub(window, "height"), 300);
    OMpop_ctx(place);
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      if (OMvalid_obj(*it, OMnull_obj, 0)) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id track(OMobj_id id) {
    made.push_back(id);
    return id;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Toolbars, ButtonsAreMadeWhereTheLayoutPutsThemAndAClickDoesTheTool) {
  OMobj_id place = uitest::instancePlace();
  std::vector<OMobj_id> tools;
  for (const char* name : {"open", "save", "print"}) {
    OMobj_id t = track(OMcreate_obj_from_path("UItool", (prefix + name).c_str(), place));
    OMset_str_val(sub(t, "label"), name);
    tools.push_back(t);
  }
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id bar = track(OMcreate_obj_from_path("UItoolbar", (prefix + "bar").c_str(), place));
  OMset_obj_ref(sub(bar, "parent"), window, 0);
  OMset_int_val(sub(bar, "visible"), 1);
  OMset_int_val(sub(bar, "templ.button.width"), 32);
  OMset_int_val(sub(bar, "templ.button.height"), 32);
  for (OMobj_id t : tools) OMadd_array_val(sub(bar, "cmdList"), t, 0);
  OMpop_ctx(place);
  uitest::pumpFor(50);
  EXPECT_EQ(intOf(bar, "width"), 104);
  EXPECT_EQ(intOf(bar, "height"), 36);
  EXPECT_EQ(UIobjIdToWidget(sub(bar, "templ.button")), nullptr) << "the template has no window";
  std::vector<Widget> buttons;
  for (int i = 0; i < 3; ++i) {
    OMobj_id b = sub(bar, ("buttons.button" + std::to_string(i)).c_str());
    Widget w = UIobjIdToWidget(b);
    ASSERT_NE(w, nullptr) << "button " << i;
    buttons.push_back(w);
  }
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(buttons[2]); }));
  EXPECT_EQ(XtParent(buttons[0]), UIobjIdToWidget(bar));
  Dimension barW = 0, barH = 0;
  XtVaGetValues(UIobjIdToWidget(bar), XmNwidth, &barW, XmNheight, &barH, nullptr);
  EXPECT_EQ(barW, 104) << "the window takes the size the layout wrote";
  EXPECT_EQ(barH, 36);
  Position x = 0, y = 0;
  XtVaGetValues(buttons[1], XmNx, &x, XmNy, &y, nullptr);
  EXPECT_EQ(x, 36);
  EXPECT_EQ(y, 2);
  uitest::click(buttons[1]);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(tools[1], "do", 0) == 1; }));
  EXPECT_EQ(intOf(tools[0], "do", 0), 0);
}

TEST_F(Toolbars, ALabelArrayMakesLabels) {
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id arr = track(OMcreate_obj_from_path("UIlabelArray", (prefix + "arr").c_str(), place));
  OMset_obj_ref(sub(arr, "parent"), window, 0);
  for (int i = 0; i < 3; ++i)
    OMset_str_array_val(sub(arr, "labels"), i, ("row " + std::to_string(i)).c_str());
  OMset_int_val(sub(arr, "yStart"), 50);
  OMpop_ctx(place);
  uitest::pumpFor(50);
  OMobj_id third;
  ASSERT_EQ(OMget_array_val(sub(arr, "UIlabel"), 2, &third, 0), 1);
  Widget w = UIobjIdToWidget(third);
  ASSERT_NE(w, nullptr);
  Position y = 0;
  XtVaGetValues(w, XmNy, &y, nullptr);
  EXPECT_EQ(y, 50 + 2 * 28);
}

}  // namespace
