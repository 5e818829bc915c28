// What uirun drives: the loaded interface on a display, its event loop, input through XTest,
// pictures, and the script commands that use them.
#pragma once

#include <X11/Intrinsic.h>

#include <iosfwd>
#include <string>
#include <vector>

#include "om/om.h"

class Session {
 public:
  // The instance place the interface was loaded into and the top-level objects it made.
  Session(OMobj_id place, std::vector<OMobj_id> objects);

  // Turns the loop until nothing is pending (events, timers, notifications) for a while.
  void settle();
  // Runs the loop for ms milliseconds.
  void wait(int ms);
  // True while some top-level window of the interface is shown.
  bool anyWindowShown() const;
  // True when some top-level object has a widget: something a picture can show.
  bool showsAnything() const;
  // Writes a PNG of the interface's one shown window, else of the whole screen.
  bool screenshot(const std::string& path, std::string* error);

  // Runs script lines from `in`; `origin` names it in messages. Returns the exit status:
  // 0, or 1 for a failed expect or a bad command (after a message on standard error).
  // Sets *quit when the script said "quit".
  int runScript(std::istream& in, const std::string& origin, bool* quit);

 private:
  int command(const std::string& line, std::string* error, bool* quit);
  OMobj_id object(const std::string& path, std::string* error) const;
  Widget widgetOf(const std::string& path, std::string* error);

  OMobj_id place_;
  std::vector<OMobj_id> objects_;
};

// Text of an object's value as "get" prints it (numbers, text, "[a, b]" for arrays); false
// when unset.
bool UIvalueText(OMobj_id id, std::string* text);
// Prints an object tree as "dump" does.
void UIdumpObject(std::ostream& out, OMobj_id id, int indent);
