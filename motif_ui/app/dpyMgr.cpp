// Display contexts: the process-wide table, name normalisation, the application name and class,
// opening displays with their application and hidden shells, and the exported lookups.
#include "ui/dpyMgr.h"

#include <X11/Shell.h>
#include <Xm/Display.h>
#include <Xm/RowColumn.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/ev.h"
#include "svc/wt.h"
#include "ui/errorHandler.h"
#include "ui/init.h"
#include "ui/misc.h"

XtAppContext UIdpyContext::_appContext = nullptr;
UIdpyContext UIdpyContextNull;
Widget DefaultHiddenShell = nullptr;
char* UIappName = nullptr;
char* UIappClass = nullptr;

void UIsetAppNameAndClass(const char* name, const char* cls) {
  std::free(UIappName);
  std::free(UIappClass);
  UIappName = name ? strdup(name) : nullptr;
  UIappClass = cls ? strdup(cls) : nullptr;
}

namespace {

// The table: pairs searched linearly by name, appended at the end, never removed. One open
// connection has exactly one entry, keyed by the normalised name of the display it reached
// (never by the empty name), so it is found under every name of that display and by its
// Display, and closed once. Growing the table moves its entries: a pointer into it is valid
// until the next append.
UtMap<UtString, UIdpyContext>& table() {
  static auto* t = new UtMap<UtString, UIdpyContext>;
  return *t;
}

// The entry that holds a connection, or null.
UIdpyContext* entryOf(Display* display) {
  if (!display) return nullptr;
  for (size_t i = 0; i < table().size(); ++i)
    if (table().at(i).second.DisplayPtr == display) return &table().at(i).second;
  return nullptr;
}

// The standard options of the X toolkit, as its own option parsing reads them: the same names,
// the same kinds of argument (so a value is never taken for an option) and the same unique
// abbreviations ("-d" for "-display"). "-xrm" is skipped: a resource line never chooses the
// display or the name.
const XrmOptionDescRec kStandardOptions[] = {
    {const_cast<char*>("+rv"), const_cast<char*>(".skip"), XrmoptionNoArg, const_cast<char*>("on")},
    {const_cast<char*>("+synchronous"), const_cast<char*>(".skip"), XrmoptionNoArg,
     const_cast<char*>("on")},
    {const_cast<char*>("-background"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-bd"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-bg"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-bordercolor"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-borderwidth"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-bw"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-display"), const_cast<char*>(".display"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-fg"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-fn"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-font"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-foreground"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-geometry"), const_cast<char*>(".geometry"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-iconic"), const_cast<char*>(".iconic"), XrmoptionNoArg,
     const_cast<char*>("on")},
    {const_cast<char*>("-name"), const_cast<char*>(".name"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-reverse"), const_cast<char*>(".skip"), XrmoptionNoArg,
     const_cast<char*>("on")},
    {const_cast<char*>("-rv"), const_cast<char*>(".skip"), XrmoptionNoArg, const_cast<char*>("on")},
    {const_cast<char*>("-selectionTimeout"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-synchronous"), const_cast<char*>(".skip"), XrmoptionNoArg,
     const_cast<char*>("on")},
    {const_cast<char*>("-title"), const_cast<char*>(".title"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-xnllanguage"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-xrm"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
    {const_cast<char*>("-xtsessionID"), const_cast<char*>(".skip"), XrmoptionSkipArg, nullptr},
};

// The display an empty name stands for, as Xt would choose it: a "-display" option of the
// command line, else $DISPLAY; empty when there is neither.
std::string defaultDisplayName() {
  std::string given = UIcommandLineOption("display");
  if (!given.empty()) return given;
  const char* env = std::getenv("DISPLAY");
  return env ? env : "";
}

// Fallback resources of the application context.
String fallbackResources[] = {const_cast<char*>("*background:   #b7b7b7"),
                              const_cast<char*>("*foreground:   black"),
                              const_cast<char*>("*useColorObj:  false"), nullptr};

// Xt warnings and X protocol errors are reported, never fatal: a widget library must not end
// its host over a bad request.
void warningToErr(String /*name*/, String /*type*/, String /*cls*/, String def, String* params,
                  Cardinal* count) {
  char text[1024];
  String p[10] = {};
  Cardinal n = count ? std::min<Cardinal>(*count, 10) : 0;
  for (Cardinal i = 0; i < n; ++i) p[i] = params[i];
  std::snprintf(text, sizeof text, def ? def : "%s", p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7],
                p[8], p[9]);
  ERRerror("Xt", 0, 2, "%s", text);
}

// Windows of the library's widgets that another client destroyed (newest last, a bounded few),
// each with the span of request serials that may have reached it after it was gone: from the
// last request the server had done when it destroyed the window to the first one made after
// the library knew.
struct LostWindow {
  Display* display;
  XID window;
  unsigned long goneAfter;
  unsigned long knownFrom;
};
std::vector<LostWindow>& lostWindows() {
  static auto* lost = new std::vector<LostWindow>;
  return *lost;
}

// The first error code of the rendering extension on each display (text is drawn through it).
// Connections in the middle of their close. The close hooks of the libraries free their server
// resources then, and some of those are already gone with the widgets: the errors that answer
// are not the program's and must not open dialogs on the other displays. A connection opened
// later at the same address is taken off.
std::vector<Display*>& closingDisplays() {
  static auto* closing = new std::vector<Display*>;
  return *closing;
}

std::vector<std::pair<Display*, int>>& renderErrorBases() {
  static auto* bases = new std::vector<std::pair<Display*, int>>;
  return *bases;
}

// An error that names a window another client destroyed under one of the library's widgets: the
// widget's window is still registered (the notice of its destruction is not read yet) or has
// been forgotten since. The shell notices the destruction itself; the requests that were on
// their way to those windows are not errors of the program.
bool aboutLostWindow(Display* display, const XErrorEvent* event) {
  if (event->error_code != BadWindow && event->error_code != BadDrawable) return false;
  if (XtWindowToWidget(display, event->resourceid)) return true;
  for (const LostWindow& lost : lostWindows())
    if (lost.display == display && lost.window == event->resourceid) return true;
  return false;
}

// A request made while a window was gone without the library knowing.
bool madeWhileUnnoticed(Display* display, unsigned long serial) {
  for (const LostWindow& lost : lostWindows())
    if (lost.display == display && serial > lost.goneAfter && serial < lost.knownFrom) return true;
  return false;
}

// Errors that may follow from a window destroyed by another client without naming it (a
// picture the rendering extension made for the window went with it).
bool mayFollowALostWindow(Display* display, const XErrorEvent* event) {
  for (const auto& base : renderErrorBases())
    if (base.first == display && event->error_code == base.second + 1) return true;  // picture
  return false;
}

// Such errors wait until the events read before them have been dispatched: when those told of
// a window destroyed by another client and the request was made after it went and before the
// library knew, the error is a consequence and is dropped; otherwise it is reported then.
struct HeldError {
  Display* display;
  unsigned long serial;
  std::string text;
};
std::vector<HeldError>& heldErrors() {
  static auto* held = new std::vector<HeldError>;
  return *held;
}

void reportHeldErrors(void*) {
  EVdel_select(7, 0, reportHeldErrors, nullptr, nullptr, 0);
  std::vector<HeldError> held;
  held.swap(heldErrors());
  for (const HeldError& e : held)
    if (!madeWhileUnnoticed(e.display, e.serial)) UIdisplayErrorReport(e.text.c_str());
}

// The X error handler: errors that follow from a window another client destroyed are dropped
// or held; the rest go to the library's error handler.
int xErrorToErr(Display* display, XErrorEvent* event) {
  const auto& closing = closingDisplays();
  if (std::find(closing.begin(), closing.end(), display) != closing.end()) return 0;
  if (aboutLostWindow(display, event)) return 0;
  if (!mayFollowALostWindow(display, event)) return UIXErrorHandler(display, event);
  char text[132];
  XGetErrorText(display, event->error_code, text, sizeof text);
  char line[200];
  std::snprintf(line, sizeof line, "%s (request %d.%d)", text, event->request_code,
                event->minor_code);
  heldErrors().push_back({display, event->serial, line});
  EVadd_select(7, 0, reportHeldErrors, nullptr, nullptr, 0);
  return 0;
}

void setUpToolkit() {
  UIsetResourcePath();
  XtSetLanguageProc(nullptr, UILanguageProc, nullptr);
  XtToolkitInitialize();
  UIdpyContext::_appContext = XtCreateApplicationContext();
  XtAppSetFallbackResources(UIdpyContext::_appContext, fallbackResources);
  XtAppSetWarningMsgHandler(UIdpyContext::_appContext, warningToErr);
  XSetErrorHandler(xErrorToErr);
}

// When a display's shell goes, the window tools' font data of that display goes with it.
void UIdpyCtxDestroyCB(Widget w, XtPointer, XtPointer) {
  if (XtIsApplicationShell(w) && !XtParent(w)) WTdestroy_display_font_info(XtDisplay(w));
}

}  // namespace

void (*UIdisplayErrorHook)(const char* text) = UIdisplayErrorReport;

std::string UIcommandLineOption(const char* resource) {
  if (!resource || GlobalArgs::argcount < 2) return "";
  XrmInitialize();
  // The parser removes what it reads: it works on a copy of the pointers.
  std::vector<char*> args(GlobalArgs::argvalues, GlobalArgs::argvalues + GlobalArgs::argcount);
  args.push_back(nullptr);
  int count = GlobalArgs::argcount;
  XrmDatabase db = nullptr;
  XrmParseCommand(&db, const_cast<XrmOptionDescRec*>(kStandardOptions),
                  static_cast<int>(sizeof kStandardOptions / sizeof kStandardOptions[0]), "uiargs",
                  &count, args.data());
  std::string name = std::string("uiargs.") + resource;
  std::string cls = std::string("Uiargs.") + resource;
  char* type = nullptr;
  XrmValue value{};
  std::string out;
  if (db && XrmGetResource(db, name.c_str(), cls.c_str(), &type, &value) && value.addr)
    out = value.addr;
  if (db) XrmDestroyDatabase(db);
  return out;
}

std::string UIdefaultDisplayName() {
  return defaultDisplayName();
}

UtString UIdpyContext::cnvtDisplayName(const char* name) {
  if (!name || !*name) return UtString("");
  std::string out;
  const char* display = nullptr;  // the display part, when there is one
  const char* colon = std::strchr(name, ':');
  if (colon && colon != name) {
    out.assign(name, static_cast<size_t>(colon - name) + 1);
    display = colon + 1;
  } else if (colon == name) {
    out = ":";
    display = name + 1;
  } else if (std::isalpha(static_cast<unsigned char>(name[0]))) {
    out = std::string(name) + ":";
  } else {
    out = ":";
    display = name;
  }
  if (!display || !*display) return UtString(out + "0.0");
  const char* p = display;
  if (!std::isdigit(static_cast<unsigned char>(*p))) out += '0';
  while (std::isdigit(static_cast<unsigned char>(*p))) out += *p++;
  if (p[0] == '.' && std::isdigit(static_cast<unsigned char>(p[1]))) {
    out += '.';
    out += p[1];
    if (std::isdigit(static_cast<unsigned char>(p[2]))) out += p[2];
  } else {
    out += ".0";
  }
  return UtString(out);
}

UIdpyContext::UIdpyContext(const char* name) : displayName(name) {
  bool first = table().size() == 0 && !_appContext;
  if (!_appContext) setUpToolkit();
  if (globalArgs) globalArgs->reset();
  // Without a command line (UIglobal_init not run, or run with an empty one) Xt gets the
  // program name alone: its option parsing needs at least that.
  int argc = 1;
  char* noArgs[] = {UIappName ? UIappName : const_cast<char*>("ui"), nullptr};
  bool own = globalArgs && globalArgs->count > 0;
  int* count = own ? &globalArgs->count : &argc;
  char** values = own ? globalArgs->values.data() : noArgs;
  // The name Xt would take: the given one, else a "-display" option, else $DISPLAY.
  std::string target = name && *name ? name : defaultDisplayName();
  // A server may turn a connection away for a moment: its queue of waiting connections is full
  // (EAGAIN), or it is resetting after its last client left (ECONNRESET). That is tried again
  // for a while before the display counts as unreachable.
  for (int attempt = 0; attempt < 40; ++attempt) {
    errno = 0;
    DisplayPtr = XOpenDisplay(target.empty() ? nullptr : target.c_str());
    if (DisplayPtr || (errno != EAGAIN && errno != ECONNRESET)) break;
    usleep(50000);
  }
  if (DisplayPtr)
    XtDisplayInitialize(_appContext, DisplayPtr, UIappName ? UIappName : "ui",
                        UIappClass ? UIappClass : "Corvane", nullptr, 0, count, values);
  if (!DisplayPtr) {
    if (first) {
      std::printf("Error: Can't open display %s\n", name ? name : "");
      std::fflush(stdout);
      // Status 1, not 0: a process that could not show anything did not succeed.
      OMexit(1);
    }
    char text[1200];
    std::snprintf(text, sizeof text, "Error: Can't open display %s", name ? name : "");
    UIdisplayErrorHook(text);
    return;
  }
  if (!name || !*name) displayName = DisplayString(DisplayPtr);
  auto& closing = closingDisplays();
  closing.erase(std::remove(closing.begin(), closing.end(), DisplayPtr), closing.end());
  finishOpening();
  UIwatchDisplayLoss(DisplayPtr, first);
}

void UIdpyContext::finishOpening() {
  UIwatchWidgets(DisplayPtr);  // before any widget of this display is made
  int major = 0, firstEvent = 0, firstError = 0;
  if (XQueryExtension(DisplayPtr, "RENDER", &major, &firstEvent, &firstError))
    renderErrorBases().emplace_back(DisplayPtr, firstError);
  XmFontList fonts = nullptr;
  _appShell = XtVaAppCreateShell(UIappName ? UIappName : "ui", UIappClass ? UIappClass : "Corvane",
                                 applicationShellWidgetClass, DisplayPtr, XmNmappedWhenManaged,
                                 False, nullptr);
  fonts = UIget_xmfontlist(_appShell, 12, 0);
  if (fonts)
    XtVaSetValues(_appShell, XmNlabelFontList, fonts, XmNtextFontList, fonts, XmNbuttonFontList,
                  fonts, nullptr);
  XtAddCallback(_appShell, XmNdestroyCallback, UIdpyCtxDestroyCB, nullptr);
  EVXadd_select(DisplayPtr, UIprocessEvents, _appContext);
  EVXinit_display_xt(DisplayPtr);
  Screen* screen = XtScreen(_appShell);
  _width = WidthOfScreen(screen);
  _height = HeightOfScreen(screen);
  UIinitHiddenShell(*this);
  _wtDpyCtx = nullptr;
}

void UIinitHiddenShell(UIdpyContext& ctx) {
  if (!ctx.DisplayPtr || !ctx._appShell) return;
  Widget xmDisplay = XmGetXmDisplay(ctx.DisplayPtr);
  if (xmDisplay)
    XtVaSetValues(xmDisplay, XmNdragInitiatorProtocolStyle, XmDRAG_NONE,
                  XmNdragReceiverProtocolStyle, XmDRAG_NONE, nullptr);
  Screen* screen = DefaultScreenOfDisplay(ctx.DisplayPtr);
  char geometry[64];
  std::snprintf(geometry, sizeof geometry, "200%s200%s%d%s%d", "x", "+",
                (WidthOfScreen(screen) - 200) / 2, "+", (HeightOfScreen(screen) - 300) / 2);
  ctx._hiddenShell = XtVaCreatePopupShell("HiddenShell", applicationShellWidgetClass, ctx._appShell,
                                          XmNgeometry, geometry, XmNallowShellResize, True,
                                          XmNmappedWhenManaged, False, nullptr);
  ctx._managerShell = XtVaCreateManagedWidget(
      "HiddenManagerShell", xmRowColumnWidgetClass, ctx._hiddenShell, XmNmarginHeight, 0,
      XmNmarginWidth, 0, XmNspacing, 0, XmNpacking, XmPACK_NONE, XmNresizeHeight, False,
      XmNresizeWidth, False, XmNmappedWhenManaged, False, nullptr);
  XtAddCallback(ctx._hiddenShell, XmNdestroyCallback, UIdpyCtxDestroyCB, nullptr);
  XtAddCallback(ctx._managerShell, XmNdestroyCallback, UIdpyCtxDestroyCB, nullptr);
  XtRealizeWidget(ctx._hiddenShell);
  if (table().size() == 0) DefaultHiddenShell = ctx._hiddenShell;
}

void* UIdpyContext::getWtDpyContext() {
  if (!_hiddenShell) {
    _wtDpyCtx = nullptr;
    return nullptr;
  }
  if (_wtDpyCtx) return _wtDpyCtx;
  // Callers work on copies: the table's entry of this connection is what later copies are
  // taken from, so the context is made once per display and stored there. Only that field
  // is stored (a copy may be older than the entry), and nothing is appended: the table does
  // not move under this object, which may be one of its entries.
  UIdpyContext* entry = entryOf(DisplayPtr);
  if (entry && entry->_hiddenShell == _hiddenShell && entry->_wtDpyCtx) {
    _wtDpyCtx = entry->_wtDpyCtx;
    return _wtDpyCtx;
  }
  _wtDpyCtx = WTcreate_ext_display_context(_hiddenShell);
  if (entry && entry->_hiddenShell == _hiddenShell) entry->_wtDpyCtx = _wtDpyCtx;
  return _wtDpyCtx;
}

void UIdpyContext::closeDisplay() {
  if (!DisplayPtr) return;
  EVXdel_select(DisplayPtr);
  // Every widget of the display goes first: Xt closes the connection but leaves the widgets
  // (and their memory) behind. Inside a dispatch both wait for its end, destroys first. The
  // display's fonts are only forgotten, not released (see WTforget_display_font_info).
  WTforget_display_font_info(DisplayPtr);
  for (Widget root : UIrootWidgetsOf(DisplayPtr))
    if (!UIisBeingDestroyed(root)) XtDestroyWidget(root);  // an earlier one may have taken it
  if (DefaultHiddenShell == _hiddenShell) DefaultHiddenShell = nullptr;
  _appShell = _hiddenShell = _managerShell = nullptr;
  closingDisplays().push_back(DisplayPtr);
  XSync(DisplayPtr, False);    // the destroys' own errors come in while still marked
  XtCloseDisplay(DisplayPtr);  // inside a dispatch, at its end: the mark stays until reopened
  DisplayPtr = nullptr;
}

UIdpyContext* UIgetDisplayContext(const char* name) {
  // The empty name is the default display: the entry of the display it names.
  std::string chosen = name && *name ? name : defaultDisplayName();
  UtString key = UIdpyContext::cnvtDisplayName(chosen.c_str());
  if (UIdpyContext* found = table().find(key)) return found;
  UIdpyContext opened(key.c_str());
  if (!opened.DisplayPtr) return &UIdpyContextNull;
  return &table().append(key, opened);
}

UIdpyContext* UIgetDisplayContext(Display* display) {
  if (!display) return &UIdpyContextNull;
  if (UIdpyContext* found = entryOf(display)) return found;
  return UIgetDisplayContext(DisplayString(display));
}

void UIprocessEvents(XEvent* event) {
  XtDispatchEvent(event);
}

void UI_CloseDisplays() {
  reportHeldErrors(nullptr);
  for (size_t i = 0; i < table().size(); ++i) table().at(i).second.closeDisplay();
}

int UI_GetDisplayContext(const char* name, Display** display, XtAppContext* app) {
  UIdpyContext* ctx = UIgetDisplayContext(name);
  if (!display) return -1;
  *display = ctx->DisplayPtr;
  if (app) *app = UIdpyContext::_appContext;
  return 0;
}

int UI_SetDisplayContext(const char* name, Display* display, XtAppContext app) {
  if (!name || !display || !app) return -1;
  for (size_t i = 0; i < table().size(); ++i)
    if (table().at(i).second.DisplayPtr == display) return -1;
  UIdpyContext ctx;
  ctx.displayName = name;
  ctx.DisplayPtr = display;
  UIdpyContext::_appContext = app;
  ctx.finishOpening();
  table().append(UtString(name), ctx);
  return 0;
}

int UIdisplayUpdate(OMobj_id id) {
  if (globalArgs) globalArgs->reset();
  UIdpyContext ctx = *UIgetDisplayContext("");
  OMobj_id width = OMfind_subobj(id, OMstr_to_name("width"), 0);
  if (width.serial) OMset_int_val(width, ctx._width);
  OMobj_id height = OMfind_subobj(id, OMstr_to_name("height"), 0);
  if (height.serial) OMset_int_val(height, ctx._height);
  OMobj_id ptr = OMfind_subobj(id, OMstr_to_name("displayPtr"), 0);
  if (ptr.serial) OMset_ptr_val(ptr, ctx.DisplayPtr, 0);
  OMobj_id displayName = OMfind_subobj(id, OMstr_to_name("displayName"), 0);
  if (displayName.serial) {
    OMcontext guard(displayName, OM_CTX_BUILD, OM_CTX_PLAIN);
    OMset_str_val(displayName, ctx.displayName.c_str());
  }
  return 1;
}

void UIwindowLost(Display* display, Window window, unsigned long goneAfter) {
  if (!display || window == None) return;
  auto& lost = lostWindows();
  if (lost.size() >= 4096) lost.erase(lost.begin(), lost.begin() + 1024);
  lost.push_back({display, window, goneAfter, NextRequest(display)});
}

int UIdisplayTableSize() {
  return static_cast<int>(table().size());
}
