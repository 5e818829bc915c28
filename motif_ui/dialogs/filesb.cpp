// UIfileSB: a file selection box that writes the chosen name back, checking first (when asked)
// that the file may be written and asking before an existing file is overwritten.
#include <Xm/DialogS.h>
#include <Xm/FileSB.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/file.h"
#include "svc/translate.h"
#include "ui/dialog.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

char* UIdialogText(XmString s);

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

UIfileSB* bindingOf(Widget fsb) {
  if (UIisBeingDestroyed(fsb)) return nullptr;
  UIwindow* b = UIwidgetToClass(fsb);
  return b && b->OK() ? dynamic_cast<UIfileSB*>(b) : nullptr;
}

// The text of a compound-string resource of w.
std::string textOf(Widget w, const char* resource) {
  XmString s = nullptr;
  XtVaGetValues(w, resource, &s, nullptr);
  char* text = UIdialogText(s);
  if (s) XmStringFree(s);
  std::string out = text;
  std::free(text);
  return out;
}

std::string expanded(const char* text) {
  char buffer[FILE_MAX_PATH];
  return FILEmap_variables(text, buffer) ? std::string(buffer) : std::string(text);
}

// Error reports of the file tests are not the user's business: squashed while they run,
// lowered again on every way out.
struct Squash {
  Squash() { ++ERRerror_squashed; }
  ~Squash() { --ERRerror_squashed; }
};

void destroyDialogCB(Widget dialog, XtPointer, XtPointer) {
  Widget shell = XtParent(dialog);
  UIdestroyWidget(XtIsShell(shell) ? shell : dialog);
}

// A modal message dialog under fsb with fsb's title and the given message; Help unmanaged.
Widget messageDialog(Widget fsb, bool question, const char* name, const std::string& message) {
  XmString title = nullptr;
  XtVaGetValues(fsb, XmNdialogTitle, &title, nullptr);
  UIxmString text = UIxmText(message.c_str());
  UIargs args{{XmNmessageString, text.get()},
              {XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL},
              {XmNdeleteResponse, XmDESTROY}};
  if (title) args.add(XmNdialogTitle, title);
  Widget dialog =
      question ? XmCreateQuestionDialog(fsb, const_cast<char*>(name), args.list(), args.count())
               : XmCreateErrorDialog(fsb, const_cast<char*>(name), args.list(), args.count());
  if (title) XmStringFree(title);
  if (Widget help = XmMessageBoxGetChild(dialog, XmDIALOG_HELP_BUTTON)) XtUnmanageChild(help);
  return dialog;
}

}  // namespace

void _UIfileWarning(char*) {}

UIfileSB::UIfileSB(OMobj_id id) : UIdialog(id) {
  classType_ = "UIfileSB";
}

bool UIfileSB::instanceObject() {
  Placement place;
  Widget parent = beginCreate(&place, 0);
  if (!parent) return false;
  makeShell(parent, place);
  UIxmString files = UIxmText(TMget_translation("UI_FILES", 0));
  UIxmString filter = UIxmText(TMget_translation("UI_FILTER", 0));
  UIxmString selection = UIxmText(TMget_translation("UI_SELECTION", 0));
  UIxmString folders = UIxmText(TMget_translation("UI_DIRECTORIES", 0));
  UIargs args = boxArgs(place);
  // The folder and filter are given at creation, where the box searches once anyway: set
  // afterwards, each would search the folder again.
  UIxmString mask;
  if (OMtext cache = OMget_text(sub(objId, "dirMaskCache"))) {
    mask = UIxmText(cache.get());
    args.add(XmNdirMask, mask.get());
  } else if (OMtext pattern = OMget_text(sub(objId, "searchPattern"))) {
    mask = UIxmText(expanded(pattern.get()).c_str());
    args.add(XmNpattern, mask.get());
  }
  char typeMask[81] = "";
  char* into = typeMask;
  if (OMget_str_val(sub(objId, "typeMask"), &into, sizeof typeMask) == 1) {
    if (!std::strcmp(typeMask, "directory")) args.add(XmNfileTypeMask, XmFILE_DIRECTORY);
    if (!std::strcmp(typeMask, "file")) args.add(XmNfileTypeMask, XmFILE_REGULAR);
    if (!std::strcmp(typeMask, "any")) args.add(XmNfileTypeMask, XmFILE_ANY_TYPE);
  }
  args.add(XmNfileListLabelString, files.get())
      .add(XmNfilterLabelString, filter.get())
      .add(XmNselectionLabelString, selection.get())
      .add(XmNdirListLabelString, folders.get());
  Widget box = XmCreateFileSelectionBox(shell_, const_cast<char*>(boxName().c_str()), args.list(),
                                        args.count());
  if (Widget text = XmFileSelectionBoxGetChild(box, XmDIALOG_TEXT)) DragAndDropDisable(text);
  if (Widget text = XmFileSelectionBoxGetChild(box, XmDIALOG_FILTER_TEXT)) DragAndDropDisable(text);
  if (Widget help = XmFileSelectionBoxGetChild(box, XmDIALOG_HELP_BUTTON)) XtUnmanageChild(help);
  finishCreate(box);
  return true;
}

void UIfileSB::setOKButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  Widget button = XmFileSelectionBoxGetChild(w, XmDIALOG_OK_BUTTON);
  int on = 1;
  if (OMget_int_val(prop, &on) != 1) on = 1;
  if (button) on ? XtManageChild(button) : XtUnmanageChild(button);
}

void UIfileSB::setCancelButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  Widget button = XmFileSelectionBoxGetChild(w, XmDIALOG_CANCEL_BUTTON);
  int on = 1;
  if (OMget_int_val(prop, &on) != 1) on = 1;
  if (button) on ? XtManageChild(button) : XtUnmanageChild(button);
}

void UIfileSB::setDialogResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  setDialogSharedResources(obj, w, seq);
  if (newer(fontAttributes().obj_id(), seq)) {
    // Not every child takes every font resource: Xt's warnings about that are not news.
    XtAppContext app = XtWidgetToApplicationContext(w);
    XtErrorHandler previous =
        XtAppSetWarningHandler(app, reinterpret_cast<XtErrorHandler>(_UIfileWarning));
    initFontSet(w, seq);
    if (XmFontList fonts = fontSet ? WTget_xmfontlist(fontSet) : nullptr) {
      XtVaSetValues(w, XmNlabelFontList, fonts, XmNtextFontList, fonts, XmNbuttonFontList, fonts,
                    nullptr);
      for (Widget child : uiprops::childrenOf(w)) XtVaSetValues(child, XmNfontList, fonts, nullptr);
    }
    XtAppSetWarningHandler(app, previous);
  }
  OMobj_id p;
  if (newer(p = sub(obj, "filterLabelString"), seq)) {
    OMtext text = OMget_text(p);
    UIxmString s = UIxmText(text ? text.get() : TMget_translation("UI_FILTER", 0));
    XtVaSetValues(w, XmNfilterLabelString, s.get(), nullptr);
  }
  // On creation the mask, the folder and the filter were given with the widget.
  bool creating = seq == -1;
  if (!creating && newer(p = sub(obj, "typeMask"), seq)) {
    char mask[81] = "";
    char* into = mask;
    if (OMget_str_val(p, &into, sizeof mask) == 1) {
      if (!std::strcmp(mask, "directory"))
        XtVaSetValues(w, XmNfileTypeMask, XmFILE_DIRECTORY, nullptr);
      else if (!std::strcmp(mask, "file"))
        XtVaSetValues(w, XmNfileTypeMask, XmFILE_REGULAR, nullptr);
      else if (!std::strcmp(mask, "any"))
        XtVaSetValues(w, XmNfileTypeMask, XmFILE_ANY_TYPE, nullptr);
    }
  }
  // Shown again (not hidden: OK and Cancel write "visible" 0 too, and a box going away has no
  // folder to search).
  int visible = 0;
  bool showing =
      !creating && newer(obj, "visible", seq) && readInt(obj, "visible", &visible) && visible;
  bool restored = creating;
  if (showing)
    if (OMtext cache = OMget_text(sub(obj, "dirMaskCache"))) {
      UIxmString s = UIxmText(cache.get());
      XtVaSetValues(w, XmNdirMask, s.get(), nullptr);
      restored = true;
    }
  if (!restored && newer(p = sub(obj, "searchPattern"), seq)) {
    OMtext pattern = OMget_text(p);
    UIxmString s = UIxmText(expanded(pattern ? pattern.get() : "").c_str());
    XtVaSetValues(w, XmNpattern, s.get(), nullptr);
  }
  bool named = newer(p = sub(obj, "filename"), seq);
  if (named) {
    if (OMtext name = OMget_text(p)) {
      UIxmString s = UIxmText(expanded(name.get()).c_str());
      XtVaSetValues(w, XmNdirSpec, s.get(), nullptr);
    } else {
      XmString directory = nullptr;
      XtVaGetValues(w, XmNdirectory, &directory, nullptr);
      XtVaSetValues(w, XmNdirSpec, directory, nullptr);
      if (directory) XmStringFree(directory);
    }
  }
  if (showing && !named) XmFileSelectionDoSearch(w, nullptr);
  setResources(w, seq);
}

void UIfileSB::addXtCallbacks(Widget w) {
  UIaddCallback<&UIfileSB::okCallback>(w, XmNokCallback, this);
  UIaddCallback<&UIdialog::cancelCallback>(w, XmNcancelCallback, static_cast<UIdialog*>(this));
}

void UIfileSB::okCallback(Widget w, UIfileSB*, XmFileSelectionBoxCallbackStruct*) {
  UIfileSBApplyCallback(w, w, nullptr);
}

void UIfileSB::updateDirMaskCache() {
  if (UIisBeingDestroyed(widget_)) return;
  std::string mask = textOf(widget_, XmNdirMask);
  OMcontext ctx(objId, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_str_val(sub(objId, "dirMaskCache", 0), mask.c_str());
}

void UIfileSBApplyCallback(Widget w, XtPointer data, XtPointer) {
  auto fsb = static_cast<Widget>(data);
  UIfileSB* binding = bindingOf(fsb);
  if (!binding) return;
  binding->fromOtherWidget = w != fsb;
  int confirm = 0;
  if (!readInt(binding->objId, "confirmFileWrite", &confirm) || !confirm) {
    UIfileSBConfirm(fsb);
    return;
  }
  std::string directory = textOf(fsb, XmNdirectory);
  std::string chosenPath = textOf(fsb, XmNdirSpec);  // the folder and the typed name
  int dirWritable, exists, isDirectory, writable;
  {
    Squash squash;
    dirWritable = FILEexists(directory.c_str(), FILE_WRITABLE_DIR, 0);
    exists = FILEexists(chosenPath.c_str(), FILE_EXISTS, 0);
    isDirectory = FILEexists(chosenPath.c_str(), FILE_DIRECTORY, 0);
    writable = FILEexists(chosenPath.c_str(), FILE_WRITABLE_FILE, 0);
  }
  if (!dirWritable)
    UIfileSBCreateErrorDialog(fsb, "Unable to write to directory %s", directory.c_str());
  else if (!exists)
    UIfileSBConfirm(fsb);
  else if (isDirectory)
    UIfileSBCreateErrorDialog(fsb, "%s is a directory.", chosenPath.c_str());
  else if (writable)
    UIfileSBCreateConfirmDialog(fsb, chosenPath.c_str());
  else
    UIfileSBCreateErrorDialog(fsb, "Unable to write to file %s", chosenPath.c_str());
}

void UIfileSBConfirm(Widget fsb) {
  UIfileSB* binding = bindingOf(fsb);
  if (!binding) return;
  std::string selection = textOf(fsb, XmNtextString);
  OMobj_id obj = binding->objId;
  {
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_int_val(sub(obj, "ok", 0), 1);
    OMset_str_val(sub(obj, "filename", 0), selection.c_str());
  }
  if (!UIwindow::alive(binding)) return;
  binding->updateDirMaskCache();
  if (!UIwindow::alive(binding) || binding->fromOtherWidget || !binding->autoUnmanage) return;
  if (UIisBeingDestroyed(fsb)) return;
  XtUnmanageChild(fsb);
  {
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_int_val(sub(obj, "visible", 0), 0);
  }
  if (!UIwindow::alive(binding)) return;
  if (!UIisBeingDestroyed(XtParent(fsb))) XtPopdown(XtParent(fsb));
  binding->destroyObject();
}

void UIfileSBConfirmOkCallback(Widget dialog, XtPointer fsb, XtPointer call) {
  destroyDialogCB(dialog, nullptr, call);
  UIfileSBConfirm(static_cast<Widget>(fsb));
}

void UIfileSBConfirmCancelCallback(Widget dialog, XtPointer, XtPointer call) {
  destroyDialogCB(dialog, nullptr, call);
}

void UIfileSBErrorOkCallback(Widget dialog, XtPointer, XtPointer call) {
  destroyDialogCB(dialog, nullptr, call);
}

Widget UIfileSBCreateConfirmDialog(Widget fsb, const char* file) {
  if (UIisBeingDestroyed(fsb)) return nullptr;
  std::string message =
      std::string("File ") + (file ? file : "") + " already exists.\nDo you wish to overwrite it?";
  Widget dialog = messageDialog(fsb, true, "UIfileSBConfirmDialog", message);
  XtAddCallback(dialog, XmNokCallback, UIfileSBConfirmOkCallback, fsb);
  XtAddCallback(dialog, XmNcancelCallback, UIfileSBConfirmCancelCallback, fsb);
  XtManageChild(dialog);
  return dialog;
}

Widget UIfileSBCreateErrorDialog(Widget fsb, const char* format, const char* name) {
  if (UIisBeingDestroyed(fsb) || !format) return nullptr;
  // Sized to the name, however long.
  int length = std::snprintf(nullptr, 0, format, name ? name : "");
  std::string message(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
  std::snprintf(message.data(), message.size(), format, name ? name : "");
  message.resize(message.size() - 1);
  Widget dialog = messageDialog(fsb, false, "UIfileSBErrorDialog", message);
  if (Widget cancel = XmMessageBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON)) XtUnmanageChild(cancel);
  XtAddCallback(dialog, XmNokCallback, UIfileSBErrorOkCallback, fsb);
  XtManageChild(dialog);
  return dialog;
}

int UIfileSBInstance(OMobj_id id) {
  return UIdialogInstanceEntry<UIfileSB>(id);
}
int UIfileSBUpdate(OMobj_id id) {
  return UIupdate1Entry(id, UIfileSBInstance);
}
