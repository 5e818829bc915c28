// UIdialog: what every dialog shares: the OK / Cancel / Close protocol, the shared resources,
// placement of the dialog shell on the first map and after moves, the display and colormap.
#include "ui/dialog.h"

#include <X11/Shell.h>
#include <Xm/DialogS.h>
#include <Xm/MessageB.h>
#include <Xm/Protocols.h>
#include <Xm/SelectioB.h>

#include <cstdlib>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/translate.h"
#include "ui/errorHandler.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

namespace {

using uiprops::nameOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

// The names of UIdialog::Prop, in its order.
const char* const kPropNames[] = {"visible",
                                  "autoUnmanage",
                                  "title",
                                  "okLabelString",
                                  "cancelLabelString",
                                  "isModal",
                                  "okButton",
                                  "cancelButton",
                                  "destroyOnUmanage",
                                  "display",
                                  "x",
                                  "y",
                                  "width",
                                  "height",
                                  "active",
                                  "cursor",
                                  "type",
                                  "message",
                                  "ok",
                                  "cancel"};

// The live binding a shell handler's client data names, or null.
UIdialog* dialogOf(XtPointer data) {
  auto* base = static_cast<UIwindow*>(data);
  if (!UIwindow::alive(base)) return nullptr;
  return dynamic_cast<UIdialog*>(base);
}

void popdown(Widget shell) {
  if (!UIisBeingDestroyed(shell) && XtIsShell(shell)) XtPopdown(shell);
}

// Manages the button for a property of 1 (or unset), else unmanages it; a button already so
// (as a new box's are) is left alone.
void showButton(Widget button, const OMobj_id& prop) {
  int on = 1;
  if (OMget_int_val(prop, &on) != 1) on = 1;
  if (!button || (XtIsManaged(button) ? 1 : 0) == (on ? 1 : 0)) return;
  on ? XtManageChild(button) : XtUnmanageChild(button);
}

// The box's dialog style for "isModal" (unset: modeless).
unsigned char styleOf(const OMobj_id& prop) {
  int modal = 0;
  if (OMget_int_val(prop, &modal) != 1) modal = 0;
  return modal ? XmDIALOG_FULL_APPLICATION_MODAL : XmDIALOG_MODELESS;
}

}  // namespace

UIdialog::UIdialog(OMobj_id id) : UIwindow(id) {
  classType_ = "UIdialog";
}
UIdialog::~UIdialog() = default;

OMobj_id UIdialog::prop(Prop which) {
  static_assert(sizeof kPropNames / sizeof kPropNames[0] == kPropCount, "a name for each");
  unsigned long bit = 1UL << which;
  if (!(propsKnown_ & bit)) {
    props_[which] = sub(objId, kPropNames[which]);
    propsKnown_ |= bit;
  }
  return props_[which];
}

OMobj_id UIdialog::prop(const OMobj_id& obj, Prop which) {
  if (obj.serial == objId.serial && obj.live == objId.live) return prop(which);
  return sub(obj, kPropNames[which]);
}

// ---- Creation shared by the boxes ------------------------------------------------------------

Widget UIdialog::beginCreate(Placement* place, int defaultSize) {
  int visible = 0;
  if (OMget_int_val(prop(kVisible), &visible) != 1 || !visible) return nullptr;
  int flag = 1;
  autoUnmanage = OMget_int_val(prop(kAutoUnmanage), &flag) == 1 ? flag != 0 : true;
  bool hasX = OMget_int_val(prop(kX), &place->x) == 1;
  bool hasY = OMget_int_val(prop(kY), &place->y) == 1;
  place->defaultPosition = !hasX && !hasY;
  auto size = [](const OMobj_id& p, int* v) {
    return OMget_int_val(p, v) == 1 && *v >= 1 && *v <= 32767;
  };
  if (!size(prop(kWidth), &place->width)) place->width = defaultSize;
  if (!size(prop(kHeight), &place->height)) place->height = defaultSize;
  Widget parent = getParentWidget();
  if (!parent) {
    setDisplayContext();
    parent = displayContext._appShell;
  }
  return UIisBeingDestroyed(parent) ? nullptr : parent;
}

Widget UIdialog::makeShell(Widget parent, const Placement& place) {
  UIargs args{{XtNallowShellResize, True}, {XmNdeleteResponse, XmDO_NOTHING}};
  if (place.width > 0) args.add(XmNwidth, place.width);
  if (place.height > 0) args.add(XmNheight, place.height);
  shell_ = XmCreateDialogShell(parent, const_cast<char*>(nameOf(objId)), args.list(), args.count());
  return shell_;
}

std::string UIdialog::boxName() const {
  return std::string(nameOf(objId)) + "MW";
}

UIargs UIdialog::boxArgs(const Placement& place) {
  UIargs args{{XmNx, place.x},
              {XmNy, place.y},
              {XmNautoUnmanage, False},
              {XmNdefaultPosition, place.defaultPosition ? True : False},
              {XmNuserData, static_cast<UIwindow*>(this)}};
  OMtext title = OMget_text(prop(kTitle));
  title_ = UIxmText(title ? title.get() : nameOf(objId));
  OMtext ok = OMget_text(prop(kOkLabelString));
  okLabel_ = UIxmText(ok ? ok.get() : TMget_translation("UI_OK", 0));
  OMtext cancel = OMget_text(prop(kCancelLabelString));
  cancelLabel_ = UIxmText(cancel ? cancel.get() : TMget_translation("UI_CANCEL", 0));
  args.add(XmNdialogTitle, title_.get())
      .add(XmNokLabelString, okLabel_.get())
      .add(XmNcancelLabelString, cancelLabel_.get());
  if (place.width > 0) args.add(XmNwidth, place.width);
  if (place.height > 0) args.add(XmNheight, place.height);
  OMobj_id modal = prop(kIsModal);
  if (newer(modal, -1)) args.add(XmNdialogStyle, styleOf(modal));
  return args;
}

void UIdialog::finishCreate(Widget box) {
  setWtCmap(shell_);
  setDialogResources(objId, box, -1);
  // The box's own handlers go on before it is shown, so that its window selects their events
  // when mapped rather than in a request of its own afterwards (the creation hooks then leave
  // them as they are).
  addWindowHandlers(box, false);
  handlersOn_ = box;
  XtManageChild(box);
  onObjectCreate(box);
  OMsend_event(objId, 1);
}

// ---- The shared resources --------------------------------------------------------------------

void UIdialog::setOKButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  showButton(XmMessageBoxGetChild(w, XmDIALOG_OK_BUTTON), prop);
}

void UIdialog::setCancelButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  showButton(XmMessageBoxGetChild(w, XmDIALOG_CANCEL_BUTTON), prop);
}

void UIdialog::setOKLabelString(const OMobj_id& prop, Widget w) {
  OMtext text = OMget_text(prop);
  UIxmString s = UIxmText(text ? text.get() : TMget_translation("UI_OK", 0));
  XtVaSetValues(w, XmNokLabelString, s.get(), nullptr);
}

void UIdialog::setCancelLabelString(const OMobj_id& prop, Widget w) {
  OMtext text = OMget_text(prop);
  UIxmString s = UIxmText(text ? text.get() : TMget_translation("UI_CANCEL", 0));
  XtVaSetValues(w, XmNcancelLabelString, s.get(), nullptr);
}

void UIdialog::setDialogStyle(const OMobj_id& prop, Widget w) {
  unsigned char style = styleOf(prop);
  bool managed = XtIsManaged(w);
  // The style takes effect when the box is managed: a shown box is managed again.
  if (managed) XtUnmanageChild(w);
  XtVaSetValues(w, XmNdialogStyle, style, nullptr);
  if (managed) XtManageChild(w);
}

void UIdialog::setDialogTitle(const OMobj_id& prop, Widget w) {
  OMtext text = OMget_text(prop);
  UIxmString s = UIxmText(text ? text.get() : nameOf(objId));
  XtVaSetValues(w, XmNdialogTitle, s.get(), nullptr);
}

void UIdialog::setAutoUnmanage(const OMobj_id& prop, Widget w) {
  int flag = 1;
  if (OMget_int_val(prop, &flag) != 1) return;
  UIwindow* binding = nullptr;
  XtVaGetValues(w, XmNuserData, &binding, nullptr);
  if (auto* dialog = alive(binding) ? dynamic_cast<UIdialog*>(binding) : nullptr)
    dialog->autoUnmanage = flag != 0;
}

void UIdialog::setDestroyOnUnmanage(const OMobj_id& prop) {
  int flag = 0;
  destroyOnUnmanage = OMget_int_val(prop, &flag) == 1 && flag;
}

void UIdialog::setDialogSharedResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  OMobj_id p;
  if (newer(p = prop(obj, kOkButton), seq)) setOKButton(p, obj, w);
  if (newer(p = prop(obj, kCancelButton), seq)) setCancelButton(p, obj, w);
  // Made with the labels, the title and the style (boxArgs): only later changes set them.
  bool made = seq == -1;
  if (!made && newer(p = prop(obj, kOkLabelString), seq)) setOKLabelString(p, w);
  if (!made && newer(p = prop(obj, kCancelLabelString), seq)) setCancelLabelString(p, w);
  if (!made && newer(p = prop(obj, kIsModal), seq)) setDialogStyle(p, w);
  if (!made && newer(p = prop(obj, kTitle), seq)) setDialogTitle(p, w);
  if (seq != -1 && newer(p = prop(obj, kAutoUnmanage), seq)) setAutoUnmanage(p, w);
  if (newer(p = prop(obj, kDestroyOnUnmanage), seq)) setDestroyOnUnmanage(p);
  // A box made with its fonts (and its children with them) has nothing to set until they
  // change; the core pass sees the same and sets none either.
  if (newer(fontAttributes().obj_id(), seq) && !(made && madeWithFonts_)) {
    initFontSet(w, seq);
    if (XmFontList fonts = fontSet ? WTget_xmfontlist(fontSet) : nullptr) {
      XtVaSetValues(w, XmNlabelFontList, fonts, XmNtextFontList, fonts, XmNbuttonFontList, fonts,
                    nullptr);
      if (fontsReachChildren()) UItemplateDialogSetChildrenFontSet(w, fonts);
    }
  }
  int visible = 0;
  if (seq > 0 && newer(p = prop(obj, kVisible), seq) && OMget_int_val(p, &visible) == 1 &&
      visible) {
    XtManageChild(w);
    if (XtIsShell(XtParent(w))) XtPopup(XtParent(w), XtGrabNone);
  }
}

void UIdialog::setDialogResources(const OMobj_id& obj, Widget w, int seq) {
  setDialogSharedResources(obj, w, seq);
  setResources(w, seq);
}

void UItemplateDialogSetChildrenFontSet(Widget box, XmRenderTable fonts) {
  if (UIisBeingDestroyed(box) || !XmIsMessageBox(box)) return;
  const unsigned char children[] = {XmDIALOG_CANCEL_BUTTON, XmDIALOG_DEFAULT_BUTTON,
                                    XmDIALOG_HELP_BUTTON,   XmDIALOG_MESSAGE_LABEL,
                                    XmDIALOG_OK_BUTTON,     XmDIALOG_SYMBOL_LABEL};
  for (unsigned char which : children)
    if (Widget child = XmMessageBoxGetChild(box, which))
      XtVaSetValues(child, XmNfontList, fonts, nullptr);
}

// ---- Display and colormap --------------------------------------------------------------------

void UIdialog::setDisplayContext() {
  OMtext name = OMget_text(prop(kDisplay));
  const char* env = std::getenv("DISPLAY");
  displayContext = *UIgetDisplayContext(name ? name.get() : env);
}

void UIdialog::setWtCmap(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  if (!displayContext.DisplayPtr) displayContext = *UIgetDisplayContext(XtDisplay(w));
  auto* wt = static_cast<WText_context*>(displayContext.getWtDpyContext());
  if (!wt) return;
  WTinstall_virtpal_cmap(wt, w);
  WTadd_ext_context_callback(wt, 0, virtpal_refreshCB, w);
  WTadd_ext_context_callback(wt, 1, virtpal_refreshCB, w);
}

void UIdialog::virtpal_refreshCB(WText_context*, int reason, Widget w) {
  if (UIisBeingDestroyed(w) || !XtIsRealized(w) || !XtIsManaged(w)) return;
  if (reason == 0) XUnmapWindow(XtDisplay(w), XtWindow(w));
  if (reason == 1) XMapWindow(XtDisplay(w), XtWindow(w));
}

// ---- Update ----------------------------------------------------------------------------------

void UIdialog::updateObject(int seq) {
  if (!widget_) {
    if (creating_) return;
    Creating creating(this);
    instanceObject();
    if (!widget_) return;
  }
  if (UIisBeingDestroyed(widget_)) return;
  if (seq != -1 && newer(prop(kDisplay), seq)) {
    if (!getParentWidget()) setDisplayContext();
    if (displayContext.DisplayPtr && displayContext.DisplayPtr != XtDisplay(widget_))
      rebuildObject(widget_);
    return;
  }
  OMobj_id p;
  int v = 0;
  // X keeps positions and sizes in 16 bits: a value beyond them is reported and not applied
  // (it would wrap into another: 70000 wide is 4464 wide to X), as a shell's.
  const char* who = "UIdialog::updateObject";
  // A position where the window is (as last written back) or is going (as last asked) asks
  // for no move: under a manager that puts its frame where asked, the window lands inside the
  // frame and that position is written back; asking again would move it once more, each round
  // waiting for the manager's answer, without end.
  if (newer(p = prop(kX), seq) && OMget_int_val(p, &v) == 1 && v != knownX &&
      UIpositionInRange(who, "x", v)) {
    knownX = v;
    XtVaSetValues(widget_, XmNx, v, XmNdefaultPosition, False, nullptr);
  }
  if (newer(p = prop(kY), seq) && OMget_int_val(p, &v) == 1 && v != knownY &&
      UIpositionInRange(who, "y", v)) {
    knownY = v;
    XtVaSetValues(widget_, XmNy, v, XmNdefaultPosition, False, nullptr);
  }
  if (newer(p = prop(kWidth), seq)) {
    if (OMget_int_val(p, &v) != 1) {
      v = 200;
      UIsetOMWindowWidth(objId, v);
    }
    if (v >= 1 && UIdimensionInRange(who, "width", v))
      XtVaSetValues(widget_, XmNwidth, v, XmNdefaultPosition, False, nullptr);
  }
  if (newer(p = prop(kHeight), seq)) {
    if (OMget_int_val(p, &v) != 1) {
      v = 100;
      UIsetOMWindowHeight(objId, v);
    }
    if (v >= 1 && UIdimensionInRange(who, "height", v))
      XtVaSetValues(widget_, XmNheight, v, XmNdefaultPosition, False, nullptr);
  }
  setDialogResources(objId, widget_, seq);
  // The shell placed the dialog already: the base only shows, hides and activates. A dialog
  // hidden already (OK and Cancel hide it, then write "visible" 0) is not hidden again.
  int visible = 0;
  OMobj_id shown = prop(kVisible);
  bool hiding = newer(shown, seq) && OMget_int_val(shown, &visible) == 1 && !visible;
  bool hidden = hiding && !XtIsManaged(widget_);
  if ((newer(shown, seq) && !hidden) || newer(prop(kActive), seq) || newer(prop(kCursor), seq))
    UIwindow::updateObject(seq);
}

// ---- Creation hooks, map and moves -----------------------------------------------------------

void UIdialog::addXtEventHandlers(Widget w) {
  Widget shell = XtParent(w);
  if (UIisBeingDestroyed(shell)) return;
  unframed = true;  // a new shell: its window is a child of the root until a manager frames it
  XtAddEventHandler(shell, StructureNotifyMask, False, onMap, static_cast<UIwindow*>(this));
  XtAddEventHandler(shell, StructureNotifyMask, False, onReparented, static_cast<UIwindow*>(this));
}

void UIdialog::onObjectCreate(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  addXtCallbacks(w);
  addXtEventHandlers(w);
  Widget shell = XtParent(w);
  Atom deleteWindow = XmInternAtom(XtDisplay(shell), const_cast<char*>("WM_DELETE_WINDOW"), False);
  XmAddWMProtocolCallback(shell, deleteWindow, UIcallbackTrampoline<&UIdialog::closeCB>,
                          static_cast<UIwindow*>(this));
  UIwindow::onObjectCreate(w);
}

void UIdialog::detectMWMPositionIsFrame(UIdialog* binding) {
  // Before a manager has reparented the window there is no frame: a manager reparents a
  // window before it maps it, so the ReparentNotify comes before the MapNotify.
  if (!binding || UIisBeingDestroyed(binding->shell_) || binding->unframed) return;
  UIwmFrame measured;
  if (!UIshell::measureFrame(binding->shell_, true, &measured)) return;
  binding->frame = measured;
  binding->frameDetected = true;
}

void UIdialog::onMap(Widget shell, XtPointer data, XEvent* event, Boolean*) {
  if (!event || event->type != MapNotify) return;
  UIdialog* binding = dialogOf(data);
  if (!binding || UIisBeingDestroyed(binding->widget_)) return;
  if (!binding->frameDetected) detectMWMPositionIsFrame(binding);
  Position x = 0, y = 0;
  Dimension width = 0, height = 0;
  XtVaGetValues(binding->widget_, XmNx, &x, XmNy, &y, XmNwidth, &width, XmNheight, &height,
                nullptr);
  OMobj_id obj = binding->objId;
  // The position the dialog was made at, or is now written, is where the window is.
  binding->knownX = x;
  binding->knownY = y;
  {
    OMcontext ctx(obj, OM_CTX_WIDGET, OM_CTX_GEOMETRY);
    int v = 0;
    if (!readInt(obj, "x", &v)) UIsetOMWindowX(obj, x);
    if (!readInt(obj, "y", &v)) UIsetOMWindowY(obj, y);
    if (!readInt(obj, "width", &v)) UIsetOMWindowWidth(obj, width);
    if (!readInt(obj, "height", &v)) UIsetOMWindowHeight(obj, height);
  }
  if (!UIwindow::alive(binding) || UIisBeingDestroyed(shell)) return;
  XtRemoveEventHandler(shell, StructureNotifyMask, False, onMap, data);
  XtAddEventHandler(shell, StructureNotifyMask, False, onSize, data);
}

void UIdialog::removeShellHandlers(Widget shell) {
  if (UIisBeingDestroyed(shell)) return;
  XtPointer self = static_cast<UIwindow*>(this);
  for (XtEventHandler handler : {onMap, onSize, onReparented})
    XtRemoveEventHandler(shell, StructureNotifyMask, False, handler, self);
}

void UIdialog::onReparented(Widget shell, XtPointer data, XEvent* event, Boolean*) {
  bool unframed = false;
  if (!UIshell::readReparent(shell, event, &unframed)) return;
  if (UIdialog* binding = dialogOf(data)) binding->unframed = unframed;
}

void UIdialog::onSize(Widget shell, XtPointer data, XEvent* event, Boolean*) {
  if (!event || event->type != ConfigureNotify || UIisBeingDestroyed(shell)) return;
  if (event->xconfigure.window != XtWindow(shell)) return;
  UIdialog* binding = dialogOf(data);
  if (!binding || UIisBeingDestroyed(binding->widget_)) return;
  if (!binding->frameDetected) detectMWMPositionIsFrame(binding);
  OMobj_id obj = binding->objId;
  Position sx = 0, sy = 0;
  XtVaGetValues(shell, XmNx, &sx, XmNy, &sy, nullptr);
  int ow = 0, oh = 0;
  bool hasW = readInt(obj, "width", &ow), hasH = readInt(obj, "height", &oh);
  if (!hasW || !hasH || ow != event->xconfigure.width || oh != event->xconfigure.height) {
    binding->handle.pushCtx(OM_CTX_QUIET, OM_CTX_EVENT, 0);
    binding->handle.event(2);
    binding->handle.popCtx();
    if (!UIwindow::alive(binding) || UIisBeingDestroyed(binding->widget_)) return;
  }
  // The object is written once, with the geometry it ends with: the window's size and, unless
  // the object keeps a requested position of its own in "_x" / "_y", the dialog's position
  // (its window's, without the frame). Writing the requested position first and the dialog's
  // after would run the update twice with two positions, each asking the manager for a move.
  Position x = 0, y = 0;
  XtVaGetValues(binding->widget_, XmNx, &x, XmNy, &y, nullptr);
  int v = 0;
  int nx = readInt(obj, "_x", &v) ? sx - binding->frame.xOffset : x;
  int ny = readInt(obj, "_y", &v) ? sy - binding->frame.yOffset : y;
  binding->knownX = nx;
  binding->knownY = ny;
  UIupdateOMRequestedWindowPosSize(binding->widget_, nx, ny, event->xconfigure.width,
                                   event->xconfigure.height, 0);
}

// ---- The protocol ----------------------------------------------------------------------------

void UIdialog::okCallback(Widget w, UIdialog* binding, XmAnyCallbackStruct*) {
  // The members are found while the binding surely lives: a write may end it.
  OMobj_id obj = binding->objId, ok = binding->prop(kOk), visible = binding->prop(kVisible);
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_int_val(ok, 1);
  if (!alive(binding) || !binding->autoUnmanage) return;
  OMset_int_val(visible, 0);
  if (!UIisBeingDestroyed(w)) XtUnmanageChild(w);
  popdown(XtParent(w));
  if (binding->destroyOnUnmanage) binding->destroyObject();
}

void UIdialog::cancelCallback(Widget w, UIdialog* binding, XmAnyCallbackStruct*) {
  OMobj_id obj = binding->objId, cancel = binding->prop(kCancel), visible = binding->prop(kVisible);
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_int_val(cancel, 1);
  if (!alive(binding) || !binding->autoUnmanage) return;
  if (!UIisBeingDestroyed(w)) XtUnmanageChild(w);
  OMset_int_val(visible, 0);
  popdown(XtParent(w));
  if (binding->destroyOnUnmanage) binding->destroyObject();
}

void UIdialog::closeCB(Widget shell, UIdialog* binding, XmAnyCallbackStruct*) {
  OMobj_id obj = binding->objId, cancel = binding->prop(kCancel), visible = binding->prop(kVisible);
  {
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_int_val(cancel, 1);
    OMset_int_val(visible, 0);
  }
  popdown(shell);
  if (alive(binding)) binding->destroyObject();
}

// ---- Rebuild and destruction -----------------------------------------------------------------

void UIdialog::rebuildObject(Widget old) {
  if (UIisBeingDestroyed(old)) return;
  std::vector<Widget> children = uiprops::childrenOf(old);
  Widget oldShell = XtIsShell(old) ? old : XtParent(old);
  removeShellHandlers(oldShell);
  {
    OMcontext ctx(handle.obj_id(), OM_CTX_QUIET, OM_CTX_EVENT);
    handle.widget(nullptr);
  }
  widget_ = nullptr;
  frameDetected = false;
  knownX = knownY = -32768;
  instanceObject();
  // The children of another type (buttons in the box) move to the new box; a display change
  // rebuilds them through their own "parent" link instead (widgets do not cross displays).
  if (widget_ && XtDisplay(widget_) == XtDisplay(old))
    for (Widget child : children) {
      UIwindow* b = UIwidgetToClass(child);
      if (child == widget_ || !b || std::string(b->classType()) == classType()) continue;
      SetParent(child, widget_);
    }
  UIdestroyWidget(oldShell);
}

void UIdialog::destroyObject() {
  if (!UIisBeingDestroyed(widget_)) {
    if (auto* wt = static_cast<WText_context*>(displayContext.getWtDpyContext())) {
      WTdelete_ext_context_callback(wt, 0, virtpal_refreshCB, shell_);
      WTdelete_ext_context_callback(wt, 1, virtpal_refreshCB, shell_);
    }
    removeShellHandlers(shell_);
    for (Widget child : uiprops::childrenOf(widget_)) {
      UIwindow* b = UIwidgetToClass(child);
      if (b && b != this && b->OK()) b->destroyObject();
    }
    Widget shell = !UIisBeingDestroyed(shell_) ? shell_ : XtParent(widget_);
    UIdestroyWidget(shell);
  }
  UIwindow::destroyObject();
}

// ---- Entry points ----------------------------------------------------------------------------

int UIdialogUpdate(OMobj_id id) {
  UIwindow* binding = UIobjIdToClass(id);
  if (!binding) return 1;
  OMobj_id update = OMfind_subobj(id, OMstr_to_name("update"), 1);
  binding->updateObject(!update ? -1 : OMget_obj_seq(update, OMnull_obj, 3));
  return 1;
}

void UIdialogsRegister() {
  struct Type {
    const char* instance;
    OMinstance_fn instanceFn;
    const char* update;
    OMupdate1_fn updateFn;
  } const types[] = {
      {"UImessageBoxInstance", UImessageBoxInstance, "UImessageBoxUpdate", UImessageBoxUpdate},
      {"UIpromptBoxInstance", UIpromptBoxInstance, "UIpromptBoxUpdate", UIpromptBoxUpdate},
      {"UIselectionBoxInstance", UIselectionBoxInstance, "UIselectionBoxUpdate",
       UIselectionBoxUpdate},
      {"UImultiSelBoxInstance", UImultiSelBoxInstance, "UImultiSelBoxUpdate", UImultiSelBoxUpdate},
      {"UIfontBoxInstance", UIfontBoxInstance, "UIfontBoxUpdate", UIfontBoxUpdate},
      {"UIfileSBInstance", UIfileSBInstance, "UIfileSBUpdate", UIfileSBUpdate},
      {"UItemplateDialogInstance", UItemplateDialogInstance, "UItemplateDialogUpdate",
       UItemplateDialogUpdate},
  };
  for (const Type& t : types) {
    OMregister_instance_method(t.instance, t.instanceFn);
    OMregister_update1_method(t.update, t.updateFn);
  }
  OMregister_update1_method("UIdialogUpdate", UIdialogUpdate);
}
