// Starting the library for a test binary.
#include "ui_test.h"

#include <gtest/gtest.h>

#include <X11/Xft/Xft.h>
#include <Xm/Xm.h>

#include <cstdlib>

#include "om/om_registry.h"
#include "svc/err.h"
#include "ui/dpyMgr.h"
#include "ui/init.h"
#include "x11_test.h"

namespace uitest {

namespace {

void record(const char* reporter, int, int, const char* text) {
  reports().push_back(std::string(reporter) + ": " + text);
}

}  // namespace

std::vector<std::string>& reports() {
  static std::vector<std::string> r;
  return r;
}

void startLibrary(const char* programName, const char* templates, const std::string& display) {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("DISPLAY", display.empty() ? fixtureDisplayName().c_str() : display.c_str(), 1);
  waitForServer(std::getenv("DISPLAY"));
  UIinit();
  std::string name = programName;
  char* argv[] = {name.data(), nullptr};
  int argc = 1;
  UIglobal_init(&argc, argv);
  if (templates) {
    std::vector<OMtemplate_error> errors;
    std::string all;
    if (!OMload_templates(templates, programName, &errors))
      for (const auto& e : errors) all += e.text() + "\n";
    ASSERT_TRUE(all.empty()) << all;
  }
  UIdpyContext* ctx = UIgetDisplayContext(std::getenv("DISPLAY"));
  adopt(ctx->DisplayPtr, UIdpyContext::_appContext);
  ERRset_reporter(record);
}

OMobj_id instancePlace() {
  OMobj_id place = OMnull_obj;
  OMget_array_subobj(OMinst_obj, 0, &place, 0);
  return place;
}

OMobj_id makeObject(const char* type, const std::string& name, OMobj_id parent,
                    const std::vector<std::pair<const char*, int>>& ints) {
  OMobj_id place = instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id id = OMcreate_obj_from_path(type, name.c_str(), place);
  if (parent.serial) OMset_obj_ref(OMfind_subobj(id, OMstr_to_name("parent"), 0), parent, 0);
  for (auto& [prop, v] : ints) OMset_int_val(OMfind_str_subobj(id, prop, 0), v);
  OMpop_ctx(place);
  return id;
}

int intOf(OMobj_id id, const char* path, int fallback) {
  int v = fallback;
  OMget_int_val(OMfind_str_subobj(id, path, 0), &v);
  return v;
}

std::string xmText(Widget w, const char* resource) {
  XmString s = nullptr;
  XtVaGetValues(w, resource, &s, nullptr);
  if (!s) return "";
  // Separators come back as line ends.
  XmString separator = XmStringSeparatorCreate();
  Arg args[3];
  XtSetArg(args[0], XmNincludeStatus, XmINSERT);
  XtSetArg(args[1], XmNsubstitute, separator);
  XtSetArg(args[2], XmNpattern, const_cast<char*>("\n"));
  XmParseMapping lineEnd = XmParseMappingCreate(args, 3);
  XmParseTable table = &lineEnd;
  char* text = static_cast<char*>(
      XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, table, 1, XmOUTPUT_ALL));
  XmParseMappingFree(lineEnd);
  XmStringFree(separator);
  XmStringFree(s);
  std::string out = text ? text : "";
  XtFree(text);
  return out;
}

}  // namespace uitest

extern "C" void _XmXftDrawDestroy(Display* display, Window window, XftDraw* draw);

namespace uitest {

bool motifKeepsTextDrawing(unsigned long window) {
  static int warnings;
  warnings = 0;
  Display* dpy = display();
  XtAppContext app = appContext();
  XtErrorHandler previous = XtAppSetWarningHandler(app, [](String) { ++warnings; });
  XtErrorMsgHandler previousMsg = XtAppSetWarningMsgHandler(
      app, [](String, String, String, String, String*, Cardinal*) { ++warnings; });
  // Made without a request; Motif frees it in place of its own when it finds the window.
  XftDraw* probe = XftDrawCreate(dpy, window, DefaultVisual(dpy, DefaultScreen(dpy)),
                                 DefaultColormap(dpy, DefaultScreen(dpy)));
  _XmXftDrawDestroy(dpy, window, probe);
  XtAppSetWarningHandler(app, previous);
  XtAppSetWarningMsgHandler(app, previousMsg);
  if (warnings) XftDrawDestroy(probe);
  return warnings == 0;
}

std::pair<unsigned long, unsigned long> requestsWithFrameDetectionOffAndOn(
    const std::function<void(const std::string& name)>& show) {
  Display* dpy = display();
  auto measured = [&](const std::string& name) {
    pumpFor(20);
    unsigned long before = XNextRequest(dpy);
    show(name);
    return XNextRequest(dpy) - before;
  };
  measured("detectionWarm");
  setenv("CQ_WIN_PLACEMENT", "manual", 1);
  unsigned long off = measured("detectionOff");
  unsetenv("CQ_WIN_PLACEMENT");
  return {off, measured("detectionOn")};
}

}  // namespace uitest
