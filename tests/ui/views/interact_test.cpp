// Mouse interactors on the shared server: records on render views, real drags and clicks
// through XTest, views changed, rebuilt and destroyed under them.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/Label.h>

#include <string>
#include <vector>

#include "ui/interact.h"
#include "ui/misc.h"
#include "ui/rendview.h"
#include "ui/wind.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

class Interactors : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("interact_test");
    uitest::reports().clear();
    static int n = 0;
    prefix = "i" + std::to_string(++n) + "_";
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    window = track(OMcreate_obj_from_path("UIshell", (prefix + "win").c_str(), place));
    OMset_int_val(sub(window, "visible"), 1);
    OMset_int_val(sub(window, "width"), 500);
    OMset_int_val(sub(window, "height"), 400);
    OMpop_ctx(place);
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
  }
  void TearDown() override {
    releaseModifiers();
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      if (OMvalid_obj(*it, OMnull_obj, 0)) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id track(OMobj_id id) {
    made.push_back(id);
    return id;
  }
  OMobj_id view(const std::string& name, OMobj_id parent, int x = 10, int y = 10) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id v = track(OMcreate_obj_from_path("UIrendView", (prefix + name).c_str(), place));
    OMset_obj_ref(sub(v, "parent"), parent, 0);
    OMset_int_val(sub(v, "visible"), 1);
    OMset_int_val(sub(v, "x"), x);
    OMset_int_val(sub(v, "y"), y);
    OMpop_ctx(place);
    uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(v)); });
    return v;
  }
  // An interactor of a type; events as strings (null: unset), view when given.
  OMobj_id interactor(const char* type, const std::string& name, OMobj_id viewObj,
                      std::vector<std::pair<const char*, const char*>> events = {},
                      std::vector<std::pair<const char*, int>> ints = {}) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id i = track(OMcreate_obj_from_path(type, (prefix + name).c_str(), place));
    for (auto& [prop, text] : events) OMset_str_val(sub(i, prop), text);
    for (auto& [prop, v] : ints) OMset_int_val(sub(i, prop), v);
    if (!!viewObj) OMset_obj_ref(sub(i, "view"), viewObj, 0);
    OMpop_ctx(place);
    return i;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  static MouseInteractorRecord* record(OMobj_id id) {
    void* p = nullptr;
    if (OMget_ptr_val(sub(id, "local_ptr"), &p, 0) != 1) return nullptr;
    return static_cast<MouseInteractorRecord*>(p);
  }
  static std::vector<OMobj_id> listOf(OMobj_id viewObj) {
    std::vector<OMobj_id> out;
    UIwindow* b = UIobjIdToClass(viewObj);
    if (!UIwindow::alive(b)) return out;
    for (MouseInteractorRecord* r = b->interactors; r; r = r->next) out.push_back(r->id);
    return out;
  }
  static void holdKey(KeySym sym, bool down) {
    Display* dpy = uitest::display();
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, sym), down ? True : False, CurrentTime);
    XSync(dpy, False);
  }
  static void releaseModifiers() {
    holdKey(XK_Shift_L, false);
    holdKey(XK_Control_L, false);
  }
  // A press at (x1, y1), motion in steps to (x2, y2), release; the interactor's "state", "x"
  // and "y" after each step.
  struct Step {
    int state, x, y;
  };
  std::vector<Step> dragAndWatch(Widget w, OMobj_id watched, int x1, int y1, int x2, int y2,
                                 int button = 1) {
    std::vector<Step> steps;
    auto note = [&] {
      steps.push_back({intOf(watched, "state"), intOf(watched, "x"), intOf(watched, "y")});
    };
    uitest::movePointer(w, x1, y1);
    uitest::pumpFor(20);
    uitest::pressButton(button);
    uitest::pumpFor(30);
    note();
    for (int i = 1; i <= 4; ++i) {
      uitest::movePointer(w, x1 + (x2 - x1) * i / 4, y1 + (y2 - y1) * i / 4);
      uitest::pumpFor(30);
      note();
    }
    uitest::releaseButton(button);
    uitest::pumpFor(30);
    note();
    return steps;
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Interactors, ARenderViewIsTwoHundredSquareAndPublishesItsWindow) {
  OMobj_id v = view("rv", window);
  EXPECT_EQ(intOf(v, "width"), 200);
  EXPECT_EQ(intOf(v, "height"), 200);
  Widget w = UIobjIdToWidget(v);
  ASSERT_NE(w, nullptr);
  auto* b = dynamic_cast<UIrendView*>(UIobjIdToClass(v));
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->classType(), "UIrendView");
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(v, "handle.window", 0) != 0; }));
  EXPECT_EQ(static_cast<Window>(intOf(v, "handle.window", 0)), XtWindow(w));
}

TEST_F(Interactors, RecordsHangOnTheirViewNewestFirst) {
  OMobj_id v = view("rv", window);
  OMobj_id a = interactor("UItwoPoint", "a", v);
  OMobj_id b = interactor("UIonePoint", "b", v);
  OMobj_id c = interactor("UImouseEvents", "c", v);
  EXPECT_EQ(listOf(v), (std::vector<OMobj_id>{c, b, a}));
  ASSERT_NE(record(a), nullptr);
  EXPECT_EQ(record(a)->kind, 2);
  EXPECT_EQ(record(b)->kind, 1);
  EXPECT_EQ(record(c)->kind, 3);
  EXPECT_EQ(record(c)->slot2, 1) << "onButtonDown defaults to 1";
  EXPECT_EQ(record(c)->slot3, 1) << "buttonRequestMask defaults to 1";
  EXPECT_EQ(record(a)->view, UIobjIdToWidget(v));
}

TEST_F(Interactors, EventStringsAreConvertedAndFollowChanges) {
  OMobj_id v = view("rv", window);
  OMobj_id a = interactor("UItwoPoint", "a", v,
                          {{"startEvent", "Shift<Btn1Down>"}, {"runEvent", "Shift<Btn1Motion>"}});
  ASSERT_NE(record(a), nullptr);
  EXPECT_EQ(record(a)->slot1, 257);
  EXPECT_EQ(record(a)->slot2, 260);
  EXPECT_EQ(record(a)->slot3, 0) << "unset stop event";
  OMset_str_val(sub(a, "stopEvent"), "<BtnRUp>");
  OMset_str_val(sub(a, "startEvent"), "nonsense");
  EXPECT_EQ(record(a)->slot3, 9);
  EXPECT_EQ(record(a)->slot1, 0);
}

TEST_F(Interactors, AViewSetLaterAttachesAndAChangeMovesToTheHeadOfTheNewList) {
  OMobj_id v1 = view("v1", window, 10, 10);
  OMobj_id v2 = view("v2", window, 250, 10);
  OMobj_id other = interactor("UIonePoint", "other", v2);
  OMobj_id a = interactor("UItwoPoint", "a", OMnull_obj);
  ASSERT_NE(record(a), nullptr);
  EXPECT_EQ(record(a)->view, nullptr) << "no view: detached";
  OMset_obj_ref(sub(a, "view"), v1, 0);
  EXPECT_EQ(listOf(v1), std::vector<OMobj_id>{a});
  EXPECT_EQ(record(a)->view, UIobjIdToWidget(v1));
  OMset_obj_ref(sub(a, "view"), v2, 0);
  EXPECT_TRUE(listOf(v1).empty());
  EXPECT_EQ(listOf(v2), (std::vector<OMobj_id>{a, other}));
  EXPECT_EQ(record(a)->view, UIobjIdToWidget(v2));
}

TEST_F(Interactors, AViewWithoutALiveBindingWidgetLeavesTheRecordDetached) {
  // A plain object with a handle whose widget is a foreign one (no binding in its user data),
  // then one whose widget is gone.
  OMobj_id place = uitest::instancePlace();
  OMobj_id fake = track(OMcreate_obj_from_path("UIwindow", (prefix + "fake").c_str(), place));
  Widget shell = uitest::newShell("foreign");
  Widget foreign = XtVaCreateManagedWidget("foreign", xmLabelWidgetClass, shell, nullptr);
  OMset_ptr_val(sub(fake, "handle.widget"), foreign, 0);
  OMobj_id a = interactor("UItwoPoint", "a", fake);
  ASSERT_NE(record(a), nullptr);
  EXPECT_EQ(record(a)->view, nullptr);
  EXPECT_EQ(record(a)->binding, nullptr);
  uitest::destroyWidget(shell);
  OMobj_id b = interactor("UIonePoint", "b", fake);
  ASSERT_NE(record(b), nullptr);
  EXPECT_EQ(record(b)->view, nullptr) << "a stale widget is never read";
  EXPECT_EQ(OMdestroy_obj(a, 0), 1);
  EXPECT_EQ(OMdestroy_obj(b, 0), 1);
}

TEST_F(Interactors, DestroyedAfterItsWindowWentOrWasRebuilt) {
  OMobj_id v = view("rv", window);
  OMobj_id a = interactor("UItwoPoint", "a", v);
  OMobj_id b = interactor("UIonePoint", "b", v);
  ASSERT_EQ(OMdestroy_obj(v, 0), 1);
  uitest::pumpFor(20);
  ASSERT_NE(record(a), nullptr);
  EXPECT_EQ(record(a)->view, nullptr);
  EXPECT_EQ(record(a)->binding, nullptr);
  EXPECT_EQ(OMdestroy_obj(a, 0), 1) << "the freed window is not touched";

  // Rebuilt: the view moves under another window, which makes its widget again; the records
  // follow the new widget and still unlink from the same binding.
  OMobj_id v2 = view("rv2", window);
  OMobj_id c = interactor(
      "UItwoPoint", "c", v2,
      {{"startEvent", "<Btn1Down>"}, {"runEvent", "<Btn1Motion>"}, {"stopEvent", "<Btn1Up>"}});
  OMobj_id d = interactor("UIonePoint", "d", v2);
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id win2 = track(OMcreate_obj_from_path("UIshell", (prefix + "win2").c_str(), place));
  OMset_int_val(sub(win2, "visible"), 1);
  OMset_int_val(sub(win2, "width"), 300);
  OMset_int_val(sub(win2, "height"), 300);
  OMpop_ctx(place);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(win2)); }));
  Widget before = UIobjIdToWidget(v2);
  UIwindow* binding = UIobjIdToClass(v2);
  OMset_obj_ref(sub(v2, "parent"), win2, 0);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(v2)); }));
  Widget after = UIobjIdToWidget(v2);
  ASSERT_NE(after, before) << "the move made a new widget";
  ASSERT_EQ(UIobjIdToClass(v2), binding) << "the binding is kept";
  ASSERT_NE(record(c), nullptr);
  EXPECT_EQ(record(c)->view, after);
  EXPECT_EQ(record(d)->view, after);
  std::vector<Step> steps = dragAndWatch(after, c, 20, 20, 60, 40);
  EXPECT_EQ(steps.back().state, 3) << "a drag in the new widget still reaches the record";
  EXPECT_EQ(OMdestroy_obj(c, 0), 1);
  EXPECT_EQ(listOf(v2), std::vector<OMobj_id>{d}) << "unlinked though the widget changed";
  EXPECT_EQ(OMdestroy_obj(d, 0), 1);
  EXPECT_TRUE(listOf(v2).empty());
  (void)b;
}

TEST_F(Interactors, ATwoPointDragWritesPressRunAndReleaseInWindowCoordinates) {
  OMobj_id v = view("rv", window, 30, 40);
  OMobj_id a = interactor(
      "UItwoPoint", "a", v,
      {{"startEvent", "<Btn1Down>"}, {"runEvent", "<Btn1Motion>"}, {"stopEvent", "<Btn1Up>"}});
  Widget w = UIobjIdToWidget(v);
  std::vector<Step> steps = dragAndWatch(w, a, 10, 20, 90, 100);
  ASSERT_EQ(steps.size(), 6u);
  EXPECT_EQ(steps[0].state, 1);
  EXPECT_EQ(steps[0].x, 10);
  EXPECT_EQ(steps[0].y, 20);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(steps[i].state, 2) << "step " << i;
    EXPECT_EQ(steps[i].x, 10 + 80 * i / 4) << "step " << i;
    EXPECT_EQ(steps[i].y, 20 + 80 * i / 4) << "step " << i;
  }
  EXPECT_EQ(steps[5].state, 3);
  EXPECT_EQ(steps[5].x, 90);
  EXPECT_EQ(steps[5].y, 100);
  EXPECT_EQ(MouseState, 0);
}

TEST_F(Interactors, ModifiedDragsNeedTheirModifier) {
  OMobj_id v = view("rv", window);
  OMobj_id shift = interactor("UItwoPoint", "shift", v,
                              {{"startEvent", "Shift<Btn1Down>"},
                               {"runEvent", "Shift<Btn1Motion>"},
                               {"stopEvent", "Shift<Btn1Up>"}});
  OMobj_id control = interactor("UItwoPoint", "control", v,
                                {{"startEvent", "Control<Btn2Down>"},
                                 {"runEvent", "Control<Btn2Motion>"},
                                 {"stopEvent", "Control<Btn2Up>"}});
  Widget w = UIobjIdToWidget(v);
  dragAndWatch(w, shift, 10, 10, 50, 50);
  EXPECT_EQ(intOf(shift, "state"), -12345) << "a plain drag is not a Shift drag";
  holdKey(XK_Shift_L, true);
  std::vector<Step> s = dragAndWatch(w, shift, 10, 10, 50, 50);
  holdKey(XK_Shift_L, false);
  EXPECT_EQ(s.front().state, 1);
  EXPECT_EQ(s[2].state, 2);
  EXPECT_EQ(s.back().state, 3);
  EXPECT_EQ(s.back().x, 50);
  EXPECT_EQ(intOf(control, "state"), -12345);
  holdKey(XK_Control_L, true);
  std::vector<Step> c = dragAndWatch(w, control, 60, 60, 20, 100, 2);
  holdKey(XK_Control_L, false);
  EXPECT_EQ(c.front().state, 1);
  EXPECT_EQ(c[3].state, 2);
  EXPECT_EQ(c.back().state, 3);
  EXPECT_EQ(c.back().x, 20);
  EXPECT_EQ(c.back().y, 100);
}

TEST_F(Interactors, AOnePointButtonThreePress) {
  OMobj_id v = view("rv", window);
  OMobj_id a = interactor("UIonePoint", "a", v, {{"runEvent", "<Btn3Down>"}});
  Widget w = UIobjIdToWidget(v);
  uitest::click(w, 40, 60, 1);
  uitest::pumpFor(20);
  EXPECT_EQ(intOf(a, "state"), -12345) << "button 1 is not button 3";
  uitest::click(w, 40, 60, 3);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(a, "state") == 1; }));
  EXPECT_EQ(intOf(a, "x"), 40);
  EXPECT_EQ(intOf(a, "y"), 60);
}

TEST_F(Interactors, MouseEventsOnButtonDownWithMaskTwo) {
  OMobj_id v = view("rv", window);
  OMobj_id m = interactor("UImouseEvents", "m", v, {}, {{"buttonRequestMask", 2}});
  Widget w = UIobjIdToWidget(v);
  ASSERT_NE(record(m), nullptr);
  EXPECT_EQ(record(m)->slot3, 2);
  uitest::click(w, 30, 30, 1);
  uitest::pumpFor(20);
  EXPECT_EQ(intOf(m, "state"), -12345) << "button 1 is outside the mask";
  uitest::movePointer(w, 50, 70);
  uitest::pressButton(2);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(m, "state") == 1; }));
  EXPECT_EQ(intOf(m, "x"), 50);
  EXPECT_EQ(intOf(m, "y"), 70);
  EXPECT_EQ(intOf(m, "buttonType"), 1);
  EXPECT_EQ(intOf(m, "buttonMask"), 2);
  uitest::movePointer(w, 60, 80);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(m, "state") == 2 && intOf(m, "x") == 60; }));
  uitest::releaseButton(2);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(m, "state") == 3; }));
  EXPECT_EQ(intOf(m, "buttonMask"), 0);
}

// The interactors take motions with a button held only, whatever else the view's window
// listens for: a mouse-events record that asks for every event sees the press and the drag,
// not the pointer passing over.
TEST_F(Interactors, APointerPassingOverReachesNoInteractor) {
  OMobj_id v = view("rv", window);
  OMobj_id m = interactor("UImouseEvents", "m", v, {}, {{"onButtonDown", 0}});
  Widget w = UIobjIdToWidget(v);
  ASSERT_NE(record(m), nullptr);
  for (int i = 0; i < 4; ++i) {
    uitest::movePointer(w, 20 + 10 * i, 30);
    uitest::pumpFor(20);
  }
  EXPECT_EQ(intOf(m, "state"), -12345) << "no button was held";
  uitest::pressButton(1);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(m, "state") == 1; }));
  uitest::movePointer(w, 80, 40);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(m, "state") == 2 && intOf(m, "x") == 80; }));
  uitest::releaseButton(1);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(m, "state") == 3; }));
}

TEST_F(Interactors, EntryPointResultsAndMissingRecords) {
  OMobj_id place = uitest::instancePlace();
  // An object without "local_ptr" gets no record and no message.
  OMobj_id plain = track(OMcreate_obj_from_path("UIwindow", (prefix + "plain").c_str(), place));
  EXPECT_EQ(UItwoPointInstance(plain), 0);
  EXPECT_EQ(UItwoPointUpdate(plain, 0, -1), 0);
  EXPECT_EQ(UIinteractDestroy(plain, 0, 0), 0);
  OMobj_id one = interactor("UIonePoint", "one", OMnull_obj);
  OMobj_id two = interactor("UItwoPoint", "two", OMnull_obj);
  OMobj_id three = interactor("UImouseEvents", "three", OMnull_obj);
  EXPECT_EQ(UIonePointUpdate(one, OM_EVENT_INST, -1), 0) << "the one-point entry returns 0";
  EXPECT_EQ(UItwoPointUpdate(two, OM_EVENT_INST, -1), 1);
  EXPECT_EQ(UImouseEventsUpdate(three, OM_EVENT_INST, -1), 1);
  EXPECT_EQ(UItwoPointUpdate(two, 0, OMget_seq()), 1);
  EXPECT_EQ(UIinteractDestroy(two, 0, 0), 1);
  EXPECT_EQ(record(two), nullptr) << "local_ptr cleared";
  EXPECT_EQ(UIinteractDestroy(two, 0, 0), 0) << "nothing left to destroy";
  EXPECT_EQ(UItwoPointUpdate(two, 0, -1), 0);
}

}  // namespace
