// The interface kit through objects against the same widgets made directly with Motif, in one
// run on one server: a mixed set of controls instanced and destroyed (wall time, client CPU,
// X requests, memory), property updates, clicks, drags and keys. Repetitions run in random
// order; a table of medians and their ratios ends the output. Uses $DISPLAY, or starts an
// Xvfb of its own when none is set.
#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/DragDrop.h>
#include <Xm/Label.h>
#include <Xm/PushB.h>
#include <Xm/Scale.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
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

#include "mixed.h"

namespace {

struct Side {
  double seconds = 0;
  double requests = 0;
  long runs = 0;
};

Display* display() {
  return UIgetDisplayContext(std::getenv("DISPLAY"))->DisplayPtr;
}

OMobj_id place() {
  OMobj_id p;
  OMget_array_subobj(OMinst_obj, 0, &p, 0);
  return p;
}

// A realized host for the controls: a shell object whose work area holds them.
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

// ---- The mixed set: instancing and destruction ----------------------------------------------

// What one phase cost: wall and client CPU seconds, X requests, per control.
struct Cost {
  double wall = 0, cpu = 0, requests = 0;
};

struct Meter {
  Display* dpy;
  unsigned long request;
  std::chrono::steady_clock::time_point wall;
  double cpu;

  static double cpuNow() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
  }
  explicit Meter(Display* d) : dpy(d) {
    XSync(dpy, False);
    request = XNextRequest(dpy);
    cpu = cpuNow();
    wall = std::chrono::steady_clock::now();
  }
  // The phase's cost per control, after everything it caused has been handled.
  Cost read(int count) const {
    mixed::drain(dpy);
    Cost c;
    c.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    c.cpu = cpuNow() - cpu;
    c.requests = static_cast<double>(XNextRequest(dpy) - request);
    c.wall /= count, c.cpu /= count, c.requests /= count;
    return c;
  }
};

// Per-repetition samples of each measure, by side; the table at the end shows medians.
struct Samples {
  std::vector<double> values[2];  // [0] objects, [1] raw Motif
};
std::map<std::string, Samples>& samples() {
  static std::map<std::string, Samples> s;
  return s;
}

void note(const std::string& measure, int side, double value) {
  samples()[measure].values[side].push_back(value);
}

void noteCost(const std::string& phase, int side, const Cost& c) {
  note(phase + " wall", side, c.wall);
  note(phase + " client CPU", side, c.cpu);
  note(phase + " X requests", side, c.requests);
}

constexpr int kMixed = 1000;
constexpr int kMemory = 5000;

double heapBytes() {
  struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd);
}

double rssBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Instances count controls through objects, then destroys them; notes the figures when
// measured (a count of kMemory also notes memory and the destroy of the larger set).
void objectsRound(int count, bool measured) {
  OMobj_id parent = host();
  Display* dpy = display();
  double heap = heapBytes(), rss = rssBytes();
  Meter made(dpy);
  OMobj_id group = OMcreate_obj(OMstr_to_name("mixedGroup"), OM_KIND_GROUP, place(), OMnull_obj, 0);
  OMpush_ctx(place(), 0, 0, 0);
  mixed::makeObjects(group, parent, count);
  OMpop_ctx(place());
  Cost instance = made.read(count);
  double heapPer = (heapBytes() - heap) / count, rssPer = (rssBytes() - rss) / count;
  Meter gone(dpy);
  OMdestroy_obj(group, 0);
  Cost destroy = gone.read(count);
  if (!measured) return;
  if (count == kMixed) {
    noteCost("instance", 0, instance);
    noteCost("destroy", 0, destroy);
  } else {
    note("heap per control", 0, heapPer);
    note("RSS per control", 0, rssPer);
    note("destroy wall (5000)", 0, destroy.wall);
  }
}

void rawRound(int count, bool measured) {
  Widget parent = UIobjIdToWidget(host());
  Display* dpy = display();
  std::vector<Widget> widgets;
  double heap = heapBytes(), rss = rssBytes();
  Meter made(dpy);
  mixed::makeRaw(parent, count, &widgets);
  Cost instance = made.read(count);
  double heapPer = (heapBytes() - heap) / count, rssPer = (rssBytes() - rss) / count;
  Meter gone(dpy);
  mixed::destroyRaw(parent, &widgets);
  Cost destroy = gone.read(count);
  if (!measured) return;
  if (count == kMixed) {
    noteCost("instance", 1, instance);
    noteCost("destroy", 1, destroy);
  } else {
    note("heap per control", 1, heapPer);
    note("RSS per control", 1, rssPer);
    note("destroy wall (5000)", 1, destroy.wall);
  }
}

// One round first, unmeasured, on each side: fonts, classes and caches are loaded once.
void warmUp() {
  static bool done = false;
  if (done) return;
  done = true;
  objectsRound(kMixed / 10, false);
  rawRound(kMixed / 10, false);
}

void counters(benchmark::State& state, const char* prefix) {
  auto& s = samples();
  auto last = [&](const std::string& m) {
    auto& v = s[m].values[prefix[0] == 'o' ? 0 : 1];
    return v.empty() ? 0.0 : v.back();
  };
  state.counters["wall_us"] = last("instance wall") * 1e6;
  state.counters["cpu_us"] = last("instance client CPU") * 1e6;
  state.counters["requests"] = last("instance X requests");
  state.counters["destroy_us"] = last("destroy wall") * 1e6;
}

void BM_MixedThroughObjects(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    objectsRound(kMixed, true);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  counters(state, "objects");
}
BENCHMARK(BM_MixedThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

void BM_MixedRawMotif(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    rawRound(kMixed, true);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  counters(state, "raw");
}
BENCHMARK(BM_MixedRawMotif)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

void BM_MixedMemoryThroughObjects(benchmark::State& state) {
  warmUp();
  for (auto _ : state) objectsRound(kMemory, true);
}
BENCHMARK(BM_MixedMemoryThroughObjects)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(2);

void BM_MixedMemoryRawMotif(benchmark::State& state) {
  warmUp();
  for (auto _ : state) rawRound(kMemory, true);
}
BENCHMARK(BM_MixedMemoryRawMotif)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The medians of the repetitions, side by side, and their ratio.
void printTable() {
  auto& s = samples();
  if (s.empty()) return;
  const std::pair<const char*, const char*> rows[] = {
      {"instance wall", "<= 1.15"},       {"instance client CPU", "<= 1.5"},
      {"instance X requests", "<= 1.05"}, {"destroy wall", "<= 1.1"},
      {"destroy client CPU", ""},         {"destroy X requests", ""},
      {"destroy wall (5000)", "linear"},  {"heap per control", ""},
      {"RSS per control", "<= 1.5"}};
  std::printf("\nmixed set of %d controls (%d for memory), medians of %zu repetitions\n", kMixed,
              kMemory, s["instance wall"].values[0].size());
  std::printf("%-22s %14s %14s %8s  %s\n", "per control", "objects", "raw Motif", "ratio", "goal");
  for (const auto& [measure, goal] : rows) {
    auto found = s.find(measure);
    if (found == s.end()) continue;
    double o = median(found->second.values[0]), r = median(found->second.values[1]);
    bool seconds = std::string(measure).find("wall") != std::string::npos ||
                   std::string(measure).find("CPU") != std::string::npos;
    double scale = seconds ? 1e6 : 1;
    const char* unit = seconds                                                         ? "us"
                       : std::string(measure).find("per control") != std::string::npos ? "B"
                                                                                       : "";
    std::printf("%-22s %12.2f%-2s %12.2f%-2s %8.2f  %s\n", measure, o * scale, unit, r * scale,
                unit, r > 0 ? o / r : 0.0, goal);
  }
  auto small = s.find("destroy wall"), large = s.find("destroy wall (5000)");
  if (small != s.end() && large != s.end() && median(small->second.values[0]) > 0)
    std::printf("destroy per control, 5000 / 1000 (objects): %.2f (linear: about 1)\n",
                median(large->second.values[0]) / median(small->second.values[0]));
}

// ---- Property updates and clicks -----------------------------------------------------------

Side textViaObjects, textRaw, clickViaObjects, clickRaw;

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
  if (objects.requests > 0 || raw.requests > 0)
    std::printf("  X requests per item: objects %.2f, raw Motif %.2f\n",
                objects.requests / objects.runs, raw.requests / raw.runs);
}

// ---- Sliders, fields and texts --------------------------------------------------------------

Side sliderSetViaObjects, sliderSetRaw, dragViaObjects, dragRaw, keysField1, keysRawText,
    keysField8, keysRawParse;
double textFirst100 = 0, textLast100 = 0, rawFirst100 = 0, rawLast100 = 0;

OMobj_id prop(OMobj_id id, const char* name) {
  return OMfind_subobj(id, OMstr_to_name(name), 0);
}

std::string labelText(Widget w) {
  XmString s = nullptr;
  XtVaGetValues(w, XmNlabelString, &s, nullptr);
  char* text = nullptr;
  XmStringGetLtoR(s, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &text);
  std::string out = text ? text : "";
  XtFree(text);
  XmStringFree(s);
  return out;
}

// "value" set and flushed -> slider, against XtSetValues(XmNvalue) on a scale.
void BM_SliderValueThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id slider = shown("UIslider", "benchSlider", place(), parent, 0, 0, 200, 60);
  OMset_real_val(prop(slider, "min"), 0);
  OMset_real_val(prop(slider, "max"), 1000);
  OMset_int_val(prop(slider, "decimalPoints"), 0);
  OMpop_ctx(place());
  OMobj_id value = prop(slider, "value");
  Display* dpy = display();
  EVrun_until([] { return false; }, 100);
  XSync(dpy, False);
  unsigned long before = XNextRequest(dpy);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    OMset_real_val(value, static_cast<double>(n++ % 1000));
    XFlush(dpy);
  }
  XSync(dpy, False);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sliderSetViaObjects.seconds += seconds, sliderSetViaObjects.runs += n;
  sliderSetViaObjects.requests += static_cast<double>(XNextRequest(dpy) - before);
  state.SetItemsProcessed(n);
  OMdestroy_obj(slider, 0);
}
BENCHMARK(BM_SliderValueThroughObjects)->Iterations(5000);

void BM_SliderValueRawMotif(benchmark::State& state) {
  Widget w = XtVaCreateManagedWidget("rawScale", xmScaleWidgetClass, UIobjIdToWidget(host()),
                                     XmNwidth, 200, XmNheight, 60, XmNorientation, XmHORIZONTAL,
                                     XmNminimum, 0, XmNmaximum, 1000, nullptr);
  Display* dpy = display();
  EVrun_until([] { return false; }, 100);
  XSync(dpy, False);
  unsigned long before = XNextRequest(dpy);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    XtVaSetValues(w, XmNvalue, static_cast<int>(n++ % 1000), nullptr);
    XFlush(dpy);
  }
  XSync(dpy, False);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sliderSetRaw.seconds += seconds, sliderSetRaw.runs += n;
  sliderSetRaw.requests += static_cast<double>(XNextRequest(dpy) - before);
  state.SetItemsProcessed(n);
  XtDestroyWidget(w);
}
BENCHMARK(BM_SliderValueRawMotif)->Iterations(5000);

// A real drag: button 1 held on the scale's slider, the pointer moved by XTest back and forth;
// each step waits until the label shows a new text.
void dragSteps(Widget scrollBar, Widget label, long* n, benchmark::State& state) {
  Display* dpy = XtDisplay(scrollBar);
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(dpy, XtWindow(scrollBar), DefaultRootWindow(dpy), scrollBar->core.width / 2,
                        scrollBar->core.height / 2, &rx, &ry, &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XSync(dpy, False);
  EVrun_until([] { return false; }, 50);
  int offset = 0, direction = 1;
  for (auto _ : state) {
    std::string before = labelText(label);
    offset += direction * 3;
    if (offset > 60 || offset < -60) direction = -direction;
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx + offset, ry, CurrentTime);
    XFlush(dpy);
    EVrun_until([&] { return labelText(label) != before; }, 500);
    ++*n;
  }
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XSync(dpy, False);
  EVrun_until([] { return false; }, 50);
}

Widget scrollBarOf(Widget scale) {
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(scale, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  for (Cardinal i = 0; i < count; ++i)
    if (XtIsWidget(children[i]) && XtClass(children[i]) != xmLabelWidgetClass) return children[i];
  return nullptr;
}

void BM_DragToLabelThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id slider = shown("UIslider", "dragSlider", place(), parent, 10, 10, 300, 60);
  OMset_real_val(prop(slider, "min"), 0);
  OMset_real_val(prop(slider, "max"), 1000);
  OMset_int_val(prop(slider, "decimalPoints"), 0);
  OMset_real_val(prop(slider, "value"), 500);
  OMset_int_val(prop(slider, "immediateMode"), 1);
  OMobj_id label = shown("UIlabel", "dragLabel", place(), parent, 10, 80, 100, 24);
  OMset_obj_ref(prop(label, "label"), prop(slider, "value"), 0);
  OMpop_ctx(place());
  EVrun_until([] { return false; }, 200);
  Widget scale = UIobjIdToWidget(slider);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  dragSteps(scrollBarOf(scale), UIobjIdToWidget(label), &n, state);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  dragViaObjects.seconds += seconds, dragViaObjects.runs += n;
  state.SetItemsProcessed(n);
  OMdestroy_obj(label, 0);
  OMdestroy_obj(slider, 0);
}
BENCHMARK(BM_DragToLabelThroughObjects)->Iterations(300);

void BM_DragToLabelRawMotif(benchmark::State& state) {
  Widget parent = UIobjIdToWidget(host());
  Widget scale = XtVaCreateManagedWidget("rawDrag", xmScaleWidgetClass, parent, XmNx, 10, XmNy, 10,
                                         XmNwidth, 300, XmNheight, 60, XmNorientation, XmHORIZONTAL,
                                         XmNminimum, 0, XmNmaximum, 1000, XmNvalue, 500, nullptr);
  static Widget label = nullptr;
  label = XtVaCreateManagedWidget("rawDragLabel", xmLabelWidgetClass, parent, XmNx, 10, XmNy, 80,
                                  XmNwidth, 100, XmNheight, 24, XmNrecomputeSize, False, nullptr);
  auto show = [](Widget, XtPointer, XtPointer call) {
    char text[32];
    std::snprintf(text, sizeof text, "%d", static_cast<XmScaleCallbackStruct*>(call)->value);
    XmString s = XmStringCreateLocalized(text);
    XtVaSetValues(label, XmNlabelString, s, nullptr);
    XmStringFree(s);
  };
  XtAddCallback(scale, XmNdragCallback, show, nullptr);
  XtAddCallback(scale, XmNvalueChangedCallback, show, nullptr);
  EVrun_until([] { return false; }, 200);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  dragSteps(scrollBarOf(scale), label, &n, state);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  dragRaw.seconds += seconds, dragRaw.runs += n;
  state.SetItemsProcessed(n);
  XtDestroyWidget(scale);
  XtDestroyWidget(label);
}
BENCHMARK(BM_DragToLabelRawMotif)->Iterations(300);

// 1000 keystrokes into a focused text widget: a digit, then BackSpace, and so on; each waits
// until the widget shows it. perKey (when given) gets the time of each key.
double typeKeys(Widget w, int keys, std::vector<double>* perKey = nullptr,
                bool digitsOnly = false) {
  Display* dpy = XtDisplay(w);
  pointAt(w);
  clickUntil(w, [] { return false; });
  KeyCode backSpace = XKeysymToKeycode(dpy, XK_BackSpace);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < keys; ++i) {
    auto keyStart = std::chrono::steady_clock::now();
    bool digit = digitsOnly || i % 2 == 0;
    KeyCode code = digit ? XKeysymToKeycode(dpy, XK_1 + i % 9) : backSpace;
    XmTextPosition length = XmTextGetLastPosition(w);
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    XFlush(dpy);
    EVrun_until([&] { return XmTextGetLastPosition(w) != length; }, 500);
    if (perKey)
      perKey->push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - keyStart).count());
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr int kKeys = 1000;

void keysThroughObjects(benchmark::State& state, const char* type, int mode, Side* side,
                        bool linkedLabel) {
  OMobj_id parent = host();
  for (auto _ : state) {
    OMpush_ctx(place(), 0, 0, 0);
    OMobj_id field = shown(type, "keysField", place(), parent, 10, 10, 300, 36);
    OMset_int_val(prop(field, "updateMode"), mode);
    OMobj_id label = OMnull_obj;
    if (linkedLabel) {
      label = shown("UIlabel", "keysLabel", place(), parent, 10, 60, 300, 24);
      OMset_obj_ref(prop(label, "label"), prop(field, "value"), 0);
    }
    OMpop_ctx(place());
    EVrun_until([] { return false; }, 100);
    side->seconds += typeKeys(UIobjIdToWidget(field), kKeys);
    side->runs += kKeys;
    if (linkedLabel) OMdestroy_obj(label, 0);
    OMdestroy_obj(field, 0);
  }
}

void BM_KeysFieldMode1(benchmark::State& state) {
  keysThroughObjects(state, "UIfield", 1, &keysField1, false);
}
BENCHMARK(BM_KeysFieldMode1)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_KeysFieldMode8Linked(benchmark::State& state) {
  keysThroughObjects(state, "UIfield", 8, &keysField8, true);
}
BENCHMARK(BM_KeysFieldMode8Linked)->Unit(benchmark::kMillisecond)->Iterations(1);

void keysRaw(benchmark::State& state, XtCallbackProc callback, Side* side) {
  Widget parent = UIobjIdToWidget(host());
  static Widget label = nullptr;
  for (auto _ : state) {
    Widget w = XtVaCreateManagedWidget("rawKeys", xmTextWidgetClass, parent, XmNx, 10, XmNy, 10,
                                       XmNwidth, 300, XmNheight, 36, nullptr);
    label = XtVaCreateManagedWidget("rawKeysLabel", xmLabelWidgetClass, parent, XmNx, 10, XmNy, 60,
                                    XmNwidth, 300, XmNheight, 24, XmNrecomputeSize, False, nullptr);
    XtAddCallback(w, XmNvalueChangedCallback, callback, &label);
    EVrun_until([] { return false; }, 100);
    side->seconds += typeKeys(w, kKeys);
    side->runs += kKeys;
    XtDestroyWidget(w);
    XtDestroyWidget(label);
  }
}

void BM_KeysRawTextEmptyCallback(benchmark::State& state) {
  keysRaw(
      state, [](Widget, XtPointer, XtPointer) {}, &keysRawText);
}
BENCHMARK(BM_KeysRawTextEmptyCallback)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_KeysRawTextParseToLabel(benchmark::State& state) {
  keysRaw(
      state,
      [](Widget w, XtPointer data, XtPointer) {
        char* text = XmTextGetString(w);
        char shown[64];
        std::snprintf(shown, sizeof shown, "%.10g", std::strtod(text, nullptr));
        XtFree(text);
        XmString s = XmStringCreateLocalized(shown);
        XtVaSetValues(*static_cast<Widget*>(data), XmNlabelString, s, nullptr);
        XmStringFree(s);
      },
      &keysRawParse);
}
BENCHMARK(BM_KeysRawTextParseToLabel)->Unit(benchmark::kMillisecond)->Iterations(1);

// A text in mode 8 writes its whole text on every key: the last keys must not cost much more
// than the first as the text grows.
void BM_KeysTextMode8Growing(benchmark::State& state) {
  OMobj_id parent = host();
  for (auto _ : state) {
    OMpush_ctx(place(), 0, 0, 0);
    OMobj_id text = shown("UItext", "growing", place(), parent, 10, 10, 300, 36);
    OMset_int_val(prop(text, "updateMode"), 8);
    OMpop_ctx(place());
    EVrun_until([] { return false; }, 100);
    std::vector<double> perKey;
    typeKeys(UIobjIdToWidget(text), kKeys, &perKey, true);
    for (int i = 0; i < 100; ++i) textFirst100 += perKey[static_cast<size_t>(i)];
    for (int i = kKeys - 100; i < kKeys; ++i) textLast100 += perKey[static_cast<size_t>(i)];
    OMdestroy_obj(text, 0);
  }
}
BENCHMARK(BM_KeysTextMode8Growing)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same typing into a plain text widget: how much of the growth is the widget's own.
void BM_KeysRawTextGrowing(benchmark::State& state) {
  Widget parent = UIobjIdToWidget(host());
  for (auto _ : state) {
    Widget w = XtVaCreateManagedWidget("rawGrowing", xmTextWidgetClass, parent, XmNx, 10, XmNy, 10,
                                       XmNwidth, 300, XmNheight, 36, nullptr);
    XtAddCallback(
        w, XmNvalueChangedCallback, [](Widget, XtPointer, XtPointer) {}, nullptr);
    EVrun_until([] { return false; }, 100);
    std::vector<double> perKey;
    typeKeys(w, kKeys, &perKey, true);
    for (int i = 0; i < 100; ++i) rawFirst100 += perKey[static_cast<size_t>(i)];
    for (int i = kKeys - 100; i < kKeys; ++i) rawLast100 += perKey[static_cast<size_t>(i)];
    XtDestroyWidget(w);
  }
}
BENCHMARK(BM_KeysRawTextGrowing)->Unit(benchmark::kMillisecond)->Iterations(1);

// A server of the run's own when none is given: Xvfb picks a free display and writes its
// number on a pipe (-displayfd). Answers its process id, or -1.
pid_t startXvfb() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    // The server's notes on the displays it tried are not the benchmark's output.
    int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) dup2(quiet, 1), dup2(quiet, 2);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // The server writes the number, then a newline: the pipe stays open until both are read.
  std::string number;
  char c = 0;
  while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    if (pid > 0) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
    return -1;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return pid;
}

}  // namespace

// Without arguments of its own, the repetitions run five times in random order.
int main(int argc, char** argv) {
  pid_t xvfb = -1;
  if (!std::getenv("DISPLAY")) {
    xvfb = startXvfb();
    if (xvfb < 0) {
      std::fprintf(stderr, "ui_bench needs a display: set DISPLAY or install Xvfb\n");
      return 0;
    }
  }
  std::vector<char*> args(argv, argv + argc);
  char repetitions[] = "--benchmark_repetitions=5";
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  bool given = false;
  for (int i = 1; i < argc; ++i)
    given = given || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
  if (!given) args.insert(args.begin() + 1, {repetitions, interleave});
  argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  argv = args.data();
  char name[] = "ui_bench";
  char* xtArgv[] = {name, nullptr};
  int xtArgc = 1;
  UIinit();
  UIglobal_init(&xtArgc, xtArgv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  ratio("property -> label text", textViaObjects, textRaw, ">= 0.6");
  ratio("XTest click -> do written", clickViaObjects, clickRaw, ">= 0.8");
  ratio("\"value\" set and flushed -> slider (per set)", sliderSetViaObjects, sliderSetRaw,
        ">= 0.9, no more X requests");
  ratio("XTest drag -> value -> linked label (per step)", dragViaObjects, dragRaw, ">= 0.8");
  ratio("keys into a field, mode 1", keysField1, keysRawText, ">= 0.9");
  ratio("keys into a field, mode 8 with a linked label", keysField8, keysRawParse, ">= 0.7");
  if (textFirst100 > 0)
    std::printf("text in mode 8, last 100 keys / first 100: %.2f (goal <= 1.5)\n",
                textLast100 / textFirst100);
  if (rawFirst100 > 0)
    std::printf("  a plain text widget, last 100 keys / first 100: %.2f\n",
                rawLast100 / rawFirst100);
  printTable();
  if (xvfb > 0) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
  return 0;
}
