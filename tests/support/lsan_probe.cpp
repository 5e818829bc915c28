// Proves the leak filter of the sanitizer pass: starts the library on the test server, makes,
// shows, changes and destroys a window with a label and a button (so every allocation the X
// libraries keep for the life of the process is made), then exits. With --leak it also drops
// a compound string made through our own code: the leak check must report that one, and
// nothing without it.
#include <cstring>

#include "om/om.h"
#include "ui/xmstring.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

// Kept out of line so its name is in the leak report's stack.
__attribute__((noinline)) void leakACompoundStringOnPurpose() {
  XmString dropped = UIxmText("dropped on purpose").release();
  asm volatile("" : : "r"(dropped) : "memory");  // made for real, then forgotten
}

}  // namespace

int main(int argc, char** argv) {
  uitest::startLibrary("lsan_probe");
  OMobj_id window = uitest::makeObject("UIshell", "win", OMnull_obj,
                                       {{"visible", 1}, {"width", 200}, {"height", 100}});
  OMobj_id label = uitest::makeObject("UIlabel", "label", window, {{"x", 5}, {"y", 5}});
  OMobj_id button = uitest::makeObject("UIbutton", "button", window, {{"x", 5}, {"y", 40}});
  uitest::pumpFor(200);
  OMset_str_val(OMfind_str_subobj(label, "label", 0), "changed\ntwo lines");
  OMset_str_val(OMfind_str_subobj(button, "label", 0), "press");
  uitest::pumpFor(100);
  OMdestroy_obj(window, 0);
  uitest::pumpFor(100);
  if (argc > 1 && std::strcmp(argv[1], "--leak") == 0) leakACompoundStringOnPurpose();
  return 0;
}
