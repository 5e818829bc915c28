// Blocking dialogs: a question with buttons that does not return until it is answered, for the
// error service's yes/no and out-of-memory handlers.
//
// The dialog is made of objects like any other ("UImessageDialog" with one "UIbutton" per
// label, in a group "msg_dialog_macro" under the instance place) and destroyed with them
// before the call returns. Meanwhile a private loop dispatches only the events of the dialog's
// own windows; everything else waits in the queue until the answer is in.
#include <X11/IntrinsicP.h>
#include <X11/ShellP.h>
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <poll.h>

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/translate.h"
#include "ui/dialog.h"
#include "ui/errorHandler.h"
#include "ui/misc.h"

void (*UIsyncDialogWaitHook)(Widget box) = nullptr;

namespace {

constexpr int kFailed = -2;  // the dialog could not be made (reported)

int pressedIndex = -1;
std::unordered_set<Window> dialogWindows;

OMobj_id sub(const OMobj_id& id, const char* name) {
  return OMfind_str_subobj(id, name, 0);
}

OMobj_id instancePlace() {
  OMobj_id place = OMnull_obj;
  if (OMget_array_subobj(OMinst_obj, 0, &place, 0) != 1 || !place.serial) place = OMinst_obj;
  return place;
}

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// The button labels: split at the separator, trimmed, each at most 127 bytes (whole UTF-8
// characters).
std::vector<std::string> splitLabels(const char* buttons, char separator) {
  std::vector<std::string> labels;
  std::string all = buttons ? buttons : TMget_translation("UI_OK", 0);
  size_t start = 0;
  while (true) {
    size_t at = all.find(separator, start);
    std::string label =
        trim(all.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (label.size() > 127) {
      size_t cut = 127;
      while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80) --cut;
      label.resize(cut);
    }
    labels.push_back(label);
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return labels;
}

// An object name from a label: letters, digits and '_' kept, white space made '_', the rest
// dropped, at most 63; an empty or taken name becomes a unique one.
std::string buttonName(const OMobj_id& macro, const std::string& label) {
  std::string base;
  for (unsigned char c : label) {
    if (base.size() >= 63) break;
    if (std::isalnum(c) || c == '_')
      base += static_cast<char>(c);
    else if (std::isspace(c))
      base += '_';
  }
  if (base.empty()) base = "button";
  char unique[96];
  if (OMget_uniq_name(macro, base.c_str(), unique, sizeof unique) != 1) return base;
  return unique;
}

bool isDefaultLabel(const std::string& label) {
  return label == "ok" || label == "OK" || label == "Ok";
}

bool poppedUp(Widget shell) {
  return !UIisBeingDestroyed(shell) && XtIsShell(shell) &&
         reinterpret_cast<ShellWidget>(shell)->shell.popped_up;
}

void collectWindows(Display* display, Window window) {
  dialogWindows.insert(window);
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return;
  for (unsigned i = 0; i < count; ++i) collectWindows(display, children[i]);
  if (children) XFree(children);
}

Bool isDialogEvent(Display*, XEvent* event, XPointer) {
  return dialogWindows.count(event->xany.window) ? True : False;
}

// A button's activation: records its index, then runs the dialog's OK protocol (which hides
// it). The callback removes itself so that a second press cannot change the answer.
void buttonActivated(Widget button, XtPointer index, XtPointer) {
  pressedIndex = static_cast<int>(reinterpret_cast<intptr_t>(index));
  XtRemoveCallback(button, XmNactivateCallback, buttonActivated, index);
  Widget box = XtParent(button);
  if (UIisBeingDestroyed(box)) return;
  XmAnyCallbackStruct call{XmCR_OK, nullptr};
  XtCallCallbacks(box, XmNokCallback, &call);
  XSync(XtDisplay(box), False);
}

// Dispatches the dialog's events until the dialog is down (answered, or closed by the window
// manager). Waits in slices so that the condition is seen even when no event comes.
void waitForAnswer(Widget shell) {
  Display* display = XtDisplay(shell);
  while (poppedUp(shell)) {
    XEvent event;
    if (XCheckIfEvent(display, &event, isDialogEvent, nullptr)) {
      XtDispatchEvent(&event);
      continue;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 20);
  }
}

// The message with each of its lines wrapped to 60 columns: a long line would make a dialog
// wider than the screen, its buttons out of reach.
std::string wrapLines(const std::string& message) {
  std::string out;
  size_t start = 0;
  while (true) {
    size_t end = message.find('\n', start);
    out += UIwrapText(message.substr(start, end == std::string::npos ? end : end - start), ' ');
    if (end == std::string::npos) return out;
    out += '\n';
    start = end + 1;
  }
}

// Builds, shows and waits; the index, -1 when closed unanswered, kFailed when the dialog
// could not be made.
int runDialog(const char* buttons, char separator, const char* title, const char* message) {
  pressedIndex = -1;
  dialogWindows.clear();
  std::vector<std::string> labels = splitLabels(buttons, separator);
  OMobj_id place = instancePlace();
  OMobj_id macro = OMnull_obj, dialog = OMnull_obj;
  std::vector<OMobj_id> buttonObjs;
  bool made = true;
  {
    OMcontext ctx(OMroot_obj, OM_CTX_WIDGET, OM_CTX_EVENT);
    char name[96] = "msg_dialog_macro";
    OMget_uniq_name(place, "msg_dialog_macro", name, sizeof name);
    macro = OMcreate_obj(OMstr_to_name(name), OM_KIND_GROUP, place, OMnull_obj, 0);
    if (macro.serial) dialog = OMcreate_obj_from_path("UImessageDialog", "msg_dialog", macro);
    made = dialog.serial != 0;
    if (made) {
      OMset_int_val(sub(dialog, "visible"), 1);
      OMset_int_val(sub(dialog, "isModal"), 1);
      OMset_str_val(sub(dialog, "title"), title ? title : "");
      OMset_str_val(sub(dialog, "message"), wrapLines(message).c_str());
    }
    for (size_t i = 0; made && i < labels.size(); ++i) {
      std::string objName = buttonName(macro, labels[i]);
      OMobj_id b = OMcreate_obj_from_path("UI.Controls.UIbutton", objName.c_str(), macro);
      if (!b.serial) {
        made = false;
        break;
      }
      OMset_str_val(sub(b, "label"), labels[i].c_str());
      OMset_int_val(sub(b, "height"), 50);
      OMset_obj_ref(sub(b, "parent"), dialog, 0);
      buttonObjs.push_back(b);
    }
    if (made) {
      OMset_int_val(sub(dialog, "okButton"), 0);
      OMset_int_val(sub(dialog, "cancelButton"), 0);
      OMset_int_val(sub(dialog, "visible"), 1);
    }
  }
  // Called inside an open context the instancing still waits: it is run now.
  OMflush_notifies();
  Widget box = made ? UIobjIdToWidget(dialog) : nullptr;
  Widget shell = UIisBeingDestroyed(box) ? nullptr : XtParent(box);
  std::vector<Widget> buttonWidgets;
  for (const OMobj_id& b : buttonObjs) {
    Widget w = UIobjIdToWidget(b);
    if (UIisBeingDestroyed(w)) made = false;
    buttonWidgets.push_back(w);
  }
  if (!made || !shell || !poppedUp(shell)) {
    if (macro.serial) OMdestroy_obj(macro, 0);
    ERRerror("(couldn't create msg dialog)", 0, 2, "%s", message);
    return kFailed;
  }
  for (size_t i = 0; i < buttonWidgets.size(); ++i) {
    XtAddCallback(buttonWidgets[i], XmNactivateCallback, buttonActivated,
                  reinterpret_cast<XtPointer>(static_cast<intptr_t>(i)));
    if (isDefaultLabel(labels[i]))
      XtVaSetValues(box, XmNdefaultButton, buttonWidgets[i], XmNinitialFocus, buttonWidgets[i],
                    nullptr);
  }
  {
    OMcontext ctx(macro, OM_CTX_WIDGET, OM_CTX_EVENT);
    XSync(XtDisplay(shell), False);
    if (XtWindow(shell)) collectWindows(XtDisplay(shell), XtWindow(shell));
    if (UIsyncDialogWaitHook) UIsyncDialogWaitHook(box);
    waitForAnswer(shell);
    OMdestroy_obj(macro, 0);
  }
  dialogWindows.clear();
  return pressedIndex;
}

// Formats into a buffer of size bytes at most.
std::string formatBounded(size_t size, const char* format, va_list args) {
  if (!format) return std::string();
  std::vector<char> buffer(size);
  int n = std::vsnprintf(buffer.data(), size, format, args);
  if (n < 0) return std::string();
  return std::string(buffer.data());
}

std::string doublePercents(const char* text) {
  std::string out;
  for (const char* p = text; p && *p; ++p) {
    out += *p;
    if (*p == '%') out += '%';
  }
  return out;
}

int vsyncDialog(const char* buttons, char separator, const char* title, const char* format,
                va_list args) {
  std::string message = formatBounded(1024, format, args);
  return runDialog(buttons, separator, title, message.c_str());
}

std::string boundedButtons(const char* first, const char* second) {
  std::string text = std::string(first) + "!" + second;
  if (text.size() > 127) text.resize(127);
  return text;
}

}  // namespace

int UIsync_dialog(const char* buttons, char separator, const char* title, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = vsyncDialog(buttons, separator, title, format, args);
  va_end(args);
  return result == kFailed ? -1 : result;
}

int UIsync_yesno_dialog(const char* title, const char* format, ...) {
  std::string buttons =
      boundedButtons(TMget_translation("UI_YES", 0), TMget_translation("UI_NO", 0));
  va_list args;
  va_start(args, format);
  int result = vsyncDialog(buttons.c_str(), '!', title, format, args);
  va_end(args);
  return result == 0 ? 1 : 0;
}

int UIsync_outofmem_dialog(const char* message, ...) {
  std::string buttons = boundedButtons(TMget_translation("ERR_OUT_OF_MEMORY_EXIT", 0),
                                       TMget_translation("ERR_OUT_OF_MEMORY_RETRY", 0));
  // The caller's message is a format; the translation appended to it is text.
  std::string format = std::string(message ? message : "") + "\n\n" +
                       doublePercents(TMget_translation("ERR_OUT_OF_MEMORY_MSG", 0));
  if (format.size() > 511) format.resize(511);
  size_t percents = 0;
  while (percents < format.size() && format[format.size() - 1 - percents] == '%') ++percents;
  if (percents % 2) format.pop_back();  // a '%' cut from its pair
  va_list args;
  va_start(args, message);
  std::string text = formatBounded(1024, format.c_str(), args);
  va_end(args);
  const char* title = TMget_translation("ERR_OUT_OF_MEMORY_TITLE", 0);
  // Closing the dialog is no answer: it is asked again. A dialog that cannot be made at all
  // answers "exit" (0), as a process that cannot even show a dialog cannot go on.
  while (true) {
    int result = runDialog(buttons.c_str(), '!', title, text.c_str());
    if (result == kFailed) return 0;
    if (result == 0 || result == 1) return result;
  }
}

void UIinstallSyncDialogs() {
  ERRset_yesno_dialog_handler(UIsync_yesno_dialog);
  ERRset_outofmem_dialog_handler(UIsync_outofmem_dialog);
}
