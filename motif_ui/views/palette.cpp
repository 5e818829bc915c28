// Toolbars from command lists, label/text/command arrays, and the palette's logic objects.
#include "ui/palette.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "svc/arr.h"
#include "svc/err.h"
#include "ui/core.h"
#include "ui/panel.h"

#include "props.h"

namespace {

using uiprops::readInt;
using uiprops::sub;

constexpr int kLabelSize = 128;
constexpr int kArrayLabelSize = 1024;

OMobj_id valueOf(const OMobj_id& prop) {
  OMobj_id v = OMnull_obj;
  if (!prop || OMget_obj_val(prop, &v) != 1) return OMnull_obj;
  return v;
}

int intOr(const OMobj_id& id, const char* path, int fallback) {
  int v = 0;
  return readInt(id, path, &v) ? v : fallback;
}

// A length or gap of the layout: within 16 bits (what a window can take), so that the sums over
// every tool cannot overflow whatever the properties hold.
int lengthOr(const OMobj_id& id, const char* path, int fallback) {
  return std::clamp(intOr(id, path, fallback), -32768, 32767);
}

void setIntIfDiffers(const OMobj_id& prop, int value) {
  int have = 0;
  if (!!prop && (OMget_int_val(prop, &have) != 1 || have != value)) OMset_int_val(prop, value);
}

void setTextIfDiffers(const OMobj_id& prop, const char* value) {
  if (!prop) return;
  OMtext have = OMget_text(prop);
  if (!have || std::strcmp(have.get(), value) != 0) OMset_str_val(prop, value);
}

// References only when they would change: an unchanged toolbar writes nothing.
void refIfDiffers(const OMobj_id& prop, const OMobj_id& target) {
  if (!prop) return;
  OMobj_id have = OMnull_obj;
  if (OMget_obj_pval(prop, &have, 0) == 1 && have == target) return;
  OMset_obj_ref(prop, target, 0);
}

int collect(const OMobj_id& list, int* count, OMobj_id* tools, int* kinds,
            std::vector<OMobj_id>& path) {
  OMobj_id cmdList = sub(list, "cmdList");
  int n = 0;
  if (!cmdList || OMget_array_size(cmdList, &n) != 1) return 0;
  path.push_back(list);
  int start = *count;
  for (int i = 0; i < n; ++i) {
    OMobj_id entry = OMnull_obj;
    if (OMget_array_val(cmdList, i, &entry, 1) != 1 || !entry) continue;
    if (!!sub(entry, "cmdList")) {
      bool collecting = false;
      for (const OMobj_id& p : path) collecting = collecting || p == entry;
      if (collecting) continue;
      int before = *count;
      if (collect(entry, count, tools, kinds, path) && *count < KU_MAX_TOOLS) {
        kinds[before] = 1;
        kinds[*count - 1] = 2;
      }
    } else if (*count < KU_MAX_TOOLS) {
      tools[*count] = entry;
      kinds[*count] = intOr(entry, "tool_space", 0) == 1 ? 2 : 0;
      ++*count;
    }
  }
  path.pop_back();
  return *count > start ? 1 : 0;
}

// True when a tool of the list (or of its groups) changed after seq: a tool's label or
// picture changes the toolbar, though the list's own stamp does not show it.
bool toolsChanged(const OMobj_id& list, int seq, std::vector<OMobj_id>& path) {
  OMobj_id cmdList = sub(list, "cmdList");
  int n = 0;
  if (!cmdList || OMget_array_size(cmdList, &n) != 1) return false;
  path.push_back(list);
  bool changed = false;
  for (int i = 0; i < n && !changed; ++i) {
    OMobj_id entry = OMnull_obj;
    if (OMget_array_val(cmdList, i, &entry, 1) != 1 || !entry) continue;
    bool collecting = false;
    for (const OMobj_id& p : path) collecting = collecting || p == entry;
    if (collecting) continue;
    changed = OMget_obj_seq(entry, OMnull_obj, 3) > seq ||
              (!!sub(entry, "cmdList") && toolsChanged(entry, seq, path));
  }
  path.pop_back();
  return changed;
}

}  // namespace

// ---- Toolbars -----------------------------------------------------------------------------

int KU_tool_get_list(OMobj_id list, int* count, OMobj_id* tools, int* kinds) {
  if (!count || !tools || !kinds || *count < 0) return 0;
  std::vector<OMobj_id> path;
  return collect(list, count, tools, kinds, path);
}

int KU_get_tool_pos(OMobj_id tool, const char* name) {
  return intOr(tool, name, 0);
}

void KU_sort_tool_list(int n, OMobj_id* tools, int* kinds) {
  for (int i = 1; i < n; ++i) {
    OMobj_id tool = tools[i];
    int kind = kinds[i];
    int key = KU_get_tool_pos(tool, "tool_order");
    int j = i - 1;
    while (j >= 0 && KU_get_tool_pos(tools[j], "tool_order") > key) {
      tools[j + 1] = tools[j];
      kinds[j + 1] = kinds[j];
      --j;
    }
    tools[j + 1] = tool;
    kinds[j + 1] = kind;
  }
}

int KUtoolbar_update(OMobj_id toolbar) {
  OMobj_id buttons = sub(toolbar, "buttons");
  if (!buttons) return 0;
  OMclear_obj_atts(buttons, OM_atts_locked);
  OMobj_id tools[KU_MAX_TOOLS];
  int kinds[KU_MAX_TOOLS] = {};
  int n = 0;
  KU_tool_get_list(toolbar, &n, tools, kinds);
  KU_sort_tool_list(n, tools, kinds);

  bool vertical = intOr(toolbar, "tool_dir", 0) != 0;
  int pad = lengthOr(toolbar, "pad", 0);
  int listPad = lengthOr(toolbar, "list_pad", 8);
  int tipPlacement = intOr(toolbar, "tip_placement", 1);
  OMobj_id templ = sub(toolbar, "templ.button");
  int buttonW = lengthOr(templ, "width", 32), buttonH = lengthOr(templ, "height", 32);

  OMcontext ctx(toolbar, OM_CTX_BUILD, OM_CTX_STRUCTURE);
  int x = pad, y = pad;
  int have = 0;
  OMget_num_subobjs(buttons, &have);
  for (int i = 0; i < n; ++i) {
    if (i > 0 && kinds[i] == 1 && kinds[i - 1] != 2) (vertical ? y : x) += listPad;
    OMobj_id button = OMnull_obj;
    if (i >= have || OMget_subobj(buttons, i, &button) != 1) {
      if (!templ) break;
      char name[32];
      std::snprintf(name, sizeof name, "button%d", i);
      button = OMcopy_obj(templ, OMstr_to_name(name), buttons, OMnull_obj, 0);
      if (!button) break;
    }
    const OMobj_id& tool = tools[i];
    setIntIfDiffers(sub(button, "x"), x);
    setIntIfDiffers(sub(button, "y"), y);
    if (vertical)
      y += lengthOr(button, "height", buttonH) + pad;
    else
      x += lengthOr(button, "width", buttonW) + pad;
    setIntIfDiffers(sub(button, "toolTip.placement"), tipPlacement);
    OMobj_id set = sub(tool, "set");
    bool toggles = !!set && intOr(tool, "option_tool", 0) == 0;
    refIfDiffers(sub(button, "do"), toggles ? set : sub(tool, "do"));
    refIfDiffers(sub(button, "labelPixmap"), sub(tool, "pixmap"));
    char label[kLabelSize] = "";
    char* at = label;
    if (OMget_str_val(sub(tool, "label"), &at, kLabelSize) != 1) label[0] = '\0';
    setTextIfDiffers(sub(button, "label"), label);
    refIfDiffers(sub(button, "parent"), toolbar);
    refIfDiffers(sub(button, "message"), sub(tool, "message"));
    // The tool's message is also the button's tip.
    refIfDiffers(sub(button, "toolTip.message"), sub(tool, "message"));
    if (kinds[i] == 2) (vertical ? y : x) += listPad;
  }
  if (vertical)
    x += buttonW + pad;
  else
    y += buttonH + pad;
  {
    OMcontext geometry(toolbar, OM_CTX_BUILD, OM_CTX_GEOMETRY | OM_CTX_EVENT);
    setIntIfDiffers(sub(toolbar, "width"), x);
    setIntIfDiffers(sub(toolbar, "height"), y);
  }
  OMget_num_subobjs(buttons, &have);
  for (int i = have - 1; i >= n; --i) {
    OMobj_id surplus = OMnull_obj;
    if (OMget_subobj(buttons, i, &surplus) == 1) OMuser_destroy_obj(surplus, 0);
  }
  return 1;
}

int UItoolbarUpdate(OMobj_id id, unsigned int mask, int seq) {
  // The buttons live below the toolbar, so their own changes reach this method too; only
  // what the layout reads starts it again (else every button written would lay out all).
  bool layout = (mask & OM_EVENT_INST) != 0;
  for (const char* p : {"cmdList", "tool_dir", "pad", "list_pad", "tip_placement", "templ"})
    layout = layout || uiprops::newer(id, p, seq);
  std::vector<OMobj_id> path;
  layout = layout || toolsChanged(id, seq, path);
  // A button that took another size (its widget's natural one) moves those after it.
  OMobj_id buttons = sub(id, "buttons");
  int have = 0;
  OMget_num_subobjs(buttons, &have);
  for (int i = 0; i < have && !layout; ++i) {
    OMobj_id b = OMnull_obj;
    if (OMget_subobj(buttons, i, &b) == 1)
      layout = uiprops::newer(b, "width", seq) || uiprops::newer(b, "height", seq);
  }
  // The layout first: the size it writes counts as seen once this method returns, so the
  // panel must apply it now.
  if (layout) KUtoolbar_update(id);
  return UIpanelUpdate(id, mask, seq);
}

// ---- Label, text and command arrays -------------------------------------------------------

namespace {

struct ArrayKind {
  const char* source;    // "label_label" ...
  const char* strings;   // "labels" / "texts"
  const char* array;     // "UIlabel" / "UItext"
  const char* shared;    // "alignment" / "outputOnly"
  const char* textProp;  // "label" / "text"
};

int fail(const char* source, const char* message) {
  ERRerror(source, 0, 2, "%s", message);
  return 0;
}

int stringArrayCount(const OMobj_id& strings) {
  int n = 0;
  return OMget_array_size(strings, &n) == 1 && n > 0 ? n : 0;
}

// Element i's shared properties and place and text, written only where they differ.
int arrayOf(OMobj_id obj, const ArrayKind& kind) {
  OMobj_id strings = sub(obj, kind.strings);
  OMobj_id array = sub(obj, kind.array);
  int n = stringArrayCount(strings);
  int width = 0, height = 0, shared = 0;
  if (!readInt(obj, "width", &width)) return fail(kind.source, "cannot get width");
  if (!readInt(obj, "height", &height)) return fail(kind.source, "cannot get height");
  bool hasShared = readInt(obj, kind.shared, &shared);
  int x0 = 0, y0 = 0;
  if (!readInt(obj, "xStart", &x0)) return fail(kind.source, "cannot get x");
  if (!readInt(obj, "yStart", &y0)) return fail(kind.source, "cannot get y");
  int dx = intOr(obj, "xInc", 0), dy = intOr(obj, "yInc", 0);
  OMobj_id parent = OMnull_obj;
  OMget_obj_val(sub(obj, "parent"), &parent);
  OMcontext ctx(obj, OM_CTX_BUILD, OM_CTX_STRUCTURE);
  int have = -1;
  if (!array || OMget_array_size(array, &have) != 1 ||
      (have != n && OMset_array_size(array, n) != 1)) {
    std::string message = std::string("cannot set size of ") + kind.array;
    return fail(kind.source, message.c_str());
  }
  for (int i = 0; i < n; ++i) {
    OMobj_id e = OMnull_obj;
    if (OMget_array_val(array, i, &e, 0) != 1) continue;
    setIntIfDiffers(sub(e, "width"), width);
    setIntIfDiffers(sub(e, "height"), height);
    if (hasShared) setIntIfDiffers(sub(e, kind.shared), shared);
    if (!!parent) refIfDiffers(sub(e, "parent"), parent);
    setIntIfDiffers(sub(e, "x"), x0 + i * dx);
    setIntIfDiffers(sub(e, "y"), y0 + i * dy);
    char* text = nullptr;
    if (OMget_str_array_val(strings, i, &text, 0) == 1 && text)
      setTextIfDiffers(sub(e, kind.textProp), text);
    std::free(text);
  }
  return 1;
}

}  // namespace

int label_label(OMobj_id obj) {
  return arrayOf(obj, {"label_label", "labels", "UIlabel", "alignment", "label"});
}

int label_text(OMobj_id obj) {
  return arrayOf(obj, {"label_text", "texts", "UItext", "outputOnly", "text"});
}

int label_cmd(OMobj_id obj) {
  OMobj_id out = sub(obj, "outItem"), in = sub(obj, "inItem");
  if (!out || !in) return 1;
  OMobj_id cmd = sub(obj, "cmd");
  OMobj_id labels = sub(obj, "labels");
  if (!cmd) return fail("label_cmd", "cannot get cmd");
  if (!labels) return fail("label_cmd", "cannot get labels");
  int n = stringArrayCount(labels);
  OMcontext ctx(obj, OM_CTX_BUILD, OM_CTX_STRUCTURE);
  int have = -1;
  if (OMget_array_size(cmd, &have) != 1 || (have != n && OMset_array_size(cmd, n) != 1))
    return fail("label_cmd", "cannot set size of cmd");
  std::vector<int> selected;
  bool single = OMget_obj_kind(valueOf(in)) != OM_KIND_INT_ARRAY;
  if (single) {
    int v = 0;
    if (OMget_int_val(in, &v) != 1) v = 0;
    selected.push_back(v);
  } else {
    int size = 0, type = 0;
    int* data = static_cast<int*>(OMret_array_ptr(in, 0, &size, &type));
    if (data && type == OM_TYPE_INT) selected.assign(data, data + size);
    ARRfree_f(data, __FILE__, __LINE__);
  }
  if (OMget_obj_kind(out) != OM_KIND_REF || !valueOf(out)) {
    if (OMset_obj_ref(out, in, 0) != 1) return fail("label_cmd", "cannot set reference");
  }
  for (int& s : selected) {
    if (s < n && s >= 0) continue;
    s = 0;
    if (single) OMset_int_val(in, 0);
  }
  int doSet = intOr(obj, "doSet", 1);
  for (int i = 0; i < n; ++i) {
    OMobj_id e = OMnull_obj;
    if (OMget_array_val(cmd, i, &e, 1) != 1) continue;
    char text[kArrayLabelSize] = "";
    char* at = text;
    if (OMget_str_array_val(labels, i, &at, kArrayLabelSize) != 1) text[0] = '\0';
    OMobj_id label = sub(e, "label");
    if (!label) return fail("label_cmd", "cannot get label");
    setTextIfDiffers(label, text);
    if (doSet) {
      OMobj_id set = sub(e, "set");
      if (!set) return fail("label_cmd", "cannot get set_flag");
      bool on = false;
      for (int s : selected) on = on || s == i;
      setIntIfDiffers(set, on ? 1 : 0);
    }
  }
  return 1;
}

// ---- Palette logic ------------------------------------------------------------------------

int UIwidgetPaletteNOR(OMobj_id obj) {
  int input = 0;
  if (!readInt(obj, "input", &input)) input = 0;
  OMcontext ctx(obj, OM_CTX_WIDGET, OM_CTX_PLAIN);
  OMset_real_val(sub(obj, "output"), 1.0 - input);
  return 0;
}

int UIwidgetPaletteMUX(OMobj_id obj) {
  OMobj_id update = sub(obj, "update");
  if (!update) return 0;
  int since = OMget_obj_seq(update, OMnull_obj, 0);
  bool any = false;
  int value = 0;
  for (int i = 0; i < 6; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "input_%d", i);
    OMobj_id input = sub(obj, name);
    if (!input || OMget_obj_seq(input, OMnull_obj, 3) <= since) continue;
    any = true;
    if (OMget_int_val(input, &value) != 1) value = 0;
  }
  if (!any) return 0;
  OMcontext ctx(obj, OM_CTX_WIDGET, OM_CTX_PLAIN);
  OMset_real_val(sub(obj, "output"), value);
  // The inputs seen are now old: the next change is measured from here.
  OMset_obj_seq(update, OMnull_obj, OMget_seq());
  return 0;
}
