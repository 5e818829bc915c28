// Template dialogs: built once visible, holding panels and buttons, keeping a given place,
// and reporting the client size above the separator.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <string>
#include <vector>

#include "om/om_scope.h"
#include "ui/dialog.h"
#include "ui/misc.h"
#include "ui/panel.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

bool viewable(Widget w) {
  XWindowAttributes a;
  return !UIisBeingDestroyed(w) && XtWindow(w) &&
         XGetWindowAttributes(XtDisplay(w), XtWindow(w), &a) && a.map_state == IsViewable;
}

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

class Template : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("templateDialog_test");
    uitest::reports().clear();
    static int n = 0;
    prefix = "t" + std::to_string(++n) + "_";
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id make(const char* type, const char* name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints) {
    OMobj_id id = uitest::makeObject(type, prefix + name, parent, ints);
    made.push_back(id);
    return id;
  }
  Widget shown(OMobj_id id) {
    Widget w = nullptr;
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(w = UIobjIdToWidget(id)); }));
    return w;
  }
  std::string prefix;
  std::vector<OMobj_id> made;
};

TEST_F(Template, BuiltOnceVisibleWithPanelAndButtons) {
  OMobj_id dialog = make("UItemplateDialog", "dlg", OMnull_obj,
                         {{"visible", 0}, {"width", 300}, {"height", 220}});
  uitest::pumpFor(20);
  EXPECT_EQ(UIobjIdToWidget(dialog), nullptr);
  EXPECT_EQ(UIobjIdToClass(dialog), nullptr);
  OMobj_id panel = make("UIpanel", "area", dialog, {{"width", 280}, {"height", 120}});
  OMobj_id button = make("UIbutton", "apply", dialog, {});
  OMobj_id label = make("UIlabel", "refused", dialog, {});
  OMset_int_val(sub(dialog, "visible"), 1);
  Widget box = shown(dialog);
  ASSERT_NE(box, nullptr);
  unsigned char type = 0;
  XtVaGetValues(box, XmNdialogType, &type, nullptr);
  EXPECT_EQ(type, XmDIALOG_TEMPLATE);
  EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON)));
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(button)); }));
  EXPECT_EQ(XtParent(UIobjIdToWidget(button)), box);
  EXPECT_EQ(XtParent(UIobjIdToWidget(panel)), box);
  EXPECT_EQ(UIobjIdToWidget(label), nullptr) << "a label is no template dialog child";
  // The client height is the area above the separator; the panel learns its own.
  Widget separator = XmMessageBoxGetChild(box, XmDIALOG_SEPARATOR);
  Position sepY = 0;
  XtVaGetValues(separator, XmNy, &sepY, nullptr);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(dialog, "clientHeight") == sepY; }));
  EXPECT_GT(sepY, 1);
  Dimension width = 0;
  XtVaGetValues(box, XmNwidth, &width, nullptr);
  EXPECT_EQ(intOf(dialog, "clientWidth"), width);
  // OK writes "ok" and hides it; the window manager's close destroys it.
  uitest::click(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(dialog, "ok") == 1; }));
  EXPECT_EQ(intOf(dialog, "visible"), 0);
}

TEST_F(Template, AGivenPlaceIsKeptAndOKCanGo) {
  OMobj_id dialog = make("UItemplateDialog", "placed", OMnull_obj,
                         {{"visible", 1}, {"x", 130}, {"y", 140}, {"okButton", 0}});
  Widget box = shown(dialog);
  Boolean defaultPosition = True;
  XtVaGetValues(box, XmNdefaultPosition, &defaultPosition, nullptr);
  EXPECT_FALSE(defaultPosition);
  Position x = 0, y = 0;
  XtVaGetValues(XtParent(box), XmNx, &x, XmNy, &y, nullptr);
  EXPECT_EQ(x, 130);
  EXPECT_EQ(y, 140);
  EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON)));
  Widget defaultButton = reinterpret_cast<Widget>(1);
  XtVaGetValues(box, XmNdefaultButton, &defaultButton, nullptr);
  EXPECT_EQ(defaultButton, nullptr);
  // Without x or y Motif places it: centred over the hidden shell, not at the corner.
  OMobj_id free = make("UItemplateDialog", "free", OMnull_obj, {{"visible", 1}});
  XtVaGetValues(XtParent(shown(free)), XmNx, &x, XmNy, &y, nullptr);
  EXPECT_GT(x, 0);
  EXPECT_GT(y, 0);
}

}  // namespace
