// Module registration, default parents and shells, command lists, toolbars, arrays and the
// palette logic, on objects that are never instanced: no display, no widget.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "om/om.h"
#include "svc/err.h"
#include "ui/add_cmd.h"
#include "ui/core.h"
#include "ui/init.h"
#include "ui/palette.h"

namespace {

std::vector<std::string>& reports() {
  static std::vector<std::string> r;
  return r;
}

void record(const char* reporter, int, int, const char* text) {
  reports().push_back(std::string(reporter) + ": " + text);
}

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

class Glue : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool started = false;
    if (!started) {
      UIinit();
      started = true;
    }
    reports().clear();
    ERRset_reporter(record);
    static int n = 0;
    // A plain tree outside every instance place: methods never run by themselves.
    root = OMcreate_obj(OMstr_to_name(("glue" + std::to_string(++n)).c_str()), OM_KIND_GROUP,
                        OMroot_obj, OMnull_obj, 0);
  }
  void TearDown() override {
    OMdestroy_obj(root, 0);
    ERRset_reporter(nullptr);
  }
  OMobj_id group(OMobj_id parent, const char* name) {
    return OMcreate_obj(OMstr_to_name(name), OM_KIND_GROUP, parent, OMnull_obj, 0);
  }
  OMobj_id prop(OMobj_id parent, const char* name, int kind) {
    return OMcreate_obj(OMstr_to_name(name), kind, parent, OMnull_obj, 0);
  }
  OMobj_id text(OMobj_id parent, const char* name, const char* value) {
    OMobj_id p = prop(parent, name, OM_KIND_STRING);
    OMset_str_val(p, value);
    return p;
  }
  OMobj_id integer(OMobj_id parent, const char* name, int value) {
    OMobj_id p = prop(parent, name, OM_KIND_INT);
    OMset_int_val(p, value);
    return p;
  }
  OMobj_id make(const char* type, OMobj_id parent, const char* name) {
    return OMcreate_obj_from_path(type, name, parent);
  }
  static int intOf(OMobj_id id, const char* path, int fallback = -999) {
    int v = 0;
    return OMget_int_val(sub(id, path), &v) == 1 ? v : fallback;
  }
  static std::string textOf(OMobj_id id, const char* path) {
    char* t = nullptr;
    if (OMget_str_val(sub(id, path), &t, 0) != 1) return "<unset>";
    std::string out = t;
    std::free(t);
    return out;
  }
  static OMobj_id target(OMobj_id id, const char* path) {
    OMobj_id v = OMnull_obj;
    return OMget_obj_val(sub(id, path), &v) == 1 ? v : OMnull_obj;
  }
  static std::vector<OMobj_id> entries(OMobj_id array) {
    std::vector<OMobj_id> out;
    int n = 0;
    OMget_array_size(array, &n);
    for (int i = 0; i < n; ++i) {
      OMobj_id e = OMnull_obj;
      OMget_array_val(array, i, &e, 1);
      out.push_back(e);
    }
    return out;
  }
  static void add(OMobj_id list, OMobj_id entry) {
    OMadd_array_val(sub(list, "cmdList"), entry, 0);
  }

  OMobj_id root = OMnull_obj;
};

// ---- Modules ------------------------------------------------------------------------------

TEST_F(Glue, AModuleRegistersOnceWithMenuEntryAndWindowPlace) {
  OMobj_id ctx = make("UImoduleContext", root, "ctx");
  OMobj_id stackWindow = group(root, "stackWindow");
  OMset_obj_ref(sub(ctx, "ModuleStackUI.parent"), stackWindow, 0);
  OMset_func_val(sub(ctx, "module_register"),
                 reinterpret_cast<OMpfi>(reinterpret_cast<void (*)()>(&module_register)));
  OMobj_id module = make("UImodule", ctx, "mod");
  OMset_str_val(sub(module, "title"), "Isosurface");
  OMset_str_val(sub(module, "message"), "Makes surfaces of equal value");
  EXPECT_EQ(module_init(module), 1);
  EXPECT_EQ(target(module, "parent"), stackWindow) << "the window goes where the stack's goes";
  EXPECT_EQ(textOf(module, "UIoption.label"), "Isosurface");
  OMset_str_val(sub(module, "title"), "Iso");
  EXPECT_EQ(textOf(module, "UIoption.label"), "Iso") << "the label follows the title";
  EXPECT_EQ(textOf(module, "UIoption.message"), "Makes surfaces of equal value");
  OMset_int_val(sub(module, "UIoption.set"), 1);
  EXPECT_EQ(intOf(module, "visible"), 1) << "the option switches the window";
  OMset_int_val(sub(module, "UIoption.set"), 0);
  EXPECT_EQ(intOf(module, "visible"), 0);
  EXPECT_EQ(entries(sub(ctx, "Modules.cmdList")), std::vector<OMobj_id>{sub(module, "UIoption")});
  EXPECT_EQ(module_init(module), 1);
  EXPECT_EQ(entries(sub(ctx, "Modules.cmdList")).size(), 1u) << "registered once";
  EXPECT_TRUE(reports().empty());
}

TEST_F(Glue, ModuleRegistrationWithoutFunctionOrMenu) {
  OMobj_id ctx = make("UImoduleContext", root, "ctx");
  OMobj_id module = make("UImodule", ctx, "mod");
  EXPECT_EQ(module_init(module), -1) << "a register object without a function";
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0], "module_init: can't find register function pointer");
  OMobj_id lone = make("UImodule", root, "lone");
  EXPECT_EQ(module_init(lone), 1) << "no ancestor registers: nothing to do";
  // A context without "Modules": the window is placed, the menu entry is not made.
  OMobj_id bare = group(root, "bare");
  OMobj_id stack = group(bare, "ModuleStackUI");
  OMobj_id w = group(root, "w");
  OMset_obj_ref(prop(stack, "parent", OM_KIND_REF), w, 0);
  OMobj_id m2 = make("UImodule", bare, "m2");
  EXPECT_EQ(module_register(bare, m2), 0);
  EXPECT_EQ(target(m2, "parent"), w);
  OMobj_id noStack = group(root, "noStack");
  OMobj_id m3 = make("UImodule", noStack, "m3");
  EXPECT_EQ(module_register(noStack, m3), -1);
}

TEST_F(Glue, AddCmdKeepsOneEntry) {
  OMobj_id g = group(root, "app");
  OMobj_id modules = make("UIcmdList", g, "Modules");
  OMobj_id p = group(g, "panel");
  OMobj_id obj = group(root, "obj");
  OMobj_id parent = prop(obj, "parent", OM_KIND_REF);
  OMobj_id cmd = make("UIcmd", obj, "cmd");
  EXPECT_EQ(add_cmd(obj), 0) << "no parent yet";
  OMset_obj_ref(parent, p, 0);
  EXPECT_EQ(add_cmd(obj), 1);
  EXPECT_EQ(add_cmd(obj), 1);
  EXPECT_EQ(entries(sub(modules, "cmdList")), std::vector<OMobj_id>{cmd});
}

// ---- Finding by class, default parents and shells -----------------------------------------

TEST_F(Glue, ClassSearchStopsAscendsAndLooksIntoGlobalClasses) {
  OMobj_id top = group(root, "top");
  OMobj_id a = group(top, "a");
  text(a, "widget_class", "UIshell UIpanel");
  OMobj_id mid = group(top, "mid");
  OMobj_id stop = group(mid, "stop");
  text(stop, "widget_class", "<stop>");
  OMobj_id later = group(mid, "later");
  text(later, "widget_class", "UIpanel");
  OMobj_id global = group(top, "global");
  integer(global, "ui_global_class", 1);
  OMobj_id inner = group(global, "inner");
  text(inner, "widget_class", "UIframe");
  EXPECT_EQ(UIfind_class_obj(top, "Panel", "widget_class", 1), OMnull_obj)
      << "substrings are case-sensitive";
  EXPECT_EQ(UIfind_class_obj(top, "UIpanel", "widget_class", 1), a);
  EXPECT_EQ(UIfind_class_obj(top, "UIframe", "widget_class", 1), inner);
  EXPECT_EQ(UIfind_class_obj(mid, "UIpanel", "widget_class", 0), OMnull_obj)
      << "<stop> ends the search before a later match";
  OMobj_id side = group(top, "side");
  OMobj_id deep = group(side, "deep");
  EXPECT_EQ(UIfind_class_obj(deep, "UIshell", "widget_class", 0), a) << "ascends";
  EXPECT_EQ(UIfind_class_obj(deep, "UIshell", "widget_class", 1), OMnull_obj);
  OMobj_id belowStop = group(later, "belowStop");
  EXPECT_EQ(UIfind_class_obj(belowStop, "UIshell", "widget_class", 0), OMnull_obj)
      << "ascending meets the <stop> in mid";
  integer(top, "ui_parent", 0);
  OMobj_id under = group(a, "under");
  EXPECT_EQ(UIfind_class_obj(under, "UIframe", "widget_class", 0), OMnull_obj)
      << "ui_parent 0 is not entered";
}

TEST_F(Glue, DefaultParentsSkipLevelsAndRefuseNegativeOnes) {
  OMobj_id top = group(root, "top");
  OMobj_id panel = group(top, "panel");
  text(panel, "widget_class", "UIpanel");
  OMobj_id level1 = group(top, "level1");
  OMobj_id obj = group(level1, "obj");
  OMobj_id parent = prop(obj, "parent", OM_KIND_REF);
  EXPECT_EQ(UIset_default_parent(obj), 0) << "no parent_class";
  text(obj, "parent_class", "UIpanel");
  OMobj_id skip = integer(obj, "skip_levels", -1);
  EXPECT_EQ(UIset_default_parent(obj), 0);
  OMset_int_val(skip, -2);
  EXPECT_EQ(UIset_default_parent(obj), 0);
  OMset_int_val(skip, 50);
  EXPECT_EQ(UIset_default_parent(obj), 0) << "the chain ends";
  OMset_int_val(skip, 0);
  EXPECT_EQ(UIset_default_parent(obj), 1);
  EXPECT_EQ(target(obj, "parent"), panel);
  EXPECT_EQ(UIset_default_parent(obj), 1) << "set already";
  OMset_obj_ref(parent, OMnull_obj, 0);
  OMset_str_val(sub(obj, "parent_class"), "UIdial");
  EXPECT_EQ(UIset_default_parent(obj), 0) << "nothing found";
  EXPECT_EQ(UIset_parent_inst(obj), 1);
  OMobj_id noParent = group(root, "noParent");
  EXPECT_EQ(UIset_default_parent(noParent), 1);
}

TEST_F(Glue, DefaultShellsWithAndWithoutDefaults) {
  OMobj_id forbid = group(root, "forbid");
  integer(forbid, "ui_default_shell", 0);
  OMobj_id kept = make("UIpanel", forbid, "kept");
  EXPECT_EQ(UIdefault_shell_inst(kept), 1);
  EXPECT_EQ(sub(kept, "UIshell"), OMnull_obj) << "an ancestor forbids default shells";

  OMobj_id obj = make("UIpanel", root, "obj");
  text(obj, "title", "Data");
  OMset_int_val(sub(obj, "width"), 300);
  OMset_int_val(sub(obj, "x"), 5);
  EXPECT_EQ(UIdefault_shell_inst(obj), 1);
  OMobj_id shell = sub(obj, "UIshell");
  ASSERT_NE(shell, OMnull_obj);
  int atts = 0;
  OMget_obj_atts(shell, &atts);
  EXPECT_TRUE(atts & OM_atts_nosave);
  EXPECT_EQ(target(obj, "parent"), shell);
  EXPECT_EQ(intOf(shell, "width"), 310) << "the width plus twice x";
  EXPECT_EQ(intOf(shell, "showStatusBar"), 0);
  EXPECT_EQ(textOf(shell, "title"), "Data");
  OMset_real_val(sub(shell, "clientWidth"), 400);
  EXPECT_EQ(intOf(obj, "width"), 390) << "the object fills the client area less its margins";
  OMset_int_val(sub(obj, "visible"), 1);
  EXPECT_EQ(intOf(shell, "visible"), 1);

  OMobj_id holder = make("UIpanel", root, "holder");
  for (auto [name, v] : {std::pair<const char*, int>{"defaultWidth", 640},
                         {"defaultHeight", 480},
                         {"defaultX", 20},
                         {"defaultY", 30}})
    integer(holder, name, v);
  OMobj_id child = group(holder, "child");
  EXPECT_EQ(KUdefault_shell_create(child), 1);
  OMobj_id s2 = sub(holder, "UIshell");
  ASSERT_NE(s2, OMnull_obj);
  EXPECT_EQ(intOf(s2, "width"), 640);
  EXPECT_EQ(intOf(s2, "height"), 480);
  EXPECT_EQ(intOf(s2, "x"), 20);
  EXPECT_EQ(intOf(s2, "y"), 30);
}

// ---- Command lists and radio lists --------------------------------------------------------

TEST_F(Glue, AddToListKeepsOneEntryAtTheEnd) {
  OMobj_id top = group(root, "top");
  OMobj_id list = make("UIcmdList", top, "list");
  text(list, "list_class", "tools");
  OMobj_id other = make("UIcmd", root, "other");
  OMobj_id holder = group(top, "holder");
  OMobj_id obj = make("UIoption", holder, "obj");
  text(obj, "cmd_list_class", "tools");
  integer(obj, "skip_levels", 1);
  EXPECT_EQ(UIadd_to_list_inst(obj), 1);
  add(list, other);
  EXPECT_EQ(UIadd_to_list_inst(obj), 1);
  EXPECT_EQ(entries(sub(list, "cmdList")), (std::vector<OMobj_id>{other, obj}));
  EXPECT_EQ(UIadd_to_list_inst(obj), 1);
  EXPECT_EQ(entries(sub(list, "cmdList")), (std::vector<OMobj_id>{other, obj}));
  OMset_int_val(sub(obj, "skip_levels"), -1);
  EXPECT_EQ(UIadd_to_list_inst(obj), 0);
  OMset_int_val(sub(obj, "skip_levels"), -3);
  EXPECT_EQ(UIadd_to_list_inst(obj), 0);
  EXPECT_EQ(intOf(obj, "set", 0), 0);
  EXPECT_EQ(UIadd_to_list_inst_set(obj), 1);
  EXPECT_EQ(intOf(obj, "set"), 1) << "not added: set instead";
}

TEST_F(Glue, RadioListsKeepTheNewestOptionOn) {
  OMobj_id list = make("UIoptionList", root, "list");
  OMobj_id a = make("UIoption", root, "a"), b = make("UIoption", root, "b");
  OMobj_id c = make("UIoption", root, "c");
  for (OMobj_id o : {a, b, c}) add(list, o);
  OMset_int_val(sub(a, "set"), 1);
  EXPECT_EQ(KUoption_list_update(list), 1);
  EXPECT_EQ(intOf(list, "selectedItem", -1), -1) << "no radio behaviour: nothing written";
  OMset_int_val(sub(list, "radioBehavior"), 1);
  EXPECT_EQ(KUoption_list_update(list), 1);
  EXPECT_EQ(intOf(list, "selectedItem"), 0);
  EXPECT_EQ(intOf(b, "set"), 0);
  OMset_int_val(sub(c, "set"), 1);
  EXPECT_EQ(KUoption_list_update(list), 1);
  EXPECT_EQ(intOf(list, "selectedItem"), 2);
  EXPECT_EQ(intOf(a, "set"), 0);
  EXPECT_EQ(intOf(c, "set"), 1);
  int seq = OMget_seq();
  EXPECT_EQ(KUoption_list_update(list), 1);
  EXPECT_EQ(OMget_seq(), seq) << "nothing differs: nothing written";
  EXPECT_EQ(intOf(list, "selectedItem"), 2) << "a repeated update keeps the choice";
  EXPECT_EQ(intOf(c, "set"), 1);
}

// ---- Toolbars -----------------------------------------------------------------------------

class Toolbar : public Glue {
 protected:
  void SetUp() override {
    Glue::SetUp();
    bar = make("UItoolbar", root, "bar");
    OMset_int_val(sub(bar, "pad"), 2);
    OMset_int_val(sub(bar, "templ.button.width"), 32);
    OMset_int_val(sub(bar, "templ.button.height"), 32);
  }
  OMobj_id tool(const std::string& name, int order = 0, OMobj_id list = OMnull_obj) {
    OMobj_id t = make("UItool", root, name.c_str());
    OMset_str_val(sub(t, "label"), name.c_str());
    if (order) OMset_int_val(sub(t, "tool_order"), order);
    add(!list ? bar : list, t);
    return t;
  }
  OMobj_id groupList(const char* name) {
    OMobj_id g = make("UIcmdList", root, name);
    add(bar, g);
    return g;
  }
  std::vector<OMobj_id> buttons() {
    std::vector<OMobj_id> out;
    int n = 0;
    OMget_num_subobjs(sub(bar, "buttons"), &n);
    for (int i = 0; i < n; ++i) {
      OMobj_id b;
      OMget_subobj(sub(bar, "buttons"), i, &b);
      out.push_back(b);
    }
    return out;
  }
  std::vector<int> along(const char* prop) {
    std::vector<int> out;
    for (OMobj_id b : buttons()) out.push_back(intOf(b, prop));
    return out;
  }
  OMobj_id bar = OMnull_obj;
};

TEST_F(Toolbar, ThreeToolsInARow) {
  OMobj_id a = tool("a"), b = tool("b"), c = tool("c");
  EXPECT_EQ(KUtoolbar_update(bar), 1);
  EXPECT_EQ(along("x"), (std::vector<int>{2, 36, 70}));
  EXPECT_EQ(along("y"), (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(intOf(bar, "width"), 104);
  EXPECT_EQ(intOf(bar, "height"), 36);
  std::vector<OMobj_id> bs = buttons();
  ASSERT_EQ(bs.size(), 3u);
  char name[16];
  OMobj_name token = 0;
  OMget_obj_name(bs[1], &token);
  std::snprintf(name, sizeof name, "%s", OMname_to_str(token));
  EXPECT_STREQ(name, "button1");
  EXPECT_EQ(textOf(bs[2], "label"), "c");
  EXPECT_EQ(target(bs[0], "parent"), bar);
  OMobj_id doRef = OMnull_obj;
  OMget_obj_pval(sub(bs[0], "do"), &doRef, 0);
  EXPECT_EQ(doRef, sub(a, "do")) << "a command tool: the button does it";
  EXPECT_EQ(intOf(bs[1], "toolTip.placement"), 1);
  (void)b;
  (void)c;
  int seq = OMget_seq();
  EXPECT_EQ(KUtoolbar_update(bar), 1);
  EXPECT_EQ(OMget_seq(), seq) << "an unchanged toolbar writes nothing";
}

TEST_F(Toolbar, GroupsGetListPadAndToolSpaceAddsIt) {
  tool("a");
  OMobj_id g = groupList("g");
  tool("g1", 0, g);
  tool("g2", 0, g);
  OMobj_id spaced = tool("s");
  OMset_int_val(sub(spaced, "tool_space"), 1);
  tool("t");
  OMobj_id kinds[KU_MAX_TOOLS];
  int kindOf[KU_MAX_TOOLS] = {}, n = 0;
  EXPECT_EQ(KU_tool_get_list(bar, &n, kinds, kindOf), 1);
  EXPECT_EQ(std::vector<int>(kindOf, kindOf + n), (std::vector<int>{0, 1, 2, 2, 0}));
  KUtoolbar_update(bar);
  // a 2; pad 8 before the group: 36+8; g2; pad 8 after the group; s; pad 8 after s; t.
  EXPECT_EQ(along("x"), (std::vector<int>{2, 44, 78, 120, 162}));
  EXPECT_EQ(intOf(bar, "width"), 196);
}

TEST_F(Toolbar, ToolOrderIsAStableSortAndVerticalBarsStack) {
  tool("late", 5);
  tool("first", 1);
  tool("tie1", 3);
  tool("tie2", 3);
  OMset_int_val(sub(bar, "tool_dir"), 1);
  KUtoolbar_update(bar);
  std::vector<std::string> labels;
  for (OMobj_id b : buttons()) labels.push_back(textOf(b, "label"));
  EXPECT_EQ(labels, (std::vector<std::string>{"first", "tie1", "tie2", "late"}));
  EXPECT_EQ(along("y"), (std::vector<int>{2, 36, 70, 104}));
  EXPECT_EQ(along("x"), (std::vector<int>{2, 2, 2, 2}));
  EXPECT_EQ(intOf(bar, "width"), 36);
  EXPECT_EQ(intOf(bar, "height"), 138);
}

TEST_F(Toolbar, SixtyFiveToolsMakeSixtyFourButtonsAndSurplusButtonsGo) {
  std::vector<OMobj_id> ts;
  for (int i = 0; i < 65; ++i) ts.push_back(tool("t" + std::to_string(i)));
  KUtoolbar_update(bar);
  EXPECT_EQ(buttons().size(), 64u);
  EXPECT_EQ(textOf(buttons().back(), "label"), "t63");
  OMset_array_size(sub(bar, "cmdList"), 2);
  KUtoolbar_update(bar);
  EXPECT_EQ(buttons().size(), 2u);
  EXPECT_EQ(intOf(bar, "width"), 70);
}

TEST_F(Toolbar, OptionToolsToggleUnlessMarkedAndSelfHoldingListsEnd) {
  OMobj_id opt = make("UItoolOption", root, "opt");
  add(bar, opt);
  OMobj_id marked = make("UItoolOption", root, "marked");
  OMset_int_val(sub(marked, "option_tool"), 1);
  add(bar, marked);
  OMobj_id loop = groupList("loop");
  OMobj_id inner = make("UIcmdList", root, "inner");
  tool("x", 0, loop);
  add(loop, loop);
  add(loop, inner);
  add(inner, loop);
  tool("y", 0, inner);
  EXPECT_EQ(KUtoolbar_update(bar), 1);
  std::vector<OMobj_id> bs = buttons();
  ASSERT_EQ(bs.size(), 4u) << "opt, marked, x, y: each list collected once";
  OMobj_id r = OMnull_obj;
  OMget_obj_pval(sub(bs[0], "do"), &r, 0);
  EXPECT_EQ(r, sub(opt, "set"));
  OMget_obj_pval(sub(bs[1], "do"), &r, 0);
  EXPECT_EQ(r, sub(marked, "do"));
  EXPECT_EQ(textOf(bs[3], "label"), "y");
}

// ---- Arrays and palette logic -------------------------------------------------------------

TEST_F(Glue, LabelAndTextArraysFollowTheirStrings) {
  OMobj_id arr = make("UIlabelArray", root, "arr");
  OMobj_id labels = sub(arr, "labels");
  for (int i = 0; i < 3; ++i) OMset_str_array_val(labels, i, ("L" + std::to_string(i)).c_str());
  OMset_int_val(sub(arr, "xStart"), 10);
  OMset_int_val(sub(arr, "xInc"), 5);
  EXPECT_EQ(label_label(arr), 1);
  std::vector<OMobj_id> made = entries(sub(arr, "UIlabel"));
  ASSERT_EQ(made.size(), 3u);
  EXPECT_EQ(textOf(made[2], "label"), "L2");
  EXPECT_EQ(intOf(made[2], "x"), 20);
  EXPECT_EQ(intOf(made[2], "y"), 56);
  EXPECT_EQ(intOf(made[1], "width"), 100);
  OMset_array_size(labels, 1);
  OMset_int_val(sub(arr, "width"), 70);
  EXPECT_EQ(label_label(arr), 1);
  made = entries(sub(arr, "UIlabel"));
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(intOf(made[0], "width"), 70);

  OMobj_id texts = make("UItextArray", root, "texts");
  OMset_str_array_val(sub(texts, "texts"), 0, "alpha");
  OMset_int_val(sub(texts, "outputOnly"), 1);
  EXPECT_EQ(label_text(texts), 1);
  made = entries(sub(texts, "UItext"));
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(textOf(made[0], "text"), "alpha");
  EXPECT_EQ(intOf(made[0], "outputOnly"), 1);

  OMobj_id bare = group(root, "bare");
  prop(bare, "labels", OM_KIND_STR_ARRAY);
  EXPECT_EQ(label_label(bare), 0);
  integer(bare, "width", 5);
  EXPECT_EQ(label_label(bare), 0);
  integer(bare, "height", 5);
  EXPECT_EQ(label_label(bare), 0);
  integer(bare, "xStart", 0);
  EXPECT_EQ(label_label(bare), 0);
  integer(bare, "yStart", 0);
  EXPECT_EQ(label_label(bare), 0);
  EXPECT_EQ(reports(), (std::vector<std::string>{
                           "label_label: cannot get width", "label_label: cannot get height",
                           "label_label: cannot get x", "label_label: cannot get y",
                           "label_label: cannot set size of UIlabel"}));
}

TEST_F(Glue, CommandArraysSelectFromTheirInput) {
  OMobj_id arr = make("UIcmdArray", root, "arr");
  for (int i = 0; i < 3; ++i)
    OMset_str_array_val(sub(arr, "labels"), i, ("c" + std::to_string(i)).c_str());
  OMset_int_val(sub(arr, "inItem"), 1);
  EXPECT_EQ(label_cmd(arr), 1);
  std::vector<OMobj_id> cmds = entries(sub(arr, "cmd"));
  ASSERT_EQ(cmds.size(), 3u);
  EXPECT_EQ(textOf(cmds[0], "label"), "c0");
  EXPECT_EQ(intOf(cmds[1], "set"), 1);
  EXPECT_EQ(intOf(cmds[0], "set"), 0);
  EXPECT_EQ(intOf(arr, "outItem"), 1) << "outItem refers to inItem";
  OMset_int_val(sub(arr, "inItem"), 7);
  EXPECT_EQ(label_cmd(arr), 1);
  EXPECT_EQ(intOf(arr, "inItem"), 0) << "an index beyond the labels becomes 0";
  EXPECT_EQ(intOf(cmds[0], "set"), 1);
  EXPECT_EQ(intOf(cmds[1], "set"), 0);
  OMobj_id bare = group(root, "bare");
  prop(bare, "inItem", OM_KIND_INT);
  prop(bare, "outItem", OM_KIND_REF);
  EXPECT_EQ(label_cmd(bare), 0);
  EXPECT_EQ(reports(), std::vector<std::string>{"label_cmd: cannot get cmd"});
  OMobj_id none = group(root, "none");
  EXPECT_EQ(label_cmd(none), 1) << "without inItem and outItem there is nothing to do";
}

TEST_F(Glue, NorAndMux) {
  OMobj_id nor = make("UIpaletteNOR", root, "nor");
  EXPECT_EQ(UIwidgetPaletteNOR(nor), 0);
  double out = -1;
  OMget_real_val(sub(nor, "output"), &out);
  EXPECT_EQ(out, 1.0) << "an unset input is 0";
  OMset_int_val(sub(nor, "input"), 1);
  UIwidgetPaletteNOR(nor);
  OMget_real_val(sub(nor, "output"), &out);
  EXPECT_EQ(out, 0.0);

  OMobj_id mux = make("UIpaletteMUX", root, "mux");
  OMset_int_val(sub(mux, "update"), 0);
  EXPECT_EQ(UIwidgetPaletteMUX(mux), 0);
  EXPECT_EQ(OMis_set(sub(mux, "output")), 0) << "no input newer: nothing written";
  OMset_int_val(sub(mux, "input_4"), 44);
  OMset_int_val(sub(mux, "input_1"), 11);
  UIwidgetPaletteMUX(mux);
  OMget_real_val(sub(mux, "output"), &out);
  EXPECT_EQ(out, 44.0) << "the highest-numbered changed input wins";
  OMset_int_val(sub(mux, "input_2"), 22);
  UIwidgetPaletteMUX(mux);
  OMget_real_val(sub(mux, "output"), &out);
  EXPECT_EQ(out, 22.0) << "only inputs changed since the last run count";
  OMobj_id noUpdate = group(root, "noUpdate");
  integer(noUpdate, "input_0", 3);
  OMobj_id o = prop(noUpdate, "output", OM_KIND_REAL);
  UIwidgetPaletteMUX(noUpdate);
  EXPECT_EQ(OMis_set(o), 0);
}

}  // namespace
