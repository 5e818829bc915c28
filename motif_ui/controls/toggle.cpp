// UItoggle: an on/off toggle; a click writes "set" and "do", a "set" from the object changes
// the widget without writing back.
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include "om/om_scope.h"
#include "ui/core.h"
#include "ui/label.h"
#include "ui/misc.h"

#include "props.h"

namespace {

using uiprops::sub;

}  // namespace

UItoggle::UItoggle(OMobj_id id) : UIlabel(id) {
  classType_ = "UItoggle";
}
UItoggle::~UItoggle() = default;

bool UItoggle::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int set = 0;
  if (OMget_int_val(sub(objId, "set"), &set) != 1) set = 0;
  Widget w = createSized(xmToggleButtonWidgetClass, parent, false, Defaults::kWidgetsOwn,
                         UIargs{{XmNset, set ? XmSET : XmUNSET}});
  UIaddCallback<&UItoggle::onCommand>(w, XmNvalueChangedCallback, this);
  onObjectCreate(w);
  return true;
}

void UItoggle::updateObject(int) {
  if (UIisBeingDestroyed(widget_) || onlyItsSurroundingsChanged()) return;
  OMobj_id update = sub(objId, "update");
  if (!update) return;
  int reference = OMget_obj_seq(update, OMnull_obj, 0);
  OMobj_id setProp = sub(objId, "set");
  if (OMseq_newer(OMget_obj_seq(setProp, OMnull_obj, 3), reference)) {
    int set = 0;
    if (OMget_int_val(setProp, &set) != 1) set = 0;
    XmToggleButtonSetState(widget_, set ? True : False, False);  // no callback: no echo
  }
  UIlabel::updateObject(reference);
}

void UItoggle::onCommand(Widget w, UItoggle* binding, XmToggleButtonCallbackStruct*) {
  OMobj_id obj = binding->objId;
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_int_val(sub(obj, "set"), XmToggleButtonGetState(w) ? 1 : 0);
  // The press itself is not journalled: replaying "set" is enough.
  OMset_state_mode(OM_CTX_QUIET);
  OMset_int_val(sub(obj, "do"), 1);
  OMset_state_mode(OM_CTX_USER);
}

int UItoggleInstance(OMobj_id id) {
  return UIinstanceEntry<UItoggle>(id);
}
int UItoggleUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UItoggle>(id, mask, seq);
}
