// The editor module's entry points: the edit-state object that switches and sets up the
// editor, the selection manager that restyles the selected object, and what the module
// registers with the object manager before the kit is read.
#include <Xm/Xm.h>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "ui/UIcursor.h"
#include "ui/layout.h"
#include "ui/misc.h"
#include "ui/wind.h"

namespace {

// Members are found by position: the edit-state object's template may name them as it likes.
OMobj_id at(OMobj_id id, int index) {
  return OMget_subobj_at(id, index);
}

bool readInt(const OMXobj& o, int* v) {
  return OMget_int_val(o.obj_id(), v) == 1;
}

}  // namespace

UIlayoutEditState::UIlayoutEditState(OMobj_id id)
    : OMXgroup(id, nullptr, 0, nullptr, "UIlayoutEditState"),
      editEnable(at(id, 0), nullptr, 0, this, "int"),
      snapToGrid(at(id, 1), nullptr, 0, this, "int"),
      group(at(id, 2), nullptr, 0, this, "int"),
      ungroup(at(id, 3), nullptr, 0, this, "int"),
      gridX(at(id, 4), nullptr, 0, this, "int"),
      gridY(at(id, 5), nullptr, 0, this, "int"),
      editObjectPath(at(id, 6), nullptr, 0, this, "string"),
      displayObjectPath(at(id, 7), nullptr, 0, this, "string"),
      undo(at(id, 8), nullptr, 0, this, "int"),
      redo(at(id, 9), nullptr, 0, this, "int") {}

int UIlayoutEditState::init(unsigned int mask, int) {
  return update(mask, -1);
}

int UIlayoutEditState::update(unsigned int, int seq) {
  int v = 0;
  if (editEnable.changed(seq) && readInt(editEnable, &v)) {
    UIlayout::editEnable = v;
    // Editing off ends any selection or drag: frame erased, cursors and repaint restored.
    if (!v && UIlayout::state != 0) UIlayout::cleanUpLayoutState();
  }
  if (snapToGrid.changed(seq) && readInt(snapToGrid, &v)) UIlayout::snapToGrid = v;
  // A trigger at its initial stamp (seq -1) has not fired.
  if (seq >= 0 && group.changed(seq)) UIlayout::groupObjects();
  if (seq >= 0 && ungroup.changed(seq)) UIlayout::ungroupObjects();
  if (seq >= 0 && undo.changed(seq)) UIlayoutUndo();
  if (seq >= 0 && redo.changed(seq)) UIlayoutRedo();
  if (UIlayout::snapToGrid && (gridX.changed(seq) || gridY.changed(seq))) {
    int x = UIlayout::gridX, y = UIlayout::gridY;
    readInt(gridX, &x);
    readInt(gridY, &y);
    UIlayout::setGrid(x, y);
  }
  OMtext edit = OMget_text(editObjectPath.obj_id());
  UIlayout::editObjectPath = edit ? edit.get() : "";
  OMtext display = OMget_text(displayObjectPath.obj_id());
  UIlayout::displayObjectPath = display ? display.get() : "";
  return 1;
}

int UIselectionManagerUpdate(OMobj_id id) {
  OMobj_id update = OMfind_subobj(id, OMstr_to_name("update"), 0);
  if (!update || UIlayout::state == 0 || !UIlayout::moveWidget) return 1;
  int updateSeq = OMget_obj_seq(update, OMnull_obj, 0);
  UIwindow* binding = UIwidgetToClass(UIlayout::moveWidget);
  if (!binding) return 1;
  OMobj_id target = binding->objId;
  OMobj_id trigger = OMfind_subobj(id, OMstr_to_name("trigger"), 0);
  if (OMget_obj_seq(trigger, OMnull_obj, 3) <= updateSeq) return 1;
  auto copy = [&](const char* from, const char* to) {
    OMtext text = OMget_text(OMfind_subobj(id, OMstr_to_name(from), 0));
    if (!text) return;
    OMcontext ctx(target, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_str_val(OMfind_str_subobj(target, to, 0), text.get());
  };
  copy("font", "fontList");
  int index = 0;
  if (OMget_int_val(OMfind_subobj(id, OMstr_to_name("setColorIndex"), 0), &index) != 1) return 1;
  if (index == 0) copy("backgroundColor", "color.backgroundColor");
  if (index == 1) copy("foregroundColor", "color.foregroundColor");
  return 1;
}

int LEobjInit(OMobj_id) {
  return 0;
}

void LEeditInit() {}

void UIeditorRegister() {
  UIcursorRegisterClasses();
  OMregister_omx_class("UIlayoutEditState",
                       [](OMobj_id id) -> OMXgroup* { return new UIlayoutEditState(id); });
  OMregister_update1_method("UIselectionManagerUpdate", UIselectionManagerUpdate);
  OMregister_instance_method("LEobjInit", LEobjInit);
}
