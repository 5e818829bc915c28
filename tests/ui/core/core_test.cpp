// The binding core on a real server, through a small label binding made for the tests: the
// entry protocol, the handle, common resources, the window base, lookups and geometry,
// mouse interactors with real input, stale pointers and hostile pictures.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/Xm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/container.h"
#include "svc/err.h"
#include "svc/image.h"
#include "ui/args.h"
#include "ui/color.h"
#include "ui/core.h"
#include "ui/dpyMgr.h"
#include "ui/init.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/misc.h"
#include "ui/panel.h"
#include "ui/picture.h"
#include "ui/shell.h"
#include "ui/wind.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

// ---- A label binding for the tests --------------------------------------------------------

class UItestLabel : public UIwindow {
 public:
  explicit UItestLabel(OMobj_id id) : UIwindow(id) {
    classType_ = "UItestLabel";
    ++made;
  }
  ~UItestLabel() override { ++deleted; }
  // A deleted binding's memory is filled with garbage, so that a read through a stale
  // pointer fails here rather than finding the old values by luck.
  static void* operator new(std::size_t size) { return ::operator new(size); }
  static void operator delete(void* p, std::size_t size) {
    std::memset(p, 0xdd, size);
    ::operator delete(p);
  }
  bool instanceObject() override {
    Widget parent = getParentWidget();
    if (!parent) return false;
    int x = 0, y = 0, width = 100, height = 28, position = -1;
    autoPlacementManager(parent, &x, &y);
    if (!UIgetOMWindowWidth(objId, &width)) width = 100;
    if (!UIgetOMWindowHeight(objId, &height)) height = 28;
    OMobj_name name = 0;
    OMget_obj_name(objId, &name);
    UIargs args{{XmNx, x},
                {XmNy, y},
                {XmNwidth, width},
                {XmNheight, height},
                {XmNrecomputeSize, False},
                {XmNuserData, this}};
    if (XmIsRowColumn(parent) &&
        OMget_int_val(OMfind_subobj(objId, OMstr_to_name("insertPosition"), 1), &position) == 1)
      args.add(XmNpositionIndex, position);
    Widget w =
        XtCreateWidget(OMname_to_str(name), xmLabelWidgetClass, parent, args.list(), args.count());
    setResources(w, -1);
    onObjectCreate(w);
    return true;
  }
  void updateObject(int seq) override {
    UIwindow::updateObject(seq);
    if (alive(this) && widgetOK()) setResources(widget(), seq);
  }
  static int made;
  static int deleted;
};
int UItestLabel::made = 0;
int UItestLabel::deleted = 0;

int UItestLabelInstance(OMobj_id id) {
  return UIinstanceEntry<UItestLabel>(id);
}
int UItestLabelUpdate(OMobj_id id, unsigned mask, int seq) {
  return UIupdateEntry<UItestLabel>(id, mask, seq);
}
int UItestLabelUpdate1(OMobj_id id) {
  return UIupdate1Entry(id, UItestLabelInstance);
}

using uitest::reports;

// The dataflow of a click: the interactor's update removes the parent of the victim's view.
OMobj_id victim = OMnull_obj;
int TestCutParent(OMobj_id, unsigned, int) {
  if (!!victim) OMset_obj_val(OMfind_subobj(victim, OMstr_to_name("parent"), 0), OMnull_obj, 0);
  return 1;
}

// The dataflow of a grouping write: a spawner's update adds labels under a host.
OMobj_id spawnHost = OMnull_obj;
int spawned = 0;
int TestSpawn(OMobj_id, unsigned, int) {
  if (!spawnHost) return 1;
  OMobj_id place;
  OMget_array_subobj(OMinst_obj, 0, &place, 0);
  OMpush_ctx(place, 0, 0, 0);
  for (int i = 0; i < 12; ++i) {
    std::string name = "spawn" + std::to_string(++spawned);
    OMobj_id id = OMcreate_obj_from_path("UItestLabel", name.c_str(), place);
    OMset_obj_ref(OMfind_subobj(id, OMstr_to_name("parent"), 0), spawnHost, 0);
  }
  OMpop_ctx(place);
  spawnHost = OMnull_obj;  // once
  return 1;
}

const char kTemplates[] = R"(
templates:
  UItestLabel:
    base: UIwindow
    methods: { instance: UItestLabelInstance, update: UItestLabelUpdate }
    properties: { label: string }
  UItestLabel1:
    base: UIwindow
    methods: { instance: UItestLabelInstance, update1: UItestLabelUpdate1 }
  TestHost:
    properties: { handle: { type: UIwinHandle } }
  TestInteractor:
    properties: { x: int, y: int, time: int, state: int, buttonType: int, buttonMask: int,
                  modMask: int, modType: int }
  TestCuttingInteractor:
    base: TestInteractor
    methods: { update: TestCutParent }
  TestSpawner:
    methods: { update: TestSpawn }
    properties: { watch: int }
)";

void startOnce() {
  unsetenv("KLT_GAMMA");
  unsetenv("KLT_UI_GAMMA");
  OMregister_instance_method("UItestLabelInstance", UItestLabelInstance);
  OMregister_update_method("UItestLabelUpdate", UItestLabelUpdate);
  OMregister_update1_method("UItestLabelUpdate1", UItestLabelUpdate1);
  OMregister_update_method("TestCutParent", TestCutParent);
  OMregister_update_method("TestSpawn", TestSpawn);
  uitest::startLibrary("core_test", kTemplates);
}

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}
int intOf(OMobj_id id, const char* path, int fallback = -12345) {
  int v = fallback;
  OMget_int_val(sub(id, path), &v);
  return v;
}

class Core : public ::testing::Test {
 protected:
  void SetUp() override {
    startOnce();
    reports().clear();
    OMget_array_subobj(OMinst_obj, 0, &place, 0);
    static int n = 0;
    prefix = "c" + std::to_string(++n) + "_";
    shell = XtVaAppCreateShell("core", "Corvane", topLevelShellWidgetClass, uitest::display(),
                               XmNwidth, 400, XmNheight, 300, nullptr);
    box = XtVaCreateManagedWidget("box", containerWidgetClass, shell, XmNwidth, 400, XmNheight, 300,
                                  XmNbackground, 0x336699ul, XmNforeground, 0xffff00ul, nullptr);
    XtRealizeWidget(shell);
    ASSERT_TRUE(uitest::showAndWait(shell, box));
    host = hostFor(box, "host");
  }
  void TearDown() override {
    for (OMobj_id id : made) OMdestroy_obj(id, 0);
    uitest::destroyWidget(shell);
  }
  // An object that stands for an existing widget, as a container object would.
  OMobj_id hostFor(Widget w, const char* name) {
    OMobj_id h = OMcreate_obj_from_path("TestHost", (prefix + name).c_str(), place);
    OMset_ptr_val(sub(h, "handle.widget"), w, 0);
    made.push_back(h);
    return h;
  }
  OMobj_id label(const char* name, OMobj_id parent,
                 std::vector<std::pair<const char*, int>> ints = {{"visible", 1}},
                 const char* type = "UItestLabel") {
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id id = OMcreate_obj_from_path(type, (prefix + name).c_str(), place);
    if (!!parent) OMset_obj_ref(sub(id, "parent"), parent, 0);
    for (auto& [prop, v] : ints) OMset_int_val(sub(id, prop), v);
    OMpop_ctx(place);
    made.push_back(id);
    return id;
  }
  Widget widgetOf(OMobj_id id) { return UIobjIdToWidget(id); }
  bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }

  OMobj_id place = OMnull_obj;
  std::string prefix;
  Widget shell = nullptr;
  Widget box = nullptr;
  OMobj_id host = OMnull_obj;
  std::vector<OMobj_id> made;
};

// ---- The entry protocol and the handle -----------------------------------------------------

TEST_F(Core, InstancingPublishesTheWidgetAndCxxhandle) {
  OMobj_id a = label("a", host, {{"visible", 1}, {"x", 10}, {"y", 20}});
  Widget w = widgetOf(a);
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(XtName(w), (prefix + "a").c_str());
  UIwindow* binding = UIobjIdToClass(a);
  ASSERT_NE(binding, nullptr);
  EXPECT_TRUE(binding->OK());
  EXPECT_EQ(UIwidgetToClass(w), binding);
  EXPECT_TRUE(UIwidgetToObjId(w) == a);
  EXPECT_EQ(intOf(a, "handle.event"), 1);
  EXPECT_EQ(static_cast<Window>(static_cast<unsigned>(intOf(a, "handle.window"))), XtWindow(w));
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  // A change of size from the object's side: event 2.
  OMset_int_val(sub(a, "width"), 150);
  EXPECT_EQ(intOf(a, "handle.event"), 2);
  Dimension width = 0;
  XtVaGetValues(w, XmNwidth, &width, nullptr);
  EXPECT_EQ(width, 150);
  // Destruction from the object's side clears the handle and deletes the binding.
  int deleted = UItestLabel::deleted;
  OMdestroy_obj(a, 0);
  EXPECT_EQ(UItestLabel::deleted, deleted + 1);
  EXPECT_TRUE(UIisBeingDestroyed(w));
}

// Widgets of another component, known by their names, keep their user data to themselves:
// even one naming a live binding does not make them that binding's widget.
TEST_F(Core, ContainerAndPrimitiveWidgetsOfAnotherComponentAreNoBindings) {
  OMobj_id a = label("owner", host, {{"visible", 1}});
  UIwindow* binding = UIobjIdToClass(a);
  ASSERT_NE(binding, nullptr);
  for (const char* name : {"NEcontainer", "NEprimitive", "NEcontainers", "other"}) {
    Widget w = XtVaCreateWidget(
        name, std::strcmp(name, "NEprimitive") ? xmFormWidgetClass : xmLabelWidgetClass, box,
        XmNuserData, binding, nullptr);
    bool foreign = std::strcmp(name, "NEcontainer") == 0 || std::strcmp(name, "NEprimitive") == 0;
    EXPECT_EQ(UIwidgetToClass(w), foreign ? nullptr : binding) << name;
    XtDestroyWidget(w);
  }
  OMdestroy_obj(a, 0);
}

TEST_F(Core, TheEntryProtocolsEdgeCases) {
  // No parent: no widget, no binding left behind.
  int deleted = UItestLabel::deleted;
  OMobj_id orphan = label("orphan", OMnull_obj);
  EXPECT_EQ(UIobjIdToClass(orphan), nullptr);
  EXPECT_EQ(UItestLabel::deleted, deleted + 1);
  // An update of an object without binding makes one and instances it.
  OMset_obj_ref(sub(orphan, "parent"), host, 0);
  ASSERT_NE(UIobjIdToClass(orphan), nullptr);
  EXPECT_NE(widgetOf(orphan), nullptr);
  // Mask bit 8 always makes a fresh binding; "cxxhandle" names the newest.
  UIwindow* first = UIobjIdToClass(orphan);
  UItestLabelUpdate(orphan, OM_EVENT_INST, 0);
  UIwindow* second = UIobjIdToClass(orphan);
  EXPECT_NE(second, first);
  // Ids that differ in their second word compare equal; null is absent.
  OMobj_id other{orphan.serial, 7};
  EXPECT_TRUE(orphan == other);
  EXPECT_FALSE(orphan != other);
  EXPECT_TRUE(!OMnull_obj);
  std::ostringstream text;
  text << OMnull_obj << " " << static_cast<Widget>(nullptr);
  EXPECT_EQ(text.str(), "<0:0> Widget is NULL");
  // Destroy entry on an object without binding: nothing, 1.
  OMobj_id bare = OMcreate_obj_from_path("UItestLabel", (prefix + "bare").c_str(), OMroot_obj);
  made.push_back(bare);
  EXPECT_EQ(UIwindDestroy(bare), 1);
  // The first binding is still alive (two bindings of one object): clean it up by hand.
  first->destroyObject();
  EXPECT_EQ(UIobjIdToClass(orphan), second) << "deleting the older keeps the newer's handle";
}

TEST_F(Core, OneArgumentUpdatesUseTheUpdateStamp) {
  OMobj_id a = label("one", host, {{"visible", 1}}, "UItestLabel1");
  ASSERT_NE(widgetOf(a), nullptr);
  int stamp = OMget_obj_seq(sub(a, "update"), OMnull_obj, 0);
  OMset_int_val(sub(a, "x"), 33);  // runs the one-argument update
  short x = 0, y = 0;
  UIgeom::getWidgetPos(widgetOf(a), x, y);
  EXPECT_EQ(x, 33);
  EXPECT_GT(OMget_obj_seq(sub(a, "update"), OMnull_obj, 0), stamp) << "the sync point moved";
  UIsyncOMUpdateSequenceNumber(a);
  EXPECT_EQ(OMget_obj_seq(sub(a, "update"), OMnull_obj, 0), OMget_obj_seq(a, OMnull_obj, 3));
}

// ---- Common resources ------------------------------------------------------------------------

TEST_F(Core, ColoursAreSetOrInheritedAndForegroundFollowsBackground) {
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id a = label("col", host);
  OMset_str_val(sub(a, "color.backgroundColor"), "#ff0000");
  OMset_str_val(sub(a, "color.foregroundColor"), "#00ff00");
  OMpop_ctx(place);
  Widget w = widgetOf(a);
  Pixel fg = 0, bg = 0;
  XtVaGetValues(w, XmNforeground, &fg, XmNbackground, &bg, nullptr);
  EXPECT_EQ(bg, 0xff0000ul);
  EXPECT_EQ(fg, 0x00ff00ul) << "the foreground is put back after the background";
  OMset_str_val(sub(a, "color.backgroundColor"), "#0000ff");
  XtVaGetValues(w, XmNforeground, &fg, XmNbackground, &bg, nullptr);
  EXPECT_EQ(bg, 0x0000fful);
  EXPECT_EQ(fg, 0x00ff00ul);
  // Unset: inherited from the parent widget (the box: background 336699, foreground ffff00).
  OMobj_id b = label("inh", host);
  OMset_str_val(sub(b, "color.backgroundColor"), "not a colour");  // ignored
  OMset_obj_val(sub(b, "color.backgroundColor"), OMnull_obj, 0);
  XtVaGetValues(widgetOf(b), XmNbackground, &bg, nullptr);
  EXPECT_EQ(bg, 0x336699ul);
  OMset_str_val(sub(b, "color.foregroundColor"), "#123456");
  OMset_obj_val(sub(b, "color.foregroundColor"), OMnull_obj, 0);
  XtVaGetValues(widgetOf(b), XmNforeground, &fg, nullptr);
  EXPECT_EQ(fg, 0xffff00ul);
}

TEST_F(Core, SeqZeroNeverAppliesTheForeground) {
  OMobj_id a = label("seq0", host);
  Widget w = widgetOf(a);
  UIwindow* binding = UIobjIdToClass(a);
  Pixel after = 0;
  OMpush_ctx(place, 0, 0, 0);  // keep the update from running
  OMset_str_val(sub(a, "color.foregroundColor"), "#010203");
  binding->setResources(w, 0);
  XtVaGetValues(w, XmNforeground, &after, nullptr);
  EXPECT_NE(after, 0x010203ul) << "seq 0 applies the background, never the foreground";
  binding->setResources(w, -1);
  XtVaGetValues(w, XmNforeground, &after, nullptr);
  EXPECT_EQ(after, 0x010203ul);
  OMpop_ctx(place);
}

TEST_F(Core, AMissingBackgroundPictureIsSilentOnlyAtFirst) {
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id a = label("pic", host);
  OMset_str_val(sub(a, "pixmap.filename"), "no_such_picture.x");
  OMpop_ctx(place);
  EXPECT_TRUE(reports().empty()) << reports()[0];
  OMset_str_val(sub(a, "pixmap.filename"), "still_missing.x");
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0], "UIcore::setBackgroundPixmap: Couldn't find file still_missing.x.");
}

TEST(CoreColours, ThePixelCache) {
  startOnce();
  Display* dpy = uitest::display();
  Colormap map = DefaultColormap(dpy, DefaultScreen(dpy));
  std::vector<unsigned long> pixels;
  for (unsigned i = 0; i < 256; ++i) pixels.push_back(UIgetPixel(dpy, map, i, 7, 9));
  EXPECT_EQ(UIgetPixel(dpy, map, 200, 7, 9), pixels[200]) << "cached";
  EXPECT_EQ(UIgetPixel(dpy, map, 1, 2, 3), 0ul) << "the 257th colour";
}

TEST_F(Core, ConvertersWriteTextIntoTheCallersBuffer) {
  UIcore::installConverters();
  Widget w = XmCreateLabel(box, const_cast<char*>("conv"), nullptr, 0);
  auto convert = [&](const char* type, const void* value, size_t size, char* buffer,
                     unsigned capacity, unsigned* needed) {
    XrmValue from{static_cast<unsigned>(size), static_cast<XPointer>(const_cast<void*>(value))};
    XrmValue to{capacity, buffer};
    Boolean ok = XtConvertAndStore(w, type, &from, XtRString, &to);
    *needed = to.size;
    return ok == True;
  };
  int number = -12345;
  char small[3], big[64];
  unsigned needed = 0;
  EXPECT_FALSE(convert(XtRInt, &number, sizeof number, small, sizeof small, &needed));
  EXPECT_EQ(needed, 7u) << "the size a buffer needs: length plus one";
  ASSERT_TRUE(convert(XtRInt, &number, sizeof number, big, sizeof big, &needed));
  EXPECT_STREQ(big, "-12345");
  XrmValue from{sizeof number, reinterpret_cast<XPointer>(&number)}, to{0, nullptr};
  Cardinal none = 0;
  EXPECT_FALSE(CqCvtIntToString(uitest::display(), nullptr, &none, &from, &to, nullptr))
      << "no buffer";
  Boolean yes = True;
  ASSERT_TRUE(convert(XtRBoolean, &yes, sizeof yes, big, sizeof big, &needed));
  EXPECT_STREQ(big, "True");
  unsigned short dim = 2;
  ASSERT_TRUE(convert(XmRBooleanDimension, &dim, sizeof dim, big, sizeof big, &needed));
  EXPECT_STREQ(big, "2");
  Pixel red = 0xff0000;
  ASSERT_TRUE(convert(XtRPixel, &red, sizeof red, big, sizeof big, &needed));
  EXPECT_STREQ(big, "#ffff00000000") << "each channel in four digits";
  Pixel dim3 = 0x010203;
  ASSERT_TRUE(convert(XtRPixel, &dim3, sizeof dim3, big, sizeof big, &needed));
  EXPECT_STREQ(big, "#010102020303") << "small channels keep their leading zeros";
  XmString s = XmStringCreateLocalized(const_cast<char*>("hello"));
  ASSERT_TRUE(convert(XmRXmString, &s, sizeof s, big, sizeof big, &needed));
  EXPECT_STREQ(big, "hello");
  XmStringFree(s);
  XtDestroyWidget(w);
}

// ---- The window base -------------------------------------------------------------------------

TEST_F(Core, NewObjectsArePlacedBelowTheirSiblings) {
  label("top", host, {{"visible", 1}, {"x", 5}, {"y", 10}, {"height", 30}});
  label("mid", host, {{"visible", 1}, {"x", 5}, {"y", 50}, {"height", 20}});
  OMobj_id c = label("new", host, {{"visible", 1}});
  EXPECT_EQ(intOf(c, "x"), 0) << "x 0 written back";
  EXPECT_EQ(intOf(c, "y"), 70) << "below the lowest bound sibling";
  short x = -1, y = -1;
  UIgeom::getWidgetPos(widgetOf(c), x, y);
  EXPECT_EQ(y, 70);
}

TEST_F(Core, VisibilityBeforeAndAfterRealize) {
  OMobj_id shown = label("shown", host, {{"visible", 1}});
  OMobj_id hidden = label("hidden", host, {{"visible", 0}});
  OMobj_id unset = label("unset", host, {});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(widgetOf(shown)); }));
  EXPECT_FALSE(viewable(widgetOf(hidden)));
  // A widget made without a window yet is managed as it is: an unset "visible" shows it.
  EXPECT_TRUE(viewable(widgetOf(unset)));
  OMset_int_val(sub(hidden, "visible"), 1);
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(widgetOf(hidden)); }));
  OMset_int_val(sub(shown, "visible"), 0);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !viewable(widgetOf(shown)); }));
  // Before realize: the widget is managed but not mapped when managed.
  Widget unrealized = XtVaAppCreateShell("later", "Corvane", topLevelShellWidgetClass,
                                         uitest::display(), XmNwidth, 100, XmNheight, 100, nullptr);
  Widget inner = XtVaCreateManagedWidget("inner", containerWidgetClass, unrealized, nullptr);
  OMobj_id laterHost = hostFor(inner, "laterHost");
  OMobj_id early = label("early", laterHost, {{"visible", 0}});
  Widget w = widgetOf(early);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(XtIsManaged(w));
  Boolean mapped = True;
  XtVaGetValues(w, XmNmappedWhenManaged, &mapped, nullptr);
  EXPECT_FALSE(mapped);
  OMset_int_val(sub(early, "visible"), 1);
  XtVaGetValues(w, XmNmappedWhenManaged, &mapped, nullptr);
  EXPECT_TRUE(mapped);
  XtRealizeWidget(unrealized);
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  OMdestroy_obj(early, 0);
  XtDestroyWidget(unrealized);
}

TEST_F(Core, ParentChangesMoveDestroyOrAreRefused) {
  Widget other = XtVaCreateManagedWidget("other", containerWidgetClass, box, XmNx, 200, XmNwidth,
                                         150, XmNheight, 150, nullptr);
  uitest::pumpUntil([&] { return viewable(other); });
  OMobj_id otherHost = hostFor(other, "otherHost");
  OMobj_id a = label("mover", host, {{"visible", 1}, {"x", 1}, {"y", 2}});
  Widget before = widgetOf(a);
  OMset_obj_ref(sub(a, "parent"), otherHost, 0);
  Widget after = widgetOf(a);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(XtParent(after), other) << "moved under the new parent";
  EXPECT_TRUE(UIisBeingDestroyed(before)) << "the old widget went";
  // To itself: refused with the message, the link cleared, the widget kept.
  OMset_obj_ref(sub(a, "parent"), a, 0);
  ASSERT_FALSE(reports().empty());
  EXPECT_EQ(reports().back(),
            "UIdetectIllegalParentConnection: Detected illegal parent connection.  Reference to "
            "self.  Connection refused.");
  EXPECT_EQ(widgetOf(a), after);
  OMobj_id target;
  EXPECT_EQ(OMget_obj_val(sub(a, "parent"), &target), 0);
  // To nothing: the binding and its widget go.
  OMobj_id b = label("leaver", host);
  Widget bw = widgetOf(b);
  int deleted = UItestLabel::deleted;
  OMset_obj_val(sub(b, "parent"), OMnull_obj, 0);
  EXPECT_EQ(UItestLabel::deleted, deleted + 1);
  EXPECT_TRUE(UIisBeingDestroyed(bw));
  EXPECT_EQ(widgetOf(b), nullptr);
}

TEST_F(Core, ATemplateDialogTakesNoLabels) {
  OMobj_id dialogObj = OMnull_obj;
  {
    OMcontext ctx(place, OM_CTX_BUILD, OM_CTX_PLAIN);
    dialogObj = OMcreate_obj_from_path("UItemplateDialog", (prefix + "dlg").c_str(), place);
    OMset_int_val(sub(dialogObj, "visible"), 1);
  }
  made.push_back(dialogObj);
  ASSERT_TRUE(uitest::pumpUntil([&] { return widgetOf(dialogObj) != nullptr; }));
  OMobj_id inside = label("inside", dialogObj);
  EXPECT_EQ(widgetOf(inside), nullptr);
  OMobj_id target;
  EXPECT_EQ(OMget_obj_val(sub(inside, "parent"), &target), 0) << "the link is cut";
  // Buttons, panels and frames are taken; none of their kin (toggles, scrolled windows,
  // shells) inherits the answer.
  OMobj_id plain = OMcreate_obj_from_path("UItestLabel", (prefix + "plain").c_str(), OMroot_obj);
  made.push_back(plain);
  EXPECT_TRUE(UIbutton(plain).acceptsTemplateDialogParent());
  EXPECT_TRUE(UIpanel(plain).acceptsTemplateDialogParent());
  EXPECT_TRUE(UIframe(plain).acceptsTemplateDialogParent());
  EXPECT_FALSE(UIlabel(plain).acceptsTemplateDialogParent());
  EXPECT_FALSE(UItoggle(plain).acceptsTemplateDialogParent());
  EXPECT_FALSE(UIscrolledWindow(plain).acceptsTemplateDialogParent());
  EXPECT_FALSE(UIshell(plain).acceptsTemplateDialogParent());
  EXPECT_FALSE(UIapp(plain).acceptsTemplateDialogParent());
}

TEST_F(Core, ALabelMovedIntoATemplateDialogLosesItsWidgetUntilMovedOut) {
  OMobj_id dialogObj = OMnull_obj;
  {
    OMcontext ctx(place, OM_CTX_BUILD, OM_CTX_PLAIN);
    dialogObj = OMcreate_obj_from_path("UItemplateDialog", (prefix + "dlg").c_str(), place);
    OMset_int_val(sub(dialogObj, "visible"), 1);
  }
  made.push_back(dialogObj);
  ASSERT_TRUE(uitest::pumpUntil([&] { return widgetOf(dialogObj) != nullptr; }));
  OMobj_id a = label("moved", host, {{"visible", 1}, {"x", 5}, {"y", 5}});
  Widget before = widgetOf(a);
  ASSERT_FALSE(UIisBeingDestroyed(before));
  OMset_obj_ref(sub(a, "parent"), dialogObj, 0);
  EXPECT_TRUE(UIisBeingDestroyed(before));
  EXPECT_EQ(widgetOf(a), nullptr) << "the handle names no widget";
  EXPECT_EQ(intOf(a, "handle.window"), 0);
  UIwindow* binding = UIobjIdToClass(a);
  ASSERT_NE(binding, nullptr);
  EXPECT_EQ(binding->widget(), nullptr) << "nor does the binding";
  OMobj_id target;
  EXPECT_EQ(OMget_obj_val(sub(a, "parent"), &target), 0) << "the dialog cut the link";
  // Moved out again: instanced afresh.
  OMset_obj_ref(sub(a, "parent"), host, 0);
  Widget after = widgetOf(a);
  ASSERT_FALSE(UIisBeingDestroyed(after));
  EXPECT_EQ(XtParent(after), box);
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(after); }));
}

TEST_F(Core, DestroyingABindingDoesNotInstanceItAgain) {
  OMobj_id a = label("once", host);
  UIwindow* binding = UIobjIdToClass(a);
  Widget w = widgetOf(a);
  int made = UItestLabel::made, deleted = UItestLabel::deleted;
  // Told by its destroy callback: the new widget may take the old one's address.
  bool went = false;
  XtAddCallback(
      w, XmNdestroyCallback,
      [](Widget, XtPointer flag, XtPointer) { *static_cast<bool*>(flag) = true; }, &went);
  // Called directly (as a container does for its children), not as the object's own method.
  binding->destroyObject();
  EXPECT_TRUE(went) << "the binding's own widget went";
  EXPECT_EQ(UItestLabel::deleted, deleted + 1);
  // The handle's change reaches the object once the binding is gone: the object, whose
  // parent still stands, gets a fresh binding and widget. Never a widget made on the
  // binding being deleted, which would be destroyed with it and left in the handle.
  Widget again = widgetOf(a);
  ASSERT_NE(again, nullptr);
  EXPECT_FALSE(UIisBeingDestroyed(again));
  EXPECT_NE(UIobjIdToClass(a), nullptr);
  EXPECT_EQ(UItestLabel::made, made + 1);
}

TEST_F(Core, RebuildingKeepsTheIndexThroughInsertPosition) {
  Widget column = XtVaCreateManagedWidget("column", xmRowColumnWidgetClass, box, nullptr);
  uitest::pumpUntil([&] { return viewable(column); });
  OMobj_id columnHost = hostFor(column, "columnHost");
  label("r0", columnHost);
  OMobj_id middle = label("r1", columnHost);
  label("r2", columnHost);
  Widget old = widgetOf(middle);
  UIobjIdToClass(middle)->rebuildObject(old);
  EXPECT_EQ(intOf(middle, "insertPosition"), 1);
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(column, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  uitest::pumpFor(20);
  XtVaGetValues(column, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(children[1], widgetOf(middle)) << "the new widget took the old one's place";
  EXPECT_NE(widgetOf(middle), old);
}

TEST_F(Core, GeometryWriteBackOnlyWritesWhatDiffers) {
  OMobj_id a =
      label("geo", host, {{"visible", 1}, {"x", 10}, {"y", 20}, {"width", 60}, {"height", 25}});
  Widget w = widgetOf(a);
  int before = OMget_obj_seq(a, OMnull_obj, 3);
  UIupdateOMRequestedWindowPosSize(w, 10, 20, 60, 25, 0);
  EXPECT_EQ(OMget_obj_seq(a, OMnull_obj, 3), before) << "nothing differs: nothing written";
  UIupdateOMRequestedWindowPos(w, 11, 20, 0);
  EXPECT_EQ(intOf(a, "x"), 11);
  EXPECT_EQ(OMget_obj_seq(sub(a, "y"), OMnull_obj, 0) <= before, true) << "y was left alone";
  UIupdateOMRequestedWindowSize(w, 70, 26, 0);
  EXPECT_EQ(intOf(a, "width"), 70);
  // A width of 0 in the object takes the widget's; only a zero-wide widget is reported.
  OMset_int_val(sub(a, "width"), 0);
  unsigned short ww = 0, wh = 0;
  UIgeom::getWidgetSize(w, ww, wh);
  EXPECT_EQ(ww, 70);
  int width = -1;
  EXPECT_FALSE(UIgetOMWindowWidth(a, &width));
  EXPECT_EQ(width, 0);
  EXPECT_TRUE(reports().empty());
  testing::internal::CaptureStdout();
  Widget unbound = XmCreateLabel(box, const_cast<char*>("unbound"), nullptr, 0);
  UIupdateOMRequestedWindowPosSize(unbound, 1, 2, 3, 4, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Got a NULL Win pointer in UIupdateRequestedOMWindowPosSize\n");
  XtDestroyWidget(unbound);
}

TEST_F(Core, ANoughtSizeIsReportedForEachSideAndNothingMoves) {
  Widget w = XmCreateLabel(box, const_cast<char*>("nought"), nullptr, 0);
  XtVaSetValues(w, XmNx, 5, XmNy, 6, nullptr);
  w->core.width = 0;  // no size in the object, none in the widget
  w->core.height = 0;
  OMobj_id h = hostFor(w, "nought");
  UIsetOMWindowPos(h, w);
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_EQ(reports()[0],
            "UIsetOMWindowPos: The width value of 0 is invalid. Dimension values cannot be less "
            "than one. No action taken.");
  EXPECT_EQ(reports()[1],
            "UIsetOMWindowPos: The height value of 0 is invalid. Dimension values cannot be less "
            "than one. No action taken.");
  EXPECT_EQ(w->core.x, 5);
  EXPECT_EQ(w->core.y, 6);
  EXPECT_EQ(w->core.width, 0);
  XtDestroyWidget(w);
}

// X keeps positions and sizes in 16 bits: beyond them a value would wrap into another one.
TEST_F(Core, GeometryBeyondSixteenBitsIsReportedAndNotApplied) {
  OMobj_id a =
      label("big", host, {{"visible", 1}, {"x", 10}, {"y", 20}, {"width", 60}, {"height", 25}});
  Widget w = widgetOf(a);
  struct Case {
    const char* property;
    int value;
    const char* message;
  };
  const char* size = "Dimension values cannot be greater than 32767. No action taken.";
  const char* place = "Position values must lie between -32768 and 32767. No action taken.";
  const Case cases[] = {{"width", 65536, size}, {"width", 70000, size}, {"height", 32768, size},
                        {"x", 40000, place},    {"x", -32769, place},   {"y", -40000, place}};
  for (const Case& c : cases) {
    const int before[] = {intOf(a, "x"), intOf(a, "y"), intOf(a, "width"), intOf(a, "height")};
    reports().clear();
    OMset_int_val(sub(a, c.property), c.value);
    ASSERT_EQ(reports().size(), 1u) << c.property << " " << c.value;
    EXPECT_EQ(reports()[0], "UIsetOMWindowPos: The " + std::string(c.property) + " value of " +
                                std::to_string(c.value) + " is invalid. " + c.message);
    EXPECT_EQ(w->core.x, 10);
    EXPECT_EQ(w->core.y, 20);
    EXPECT_EQ(w->core.width, 60);
    EXPECT_EQ(w->core.height, 25);
    EXPECT_EQ(intOf(a, c.property), c.value) << "the object keeps what it was given";
    OMset_int_val(sub(a, c.property), before[c.property[0] == 'x'   ? 0
                                             : c.property[0] == 'y' ? 1
                                             : c.property[0] == 'w' ? 2
                                                                    : 3]);
  }
  reports().clear();
  OMset_int_val(sub(a, "x"), 32767);
  EXPECT_TRUE(reports().empty()) << "the edge itself fits";
  EXPECT_EQ(w->core.x, 32767);
  // A widget made from an object whose size is too large is made at its default size.
  reports().clear();
  OMobj_id b = label("huge", host, {{"visible", 1}, {"x", 5}, {"y", 5}, {"width", 70000}});
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_NE(reports()[0].find("The width value of 70000 is invalid"), std::string::npos);
  EXPECT_NE(widgetOf(b)->core.width, 70000 % 65536);
  EXPECT_EQ(intOf(b, "width"), 70000);
  int width = 0;
  EXPECT_FALSE(UIgetOMWindowWidth(b, &width)) << "not a size X can take";
  EXPECT_EQ(width, 70000);
}

// ---- Mouse interactors with real input ----------------------------------------------------------

TEST_F(Core, MouseInteractorsReceivePressesDragsAndReleases) {
  OMobj_id view =
      label("view", host, {{"visible", 1}, {"x", 20}, {"y", 20}, {"width", 200}, {"height", 150}});
  Widget w = widgetOf(view);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  UIwindow* binding = UIobjIdToClass(view);
  OMobj_id twoPoint = OMcreate_obj_from_path("TestInteractor", (prefix + "two").c_str(), place);
  OMobj_id events = OMcreate_obj_from_path("TestInteractor", (prefix + "ev").c_str(), place);
  made.push_back(twoPoint);
  made.push_back(events);
  MouseInteractorRecord drag{twoPoint, nullptr, 2, w, 1, 4, 7};  // press 1, motion 1, release 1
  MouseInteractorRecord all{events, &drag, 3, w, 0, 0, 0};
  binding->interactors = &all;
  uitest::drag(w, 30, 40, 90, 100);
  ASSERT_TRUE(uitest::pumpUntil([&] { return intOf(twoPoint, "state") == 3; }));
  EXPECT_EQ(intOf(twoPoint, "x"), 90);
  EXPECT_EQ(intOf(twoPoint, "y"), 100);
  EXPECT_EQ(MouseState, 0);
  EXPECT_EQ(intOf(events, "state"), 3);
  EXPECT_EQ(intOf(events, "buttonType"), 0);
  EXPECT_EQ(intOf(events, "buttonMask"), 0) << "released";
  // Release of button 3 with Shift.
  XEvent e{};
  e.type = ButtonRelease;
  e.xbutton.button = 3;
  e.xbutton.state = ShiftMask | Button3Mask;
  EXPECT_EQ(UIeventKey(&e), 9 | UI_KEY_SHIFT);
  XTestFakeKeyEvent(uitest::display(), XKeysymToKeycode(uitest::display(), XK_Shift_L), True, 0);
  uitest::click(w, 50, 50, 3);
  XTestFakeKeyEvent(uitest::display(), XKeysymToKeycode(uitest::display(), XK_Shift_L), False, 0);
  XSync(uitest::display(), False);
  ASSERT_TRUE(uitest::pumpUntil([&] { return intOf(events, "buttonType") == 2; }));
  EXPECT_EQ(intOf(events, "modMask"), 1);
  EXPECT_EQ(intOf(events, "modType"), 1);
  binding->interactors = nullptr;
}

TEST_F(Core, AClickWhoseDataflowRemovesTheViewEndsTheHandlers) {
  for (int button : {1, 3}) {
    OMobj_id view = label(button == 1 ? "doomed1" : "doomed3", host,
                          {{"visible", 1}, {"x", 20}, {"y", 20}, {"width", 200}, {"height", 150}});
    Widget w = widgetOf(view);
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
    OMobj_id cutter = OMcreate_obj_from_path(
        "TestCuttingInteractor", (prefix + "cut" + std::to_string(button)).c_str(), place);
    OMobj_id press = OMcreate_obj_from_path(
        "TestInteractor", (prefix + "pr" + std::to_string(button)).c_str(), place);
    made.push_back(cutter);
    made.push_back(press);
    // The mouse-events record runs first and its write removes the view; the one-point
    // record after it must not be reached through the deleted binding.
    MouseInteractorRecord onePoint{press, nullptr, 1, w, button, 0, 0};
    MouseInteractorRecord all{cutter, &onePoint, 3, w, 0, 0, 0};
    UIobjIdToClass(view)->interactors = &all;
    int deleted = UItestLabel::deleted;
    victim = view;
    uitest::click(w, 40, 40, button);
    EXPECT_TRUE(uitest::pumpUntil([&] { return UItestLabel::deleted == deleted + 1; }));
    victim = OMnull_obj;
    EXPECT_TRUE(UIisBeingDestroyed(w));
    EXPECT_EQ(intOf(press, "state"), -12345) << "nothing reached through the deleted view";
    EXPECT_EQ(all.next, nullptr) << "the records were unlinked";
    uitest::pumpFor(20);
  }
}

// Putting the layout editor's handlers on a container writes each child's grouping; the
// dataflow of such a write may add widgets to the container, whose child list then moves.
TEST_F(Core, LayoutHandlersSurviveChildrenAddedByTheDataflow) {
  Widget area = XtVaCreateManagedWidget("area", containerWidgetClass, box, XmNwidth, 300, XmNheight,
                                        200, nullptr);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(area); }));
  OMobj_id areaHost = hostFor(area, "areaHost");
  OMobj_id first = label("g0", areaHost);
  label("g1", areaHost);
  OMobj_id spawner = OMcreate_obj_from_path("TestSpawner", (prefix + "spawner").c_str(), place);
  made.push_back(spawner);
  OMset_obj_ref(sub(spawner, "watch"), sub(first, "groupToParent"), 0);
  spawnHost = areaHost;
  int before = spawned;
  UIlayout::addDirectEventHandlers(area);
  spawnHost = OMnull_obj;
  EXPECT_EQ(spawned, before + 12) << "the dataflow ran inside the walk";
  EXPECT_EQ(intOf(first, "groupToParent"), 0);
  OMobj_id place0 = place;
  for (int i = before + 1; i <= spawned; ++i) {
    OMobj_id id = OMfind_subobj(place0, OMstr_to_name(("spawn" + std::to_string(i)).c_str()), 0);
    EXPECT_NE(UIobjIdToWidget(id), nullptr);
    made.push_back(id);
  }
}

TEST_F(Core, NoInteractorHearsMotionWhileTheLayoutEditorIsBusy) {
  OMobj_id view = label("busy", host, {{"visible", 1}, {"width", 200}, {"height", 150}});
  Widget w = widgetOf(view);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  OMobj_id events = OMcreate_obj_from_path("TestInteractor", (prefix + "evb").c_str(), place);
  made.push_back(events);
  MouseInteractorRecord rec{events, nullptr, 3, w, 0, 0, 0};
  UIobjIdToClass(view)->interactors = &rec;
  uitest::movePointer(w, 10, 10);
  uitest::pressButton(1);
  ASSERT_TRUE(uitest::pumpUntil([&] { return intOf(events, "state") == 1; }));
  UIlayout::state = 1;  // moving
  uitest::movePointer(w, 60, 60);
  uitest::pumpFor(30);
  EXPECT_EQ(intOf(events, "state"), 1) << "no motion reached it";
  UIlayout::state = 0;
  uitest::movePointer(w, 70, 70);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(events, "state") == 2; }));
  uitest::releaseButton(1);
  uitest::pumpFor(20);
  UIobjIdToClass(view)->interactors = nullptr;
}

TEST_F(Core, OnButtonDownFiltersByTheRequestMask) {
  OMobj_id view = label("view2", host, {{"visible", 1}, {"width", 200}, {"height", 150}});
  Widget w = widgetOf(view);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  OMobj_id events = OMcreate_obj_from_path("TestInteractor", (prefix + "ev2").c_str(), place);
  made.push_back(events);
  MouseInteractorRecord rec{events, nullptr, 3, w, 0, 1, 1};  // onButtonDown, mask: button 1
  UIobjIdToClass(view)->interactors = &rec;
  uitest::click(w, 20, 20, 2);  // button 2: not requested
  uitest::pumpFor(30);
  EXPECT_EQ(intOf(events, "state"), -12345) << "nothing written";
  uitest::click(w, 20, 20, 1);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(events, "state") == 3; }));
  UIobjIdToClass(view)->interactors = nullptr;
}

// ---- Stale pointers and hostile pictures --------------------------------------------------------

TEST_F(Core, StalePointersAreLeftAlone) {
  Widget gone = XmCreateLabel(box, const_cast<char*>("gone"), nullptr, 0);
  XtDestroyWidget(gone);  // outside dispatch: freed at once
  int garbageStorage[64] = {};
  Widget garbage = reinterpret_cast<Widget>(garbageStorage);
  for (Widget w : {gone, garbage, static_cast<Widget>(nullptr)}) {
    EXPECT_TRUE(UIisBeingDestroyed(w));
    EXPECT_EQ(UIwidgetToClass(w), nullptr);
    EXPECT_TRUE(!UIwidgetToObjId(w));
    EXPECT_EQ(UIfindNearestMainWindowAncestor(w), nullptr);
    EXPECT_FALSE(UIisAncestorOf(w, box));
    EXPECT_FALSE(UIisWorkAreaChild(w));
    short x;
    unsigned short width;
    EXPECT_FALSE(UIgeom::getWidgetPos(w, x, x));
    EXPECT_FALSE(UIgeom::setWidgetSize(w, 10, 10));
    EXPECT_FALSE(UIgeom::getWidgetSize(w, width, width));
    UIsetOMWindowPos(host, w);
    UIsetWindowPos(w, 1, 2, 3, 4);
    UIupdateOMRequestedWindowPos(w, 1, 2, 0);
    SetParent(w, box);
    SetParent(box, w);
    DragAndDropDisable(w);
    UIdestroyWidget(w);
    UIwindow::drawStatBarText(w, "text");
    UIsetCoreResources(host, w, -1);
    UIadjustNewParentGeometry(w, box);
  }
  EXPECT_FALSE(UIsetXmLabelFromString(nullptr, "a"));
  EXPECT_FALSE(UIsetXmMnemonicFromString(box, nullptr));
  EXPECT_EQ(UIobjIdToWidget(OMnull_obj), nullptr);
  EXPECT_FALSE(UIisBeingDestroyed(box));
}

// A tree of widgets, gadgets and a pop-up under `name` in parent, listed parents first.
std::vector<Widget> makeTree(Widget parent, const char* name) {
  Widget form = XmCreateForm(parent, const_cast<char*>(name), nullptr, 0);
  Widget inner = XmCreateForm(form, const_cast<char*>("inner"), nullptr, 0);
  Widget popup = XtCreatePopupShell("popup", transientShellWidgetClass, form, nullptr, 0);
  return {form,
          inner,
          popup,
          XmCreateLabel(form, const_cast<char*>("label"), nullptr, 0),
          XmCreatePushButtonGadget(form, const_cast<char*>("gadget"), nullptr, 0),
          XmCreateLabel(inner, const_cast<char*>("deep"), nullptr, 0),
          XmCreateLabel(popup, const_cast<char*>("inPopup"), nullptr, 0)};
}

// Every widget inside a destroyed one is forgotten with it, whichever way the tree goes: at
// once, during a dispatch (freed at its end), or as a shell of its own. (Run under the
// sanitizer, a widget left known would be read after it was freed.)
TEST_F(Core, TheRegistryForgetsEveryWidgetOfATreeThatGoes) {
  std::vector<Widget> tree = makeTree(box, "tree");
  for (Widget w : tree) EXPECT_FALSE(UIisBeingDestroyed(w)) << XtName(w);
  XtDestroyWidget(tree[0]);  // outside dispatch: freed at once
  for (Widget w : tree) EXPECT_TRUE(UIisBeingDestroyed(w));

  static std::vector<Widget> inDispatch;
  static bool seenGoing = false;
  inDispatch = makeTree(box, "dispatched");
  seenGoing = false;
  XtAppAddTimeOut(
      XtWidgetToApplicationContext(box), 0,
      [](XtPointer, XtIntervalId*) {
        XtDestroyWidget(inDispatch[0]);
        seenGoing = true;
        for (Widget w : inDispatch) seenGoing = seenGoing && UIisBeingDestroyed(w);
      },
      nullptr);
  EXPECT_TRUE(uitest::pumpUntil([] { return seenGoing; }));
  uitest::pumpUntil([] { return false; }, 50);
  for (Widget w : inDispatch) EXPECT_TRUE(UIisBeingDestroyed(w));

  Widget root = XtVaAppCreateShell("registryRoot", "Corvane", topLevelShellWidgetClass,
                                   uitest::display(), nullptr);
  std::vector<Widget> inRoot = makeTree(root, "inRoot");
  inRoot.push_back(root);
  for (Widget w : inRoot) EXPECT_FALSE(UIisBeingDestroyed(w));
  XtDestroyWidget(root);
  for (Widget w : inRoot) EXPECT_TRUE(UIisBeingDestroyed(w));
  EXPECT_FALSE(UIisBeingDestroyed(box));
}

// A widget destroyed takes Motif's drawing context for its text with it, whether it goes alone
// or with the tree it is in.
TEST_F(Core, ADestroyedWidgetLeavesNoTextDrawingBehind) {
  XmString text = XmStringCreateLocalized(const_cast<char*>("text"));
  auto label = [&](Widget parent, const char* name, int y) {
    return XtVaCreateManagedWidget(name, xmLabelWidgetClass, parent, XmNlabelString, text, XmNy, y,
                                   nullptr);
  };
  Widget alone = label(box, "alone", 0);
  Widget form = XtVaCreateManagedWidget("texts", xmFormWidgetClass, box, XmNy, 30, nullptr);
  std::vector<Widget> labels{alone, label(form, "inForm1", 0), label(form, "inForm2", 30)};
  XmStringFree(text);
  ASSERT_TRUE(uitest::pumpUntil([&] {
    for (Widget w : labels)
      if (!XtWindow(w)) return false;
    return true;
  }));
  uitest::pumpFor(100);  // their text drawn
  std::vector<Window> windows;
  for (Widget w : labels) windows.push_back(XtWindow(w));
  XtDestroyWidget(alone);
  XtDestroyWidget(form);
  uitest::pumpFor(50);
  for (Window w : windows) EXPECT_FALSE(uitest::motifKeepsTextDrawing(w)) << w;
  for (const std::string& r : uitest::reports()) ADD_FAILURE() << r;
}

int heard = 0;
void hear(Widget, UItestLabel*, XmAnyCallbackStruct*) {
  ++heard;
}

TEST_F(Core, CallbacksReachOnlyALiveBindingOfTheirClass) {
  OMobj_id obj = OMcreate_obj_from_path("UItestLabel", (prefix + "cb").c_str(), OMroot_obj);
  made.push_back(obj);
  heard = 0;
  auto* label = new UItestLabel(obj);
  XtPointer client = static_cast<UIwindow*>(label);
  UIcallbackTrampoline<&hear>(box, client, nullptr);
  EXPECT_EQ(heard, 1) << "a live binding of the handler's class is called";
  label->destroyObject();  // deletes it
  UIcallbackTrampoline<&hear>(box, client, nullptr);
  EXPECT_EQ(heard, 1) << "a deleted binding is not";
  UIpanel panel(obj);
  UIcallbackTrampoline<&hear>(box, static_cast<UIwindow*>(&panel), nullptr);
  EXPECT_EQ(heard, 1) << "nor a binding of another class";
}

class HostilePictures : public Core {
 protected:
  void SetUp() override {
    Core::SetUp();
    dir = std::filesystem::temp_directory_path() / ("pictures_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    oldPath = OMget_path(5);
    OMset_path(5, dir.c_str());
  }
  void TearDown() override {
    OMset_path(5, oldPath.c_str());
    std::filesystem::remove_all(dir);
    Core::TearDown();
  }
  void write(const char* name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  std::filesystem::path dir;
  std::string oldPath;
};

TEST_F(HostilePictures, BadXBitmapsAreRefusedWithTheMessage) {
  write("ok.xbm",
        "#define ok_width 3\n#define ok_height 2\nstatic char ok_bits[] = {0x05, 0x02};\n");
  write("neg.xbm", "#define n_width -1\n#define n_height 2\nstatic char n_bits[] = {0x01};\n");
  write("huge.xbm",
        "#define h_width 524288\n#define h_height 65536\nstatic char h_bits[] = {0};\n");
  write("short.xbm",
        "#define s_width 16\n#define s_height 16\nstatic char s_bits[] = {0x01, 0x02};\n");
  // Compressed bitmaps are not decompressed (no program is started): they are not valid.
  write("trap.xbm.gz", std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00", 8));
  int width = 0, height = 0;
  std::string bits;
  EXPECT_EQ(UIreadXBitmap((dir / "ok.xbm").c_str(), &width, &height, &bits), 0);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(bits, std::string("\x05\x02", 2));
  // Comments may hold anything, a brace or a define among it, before the data.
  write("comment.xbm",
        "/* drawn {by hand} */\n/* #define c_width 99 */\n#define c_width 3\n"
        "#define c_height 2 // {rows}\nstatic char c_bits[] = { /* 0x77, */ 0x05, 0x02};\n");
  width = height = 0;
  EXPECT_EQ(UIreadXBitmap((dir / "comment.xbm").c_str(), &width, &height, &bits), 0);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(bits, std::string("\x05\x02", 2));
  for (const char* bad : {"neg.xbm", "huge.xbm", "short.xbm"})
    EXPECT_EQ(UIreadXBitmap((dir / bad).c_str(), &width, &height, &bits), 2) << bad;
  EXPECT_EQ(UIreadXBitmap((dir / "none.xbm").c_str(), &width, &height, &bits), 1);
  ASSERT_EQ(::mkfifo((dir / "fifo.xbm").c_str(), 0600), 0);
  EXPECT_EQ(UIreadXBitmap((dir / "fifo.xbm").c_str(), &width, &height, &bits), 2)
      << "a FIFO is not read (and does not block)";

  OMpush_ctx(place, 0, 0, 0);
  OMobj_id a = label("bmp", host);
  OMset_str_val(sub(a, "pixmap.filename"), "ok.xbm");
  OMpop_ctx(place);
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0],
            "UIcore::setBackgroundPixmap: File type not specified. Assuming bitmap file type.");
  char* type = nullptr;
  ASSERT_EQ(OMget_str_val(sub(a, "pixmap.fileType"), &type, 0), 1);
  EXPECT_STREQ(type, "x_bitmap") << "the assumed type is written back";
  std::free(type);
  Pixmap applied = 0;
  XtVaGetValues(widgetOf(a), XtNbackgroundPixmap, &applied, nullptr);
  EXPECT_NE(applied, static_cast<Pixmap>(XmUNSPECIFIED_PIXMAP));
  for (const char* bad : {"neg.xbm", "huge.xbm", "trap.xbm.gz"}) {
    reports().clear();
    OMset_str_val(sub(a, "pixmap.filename"), bad);
    ASSERT_EQ(reports().size(), 1u) << bad;
    EXPECT_EQ(reports()[0], "UIcore::setBackgroundPixmap: " + (dir / bad).string() +
                                " is not a valid bitmap file.  No action taken.");
    Pixmap now = 0;
    XtVaGetValues(widgetOf(a), XtNbackgroundPixmap, &now, nullptr);
    EXPECT_EQ(now, applied) << "the widget keeps its face";
  }
}

TEST_F(HostilePictures, KltImagesWithLyingSizes) {
  auto klt = [](uint32_t w, uint32_t h, size_t pixels) {
    std::string b;
    for (uint32_t v : {w, h})
      for (int s = 24; s >= 0; s -= 8) b += static_cast<char>((v >> s) & 0xff);
    b += std::string(pixels * 4, '\x40');
    return b;
  };
  write("lie.x", klt(0x40000000u, 4, 2));
  write("wide.x", klt(40000, 1, 40000));
  write("two.x", klt(2, 1, 2));
  Widget w = widgetOf(label("k", host));
  for (const char* name : {"lie.x", "wide.x"}) {
    FILE* f = std::fopen((dir / name).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(UIKLTImageToPixmap(f, w), static_cast<Pixmap>(XmUNSPECIFIED_PIXMAP)) << name;
    std::fclose(f);
  }
  // A sparse file whose pixels are all there, but more of them than the image service reads.
  {
    std::ofstream(dir / "sparse.x", std::ios::binary) << klt(4100, 4100, 0);
    ASSERT_EQ(::truncate((dir / "sparse.x").c_str(), 8 + 4100l * 4100 * 4), 0);
    ASSERT_GT(std::filesystem::file_size(dir / "sparse.x"), kWTMaxImageFile);
    FILE* f = std::fopen((dir / "sparse.x").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(UIKLTImageToPixmap(f, w), static_cast<Pixmap>(XmUNSPECIFIED_PIXMAP))
        << "a file above the image service's limit is not read";
    std::fclose(f);
  }
  FILE* f = std::fopen((dir / "two.x").c_str(), "rb");
  Pixmap p = UIKLTImageToPixmap(f, w);
  std::fclose(f);
  EXPECT_NE(p, static_cast<Pixmap>(XmUNSPECIFIED_PIXMAP));
  if (p != XmUNSPECIFIED_PIXMAP) XFreePixmap(uitest::display(), p);
}

}  // namespace
