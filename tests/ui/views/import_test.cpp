// Imported windows and dynamic windows on the shared server: a subclass of the import base
// that makes its own widget, the base's refusals, names and sizes, and the event service.
#include <gtest/gtest.h>

#include <Xm/DrawingA.h>

#include <cstring>
#include <string>
#include <vector>

#include "om/om_registry.h"
#include "svc/ev.h"
#include "ui/import.h"
#include "ui/misc.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

// What an application's imported window looks like: it makes a drawing area of the object's
// size under the parent window and hands it to the base.
class TestImport : public UIimport {
 public:
  explicit TestImport(OMobj_id id) : UIimport(id) {}
  bool instanceObject() override {
    Widget parent = GetParentWindow(objId);
    if (!parent) return false;
    int w = 0, h = 0;
    GetWindowSize(objId, w, h);
    char name[64];
    GetWindowName(objId, name, sizeof name);
    Widget da =
        XtVaCreateManagedWidget(name, xmDrawingAreaWidgetClass, parent, XmNwidth, w, XmNheight, h,
                                XmNuserData, static_cast<UIwindow*>(this), nullptr);
    onObjectCreate(da, objId);
    return true;
  }
};

int testImportInstance(OMobj_id id) {
  return UIinstanceEntry<TestImport>(id);
}
int testImportUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<TestImport>(id, mask, seq);
}

const char* kTemplates =
    "templates:\n"
    "  TestImport:\n"
    "    base: UIimport\n"
    "    methods: { instance: testImportInstance, update: testImportUpdate }\n";

class Imports : public ::testing::Test {
 protected:
  void SetUp() override {
    OMregister_instance_method("testImportInstance", testImportInstance);
    OMregister_update_method("testImportUpdate", testImportUpdate);
    uitest::startLibrary("import_test", kTemplates);
    static int n = 0;
    prefix = "m" + std::to_string(++n) + "_";
    window = make("UIshell", "win", OMnull_obj, {{"width", 400}, {"height", 300}});
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      if (OMvalid_obj(*it, OMnull_obj, 0)) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id make(const char* type, const std::string& name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints = {}) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id o = OMcreate_obj_from_path(type, (prefix + name).c_str(), place);
    if (!!parent) OMset_obj_ref(sub(o, "parent"), parent, 0);
    if (sub(o, "visible").serial) OMset_int_val(sub(o, "visible"), 1);
    for (auto& [prop, v] : ints) OMset_int_val(sub(o, prop), v);
    OMpop_ctx(place);
    made.push_back(o);
    return o;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  static Widget ptrOf(OMobj_id id, const char* path) {
    void* p = nullptr;
    OMget_ptr_val(sub(id, path), &p, 0);
    return static_cast<Widget>(p);
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Imports, ASubclassMakesItsWindowThroughTheBase) {
  OMobj_id imp = make("TestImport", "imp", window);
  Widget w = UIobjIdToWidget(imp);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(XmIsDrawingArea(w));
  EXPECT_EQ(std::string(XtName(w)), prefix + "imp");
  Dimension width = 0, height = 0;
  XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, nullptr);
  EXPECT_EQ(width, 200) << "unset sizes are 200";
  EXPECT_EQ(height, 200);
  auto* b = dynamic_cast<UIimport*>(UIobjIdToClass(imp));
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->classType(), "UIimport");
  EXPECT_EQ(UIimport::GetParentWindow(imp), UIobjIdToWidget(window));
  // The object's side reaches the widget through the base's update.
  OMset_int_val(sub(imp, "width"), 120);
  b->updateObject(imp);
  XtVaGetValues(w, XmNwidth, &width, nullptr);
  EXPECT_EQ(width, 120);
  OMdestroy_obj(imp, 0);
  uitest::pumpFor(20);
  EXPECT_TRUE(UIisBeingDestroyed(w)) << "destroyed through the base";
}

TEST_F(Imports, TheBaseRefusesToMakeAWindow) {
  OMobj_id plain = make("UIimport", "plain", window);
  EXPECT_EQ(UIobjIdToWidget(plain), nullptr);
  auto* b = new UIimport(plain);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(b->instanceObject());
  EXPECT_EQ(b->instanceObject(plain), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "UIimport::instanceObject() must be implemented by user in derived class\n"
            "UIimport::instanceObject(OMobj_id) must be implemented by user in derived class\n");
  delete b;
}

TEST_F(Imports, NamesAreCutToTheBufferAndSizesFallBack) {
  const std::string longName(300, 'n');
  OMobj_id place = uitest::instancePlace();
  OMobj_id o = OMcreate_obj_from_path("UIimport", longName.c_str(), place);
  made.push_back(o);
  char buf[16];
  std::memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(UIimport::GetWindowName(o, buf, 10), 9);
  EXPECT_EQ(std::string(buf), std::string(9, 'n'));
  EXPECT_EQ(buf[10], 'Z') << "nothing written past len";
  EXPECT_EQ(UIimport::GetWindowName(o, buf, 1), 0);
  EXPECT_EQ(buf[0], '\0');
  buf[0] = 'Z';
  EXPECT_EQ(UIimport::GetWindowName(o, buf, 0), 0);
  EXPECT_EQ(UIimport::GetWindowName(o, buf, -5), 0);
  EXPECT_EQ(buf[0], 'Z') << "a length below 1 writes nothing";
  EXPECT_EQ(UIimport::GetWindowName(o, nullptr, 10), 0);
  std::vector<char> big(400, 'Z');
  EXPECT_EQ(UIimport::GetWindowName(o, big.data(), 400), 300);
  EXPECT_EQ(std::string(big.data()), longName);
  int w = 0, h = 0;
  UIimport::GetWindowSize(o, w, h);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 200);
  OMset_int_val(sub(o, "height"), 33);
  UIimport::GetWindowHeight(o, h, 7);
  UIimport::GetWindowWidth(o, w, 7);
  EXPECT_EQ(h, 33);
  EXPECT_EQ(w, 7);
}

TEST_F(Imports, DynamicWindowsFollowTheirHandle) {
  OMobj_id v1 = make("UIrendView", "v1", window);
  OMobj_id v2 = make("UIrendView", "v2", window, {{"x", 210}});
  Widget w1 = UIobjIdToWidget(v1), w2 = UIobjIdToWidget(v2);
  ASSERT_NE(w1, nullptr);
  OMobj_id dyn = make("UIdynWindow", "dyn", OMnull_obj);
  OMset_obj_ref(sub(dyn, "in_handle"), sub(v1, "handle"), 0);
  EXPECT_TRUE(EVis_dynamic_window(w1));
  EXPECT_EQ(ptrOf(dyn, "old_widget"), w1);
  // Unchanged: no call to the event service (a window taken out behind its back stays out,
  // and "old_widget" is not written).
  EVdel_dynamic_window(w1, 0);
  int stamp = OMget_obj_seq(sub(dyn, "old_widget"), OMnull_obj, 0);
  EXPECT_EQ(UIdyn_wind_update(dyn), 1);
  EXPECT_FALSE(EVis_dynamic_window(w1));
  EXPECT_EQ(OMget_obj_seq(sub(dyn, "old_widget"), OMnull_obj, 0), stamp);
  EVadd_dynamic_window(w1);
  OMset_obj_ref(sub(dyn, "in_handle"), sub(v2, "handle"), 0);
  EXPECT_FALSE(EVis_dynamic_window(w1)) << "the old window leaves";
  EXPECT_TRUE(EVis_dynamic_window(w2));
  EXPECT_EQ(ptrOf(dyn, "old_widget"), w2);
  OMdestroy_obj(dyn, 0);
  EXPECT_FALSE(EVis_dynamic_window(w2)) << "destroying the object takes it out";
}

}  // namespace
