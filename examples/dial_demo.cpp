// dial_demo: four dials (knob and flat, valuator and accumulator) with their values shown
// beside them. Turn them with the mouse or the arrow keys.
//   dial_demo [Xt options] [--screenshot FILE.png]
#include <X11/Shell.h>
#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/RowColumn.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "svc/screenshot.h"
#include "ui/VwDial.h"

namespace {

void showValue(Widget, XtPointer label, XtPointer call) {
  auto* cbs = static_cast<VwDialCallbackStruct*>(call);
  char text[64];
  if (cbs->dialType == VwREAL_VALUATOR || cbs->dialType == VwREAL_ACCUMULATER)
    std::snprintf(text, sizeof text, "%.2f", cbs->dvalue);
  else
    std::snprintf(text, sizeof text, "%d", cbs->ivalue);
  XmString s = XmStringCreateLocalized(text);
  XtVaSetValues(static_cast<Widget>(label), XmNlabelString, s, nullptr);
  XmStringFree(s);
}

struct DialSpec {
  const char* name;
  int type;
  int style;
  int min, max, value, decimals;
};

void addDial(Widget row, const DialSpec& d) {
  Widget column = XtVaCreateManagedWidget(d.name, xmRowColumnWidgetClass, row, XmNorientation,
                                          XmVERTICAL, nullptr);
  Widget dial = XtVaCreateManagedWidget(
      "dial", vwDialWidgetClass, column, VwNdialType, d.type, VwNdialStyle, d.style, VwNmin, d.min,
      VwNmax, d.max, VwNvalue, d.value, VwNdecimalPoints, d.decimals, VwNscaleInc,
      (d.max - d.min) / 4, VwNframeThickness, d.style == VwFLAT ? 2 : 0, nullptr);
  Widget label = XtVaCreateManagedWidget("value", xmLabelWidgetClass, column, nullptr);
  for (const char* list : {VwNactivateCallback, VwNdisarmCallback})
    XtAddCallback(dial, list, showValue, label);
  VwDialCallbackStruct now{};
  VwGetDialValue(dial, &now);
  showValue(nullptr, label, &now);
}

struct Shot {
  Widget shell;
  std::string path;
  int status = 1;
};

// Takes the picture once the window has been drawn, then leaves the loop.
void takeShot(XtPointer data, XtIntervalId*) {
  auto* shot = static_cast<Shot*>(data);
  std::string error;
  if (WTwrite_window_png(XtDisplay(shot->shell), XtWindow(shot->shell), shot->path, &error)) {
    std::printf("wrote %s\n", shot->path.c_str());
    shot->status = 0;
  } else {
    std::fprintf(stderr, "dial_demo: %s\n", error.c_str());
  }
  XtAppSetExitFlag(XtWidgetToApplicationContext(shot->shell));
}

}  // namespace

int main(int argc, char** argv) {
  std::string screenshot;
  for (int i = 1; i < argc; ++i)
    if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) screenshot = argv[i + 1];
  XtAppContext app;
  Widget shell = XtVaOpenApplication(&app, "DialDemo", nullptr, 0, &argc, argv, nullptr,
                                     applicationShellWidgetClass, XmNtitle, "Dials", nullptr);
  Widget row = XtVaCreateManagedWidget("row", xmRowColumnWidgetClass, shell, XmNorientation,
                                       XmHORIZONTAL, nullptr);
  addDial(row, {"knobValuator", VwINTEGER_VALUATOR, VwKNOB, 0, 100, 40, 0});
  addDial(row, {"flatValuator", VwREAL_VALUATOR, VwFLAT, -500, 500, 125, 2});
  addDial(row, {"knobAccumulator", VwINTEGER_ACCUMULATER, VwKNOB, 0, 255, 300, 0});
  addDial(row, {"flatAccumulator", VwINTEGER_ACCUMULATER, VwFLAT, 0, 255, 64, 0});
  XtRealizeWidget(shell);
  if (screenshot.empty()) {
    XtAppMainLoop(app);
    return 0;
  }
  Shot shot{shell, screenshot};
  XtAppAddTimeOut(app, 500, takeShot, &shot);
  while (!XtAppGetExitFlag(app)) XtAppProcessEvent(app, XtIMAll);
  return shot.status;
}
