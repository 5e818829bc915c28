// Error reporting: error dialogs with the console fallback, and the X error route.
#include "ui/errorHandler.h"

#include <Xm/DialogS.h>
#include <Xm/MessageB.h>
#include <Xm/Protocols.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>

#include "ui/args.h"
#include "ui/dpyMgr.h"
#include "ui/misc.h"
#include "ui/wind.h"
#include "ui/xmstring.h"

int UIshowErrors = 3;
Widget UIerrorLockObject = nullptr;
int UIerrorState = 0;

namespace {

constexpr int kColumns = 60;
constexpr int kMaxDialogs = 4;  // counted dialogs before the console takes over
constexpr size_t kSlice = 64;   // recorded X errors shown per turn of the loop

int errorCount = 0;
std::deque<std::string> pendingX;
bool drainArmed = false;

size_t utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;  // a stray continuation byte or invalid lead: one byte
}

// Byte position of the character `count` characters after `from` (or the end).
size_t advance(const std::string& text, size_t from, int count) {
  size_t at = from;
  for (int i = 0; i < count && at < text.size(); ++i)
    at = std::min(text.size(), at + utf8Length(static_cast<unsigned char>(text[at])));
  return at;
}

std::string elementPath(const OMobj_id& element) {
  char path[513] = "";
  if (element.serial) OMret_obj_path_to(element, OMnull_obj, path, sizeof path);
  return path;
}

// The full text of a report: heading, blank line, message, each wrapped.
std::string reportText(unsigned char kind, const OMobj_id& element, const char* message) {
  std::string heading =
      kind == X11_ERROR ? std::string("X Error") : "Error for element " + elementPath(element);
  return UIwrapText(heading, '.') + ".\n\n" + UIwrapText(message ? message : "", ' ');
}

// Buffered as standard output is: a flush per report made a flood of them cost a write each.
void toConsole(const std::string& text) {
  std::fputs("\n", stdout);
  std::fputs(text.c_str(), stdout);
  std::fputs("\n\n", stdout);
}

void closeFromWindowManager(Widget shell, XtPointer element, XtPointer call) {
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(shell, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  if (count > 0 && !UIisBeingDestroyed(children[0]))
    UIerrorHandlerOkCallBack(children[0], element, call);
}

// Shows the X errors recorded since the last turn, a slice at a time.
void drainXErrors(XtPointer, XtIntervalId*) {
  drainArmed = false;
  for (size_t i = 0; i < kSlice && !pendingX.empty(); ++i) {
    std::string text = std::move(pendingX.front());
    pendingX.pop_front();
    UIerrorHandler(X11_ERROR, OMnull_obj, text.c_str());
  }
  if (!pendingX.empty() && UIdpyContext::_appContext) {
    drainArmed = true;
    XtAppAddTimeOut(UIdpyContext::_appContext, 0, drainXErrors, nullptr);
  }
}

}  // namespace

// A line starting at `start` ends at the last break character after start and before
// start + 60 characters, the end of the text counting as one; the next line starts at that
// break character. A word longer than a line is cut after 59 characters (whole UTF-8
// characters), so that the wrapping goes on.
std::string UIwrapText(const std::string& text, char breakChar) {
  std::string out;
  size_t start = 0;
  const size_t n = text.size();
  while (advance(text, start, kColumns - 1) < n) {
    size_t limit = advance(text, start, kColumns);
    size_t end = std::string::npos;
    for (size_t at = advance(text, start, 1); at < limit; at = advance(text, at, 1))
      if (text[at] == breakChar) end = at;
    if (end == std::string::npos) end = advance(text, start, kColumns - 1);
    out.append(text, start, end - start);
    out += '\n';
    start = end;
  }
  out.append(text, start, std::string::npos);
  return out;
}

void UIerrorHandler(unsigned char kind, const OMobj_id& element, const char* message) {
  if (!message) message = "";
  if (UIshowErrors == 0) return;
  if (UIshowErrors == 1) {
    std::fprintf(stderr, "KLT/Corvane Error: %s\n", message);
    std::fflush(stderr);
    return;
  }
  std::string text = reportText(kind, element, message);
  bool noShell = UIisBeingDestroyed(DefaultHiddenShell);
  if (errorCount >= kMaxDialogs || noShell) {
    toConsole(text);
    if (noShell || errorCount > kMaxDialogs) return;
    text = "Too many errors.  Redirecting messages to console.";
  }
  ++errorCount;
  UIxmString title = UIxmText(kind == 2 ? "Information Dialog" : "Error Dialog");
  UIxmString body = UIxmText(text.c_str());
  // The shell's close does what OK does: the dialog goes and the count with it.
  UIargs args{{XmNdialogTitle, title.get()},
              {XmNmessageString, body.get()},
              {XmNdeleteResponse, XmDO_NOTHING}};
  Widget dialog =
      kind == 2 ? XmCreateInformationDialog(DefaultHiddenShell, const_cast<char*>("message_box"),
                                            args.list(), args.count())
                : XmCreateErrorDialog(DefaultHiddenShell, const_cast<char*>("message_box"),
                                      args.list(), args.count());
  Widget elementWidget = UIobjIdToWidget(element);
  if (UIisBeingDestroyed(elementWidget)) elementWidget = nullptr;
  // Every dialog closes, with or without an element: otherwise the count stays raised.
  XtAddCallback(dialog, XmNokCallback, UIerrorHandlerOkCallBack, elementWidget);
  XtAddCallback(dialog, XmNcancelCallback, UIerrorHandlerOkCallBack, elementWidget);
  Widget shell = XtParent(dialog);
  Atom deleteWindow = XmInternAtom(XtDisplay(shell), const_cast<char*>("WM_DELETE_WINDOW"), False);
  XmAddWMProtocolCallback(shell, deleteWindow, closeFromWindowManager, elementWidget);
  if (kind == 100 && elementWidget) {
    UIerrorLockObject = elementWidget;
    UIerrorState = 1;
  }
  XtManageChild(dialog);
  XSync(XtDisplay(dialog), False);
}

void UIcerrorHandler(OMobj_id element, const char* message) {
  UIerrorHandler(1, element, message);
}

void UIerrorHandlerOkCallBack(Widget dialog, XtPointer element, XtPointer) {
  if (element && UIerrorLockObject == static_cast<Widget>(element)) {
    UIerrorLockObject = nullptr;
    UIerrorState = 0;
  }
  if (errorCount > 0) --errorCount;
  if (UIisBeingDestroyed(dialog)) return;
  Widget shell = XtParent(dialog);
  UIdestroyWidget(XtIsShell(shell) ? shell : dialog);
}

int UIXErrorHandler(Display* display, XErrorEvent* event) {
  if (!event) return 1;
  char text[132] = "";
  XGetErrorText(display, event->error_code, text, sizeof text);
  if (UIshowErrors == 0) return 1;
  // Nothing here may talk to the server: the connection is in the middle of a request.
  // What the dialogs can no longer show goes to the console at once.
  bool flooded = errorCount > kMaxDialogs;
  if (UIshowErrors == 1 || flooded || !UIdpyContext::_appContext) {
    if (UIshowErrors == 1)
      std::fprintf(stderr, "KLT/Corvane Error: %s\n", text);
    else
      toConsole(reportText(X11_ERROR, OMnull_obj, text));
    return 1;
  }
  pendingX.emplace_back(text);
  if (!drainArmed) {
    drainArmed = true;
    XtAppAddTimeOut(UIdpyContext::_appContext, 0, drainXErrors, nullptr);
  }
  return 1;
}

void UIdisplayErrorReport(const char* text) {
  UIerrorHandler(X11_ERROR, OMnull_obj, text);
}

int UIerrorDialogCount() {
  return errorCount;
}

int UIpendingXErrors() {
  return static_cast<int>(pendingX.size());
}
