// uirun's session: the event loop, pictures, XTest input and the script commands.
#include "session.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/CascadeB.h>
#include <Xm/CascadeBG.h>
#include <Xm/List.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include "om/omx.h"
#include "svc/ev.h"
#include "svc/number.h"
#include "svc/screenshot.h"
#include "ui/layout.h"
#include "ui/list.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/shell.h"

namespace {

std::string trim(std::string s) {
  size_t a = s.find_first_not_of(" \t\r");
  size_t b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// A value written in a script: a text in double quotes loses them.
std::string unquote(std::string s) {
  s = trim(s);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// A gadget is on screen when it is managed in a parent that is.
bool viewable(Widget w) {
  XWindowAttributes attrs;
  if (!UIisBeingDestroyed(w) && !XtIsWidget(w)) return XtIsManaged(w) && viewable(XtParent(w));
  return !UIisBeingDestroyed(w) && XtWindow(w) &&
         XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
}

Widget topShell(Widget w) {
  while (w && !XtIsShell(w)) w = XtParent(w);
  return w;
}

// (x, y) in w; a gadget has no window and lies in its parent's at its own position.
void fakeMotion(Widget w, int x, int y) {
  Display* dpy = XtDisplayOfObject(w);
  if (!XtIsWidget(w)) {
    Position gx = 0, gy = 0;
    XtVaGetValues(w, XtNx, &gx, XtNy, &gy, nullptr);
    x += gx;
    y += gy;
  }
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(dpy, XtWindowOfObject(w), DefaultRootWindow(dpy), x, y, &rx, &ry, &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XSync(dpy, False);
}

// A button (1 by default) pressed and released in the middle of w.
void clickMiddle(Widget w, unsigned button = 1) {
  Dimension width = 0, height = 0;
  XtVaGetValues(w, XtNwidth, &width, XtNheight, &height, nullptr);
  fakeMotion(w, width / 2, height / 2);
  Display* dpy = XtDisplayOfObject(w);
  XTestFakeButtonEvent(dpy, button, True, CurrentTime);
  XTestFakeButtonEvent(dpy, button, False, CurrentTime);
  XSync(dpy, False);
}

// Button 1 pressed and released at (x, y) of w's window.
void clickAt(Widget w, int x, int y) {
  fakeMotion(w, x, y);
  Display* dpy = XtDisplayOfObject(w);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XSync(dpy, False);
}

bool isPulldown(Widget w) {
  unsigned char type = 0;
  if (!w || !XmIsRowColumn(w)) return false;
  XtVaGetValues(w, XmNrowColumnType, &type, nullptr);
  return type == XmMENU_PULLDOWN;
}

// The cascade button (or gadget) below root, popups included, that posts pulldown.
Widget cascadeFor(Widget root, Widget pulldown) {
  if (!root || UIisBeingDestroyed(root)) return nullptr;
  if (XmIsCascadeButton(root) || XmIsCascadeButtonGadget(root)) {
    Widget sub = nullptr;
    XtVaGetValues(root, XmNsubMenuId, &sub, nullptr);
    if (sub == pulldown) return root;
  }
  if (!XtIsWidget(root)) return nullptr;  // a gadget has no popups and no children
  for (Cardinal i = 0; i < root->core.num_popups; ++i)
    if (Widget w = cascadeFor(root->core.popup_list[i], pulldown)) return w;
  if (XtIsComposite(root)) {
    CompositeWidget c = reinterpret_cast<CompositeWidget>(root);
    for (Cardinal i = 0; i < c->composite.num_children; ++i)
      if (Widget w = cascadeFor(c->composite.children[i], pulldown)) return w;
  }
  return nullptr;
}

// The optional mouse button at the end of a command: 1 to 5; false for anything else.
bool buttonArgument(std::istream& in, unsigned* button) {
  std::string word;
  *button = 1;
  if (!(in >> word)) return true;
  std::string extra;
  if (in >> extra) return false;
  char* end = nullptr;
  long b = std::strtol(word.c_str(), &end, 10);
  if (*end || b < 1 || b > 5) return false;
  *button = static_cast<unsigned>(b);
  return true;
}

// A key and its modifiers: "Return", "a", "Ctrl+Up", "Shift+Tab".
bool parseKey(Display* dpy, const std::string& text, KeyCode* code, std::vector<KeyCode>* mods) {
  std::string rest = text;
  size_t plus;
  while ((plus = rest.find('+')) != std::string::npos && plus + 1 < rest.size()) {
    std::string mod = rest.substr(0, plus);
    rest = rest.substr(plus + 1);
    KeySym sym = mod == "Ctrl"    ? XK_Control_L
                 : mod == "Shift" ? XK_Shift_L
                 : mod == "Alt"   ? XK_Alt_L
                                  : NoSymbol;
    if (sym == NoSymbol) return false;
    mods->push_back(XKeysymToKeycode(dpy, sym));
  }
  KeySym sym = XStringToKeysym(rest.c_str());
  if (sym == NoSymbol && rest.size() == 1) sym = static_cast<unsigned char>(rest[0]);
  if (sym == NoSymbol) return false;
  *code = XKeysymToKeycode(dpy, sym);
  if (!*code) return false;
  // A character reached with Shift (capitals, most punctuation) gets it.
  if (XkbKeycodeToKeysym(dpy, *code, 0, 0) != sym && XkbKeycodeToKeysym(dpy, *code, 0, 1) == sym)
    mods->push_back(XKeysymToKeycode(dpy, XK_Shift_L));
  return true;
}

void fakeKey(Display* dpy, KeyCode code, const std::vector<KeyCode>& mods) {
  for (KeyCode m : mods) XTestFakeKeyEvent(dpy, m, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  for (auto it = mods.rbegin(); it != mods.rend(); ++it)
    XTestFakeKeyEvent(dpy, *it, False, CurrentTime);
  XSync(dpy, False);
}

// A resource value as text. Asked without a buffer of the caller's, every converter to String
// in the program hands back the text itself through to.addr: the toolkit's (enumerations, the
// set state) their static names, the kit's the text they wrote into the toolkit's own buffer.
// to.size is no guide (the toolkit's give the size of a pointer), so the text is read to its
// terminator. Given a buffer, the toolkit's store a pointer in it instead, which is why none
// is given.
bool convertToText(Widget w, const std::string& type, char* value, unsigned size,
                   std::string* text) {
  XrmValue from{size, value}, to{0, nullptr};
  if (!XtConvertAndStore(w, type.c_str(), &from, XtRString, &to) || !to.addr) return false;
  *text = std::string(to.addr, strnlen(to.addr, 4096));
  return true;
}

bool isNumber(const std::string& s, double* v) {
  char* end = nullptr;
  *v = NUMstrtod(s.c_str(), &end);
  return !s.empty() && end && *end == '\0';
}

}  // namespace

// ---- Values ------------------------------------------------------------------------------

bool UIvalueText(OMobj_id id, std::string* text) {
  int kind = OMget_obj_kind(id);
  if (kind == OM_KIND_STR_ARRAY || kind == OM_KIND_INT_ARRAY || kind == OM_KIND_REAL_ARRAY ||
      kind == OM_KIND_OBJ_ARRAY) {
    int size = 0;
    if (OMget_array_size(id, &size) != 1) return false;
    std::string out = "[";
    for (int i = 0; i < size; ++i) {
      if (i) out += ", ";
      char* s = nullptr;
      double d = 0;
      OMobj_id element;
      if (kind == OM_KIND_STR_ARRAY && OMget_str_array_val(id, i, &s, 0) == 1) {
        out += s;
        std::free(s);
      } else if (kind != OM_KIND_STR_ARRAY && kind != OM_KIND_OBJ_ARRAY &&
                 OMget_real_array_val(id, i, &d) == 1) {
        char buf[32];
        NUMsnprintf(buf, sizeof buf, "%.10g", d);
        out += buf;
      } else if (kind == OM_KIND_OBJ_ARRAY && OMget_array_val(id, i, &element, 1) == 1) {
        char path[512];
        out += OMret_obj_path_to(element, OMroot_obj, path, sizeof path) == 1 ? path : "?";
      }
    }
    *text = out + "]";
    return true;
  }
  char* s = nullptr;
  if (OMget_str_val(id, &s, 0) != 1) return false;
  *text = s;
  std::free(s);
  return true;
}

void UIdumpObject(std::ostream& out, OMobj_id id, int indent) {
  OMobj_name name = 0;
  OMget_obj_name(id, &name);
  out << std::string(static_cast<size_t>(indent) * 2, ' ') << OMname_to_str(name);
  OMobj_id target;
  std::string text;
  int kind = OMget_obj_kind(id);
  if (OMget_obj_pval(id, &target, 0) == 1) {
    char path[512];
    if (OMret_obj_path_to(target, OMroot_obj, path, sizeof path) == 1) out << " => " << path;
  } else if (kind == OM_KIND_PTR || kind == OM_KIND_FUNC) {
    void* p = nullptr;
    if (OMget_ptr_val(id, &p, 0) == 1) out << (p ? " = (set)" : " = (null)");
  } else if (kind != OM_KIND_GROUP && UIvalueText(id, &text)) {
    out << " = " << text;
  } else if (kind != OM_KIND_GROUP && kind != OM_KIND_OBJ_ARRAY) {
    out << " unset";
  }
  out << "\n";
  int count = 0;
  OMget_num_subobjs(id, &count);
  for (int i = 0; i < count; ++i) UIdumpObject(out, OMget_subobj_at(id, i), indent + 1);
}

// ---- Deadlines ----------------------------------------------------------------------------
namespace {

// A command that blocks in Xlib (the server stopped, or gone without the connection breaking)
// cannot be interrupted from inside; a timer signal ends the process instead, with the message
// written beforehand (nothing but write and _exit is safe in a signal handler).

char deadlineText[600];
size_t deadlineLength = 0;

void deadlineExpired(int) {
  ssize_t written = ::write(2, deadlineText, deadlineLength);
  (void)written;
  _exit(3);
}

void armDeadline(long ms, const std::string& text) {
  size_t n = std::min(text.size(), sizeof deadlineText);
  std::memcpy(deadlineText, text.data(), n);
  deadlineLength = n;
  std::signal(SIGALRM, deadlineExpired);
  itimerval timer{};
  timer.it_value.tv_sec = ms / 1000;
  timer.it_value.tv_usec = (ms % 1000) * 1000;
  setitimer(ITIMER_REAL, &timer, nullptr);
}

void disarmDeadline() {
  itimerval timer{};
  setitimer(ITIMER_REAL, &timer, nullptr);
}

}  // namespace

// ---- The session ----------------------------------------------------------------------------

Session::Session(OMobj_id place, std::vector<OMobj_id> objects)
    : place_(place), objects_(std::move(objects)) {}

void Session::settle() {
  // Quiet for 50 ms in a row, or 5 s at the most.
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::seconds(5);
  auto quietSince = Clock::now();
  while (Clock::now() < deadline) {
    OMflush_notifies();
    EVflush_events();
    if (EVrun_once(5)) quietSince = Clock::now();
    if (Clock::now() - quietSince > std::chrono::milliseconds(50)) break;
  }
}

void Session::wait(int ms) {
  EVrun_until([] { return false; }, ms);
}

bool Session::anyWindowShown() const {
  for (OMobj_id id : objects_) {
    if (!UIisShell(id)) continue;
    int visible = 0;
    if (OMget_int_val(OMfind_subobj(id, OMstr_to_name("visible"), 0), &visible) == 1 && visible)
      return true;
  }
  return false;
}

bool Session::showsAnything() const {
  for (OMobj_id id : objects_)
    if (UIobjIdToWidget(id)) return true;
  return false;
}

bool Session::screenshot(const std::string& path, std::string* error) {
  settle();
  Widget only = nullptr;
  int shown = 0;
  for (OMobj_id id : objects_) {
    Widget w = UIobjIdToWidget(id);
    Widget shell = UIisShell(id) && !UIisBeingDestroyed(w) ? topShell(w) : nullptr;
    if (shell && viewable(shell)) {
      only = shell;
      ++shown;
    }
  }
  Display* dpy = only ? XtDisplay(only) : nullptr;
  if (shown == 1) return WTwrite_window_png(dpy, XtWindow(only), path, error);
  Display* any = nullptr;
  for (OMobj_id id : objects_)
    if (Widget w = UIobjIdToWidget(id); !UIisBeingDestroyed(w)) any = XtDisplay(w);
  if (!any) {
    *error = "nothing on screen to take a picture of";
    return false;
  }
  return WTwrite_window_png(any, DefaultRootWindow(any), path, error);
}

OMobj_id Session::object(const std::string& path, std::string* error) const {
  OMobj_id id = OMfind_str_subobj(place_, path.c_str(), 0);
  if (!id) *error = "no object " + path;
  return id;
}

Widget Session::widgetOf(const std::string& path, std::string* error) {
  // PATH:WIDGET names a descendant of the object's widget (a dialog's "OK" button ...).
  std::string objectPath = path, widgetName;
  size_t colon = path.find(':');
  if (colon != std::string::npos) {
    objectPath = path.substr(0, colon);
    widgetName = path.substr(colon + 1);
  }
  OMobj_id id = object(objectPath, error);
  if (!id) return nullptr;
  Widget w = UIobjIdToWidget(id);
  if (UIisBeingDestroyed(w)) {
    *error = objectPath + " has no widget";
    return nullptr;
  }
  if (!widgetName.empty()) {
    Widget named = XtNameToWidget(w, ("*" + widgetName).c_str());
    if (!named) {
      *error = "no widget " + widgetName + " in " + objectPath;
      return nullptr;
    }
    w = named;
  }
  // Input goes to a window that is on screen.
  EVrun_until([&] { return viewable(w); }, 3000);
  if (!viewable(w)) {
    *error = path + " is not on screen";
    return nullptr;
  }
  return w;
}

int Session::runScript(std::istream& in, const std::string& origin, bool* quit) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string text = trim(line);
    if (text.empty() || text[0] == '#') continue;
    std::string error;
    // The deadline: the command's own time plus the grace.
    Line parsed;
    std::string ignored;
    long own = 10000;
    if (parseLine(text, &parsed, &ignored)) {
      if (parsed.verb == "settle") own = 5000;
      if (parsed.verb == "wait") own = std::strtol(parsed.path.c_str(), nullptr, 10);
    }
    long limit = std::max(0L, std::min(own, 600000L)) + graceMs_;
    armDeadline(limit, origin + ":" + std::to_string(number) + ": " + parsed.verb +
                           ": deadline of " + std::to_string(limit) +
                           " ms expired (the X server does not answer)\n");
    int status = command(text, &error, quit);
    disarmDeadline();
    std::cout.flush();  // a script fed through a pipe sees each answer as it comes
    if (status != 0) {
      std::cerr << origin << ":" << number << ": " << error << "\n";
      return status;
    }
    if (*quit) return 0;
    // What a command printed is out before the next line is read: a script fed a line at a
    // time (a pipe from another program) sees each answer as it comes.
    std::cout.flush();
  }
  return 0;
}

// ---- The script commands --------------------------------------------------------------------
// One member function per verb, found through the table below, where each verb's syntax and
// help stand beside it (uirun --help prints them from here).

const std::vector<Session::Command>& Session::commands() {
  static const std::vector<Command> table = {
      {"set", "PATH VALUE", "write VALUE (quotes dropped) into the object, then settle",
       Needs::kPath, &Session::doSet},
      {"get", "PATH", "print the object's value, \"missing\" or \"unset\"", Needs::kPath,
       &Session::doGet},
      {"dump", "PATH", "print the object and everything below it", Needs::kPath, &Session::doDump},
      {"click", "PATH[:WIDGET] [N]",
       "press and release a mouse button in the middle of the object's widget (or its "
       "descendant WIDGET): button N (1 to 5, default 1); on a list, item N (from 0) instead; "
       "on a command, its item (posting its menus on the way)",
       Needs::kPath, &Session::doClick},
      {"type", "PATH[:WIDGET] TEXT", "click the widget for the focus, then type TEXT",
       Needs::kWidget, &Session::doType},
      {"press", "KEY", "press and release KEY with its modifiers (Return, a, Ctrl+Up)",
       Needs::kNothing, &Session::doPress},
      {"drag", "PATH X1 Y1 X2 Y2 [BUTTON]", "drag with a button (1) between two points",
       Needs::kWidget, &Session::doDrag},
      {"close", "PATH", "send the window manager's close request to the widget's window",
       Needs::kWidget, &Session::doClose},
      {"res", "PATH[:WIDGET] RESOURCE", "print a resource of the widget (or a named descendant)",
       Needs::kPath, &Session::doRes},
      {"wait", "MS", "run the event loop for MS milliseconds (0 to 600000)", Needs::kNothing,
       &Session::doWait},
      {"settle", "", "run the event loop until nothing is pending", Needs::kNothing,
       &Session::doSettle},
      {"screenshot", "FILE", "write a PNG of the interface's window (else the screen)",
       Needs::kNothing, &Session::doScreenshot},
      {"expect", "PATH VALUE", "fail (status 1) unless the object's value is VALUE", Needs::kPath,
       &Session::doExpect},
      {"quit", "", "end the script and uirun", Needs::kNothing, &Session::doQuit},
      {"undo", "", "undo the layout editor's last edit (--edit)", Needs::kNothing,
       &Session::doUndo},
      {"redo", "", "redo the edit last undone (--edit)", Needs::kNothing, &Session::doRedo},
      {"save", "", "write the layout edits into the file (--edit)", Needs::kNothing,
       &Session::doSave},
  };
  return table;
}

std::string Session::commandHelp() {
  std::string out;
  for (const Command& c : commands()) {
    std::string usage = std::string("  ") + c.verb + (*c.syntax ? " " : "") + c.syntax;
    if (usage.size() < 30)
      usage.resize(30, ' ');
    else
      usage += "\n" + std::string(30, ' ');
    out += usage + c.help + "\n";
  }
  return out;
}

bool Session::parseLine(const std::string& text, Line* line, std::string* error) {
  std::istringstream words(text);
  *line = Line();
  words >> line->verb >> line->path;
  std::getline(words, line->rest);
  line->rest = trim(line->rest);
  const Command* found = nullptr;
  for (const Command& c : commands())
    if (line->verb == c.verb) found = &c;
  if (!found) {
    *error = line->verb.empty() ? "empty command" : "unknown command " + line->verb;
    return false;
  }
  if (found->needs != Needs::kNothing && line->path.empty()) {
    *error = line->verb + " needs a path";
    return false;
  }
  return true;
}

int Session::command(const std::string& text, std::string* error, bool* quit) {
  Line line;
  if (!parseLine(text, &line, error)) return 1;
  const Command* found = nullptr;
  for (const Command& c : commands())
    if (line.verb == c.verb) found = &c;
  Args args;
  args.path = line.path;
  args.rest = line.rest;
  if (found->needs == Needs::kWidget) {
    args.widget = widgetOf(args.path, error);
    if (!args.widget) return 1;
  }
  return (this->*found->run)(args, error, quit);
}

int Session::doQuit(const Args&, std::string*, bool* quit) {
  *quit = true;
  return 0;
}

int Session::doSettle(const Args&, std::string*, bool*) {
  settle();
  return 0;
}

int Session::doWait(const Args& a, std::string* error, bool*) {
  char* end = nullptr;
  long ms = std::strtol(a.path.c_str(), &end, 10);
  if (a.path.empty() || *end || ms < 0 || ms > 600000) {
    *error = "wait takes milliseconds (0 to 600000)";
    return 1;
  }
  wait(static_cast<int>(ms));
  return 0;
}

int Session::doScreenshot(const Args& a, std::string* error, bool*) {
  if (a.path.empty()) {
    *error = "screenshot takes a file name";
    return 1;
  }
  if (!screenshot(a.path, error)) return 1;
  std::cout << "wrote " << a.path << "\n";
  return 0;
}

int Session::doPress(const Args& a, std::string* error, bool*) {
  Display* dpy = nullptr;
  for (OMobj_id id : objects_)
    if (Widget w = UIobjIdToWidget(id); !UIisBeingDestroyed(w)) dpy = XtDisplay(w);
  KeyCode code = 0;
  std::vector<KeyCode> mods;
  if (!dpy || !parseKey(dpy, a.path, &code, &mods)) {
    *error = "no such key: " + a.path;
    return 1;
  }
  fakeKey(dpy, code, mods);
  settle();
  return 0;
}

int Session::doGet(const Args& a, std::string*, bool*) {
  OMobj_id id = OMfind_str_subobj(place_, a.path.c_str(), 0);
  std::string actual;
  if (!id)
    std::cout << a.path << " missing\n";
  else if (!UIvalueText(id, &actual))
    std::cout << a.path << " unset\n";
  else
    std::cout << a.path << " = " << actual << "\n";
  return 0;
}

int Session::doExpect(const Args& a, std::string* error, bool*) {
  OMobj_id id = OMfind_str_subobj(place_, a.path.c_str(), 0);
  std::string actual;
  bool missing = !id, unset = !missing && !UIvalueText(id, &actual);
  std::string expected = unquote(a.rest);
  double x = 0, e = 0;
  bool same = !missing && !unset &&
              ((isNumber(actual, &x) && isNumber(expected, &e))
                   ? std::fabs(x - e) <= 1e-9 * std::max(1.0, std::fabs(e))
                   : actual == expected);
  if (same) return 0;
  *error = "expect " + a.path + ": expected " + expected + ", got " +
           (missing ? "missing"
            : unset ? "unset"
                    : actual);
  return 1;
}

int Session::doDump(const Args& a, std::string* error, bool*) {
  OMobj_id id = object(a.path, error);
  if (!id) return 1;
  UIdumpObject(std::cout, id, 0);
  return 0;
}

int Session::doSet(const Args& a, std::string* error, bool*) {
  OMobj_id id = object(a.path, error);
  if (!id) return 1;
  std::string value = unquote(a.rest);
  if (OMset_str_val(id, value.c_str()) != 1) {
    *error = "cannot set " + a.path + " to " + value;
    return 1;
  }
  settle();
  return 0;
}

int Session::doClick(const Args& a, std::string* error, bool*) {
  // PATH:WIDGET clicks a descendant widget: never a command or a list item.
  bool descendant = a.path.find(':') != std::string::npos;
  OMobj_id id = object(a.path.substr(0, a.path.find(':')), error);
  if (!id) return 1;
  UIwindow* binding = descendant ? nullptr : UIobjIdToClass(id);
  if (auto* item = UIwindow::alive(binding) ? dynamic_cast<UImenuItem*>(binding) : nullptr)
    return clickCommand(item, a.path, error);
  Widget w = widgetOf(a.path, error);
  if (!w) return 1;
  bool isList = UIwindow::alive(binding) &&
                (dynamic_cast<UIlist*>(binding) || dynamic_cast<UImultiList*>(binding));
  if (isList && !a.rest.empty()) return clickListItem(binding, w, a, error);
  std::istringstream rest(a.rest);
  unsigned button = 1;
  if (!buttonArgument(rest, &button)) {
    *error = "click takes a path and a button from 1 to 5";
    return 1;
  }
  clickMiddle(w, button);
  settle();
  return 0;
}

int Session::clickListItem(UIwindow* binding, Widget, const Args& a, std::string* error) {
  char* end = nullptr;
  long n = std::strtol(a.rest.c_str(), &end, 10);
  if (*end || n < 0 || n > 1000000) {
    *error = "click " + a.path + ": the item is a number from 0";
    return 1;
  }
  Widget list = nullptr;
  if (auto* single = dynamic_cast<UIlist*>(binding)) list = single->list();
  if (auto* multi = dynamic_cast<UImultiList*>(binding)) list = multi->list();
  if (!list) {
    *error = "click " + a.path + ": only a list has items";
    return 1;
  }
  int count = 0;
  XtVaGetValues(list, XmNitemCount, &count, nullptr);
  if (n >= count) {
    *error = "click " + a.path + ": no item " + std::to_string(n);
    return 1;
  }
  int position = static_cast<int>(n) + 1;
  Position x = 0, y = 0;
  Dimension width = 0, height = 0;
  // An item scrolled out of sight is brought into view first.
  if (!XmListPosToBounds(list, position, &x, &y, &width, &height)) {
    XmListSetPos(list, position);
    settle();
  }
  if (!XmListPosToBounds(list, position, &x, &y, &width, &height)) {
    *error = "click " + a.path + ": item " + std::to_string(n) + " is not on screen";
    return 1;
  }
  clickAt(list, x + width / 2, y + height / 2);
  settle();
  return 0;
}

int Session::clickCommand(UImenuItem* item, const std::string& path, std::string* error) {
  // A record in a menu is preferred, else one on screen (a radio or option box).
  Widget target = nullptr;
  for (const MenuItemWidget& m : item->items())
    if (!UIisBeingDestroyed(m.widget) && isPulldown(XtParent(m.widget))) target = m.widget;
  if (!target)
    for (const MenuItemWidget& m : item->items())
      if (viewable(m.widget)) target = m.widget;
  if (!target) {
    *error = path + " is shown by no widget";
    return 1;
  }
  std::vector<Widget> cascades;
  Widget root = target;
  while (XtParent(root)) root = XtParent(root);
  for (Widget menu = XtParent(target); isPulldown(menu);) {
    Widget cascade = cascadeFor(root, menu);
    if (!cascade) break;
    cascades.insert(cascades.begin(), cascade);
    menu = XtParent(cascade);
  }
  for (size_t i = 0; i < cascades.size(); ++i) {
    Widget next = i + 1 < cascades.size() ? cascades[i + 1] : target;
    slowClick(cascades[i]);
    Widget shown = XtIsWidget(next) ? next : XtParent(next);
    EVrun_until([&] { return viewable(shown); }, 3000);
    if (!viewable(shown)) {
      *error = path + ": its menu did not open";
      return 1;
    }
    wait(100);  // a menu takes its grab after it maps
  }
  if (!viewable(target)) {
    *error = path + " is not on screen";
    return 1;
  }
  slowClick(target);
  settle();
  return 0;
}

// Menus read the pointer's arrival and the press before the release: each is served first.
void Session::slowClick(Widget w) {
  Widget in = XtIsWidget(w) ? w : XtParent(w);
  Position x = 0, y = 0;
  Dimension width = 0, height = 0;
  XtVaGetValues(w, XtNwidth, &width, XtNheight, &height, nullptr);
  if (!XtIsWidget(w)) XtVaGetValues(w, XmNx, &x, XmNy, &y, nullptr);
  fakeMotion(in, x + width / 2, y + height / 2);
  wait(50);
  Display* dpy = XtDisplay(in);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XSync(dpy, False);
  wait(30);
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XSync(dpy, False);
}

int Session::doDrag(const Args& a, std::string* error, bool*) {
  std::istringstream numbers(a.rest);
  int x1, y1, x2, y2;
  unsigned button = 1;
  if (!(numbers >> x1 >> y1 >> x2 >> y2) || !buttonArgument(numbers, &button)) {
    *error = "drag takes X1 Y1 X2 Y2 and a button from 1 to 5";
    return 1;
  }
  Display* dpy = XtDisplayOfObject(a.widget);
  fakeMotion(a.widget, x1, y1);
  XTestFakeButtonEvent(dpy, button, True, CurrentTime);
  for (int i = 1; i <= 8; ++i) {
    // The dataflow of the drag so far may have destroyed the widget.
    if (UIisBeingDestroyed(a.widget)) break;
    fakeMotion(a.widget, x1 + (x2 - x1) * i / 8, y1 + (y2 - y1) * i / 8);
    EVrun_once(5);
  }
  XTestFakeButtonEvent(dpy, button, False, CurrentTime);
  XSync(dpy, False);
  settle();
  return 0;
}

int Session::doUndo(const Args&, std::string* error, bool*) {
  if (!UIlayout::editEnable) {
    *error = "undo needs --edit";
    return 1;
  }
  if (!UIlayoutUndo()) std::cout << "nothing to undo\n";
  settle();
  return 0;
}

int Session::doRedo(const Args&, std::string* error, bool*) {
  if (!UIlayout::editEnable) {
    *error = "redo needs --edit";
    return 1;
  }
  if (!UIlayoutRedo()) std::cout << "nothing to redo\n";
  settle();
  return 0;
}

int Session::doSave(const Args&, std::string* error, bool*) {
  if (!save_) {
    *error = "save needs --edit";
    return 1;
  }
  return save_(error);
}

int Session::doType(const Args& a, std::string* error, bool*) {
  clickMiddle(a.widget);  // gives it the keyboard focus
  settle();
  Display* dpy = XtDisplayOfObject(a.widget);
  for (char c : unquote(a.rest)) {
    KeyCode code = 0;
    std::vector<KeyCode> mods;
    std::string key = c == ' ' ? "space" : std::string(1, c);
    if (!parseKey(dpy, key, &code, &mods)) {
      *error = std::string("cannot type '") + c + "'";
      return 1;
    }
    fakeKey(dpy, code, mods);
  }
  settle();
  return 0;
}

int Session::doClose(const Args& a, std::string*, bool*) {
  Widget shell = topShell(a.widget);
  Display* dpy = XtDisplay(shell);
  XClientMessageEvent event{};
  event.type = ClientMessage;
  event.window = XtWindow(shell);
  event.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  event.format = 32;
  event.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  event.data.l[1] = CurrentTime;
  XSendEvent(dpy, XtWindow(shell), False, NoEventMask, reinterpret_cast<XEvent*>(&event));
  XSync(dpy, False);
  settle();
  return 0;
}

// Reads the widget as it is, shown or not (unlike the input commands, which wait for it).
int Session::doRes(const Args& a, std::string* error, bool*) {
  std::string objectPath = a.path, widgetName;
  size_t colon = a.path.find(':');
  if (colon != std::string::npos) {
    objectPath = a.path.substr(0, colon);
    widgetName = a.path.substr(colon + 1);
  }
  OMobj_id id = object(objectPath, error);
  if (!id) return 1;
  Widget w = UIobjIdToWidget(id);
  if (UIisBeingDestroyed(w)) {
    *error = objectPath + " has no widget";
    return 1;
  }
  Widget target = w;
  if (!widgetName.empty()) {
    target = XtNameToWidget(w, ("*" + widgetName).c_str());
    if (!target) {
      *error = "no widget " + widgetName + " in " + objectPath;
      return 1;
    }
  }
  std::string resource = trim(a.rest);
  XtResourceList list = nullptr;
  Cardinal count = 0;
  const char* type = nullptr;
  Cardinal size = 0;
  XtGetResourceList(XtClass(target), &list, &count);
  for (Cardinal i = 0; i < count && !type; ++i)
    if (resource == list[i].resource_name)
      type = list[i].resource_type, size = list[i].resource_size;
  if (!type && XtParent(target) && XtIsConstraint(XtParent(target))) {
    XtFree(reinterpret_cast<char*>(list));
    list = nullptr;
    XtGetConstraintResourceList(XtClass(XtParent(target)), &list, &count);
    for (Cardinal i = 0; i < count && !type; ++i)
      if (resource == list[i].resource_name)
        type = list[i].resource_type, size = list[i].resource_size;
  }
  std::string typeName = type ? type : "";
  XtFree(reinterpret_cast<char*>(list));
  if (typeName.empty() || size > 64) {
    *error = "no resource " + resource + " of " + XtName(target);
    return 1;
  }
  alignas(8) char value[64] = {};
  XtVaGetValues(target, resource.c_str(), value, nullptr);
  std::string text;
  if (typeName == XtRString) {
    char* s = nullptr;
    std::memcpy(&s, value, sizeof s);
    text = s ? s : "";
    // The text widgets hand out a copy of their value, which the asker frees.
    if (resource == XmNvalue && (XmIsText(target) || XmIsTextField(target))) XtFree(s);
  } else {
    bool shown = convertToText(target, typeName, value, size, &text);
    // The toolkit hands out a copy of a compound string resource, which the asker frees.
    if (typeName == XmRXmString) {
      XmString s = nullptr;
      std::memcpy(&s, value, sizeof s);
      if (s) XmStringFree(s);
    }
    if (!shown) {
      *error = "cannot show " + resource + " (" + typeName + ") as text";
      return 1;
    }
  }
  std::cout << a.path << " " << resource << " = " << text << "\n";
  return 0;
}
