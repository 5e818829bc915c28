// Module registration, default parents and shells, command-list membership and radio lists.
#include "ui/add_cmd.h"

#include <cstring>
#include <vector>

#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/core.h"

#include "props.h"

namespace {

using uiprops::readInt;
using uiprops::sub;

using RegisterFn = int (*)(OMobj_id, OMobj_id);

constexpr int kClassTextSize = 256;
constexpr int kMessageSize = 1024;
// References followed before a chain is taken for a cycle.
constexpr int kMaxChain = 256;

// The object a property refers to (or holds), else OMnull_obj.
OMobj_id valueOf(const OMobj_id& prop) {
  OMobj_id v = OMnull_obj;
  if (!prop || OMget_obj_val(prop, &v) != 1) return OMnull_obj;
  return v;
}

OMobj_id parentOf(const OMobj_id& id) {
  OMobj_id p = OMnull_obj;
  if (!id || OMget_obj_parent(id, &p) != 1) return OMnull_obj;
  return p;
}

// The last reference of a chain of references starting at ref.
OMobj_id lastReference(OMobj_id ref) {
  for (int i = 0; i < kMaxChain; ++i) {
    OMobj_id next = OMnull_obj;
    if (OMget_obj_pval(ref, &next, 0x800) != 1 || !next || OMget_obj_kind(next) != OM_KIND_REF)
      break;
    ref = next;
  }
  return ref;
}

bool readClass(const OMobj_id& prop, char (&text)[kClassTextSize]) {
  char* at = text;
  return OMget_str_val(prop, &at, kClassTextSize) == 1;
}

// skip_levels + 1 parents up from obj; OMnull_obj when it is negative or the chain ends.
OMobj_id ancestorFor(const OMobj_id& obj) {
  int skip = 0;
  if (!readInt(obj, "skip_levels", &skip)) skip = 0;
  if (skip < 0) return OMnull_obj;
  OMobj_id at = obj;
  for (int i = 0; i <= skip && !!at; ++i) at = parentOf(at);
  return at;
}

// The index of the first element of an object array that refers to target, or -1.
int indexOfRef(const OMobj_id& array, const OMobj_id& target) {
  int n = 0;
  if (OMget_array_size(array, &n) != 1) return -1;
  for (int i = 0; i < n; ++i) {
    OMobj_id e = OMnull_obj;
    if (OMget_array_val(array, i, &e, 1) == 1 && e == target) return i;
  }
  return -1;
}

}  // namespace

// ---- Modules ------------------------------------------------------------------------------

int module_init(OMobj_id module) {
  OMobj_name name = OMstr_to_name("module_register");
  for (OMobj_id at = parentOf(module); !!at; at = parentOf(at)) {
    OMobj_id fnProp = OMfind_subobj(at, name, 0);
    if (!fnProp) continue;
    OMpfi fn = nullptr;
    if (OMget_func_val(fnProp, &fn) == 1 && fn) {
      // Stored without its signature; void (*)() is the cast that says so.
      auto call = reinterpret_cast<RegisterFn>(reinterpret_cast<void (*)()>(fn));
      return call(at, module);
    }
    ERRerror("module_init", 0, 2, "can't find register function pointer");
    return -1;
  }
  return 1;
}

int module_register(OMobj_id ctx, OMobj_id module) {
  OMobj_id parent = sub(module, "parent");
  if (!parent) return -1;
  if (!!valueOf(parent)) return 1;
  OMobj_id title = sub(module, "title");
  OMobj_id message = sub(module, "message");
  if (!title || !message) return -1;
  char text[kMessageSize] = "";
  char* at = text;
  if (OMget_str_val(message, &at, kMessageSize) != 1) text[0] = '\0';

  OMobj_id option = sub(module, "UIoption");
  OMobj_id label = sub(option, "label"), optionMessage = sub(option, "message");
  OMobj_id set = sub(option, "set"), visible = sub(module, "visible");
  if (!option || !label || !optionMessage || !set || !visible) return -1;
  OMset_obj_ref(label, title, 0);
  OMset_str_val(optionMessage, text);
  OMlink_objs(visible, set);

  OMobj_id stack = sub(ctx, "ModuleStackUI");
  OMobj_id stackParent = sub(stack, "parent");
  if (!stack || !stackParent) return -1;
  OMlink_objs(lastReference(parent), lastReference(stackParent));

  OMobj_id modules = sub(ctx, "Modules");
  OMobj_id list = sub(modules, "cmdList");
  if (!modules || !list) return 0;
  return OMadd_array_val(list, option, 0) == 1 ? 1 : -1;
}

int add_cmd(OMobj_id obj) {
  OMobj_id parentObj = valueOf(sub(obj, "parent"));
  if (!parentObj) return 0;
  OMobj_id list = sub(sub(parentOf(parentObj), "Modules"), "cmdList");
  OMobj_id cmd = sub(obj, "cmd");
  if (!list || !cmd) return 1;
  if (OMget_obj_kind(cmd) == OM_KIND_REF) cmd = valueOf(cmd);
  if (!!cmd && indexOfRef(list, cmd) < 0) OMadd_array_val(list, cmd, 0);
  return 1;
}

// ---- Finding objects by class -------------------------------------------------------------

OMobj_id UIfind_class_obj(OMobj_id start, const char* needle, const char* propName, int noAscend) {
  if (!start || !needle || !propName) return OMnull_obj;
  int n = 0;
  OMget_num_subobjs(start, &n);
  OMobj_name propToken = OMstr_to_name(propName);
  for (int i = 0; i < n; ++i) {
    OMobj_id child = OMnull_obj;
    if (OMget_subobj(start, i, &child) != 1 || !child) continue;
    char text[kClassTextSize];
    if (readClass(OMfind_subobj(child, propToken, 0), text)) {
      if (std::strstr(text, needle)) return child;
      if (std::strcmp(text, "<stop>") == 0) return OMnull_obj;
    }
    int global = 0;
    if (readInt(child, "ui_global_class", &global) && global == 1) {
      OMobj_id found = UIfind_class_obj(child, needle, propName, 1);
      if (!!found) return found;
    }
  }
  if (noAscend) return OMnull_obj;
  OMobj_id up = parentOf(start);
  if (!up || OMvalid_obj(up, OMnull_obj, 0) != 1) return OMnull_obj;
  int uiParent = 1;
  if (readInt(up, "ui_parent", &uiParent) && uiParent != 1) return OMnull_obj;
  return UIfind_class_obj(up, needle, propName, 0);
}

// ---- Default parents and shells -----------------------------------------------------------

int UIset_default_parent(OMobj_id obj) {
  OMobj_id parent = sub(obj, "parent");
  if (!parent || !!valueOf(parent)) return 1;
  char cls[kClassTextSize];
  if (!readClass(sub(obj, "parent_class"), cls)) return 0;
  OMobj_id ancestor = ancestorFor(obj);
  if (!ancestor) return 0;
  OMobj_id found = UIfind_class_obj(ancestor, cls, "widget_class", 0);
  if (!found) return 0;
  OMcontext ctx(obj, OM_CTX_BUILD, OM_CTX_EVENT);
  return OMset_obj_ref(parent, found, 0);
}

int UIset_parent_inst(OMobj_id obj) {
  UIset_default_parent(obj);
  return 1;
}

int UIdefault_shell_inst(OMobj_id obj) {
  if (UIset_default_parent(obj) != 0) return 1;
  for (OMobj_id at = parentOf(obj); !!at; at = parentOf(at)) {
    int allowed = 1;
    if (readInt(at, "ui_default_shell", &allowed) && allowed == 0) return 1;
  }
  UIdefault_shell_attach(obj, 0);
  return 1;
}

int UIdefault_shell_attach(OMobj_id obj, int useDefaults) {
  // One context: the shell is instanced once, with every link in place.
  OMcontext ctx(obj, OM_CTX_BUILD, OM_CTX_STRUCTURE);
  OMobj_id shell = OMcreate_obj_from_path("UIshell", "UIshell", obj);
  if (!shell) return 0;
  OMset_obj_atts(shell, OM_atts_nosave);
  OMlink_objs(sub(shell, "visible"), sub(obj, "visible"));
  OMlink_objs(sub(obj, "parent"), shell);
  if (useDefaults) {
    OMlink_objs(sub(shell, "width"), sub(obj, "defaultWidth"));
  } else {
    int width = 0, x = 0;
    bool hasWidth = readInt(obj, "width", &width);
    if (hasWidth && readInt(obj, "x", &x)) width += 2 * x;
    OMset_obj_ref(sub(obj, "width"), OMnull_obj, 0);
    if (hasWidth) OMset_int_val(sub(shell, "width"), width);
    // The object fills the shell's client area, less its margin on both sides.
    OMparse_buffer(obj, "width => UIshell.clientWidth <+> (-2 * .x);", 0);
  }
  OMlink_objs(sub(shell, "height"), sub(obj, useDefaults ? "defaultHeight" : "height"));
  OMset_obj_ref(sub(shell, "title"), OMnull_obj, 0);
  OMlink_objs(sub(shell, "title"), sub(obj, "title"));
  if (useDefaults) {
    OMlink_objs(sub(shell, "x"), sub(obj, "defaultX"));
    OMlink_objs(sub(shell, "y"), sub(obj, "defaultY"));
  }
  OMset_int_val(sub(shell, "showStatusBar"), 0);
  return 1;
}

int KUdefault_shell_create(OMobj_id obj) {
  UIdefault_shell_attach(parentOf(obj), 1);
  return 1;
}

// ---- Command lists ------------------------------------------------------------------------

int UIadd_to_list_inst(OMobj_id obj) {
  char cls[kClassTextSize];
  if (!readClass(sub(obj, "cmd_list_class"), cls)) return 0;
  OMobj_id ancestor = ancestorFor(obj);
  if (!ancestor) return 0;
  OMobj_id listObj = UIfind_class_obj(ancestor, cls, "list_class", 0);
  OMobj_id list = sub(listObj, "cmdList");
  if (!listObj || !list) return 0;
  // Removed first and appended: the object ends up once, at the end.
  if (indexOfRef(list, obj) >= 0) OMdel_obj_ref(list, obj, 0);
  OMadd_obj_ref(list, obj, 0);
  return 1;
}

int UIadd_to_list_inst_set(OMobj_id obj) {
  if (UIadd_to_list_inst(obj) != 1) OMset_int_val(sub(obj, "set"), 1);
  return 1;
}

int KUoption_list_update(OMobj_id list) {
  int radio = 0;
  if (!readInt(list, "radioBehavior", &radio) || !radio) return 1;
  OMobj_id cmdList = sub(list, "cmdList");
  if (!cmdList) return 0;
  int n = 0;
  OMget_array_size(cmdList, &n);
  std::vector<OMobj_id> sets(static_cast<size_t>(n > 0 ? n : 0), OMnull_obj);
  // The newest option that is on wins; with none on, the first that has "set". (Only options
  // that are on compete: switching the others off makes their stamps newer, and counting them
  // would hand the choice back to the first option on the next update.)
  int chosen = -1, chosenSeq = 0, firstWithSet = -1;
  for (int i = 0; i < n; ++i) {
    OMobj_id option = OMnull_obj;
    if (OMget_array_val(cmdList, i, &option, 1) != 1) continue;
    OMobj_id set = sub(option, "set");
    if (!set) continue;
    sets[static_cast<size_t>(i)] = set;
    if (firstWithSet < 0) firstWithSet = i;
    int seq = OMget_obj_seq(set, OMnull_obj, 3);
    int value = 0;
    if (OMget_int_val(set, &value) == 1 && value >= 1 && (chosen < 0 || seq > chosenSeq)) {
      chosen = i;
      chosenSeq = seq;
    }
  }
  if (chosen < 0) chosen = firstWithSet;
  if (chosen < 0) return 1;
  OMcontext ctx(list, OM_CTX_USER, OM_CTX_PLAIN);
  int selected = -1;
  if (!readInt(list, "selectedItem", &selected) || selected != chosen)
    OMset_int_val(sub(list, "selectedItem"), chosen);
  for (int i = 0; i < n; ++i) {
    OMobj_id set = sets[static_cast<size_t>(i)];
    if (!set) continue;
    int want = i == chosen ? 1 : 0, have = -1;
    if (OMget_int_val(set, &have) != 1 || have != want) OMset_int_val(set, want);
  }
  return 1;
}
