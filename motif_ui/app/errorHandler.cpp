// Error reporting: error dialogs with the console fallback, and the X error route.
#include "ui/errorHandler.h"

#include <Xm/DialogS.h>
#include <Xm/MessageB.h>
#include <Xm/Protocols.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

// True when the n bytes at p are all ASCII (one character each).
bool ascii(const char* p, size_t n) {
  unsigned char any = 0;
  for (size_t i = 0; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  return any < 0x80;
}

// Appends text[0, n) wrapped (as UIwrapText says) to out. A flood of reports goes to the
// console through here: a line of ASCII text is cut where a search from its end finds the
// break character; other text is walked a character at a time.
void wrapInto(std::string& out, const char* text, size_t n, char breakChar) {
  size_t start = 0;
  for (;;) {
    // at: the start of the line's character 59 (or the end); lastBreak: the last break
    // character among characters 1 to 59.
    size_t at = start, lastBreak = std::string::npos;
    size_t rest = n - start;
    if (ascii(text + start, std::min<size_t>(rest, kColumns))) {
      at = start + std::min<size_t>(rest, kColumns - 1);
      size_t span = std::min<size_t>(rest, kColumns) - std::min<size_t>(rest, 1);
      if (const void* hit = span ? memrchr(text + start + 1, breakChar, span) : nullptr)
        lastBreak = static_cast<size_t>(static_cast<const char*>(hit) - text);
    } else {
      for (int i = 1; i < kColumns && at < n; ++i) {
        at = std::min(n, at + utf8Length(static_cast<unsigned char>(text[at])));
        if (at < n && text[at] == breakChar) lastBreak = at;
      }
    }
    if (at >= n) break;  // at most 59 characters left: the last line
    size_t end = lastBreak != std::string::npos ? lastBreak : at;
    out.append(text + start, end - start);
    out += '\n';
    start = end;
  }
  out.append(text + start, n - start);
}

// The full text of a report: heading, blank line, message, each wrapped.
std::string reportText(unsigned char kind, const OMobj_id& element, const char* message) {
  static const char kElement[] = "Error for element ";
  char heading[sizeof kElement + 513] = "X Error";
  size_t headingLength = 7;
  if (kind != X11_ERROR) {
    std::memcpy(heading, kElement, sizeof kElement);
    headingLength = sizeof kElement - 1;
    if (element.serial) {
      OMret_obj_path_to(element, OMnull_obj, heading + headingLength, 513);
      headingLength += std::strlen(heading + headingLength);
    }
  }
  size_t length = std::strlen(message);
  std::string out;
  out.reserve(headingLength + length + (headingLength + length) / 50 + 8);
  wrapInto(out, heading, headingLength, '.');
  out += ".\n\n";
  wrapInto(out, message, length, ' ');
  return out;
}

// Buffered as standard output is: a flush per report made a flood of them cost a write each.
void toConsole(const std::string& text) {
  std::fputc('\n', stdout);
  std::fwrite(text.data(), 1, text.size(), stdout);
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
  out.reserve(text.size() + text.size() / 50 + 1);
  wrapInto(out, text.data(), text.size(), breakChar);
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
