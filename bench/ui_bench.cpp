// Containers through the object manager against the same widgets made directly with Motif,
// in one run: 1000 panels, each with a child panel, instanced and destroyed; wall time and X
// requests of both sides and their ratios. Needs a display ($DISPLAY; xvfb-run will do).
#include <X11/Shell.h>
#include <X11/extensions/XTest.h>
#include <Xm/DragDrop.h>
#include <Xm/Label.h>
#include <Xm/PushB.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "svc/container.h"
#include "svc/ev.h"
#include "ui/Icon.h"
#include "ui/core.h"
#include "ui/dpyMgr.h"
#include "ui/init.h"
#include "ui/misc.h"

namespace {

constexpr int kPanels = 1000;

struct Side {
  double seconds = 0;
  double requests = 0;
  long runs = 0;
};
Side viaObjects, raw;

Display* display() {
  return UIgetDisplayContext(std::getenv("DISPLAY"))->DisplayPtr;
}

OMobj_id place() {
  OMobj_id p;
  OMget_array_subobj(OMinst_obj, 0, &p, 0);
  return p;
}

// A realized host for the panels: a shell object whose work area holds them.
OMobj_id host() {
  static OMobj_id h = OMnull_obj;
  if (!!h) return h;
  OMpush_ctx(place(), 0, 0, 0);
  h = OMcreate_obj_from_path("UIshell", "benchHost", place());
  OMset_int_val(OMfind_subobj(h, OMstr_to_name("visible"), 0), 1);
  OMset_int_val(OMfind_subobj(h, OMstr_to_name("width"), 0), 800);
  OMset_int_val(OMfind_subobj(h, OMstr_to_name("height"), 0), 600);
  OMpop_ctx(place());
  EVrun_until([] { return false; }, 300);
  return h;
}

// An object of the type made under group and shown in the parent object's widget at (x, y)
// with the given size.
OMobj_id shown(const char* type, const std::string& name, OMobj_id group, OMobj_id parent, int x,
               int y, int width, int height) {
  OMobj_id id = OMcreate_obj_from_path(type, name.c_str(), group);
  OMset_obj_ref(OMfind_subobj(id, OMstr_to_name("parent"), 0), parent, 0);
  const std::pair<const char*, int> ints[] = {
      {"x", x}, {"y", y}, {"width", width}, {"height", height}, {"visible", 1}};
  for (const auto& [prop, value] : ints)
    OMset_int_val(OMfind_subobj(id, OMstr_to_name(prop), 0), value);
  return id;
}

void record(Side* side, benchmark::State& state, double seconds, unsigned long requests) {
  side->seconds += seconds;
  side->requests += static_cast<double>(requests);
  side->runs += 1;
  state.counters["requests"] = static_cast<double>(requests);
}

void BM_PanelsThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  Display* dpy = display();
  for (auto _ : state) {
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    auto start = std::chrono::steady_clock::now();
    OMobj_id group =
        OMcreate_obj(OMstr_to_name("benchGroup"), OM_KIND_GROUP, place(), OMnull_obj, 0);
    OMpush_ctx(place(), 0, 0, 0);
    for (int i = 0; i < kPanels; ++i) {
      OMobj_id panel =
          shown("UIpanel", "p" + std::to_string(i), group, parent, i % 20, i % 20, 40, 20);
      shown("UIpanel", "c", panel, panel, 1, 1, 10, 10);
    }
    OMpop_ctx(place());
    OMdestroy_obj(group, 0);
    XSync(dpy, False);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    record(&viaObjects, state, seconds, XNextRequest(dpy) - before);
  }
}
BENCHMARK(BM_PanelsThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PanelsRawMotif(benchmark::State& state) {
  OMobj_id parentObj = host();
  Widget parent = UIobjIdToWidget(parentObj);
  Display* dpy = display();
  for (auto _ : state) {
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    auto start = std::chrono::steady_clock::now();
    std::vector<Widget> panels;
    panels.reserve(kPanels);
    for (int i = 0; i < kPanels; ++i) {
      std::string name = "p" + std::to_string(i);
      Widget panel = XtVaCreateWidget(name.c_str(), containerWidgetClass, parent, XmNx, i % 20,
                                      XmNy, i % 20, XmNwidth, 40, XmNheight, 20, nullptr);
      XtVaCreateManagedWidget("c", containerWidgetClass, panel, XmNx, 1, XmNy, 1, XmNwidth, 10,
                              XmNheight, 10, nullptr);
      panels.push_back(panel);
    }
    XtManageChildren(panels.data(), static_cast<Cardinal>(panels.size()));
    XmDropSiteStartUpdate(parent);
    for (Widget w : panels) XtDestroyWidget(w);
    XmDropSiteEndUpdate(parent);
    XSync(dpy, False);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    record(&raw, state, seconds, XNextRequest(dpy) - before);
  }
}
BENCHMARK(BM_PanelsRawMotif)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- Labels, buttons and toggles ---------------------------------------------------------

constexpr int kControls = 1000;
Side controlsViaObjects, controlsRaw, textViaObjects, textRaw, clickViaObjects, clickRaw;

const char* const kTypes[] = {"UIlabel", "UIbutton", "UItoggle"};

void BM_ControlsThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  Display* dpy = display();
  for (auto _ : state) {
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    auto start = std::chrono::steady_clock::now();
    OMobj_id group =
        OMcreate_obj(OMstr_to_name("controlGroup"), OM_KIND_GROUP, place(), OMnull_obj, 0);
    OMpush_ctx(place(), 0, 0, 0);
    for (int i = 0; i < kControls; ++i) {
      OMobj_id c =
          shown(kTypes[i % 3], "c" + std::to_string(i), group, parent, i % 30, i % 30, 60, 20);
      OMset_str_val(OMfind_subobj(c, OMstr_to_name("label"), 0), "text");
    }
    OMpop_ctx(place());
    OMdestroy_obj(group, 0);
    XSync(dpy, False);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    record(&controlsViaObjects, state, seconds, XNextRequest(dpy) - before);
  }
}
BENCHMARK(BM_ControlsThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ControlsRawMotif(benchmark::State& state) {
  Widget parent = UIobjIdToWidget(host());
  Display* dpy = display();
  WidgetClass classes[] = {xmLabelWidgetClass, xmIconWidgetClass, xmToggleButtonWidgetClass};
  for (auto _ : state) {
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    auto start = std::chrono::steady_clock::now();
    std::vector<Widget> made;
    for (int i = 0; i < kControls; ++i) {
      std::string name = "c" + std::to_string(i);
      XmString s = XmStringCreateLocalized(const_cast<char*>("text"));
      made.push_back(XtVaCreateWidget(name.c_str(), classes[i % 3], parent, XmNx, i % 30, XmNy,
                                      i % 30, XmNwidth, 60, XmNheight, 20, XmNrecomputeSize, False,
                                      XmNlabelString, s, nullptr));
      XmStringFree(s);
    }
    XtManageChildren(made.data(), static_cast<Cardinal>(made.size()));
    XmDropSiteStartUpdate(parent);
    for (Widget w : made) XtDestroyWidget(w);
    XmDropSiteEndUpdate(parent);
    XSync(dpy, False);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    record(&controlsRaw, state, seconds, XNextRequest(dpy) - before);
  }
}
BENCHMARK(BM_ControlsRawMotif)->Unit(benchmark::kMillisecond)->Iterations(3);

// Property -> label text, against XtSetValues of the label string.
void BM_LabelTextThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id label = shown("UIlabel", "textTarget", place(), parent, 0, 0, 80, 20);
  OMpop_ctx(place());
  OMobj_id text = OMfind_subobj(label, OMstr_to_name("label"), 0);
  Display* dpy = display();
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    std::string value = std::to_string(n++);
    OMset_str_val(text, value.c_str());
  }
  XSync(dpy, False);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  textViaObjects.seconds += seconds, textViaObjects.runs += n;
  state.SetItemsProcessed(n);
  OMdestroy_obj(label, 0);
}
BENCHMARK(BM_LabelTextThroughObjects)->Iterations(20000);

void BM_LabelTextRawMotif(benchmark::State& state) {
  Widget w = XtVaCreateManagedWidget("rawText", xmLabelWidgetClass, UIobjIdToWidget(host()),
                                     XmNwidth, 80, XmNheight, 20, XmNrecomputeSize, False, nullptr);
  Display* dpy = display();
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    std::string value = std::to_string(n++);
    XmString s =
        XmStringGenerate(const_cast<char*>(value.c_str()),
                         const_cast<char*>(XmFONTLIST_DEFAULT_TAG), XmCHARSET_TEXT, nullptr);
    XtVaSetValues(w, XmNlabelString, s, nullptr);
    XmStringFree(s);
  }
  XSync(dpy, False);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  textRaw.seconds += seconds, textRaw.runs += n;
  state.SetItemsProcessed(n);
  XtDestroyWidget(w);
}
BENCHMARK(BM_LabelTextRawMotif)->Iterations(20000);

// A real click (XTest) until its effect is seen: "do" written, or the raw callback run.
void clickUntil(Widget w, const std::function<bool()>& seen) {
  Display* dpy = XtDisplay(w);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XFlush(dpy);
  EVrun_until(seen, 2000);
}

void pointAt(Widget w) {
  Display* dpy = XtDisplay(w);
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(dpy, XtWindow(w), DefaultRootWindow(dpy), 10, 10, &rx, &ry, &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XSync(dpy, False);
  EVrun_until([] { return false; }, 50);
}

void BM_ClickToDoThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id button = shown("UIbutton", "clickTarget", place(), parent, 0, 0, 60, 60);
  OMpop_ctx(place());
  OMobj_id done = OMfind_subobj(button, OMstr_to_name("do"), 0);
  Widget w = UIobjIdToWidget(button);
  EVrun_until([] { return false; }, 200);
  pointAt(w);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    int stamp = OMget_obj_seq(done, OMnull_obj, 0);
    clickUntil(w, [&] { return OMseq_newer(OMget_obj_seq(done, OMnull_obj, 0), stamp); });
    ++n;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  clickViaObjects.seconds += seconds, clickViaObjects.runs += n;
  state.SetItemsProcessed(n);
  OMdestroy_obj(button, 0);
}
BENCHMARK(BM_ClickToDoThroughObjects)->Iterations(200);

void BM_ClickToCallbackRawMotif(benchmark::State& state) {
  static long calls = 0;
  Widget w = XtVaCreateManagedWidget("rawButton", xmPushButtonWidgetClass, UIobjIdToWidget(host()),
                                     XmNwidth, 60, XmNheight, 60, nullptr);
  XtAddCallback(
      w, XmNactivateCallback, [](Widget, XtPointer, XtPointer) { ++calls; }, nullptr);
  EVrun_until([] { return false; }, 200);
  pointAt(w);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    long before = calls;
    clickUntil(w, [&] { return calls > before; });
    ++n;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  clickRaw.seconds += seconds, clickRaw.runs += n;
  state.SetItemsProcessed(n);
  XtDestroyWidget(w);
}
BENCHMARK(BM_ClickToCallbackRawMotif)->Iterations(200);

void ratio(const char* what, const Side& objects, const Side& raw, const char* goal) {
  if (!objects.runs || !raw.runs) return;
  double o = objects.seconds / objects.runs, r = raw.seconds / raw.runs;
  std::printf("%s: objects %.1f/s, raw Motif %.1f/s, ratio %.2f (goal %s)\n", what, 1 / o, 1 / r,
              r / o, goal);
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "ui_bench needs a display: run it with DISPLAY set (xvfb-run will do)\n");
    return 0;
  }
  char name[] = "ui_bench";
  char* xtArgv[] = {name, nullptr};
  int xtArgc = 1;
  UIinit();
  UIglobal_init(&xtArgc, xtArgv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (viaObjects.runs && raw.runs) {
    double wall = (viaObjects.seconds / viaObjects.runs) / (raw.seconds / raw.runs);
    double requests = (viaObjects.requests / viaObjects.runs) / (raw.requests / raw.runs);
    std::printf(
        "panels, objects / raw Motif: wall time %.2fx, X requests %.2fx (goals 1.15x, 1.05x)\n",
        wall, requests);
  }
  if (controlsViaObjects.runs && controlsRaw.runs) {
    double wall = (controlsViaObjects.seconds / controlsViaObjects.runs) /
                  (controlsRaw.seconds / controlsRaw.runs);
    double requests = (controlsViaObjects.requests / controlsViaObjects.runs) /
                      (controlsRaw.requests / controlsRaw.runs);
    std::printf("labels/buttons/toggles, objects / raw Motif: wall time %.2fx, X requests %.2fx\n",
                wall, requests);
  }
  ratio("property -> label text", textViaObjects, textRaw, ">= 0.6");
  ratio("XTest click -> do written", clickViaObjects, clickRaw, ">= 0.8");
  return 0;
}
