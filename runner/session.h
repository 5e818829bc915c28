// What uirun drives: the loaded interface on a display, its event loop, input through XTest,
// pictures, and the script commands that use them.
#pragma once

#include <X11/Intrinsic.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "om/om.h"

class UIwindow;
class UImenuItem;

class Session {
 public:
  // The instance place the interface was loaded into and the top-level objects it made.
  Session(OMobj_id place, std::vector<OMobj_id> objects);

  // Turns the loop until nothing is pending (events, timers, notifications) for a while.
  void settle();
  // Runs the loop for ms milliseconds.
  void wait(int ms);
  // The top-level objects of the interface, in file order.
  const std::vector<OMobj_id>& objects() const { return objects_; }
  // After a reload: the top-level objects as they are now.
  void setObjects(std::vector<OMobj_id> objects) { objects_ = std::move(objects); }
  // True while some top-level window of the interface is shown.
  bool anyWindowShown() const;
  // True when some top-level object has a widget: something a picture can show.
  bool showsAnything() const;
  // Writes a PNG of the interface's one shown window, else of the whole screen.
  bool screenshot(const std::string& path, std::string* error);

  // Runs script lines from `in`; `origin` names it in messages. Returns the exit status:
  // 0, or 1 for a failed expect or a bad command (after a message on standard error).
  // Sets *quit when the script said "quit". Each command has a deadline: its own time
  // (`wait MS`: MS; `settle`: its 5 s; others 10 s) plus graceMs. A command still running
  // then (a stuck or lost X server blocks in Xlib) ends the process with status 3 and
  // "ORIGIN:LINE: VERB: deadline of N ms expired ..." on standard error.
  int runScript(std::istream& in, const std::string& origin, bool* quit);
  void setDeadlineGrace(int graceMs) { graceMs_ = graceMs; }

  // What the "save" command does (uirun --edit sets it): returns 0, or 1 with a message.
  void onSave(std::function<int(std::string*)> save) { save_ = std::move(save); }

  // The script commands, one a line: "  VERB SYNTAX   help", in the order of the table.
  static std::string commandHelp();

  // One script line taken apart without running it: the verb (known), the word after it and
  // the rest trimmed. false with *error for an unknown verb or a missing path. Needs no X.
  struct Line {
    std::string verb;
    std::string path;
    std::string rest;
  };
  static bool parseLine(const std::string& text, Line* line, std::string* error);

 private:
  // What a command's line holds: the word after the verb (a path, or the verb's own
  // argument), the rest of the line trimmed, and the path's widget when the verb needs one.
  struct Args {
    std::string path;
    std::string rest;
    Widget widget = nullptr;
  };
  // What is checked before a verb runs: nothing, a path given, or a path whose widget is on
  // screen (waited for up to 3 s).
  enum class Needs { kNothing, kPath, kWidget };
  // One verb: its syntax and help (for --help), its needs, and the member that runs it,
  // returning 0 or 1 with *error set.
  struct Command {
    const char* verb;
    const char* syntax;
    const char* help;
    Needs needs;
    int (Session::*run)(const Args&, std::string* error, bool* quit);
  };
  static const std::vector<Command>& commands();

  int command(const std::string& line, std::string* error, bool* quit);
  int doSet(const Args& a, std::string* error, bool* quit);
  int doGet(const Args& a, std::string* error, bool* quit);
  int doDump(const Args& a, std::string* error, bool* quit);
  int doClick(const Args& a, std::string* error, bool* quit);
  int doType(const Args& a, std::string* error, bool* quit);
  int doPress(const Args& a, std::string* error, bool* quit);
  int doDrag(const Args& a, std::string* error, bool* quit);
  int doClose(const Args& a, std::string* error, bool* quit);
  int doRes(const Args& a, std::string* error, bool* quit);
  int doWait(const Args& a, std::string* error, bool* quit);
  int doSettle(const Args& a, std::string* error, bool* quit);
  int doScreenshot(const Args& a, std::string* error, bool* quit);
  int doExpect(const Args& a, std::string* error, bool* quit);
  int doQuit(const Args& a, std::string* error, bool* quit);
  int doUndo(const Args& a, std::string* error, bool* quit);
  int doRedo(const Args& a, std::string* error, bool* quit);
  int doSave(const Args& a, std::string* error, bool* quit);

  // click on a list item, and on a command (its menus posted on the way).
  int clickListItem(UIwindow* binding, Widget w, const Args& a, std::string* error);
  int clickCommand(UImenuItem* item, const std::string& path, std::string* error);
  void slowClick(Widget w);

  OMobj_id object(const std::string& path, std::string* error) const;
  Widget widgetOf(const std::string& path, std::string* error);

  OMobj_id place_;
  std::vector<OMobj_id> objects_;
  std::function<int(std::string*)> save_;
  int graceMs_ = 10000;
};

// Text of an object's value as "get" prints it (numbers, text, "[a, b]" for arrays); false
// when unset.
bool UIvalueText(OMobj_id id, std::string* text);
// Prints an object tree as "dump" does.
void UIdumpObject(std::ostream& out, OMobj_id id, int indent);
