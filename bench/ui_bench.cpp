// Containers through the object manager against the same widgets made directly with Motif,
// in one run: 1000 panels, each with a child panel, instanced and destroyed; wall time and X
// requests of both sides and their ratios. Needs a display ($DISPLAY; xvfb-run will do).
#include <X11/Shell.h>
#include <Xm/DragDrop.h>
#include <Xm/Xm.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "svc/container.h"
#include "svc/ev.h"
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

Display* display() { return UIgetDisplayContext(std::getenv("DISPLAY"))->DisplayPtr; }

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
    OMobj_id group = OMcreate_obj(OMstr_to_name("benchGroup"), OM_KIND_GROUP, place(), OMnull_obj, 0);
    OMpush_ctx(place(), 0, 0, 0);
    for (int i = 0; i < kPanels; ++i) {
      std::string name = "p" + std::to_string(i);
      OMobj_id panel = OMcreate_obj_from_path("UIpanel", name.c_str(), group);
      OMset_obj_ref(OMfind_subobj(panel, OMstr_to_name("parent"), 0), parent, 0);
      for (const char* prop : {"x", "y", "width", "height", "visible"})
        OMset_int_val(OMfind_subobj(panel, OMstr_to_name(prop), 0),
                      prop[0] == 'v' ? 1 : prop[0] == 'w' ? 40 : prop[0] == 'h' ? 20 : i % 20);
      OMobj_id child = OMcreate_obj_from_path("UIpanel", "c", panel);
      OMset_obj_ref(OMfind_subobj(child, OMstr_to_name("parent"), 0), panel, 0);
      for (const char* prop : {"x", "y", "width", "height", "visible"})
        OMset_int_val(OMfind_subobj(child, OMstr_to_name(prop), 0),
                      prop[0] == 'v' ? 1 : prop[0] == 'w' ? 10 : prop[0] == 'h' ? 10 : 1);
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
    std::printf("objects / raw Motif: wall time %.2fx, X requests %.2fx (goals 1.15x, 1.05x)\n",
                wall, requests);
  }
  return 0;
}
