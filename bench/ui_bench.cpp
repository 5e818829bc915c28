// The interface kit through objects against the same widgets made directly with Motif, in one
// run on one server: a mixed set of controls instanced and destroyed (wall time, client CPU,
// X requests, memory), property updates, clicks, drags and keys. Repetitions run in random
// order; a table of medians and their ratios ends the output. Uses $DISPLAY, or starts an
// Xvfb of its own when none is set.
#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/CascadeB.h>
#include <Xm/DragDrop.h>
#include <Xm/FileSB.h>
#include <Xm/Label.h>
#include <Xm/List.h>
#include <Xm/MainW.h>
#include <Xm/MessageB.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
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
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "svc/container.h"
#include "svc/ev.h"
#include "svc/translate.h"
#include "svc/wt.h"
#include "ui/Icon.h"
#include "ui/add_cmd.h"
#include "ui/core.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/init.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/palette.h"

#include "interface_file.h"
#include "mixed.h"

namespace {

struct Side {
  double seconds = 0;
  double requests = 0;
  long runs = 0;
  std::vector<double> perItem;  // seconds an item of each timed run (one a repetition)
  // A timed run of n items.
  void add(double runSeconds, long n) {
    seconds += runSeconds, runs += n;
    if (n > 0) perItem.push_back(runSeconds / static_cast<double>(n));
  }
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

// Adds one measured run to a side's totals (wall seconds, X requests) and shows the requests.
void record(Side* side, benchmark::State& state, double seconds, unsigned long requests) {
  side->seconds += seconds;
  side->requests += static_cast<double>(requests);
  side->runs += 1;
  state.counters["requests"] = static_cast<double>(requests);
}

// ---- The mixed set: instancing and destruction ----------------------------------------------

// What one phase cost: wall, client CPU and server CPU seconds, X requests, per control.
struct Cost {
  double wall = 0, cpu = 0, server = 0, requests = 0;
};

// The process id of the benchmark's own X server, when it started one.
pid_t serverProcess = -1;

// The server's CPU seconds so far (user and system), or 0 when it is not the benchmark's own.
// The kernel counts in clock ticks: a phase's figure is good to about 10 ms in all.
double serverCpuNow() {
  if (serverProcess <= 0) return 0;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(serverProcess));
  FILE* f = std::fopen(path, "r");
  if (!f) return 0;
  char line[1024];
  size_t got = std::fread(line, 1, sizeof line - 1, f);
  std::fclose(f);
  line[got] = 0;
  // Fields after the command's closing parenthesis: state is the 3rd, utime the 14th.
  const char* at = std::strrchr(line, ')');
  if (!at) return 0;
  unsigned long user = 0, system = 0;
  if (std::sscanf(at + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) !=
      2)
    return 0;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Meter {
  Display* dpy;
  unsigned long request;
  std::chrono::steady_clock::time_point wall;
  double cpu, server;

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
    server = serverCpuNow();
    wall = std::chrono::steady_clock::now();
  }
  // The phase's cost per control, after everything it caused has been handled.
  Cost read(int count) const {
    mixed::drain(dpy);
    Cost c;
    c.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    c.cpu = cpuNow() - cpu;
    c.server = serverCpuNow() - server;
    c.requests = static_cast<double>(XNextRequest(dpy) - request);
    c.wall /= count, c.cpu /= count, c.server /= count, c.requests /= count;
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
  if (serverProcess > 0) note(phase + " server CPU", side, c.server);
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

// What a round cost: its instancing and its destroy.
struct RoundCost {
  Cost instance, destroy;
};

// Notes a round's figures for a side: a count of kMixed as the mixed set's, kMemory as the
// destroy of the larger set.
void noteRound(int side, int count, const RoundCost& c) {
  if (count == kMixed) {
    noteCost("instance", side, c.instance);
    noteCost("destroy", side, c.destroy);
  } else {
    note("destroy wall (5000)", side, c.destroy.wall);
    note("destroy client CPU (5000)", side, c.destroy.cpu);
    if (serverProcess > 0) note("destroy server CPU (5000)", side, c.destroy.server);
  }
}

// Instances count controls through objects, then destroys them.
RoundCost objectsRound(int count) {
  OMobj_id parent = host();
  Display* dpy = display();
  mixed::pointerAway(dpy);
  RoundCost c;
  Meter made(dpy);
  OMobj_id group = OMcreate_obj(OMstr_to_name("mixedGroup"), OM_KIND_GROUP, place(), OMnull_obj, 0);
  OMpush_ctx(place(), 0, 0, 0);
  mixed::makeObjects(group, parent, count);
  OMpop_ctx(place());
  c.instance = made.read(count);
  Meter gone(dpy);
  OMdestroy_obj(group, 0);
  c.destroy = gone.read(count);
  return c;
}

// The same widgets made directly, then destroyed.
RoundCost rawRound(int count) {
  Widget parent = UIobjIdToWidget(host());
  Display* dpy = display();
  mixed::pointerAway(dpy);
  std::vector<Widget> widgets;
  RoundCost c;
  Meter made(dpy);
  mixed::makeRaw(parent, count, &widgets);
  c.instance = made.read(count);
  Meter gone(dpy);
  mixed::destroyRaw(parent, &widgets);
  c.destroy = gone.read(count);
  return c;
}

// One round first, unmeasured, on each side: fonts, classes and caches are loaded once.
void warmUp() {
  static bool done = false;
  if (done) return;
  done = true;
  objectsRound(kMixed / 10);
  rawRound(kMixed / 10);
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
    noteRound(0, kMixed, objectsRound(kMixed));
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
    noteRound(1, kMixed, rawRound(kMixed));
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  counters(state, "raw");
}
BENCHMARK(BM_MixedRawMotif)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// The windows at the top of the display's screen.
unsigned topWindows(Display* dpy) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) return 0;
  if (children) XFree(children);
  return count;
}

// Memory is measured in a process of its own for each side (this program again, with
// --memory-side): in this one, what a side frees is reused by the next, and the resident size
// of the second barely moves. The server takes the child's 5000 controls away after it has
// gone, which takes it a while: the next measurement waits for that (the child's windows gone
// from the screen), or it would share the server with it.
void memoryInFreshProcess(int side) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return;
  self[n] = 0;
  std::string command = std::string("'") + self + "' --memory-side=" + (side ? "raw" : "objects");
  Display* dpy = display();
  const unsigned before = topWindows(dpy);
  FILE* child = popen(command.c_str(), "r");
  if (!child) return;
  double heapPer = 0, rssPer = 0;
  bool read = std::fscanf(child, "%lf %lf", &heapPer, &rssPer) == 2;
  if (pclose(child) == 0 && read) {
    note("heap per control", side, heapPer);
    note("RSS per control", side, rssPer);
  }
  for (int i = 0; i < 2000 && topWindows(dpy) > before; ++i) usleep(1000);
  mixed::drain(dpy);
}

void BM_MixedMemoryThroughObjects(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    noteRound(0, kMemory, objectsRound(kMemory));
    memoryInFreshProcess(0);
  }
}
BENCHMARK(BM_MixedMemoryThroughObjects)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(2);

void BM_MixedMemoryRawMotif(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    noteRound(1, kMemory, rawRound(kMemory));
    memoryInFreshProcess(1);
  }
}
BENCHMARK(BM_MixedMemoryRawMotif)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);

// ---- An interface file of 200 objects: instanced and painted a first time ------------------

// The window is mapped and everything its mapping caused (its first paint) has been handled.
void waitForFirstPaint(Display* dpy, Widget shell) {
  for (int i = 0; i < 1000; ++i) {
    mixed::drain(dpy);
    XWindowAttributes a;
    if (XtWindow(shell) && XGetWindowAttributes(dpy, XtWindow(shell), &a) &&
        a.map_state == IsViewable)
      break;
    usleep(1000);
  }
  mixed::drain(dpy);
}

Widget shellOf(Widget w) {
  while (w && !XtIsShell(w)) w = XtParent(w);
  return w;
}

constexpr int kFileObjects = 200;

// The file bench/interface200.yaml through the loader uirun uses: every object made and
// instanced in one context, then the window shown; then taken away. False (with the error in
// *error) when the file did not load.
bool fileRoundThroughLoader(RoundCost* c, std::string* error) {
  Display* dpy = display();
  mixed::pointerAway(dpy);
  Meter made(dpy);
  UIloadResult loaded = UIloadInterfaceFile(UI_BENCH_DIR "/interface200.yaml");
  if (!loaded.ok || loaded.objects.empty()) {
    *error = loaded.errors.empty() ? "not loaded" : loaded.errors[0].text();
    return false;
  }
  Widget shell = shellOf(UIobjIdToWidget(loaded.objects[0]));
  waitForFirstPaint(dpy, shell);
  c->instance = made.read(kFileObjects);
  Meter gone(dpy);
  for (OMobj_id id : loaded.objects) OMdestroy_obj(id, 0);
  c->destroy = gone.read(kFileObjects);
  return true;
}

// The same window made directly, as a C program would: the shell, its main window and work
// area, and the 200 widgets of the mixed set created unmanaged and managed as one batch.
RoundCost fileRoundRaw() {
  Display* dpy = display();
  Widget app = UIgetDisplayContext(dpy)->_appShell;
  mixed::pointerAway(dpy);
  RoundCost c;
  Meter made(dpy);
  Widget shell =
      XtVaCreatePopupShell("bench200", topLevelShellWidgetClass, app, XmNtitle, "bench200",
                           XmNallowShellResize, True, XmNdeleteResponse, XmDO_NOTHING, nullptr);
  Widget main = XtVaCreateManagedWidget("bench200MW", xmMainWindowWidgetClass, shell, XmNwidth, 960,
                                        XmNheight, 150, XmNspacing, 0, XmNmainWindowMarginWidth, 0,
                                        XmNmainWindowMarginHeight, 0, nullptr);
  Widget work = XtVaCreateManagedWidget("bench200WA", containerWidgetClass, main, XmNwidth, 960,
                                        XmNheight, 150, nullptr);
  XmMainWindowSetAreas(main, nullptr, nullptr, nullptr, nullptr, work);
  std::vector<Widget> widgets;
  mixed::makeRaw(work, kFileObjects, &widgets);
  XtPopup(shell, XtGrabNone);
  waitForFirstPaint(dpy, shell);
  c.instance = made.read(kFileObjects);
  Meter gone(dpy);
  XtDestroyWidget(shell);
  c.destroy = gone.read(kFileObjects);
  return c;
}

void noteFile(int side, const RoundCost& c) {
  noteCost("file 200 + paint", side, c.instance);
  noteCost("file 200 destroy", side, c.destroy);
}

void BM_Interface200ThroughLoader(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    RoundCost c;
    std::string error;
    if (!fileRoundThroughLoader(&c, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    state.SetIterationTime(c.instance.wall * kFileObjects);
    noteFile(0, c);
  }
}
BENCHMARK(BM_Interface200ThroughLoader)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

void BM_Interface200RawMotif(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    RoundCost c = fileRoundRaw();
    state.SetIterationTime(c.instance.wall * kFileObjects);
    noteFile(1, c);
  }
}
BENCHMARK(BM_Interface200RawMotif)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The measures of the instancing benchmarks, in the order shown, with their goals.
const std::pair<const char*, const char*> kMeasures[] = {
    {"instance wall", "<= 1.15"},
    {"instance client CPU", "<= 1.5"},
    {"instance server CPU", ""},
    {"instance X requests", "<= 1.05"},
    {"destroy wall", "<= 1.1"},
    {"destroy client CPU", ""},
    {"destroy server CPU", ""},
    {"destroy X requests", ""},
    {"destroy wall (5000)", "linear"},
    {"destroy client CPU (5000)", ""},
    {"destroy server CPU (5000)", ""},
    {"heap per control", ""},
    {"RSS per control", "<= 1.5"},
    {"file 200 + paint wall", "<= 1.2"},
    {"file 200 + paint client CPU", ""},
    {"file 200 + paint server CPU", ""},
    {"file 200 + paint X requests", ""},
    {"file 200 destroy wall", ""},
    {"file 200 destroy client CPU", ""},
    {"file 200 destroy X requests", ""},
    // Rates (paired only): objects' rate / raw's.
    {"property -> label text (rate)", ">= 0.9"},
    {"value -> slider (rate)", ">= 0.9"}};

// The medians of the repetitions, side by side, and their ratio.
void printTable() {
  auto& s = samples();
  if (s.empty()) return;
  std::printf("\nmixed set of %d controls (%d for memory), medians of %zu repetitions\n", kMixed,
              kMemory, s["instance wall"].values[0].size());
  std::printf("%-28s %14s %14s %8s  %s\n", "per control", "objects", "raw Motif", "ratio", "goal");
  for (const auto& [measure, goal] : kMeasures) {
    auto found = s.find(measure);
    if (found == s.end()) continue;
    double o = median(found->second.values[0]), r = median(found->second.values[1]);
    bool seconds = std::string(measure).find("wall") != std::string::npos ||
                   std::string(measure).find("CPU") != std::string::npos;
    double scale = seconds ? 1e6 : 1;
    const char* unit = seconds                                                         ? "us"
                       : std::string(measure).find("per control") != std::string::npos ? "B"
                                                                                       : "";
    std::printf("%-28s %12.2f%-2s %12.2f%-2s %8.2f  %s\n", measure, o * scale, unit, r * scale,
                unit, r > 0 ? o / r : 0.0, goal);
  }
  // How the destroy's cost per control grows from 1000 to 5000 controls, on each side.
  for (const char* phase : {"destroy wall", "destroy client CPU", "destroy server CPU"}) {
    auto small = s.find(phase), large = s.find(std::string(phase) + " (5000)");
    if (small == s.end() || large == s.end()) continue;
    double o = median(small->second.values[0]), r = median(small->second.values[1]);
    if (o > 0 && r > 0)
      std::printf("%s per control, 5000 / 1000: objects %.2f, raw Motif %.2f (linear: about 1)\n",
                  phase, median(large->second.values[0]) / o, median(large->second.values[1]) / r);
  }
}

// ---- Paired rounds --------------------------------------------------------------------------
// The machine's speed moves over seconds: one side's own samples within a run spread by half,
// and the medians of the two sides, taken apart, move with it. Here an objects round and a raw
// round run one after the other (each first in turn), and each pair gives one ratio: two
// rounds a fraction of a second apart see the same machine.

constexpr int kPairs = 6;

std::map<std::string, std::vector<double>>& pairedRatios() {
  static std::map<std::string, std::vector<double>> r;
  return r;
}

void notePair(const std::string& measure, double objects, double raw) {
  if (objects > 0 && raw > 0) pairedRatios()[measure].push_back(objects / raw);
}

void notePairs(const std::string& made, const std::string& gone, const RoundCost& o,
               const RoundCost& r) {
  notePair(made + " wall", o.instance.wall, r.instance.wall);
  notePair(made + " client CPU", o.instance.cpu, r.instance.cpu);
  notePair(gone + " wall", o.destroy.wall, r.destroy.wall);
}

// Pair k's two rounds, the objects one first when k is even.
void inTurn(int k, const std::function<void()>& objects, const std::function<void()>& raw) {
  if (k % 2 == 0) {
    objects();
    raw();
  } else {
    raw();
    objects();
  }
}

void BM_MixedPaired(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    for (int k = 0; k < kPairs; ++k) {
      RoundCost o, r;
      inTurn(
          k, [&] { o = objectsRound(kMixed); }, [&] { r = rawRound(kMixed); });
      notePairs("instance", "destroy", o, r);
    }
  }
}
BENCHMARK(BM_MixedPaired)->Unit(benchmark::kMillisecond)->Iterations(1);

// The destroy of the larger set, in pairs. The memory rounds give it two samples a side, too few
// to tell its ratio or how its cost per control grows: their medians moved from 0.9 to 1.4 of
// raw's between runs of the same code. These rounds add to the samples of both sides' medians.
void BM_Mixed5000Paired(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    for (int k = 0; k < kPairs / 2; ++k) {
      RoundCost o, r;
      inTurn(
          k, [&] { o = objectsRound(kMemory); }, [&] { r = rawRound(kMemory); });
      noteRound(0, kMemory, o);
      noteRound(1, kMemory, r);
      notePair("destroy wall (5000)", o.destroy.wall, r.destroy.wall);
    }
  }
}
BENCHMARK(BM_Mixed5000Paired)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Interface200Paired(benchmark::State& state) {
  warmUp();
  for (auto _ : state) {
    for (int k = 0; k < 3 * kPairs; ++k) {
      RoundCost o, r;
      std::string error;
      bool loaded = true;
      inTurn(
          k, [&] { loaded = fileRoundThroughLoader(&o, &error); }, [&] { r = fileRoundRaw(); });
      if (!loaded) {
        state.SkipWithError(error.c_str());
        return;
      }
      notePairs("file 200 + paint", "file 200 destroy", o, r);
    }
  }
}
BENCHMARK(BM_Interface200Paired)->Unit(benchmark::kMillisecond)->Iterations(1);

// The pairs' ratios: their median and the middle half of them.
void printPairs() {
  auto& p = pairedRatios();
  if (p.empty()) return;
  std::printf("\npaired rounds, objects / raw of each pair: median [middle half] (pairs)\n");
  for (const auto& [measure, goal] : kMeasures) {
    auto found = p.find(measure);
    if (found == p.end() || found->second.empty()) continue;
    std::vector<double> v = found->second;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    std::printf("%-30s %5.2f [%4.2f %4.2f] (%zu)  %s\n", measure, median(v), v[n / 4],
                v[(3 * n) / 4], n, goal);
  }
}

// ---- Property updates and clicks -----------------------------------------------------------

Side textViaObjects, textRaw, clickViaObjects, clickRaw;

// Property -> label text, against XtSetValues of the label string.
void BM_LabelTextThroughObjects(benchmark::State& state) {
  mixed::pointerAway(display());  // as the value benchmarks below
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
  textViaObjects.add(seconds, n);
  state.SetItemsProcessed(n);
  OMdestroy_obj(label, 0);
}
BENCHMARK(BM_LabelTextThroughObjects)->Iterations(20000);

// The raw side's set of a label's text: n as its text, through XtSetValues.
void setRawLabelText(Widget w, long n) {
  std::string value = std::to_string(n);
  XmString s = XmStringGenerate(const_cast<char*>(value.c_str()),
                                const_cast<char*>(XmFONTLIST_DEFAULT_TAG), XmCHARSET_TEXT, nullptr);
  XtVaSetValues(w, XmNlabelString, s, nullptr);
  XmStringFree(s);
}

void BM_LabelTextRawMotif(benchmark::State& state) {
  mixed::pointerAway(display());
  Widget w = XtVaCreateManagedWidget("rawText", xmLabelWidgetClass, UIobjIdToWidget(host()),
                                     XmNwidth, 80, XmNheight, 20, XmNrecomputeSize, False, nullptr);
  Display* dpy = display();
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) setRawLabelText(w, n++);
  XSync(dpy, False);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  textRaw.add(seconds, n);
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
  clickViaObjects.add(seconds, n);
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
  clickRaw.add(seconds, n);
  state.SetItemsProcessed(n);
  XtDestroyWidget(w);
}
BENCHMARK(BM_ClickToCallbackRawMotif)->Iterations(200);

// The rates of both sides and their ratio: from the medians of the repetitions where each was
// timed on its own (the mean over all of them follows), else from the totals.
void ratio(const char* what, const Side& objects, const Side& raw, const char* goal) {
  if (!objects.runs || !raw.runs) return;
  double meanO = objects.seconds / objects.runs, meanR = raw.seconds / raw.runs;
  if (objects.perItem.empty() || raw.perItem.empty()) {
    std::printf("%s: objects %.1f/s, raw Motif %.1f/s, ratio %.2f (goal %s)\n", what, 1 / meanO,
                1 / meanR, meanR / meanO, goal);
  } else {
    double o = median(objects.perItem), r = median(raw.perItem);
    std::printf(
        "%s: objects %.1f/s, raw Motif %.1f/s, ratio %.2f (goal %s; medians of %zu and %zu "
        "repetitions, ratio of the means %.2f)\n",
        what, 1 / o, 1 / r, r / o, goal, objects.perItem.size(), raw.perItem.size(), meanR / meanO);
  }
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

// A slider from 0 to 1000 in whole steps, 200 x 60 in the host's corner, made in one context.
OMobj_id benchSlider(const char* name) {
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id slider = shown("UIslider", name, place(), host(), 0, 0, 200, 60);
  OMset_real_val(prop(slider, "min"), 0);
  OMset_real_val(prop(slider, "max"), 1000);
  OMset_int_val(prop(slider, "decimalPoints"), 0);
  OMpop_ctx(place());
  return slider;
}

// "value" set and flushed -> slider, against XtSetValues(XmNvalue) on a scale.
// Both sides of the value benchmarks start with the pointer in the far corner, as the mixed
// set does: with it over the host, the host has the keyboard focus (no window manager) and
// every set of a scale costs four requests instead of two and about seven times the wall
// time, for whichever side happened to run first.
void BM_SliderValueThroughObjects(benchmark::State& state) {
  mixed::pointerAway(display());
  OMobj_id slider = benchSlider("benchSlider");
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
  sliderSetViaObjects.add(seconds, n);
  sliderSetViaObjects.requests += static_cast<double>(XNextRequest(dpy) - before);
  state.SetItemsProcessed(n);
  OMdestroy_obj(slider, 0);
}
BENCHMARK(BM_SliderValueThroughObjects)->Iterations(5000);

void BM_SliderValueRawMotif(benchmark::State& state) {
  mixed::pointerAway(display());
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
  sliderSetRaw.add(seconds, n);
  sliderSetRaw.requests += static_cast<double>(XNextRequest(dpy) - before);
  state.SetItemsProcessed(n);
  XtDestroyWidget(w);
}
BENCHMARK(BM_SliderValueRawMotif)->Iterations(5000);

// The same two rates measured in pairs of blocks on targets made once, the sides one after the
// other (each first in turn): each pair gives objects' rate / raw's rate. Two blocks a moment
// apart see the same machine; repetitions seconds apart, as above, may not.
constexpr int kRatePairs = 20;

// Seconds to run body, its requests handled by the server.
double timedBlock(Display* dpy, const std::function<void()>& body) {
  XSync(dpy, False);
  auto start = std::chrono::steady_clock::now();
  body();
  XSync(dpy, False);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void noteRatePair(const std::string& measure, double objectsSeconds, double rawSeconds) {
  notePair(measure, rawSeconds, objectsSeconds);  // objects' rate / raw's rate
}

// kRatePairs pairs of blocks of `block` sets, each side first in turn. objectsSet(n) and
// rawSet(n) make one set each, n counting the sets of both sides.
void ratePairs(Display* dpy, const char* measure, int block,
               const std::function<void(long)>& objectsSet,
               const std::function<void(long)>& rawSet) {
  long n = 0;
  for (int k = 0; k < kRatePairs; ++k) {
    double o = 0, r = 0;
    inTurn(
        k,
        [&] {
          o = timedBlock(dpy, [&] {
            for (int i = 0; i < block; ++i) objectsSet(n++);
          });
        },
        [&] {
          r = timedBlock(dpy, [&] {
            for (int i = 0; i < block; ++i) rawSet(n++);
          });
        });
    noteRatePair(measure, o, r);
  }
}

void BM_LabelTextPaired(benchmark::State& state) {
  mixed::pointerAway(display());
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id label = shown("UIlabel", "pairedText", place(), parent, 0, 0, 80, 20);
  OMpop_ctx(place());
  OMobj_id text = OMfind_subobj(label, OMstr_to_name("label"), 0);
  // Beside the other, not over it: a covered label is not drawn.
  Widget w =
      XtVaCreateManagedWidget("rawPairedText", xmLabelWidgetClass, UIobjIdToWidget(parent), XmNx,
                              100, XmNwidth, 80, XmNheight, 20, XmNrecomputeSize, False, nullptr);
  Display* dpy = display();
  for (auto _ : state) {
    ratePairs(
        dpy, "property -> label text (rate)", 5000,
        [&](long n) { OMset_str_val(text, std::to_string(n).c_str()); },
        [&](long n) { setRawLabelText(w, n); });
  }
  OMdestroy_obj(label, 0);
  XtDestroyWidget(w);
}
BENCHMARK(BM_LabelTextPaired)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SliderValuePaired(benchmark::State& state) {
  mixed::pointerAway(display());
  OMobj_id slider = benchSlider("pairedSlider");
  OMobj_id value = prop(slider, "value");
  // With an arrow at each end, as the kit's slider.
  Widget w =
      XtVaCreateManagedWidget("rawPairedScale", xmScaleWidgetClass, UIobjIdToWidget(host()), XmNx,
                              220, XmNwidth, 200, XmNheight, 60, XmNorientation, XmHORIZONTAL,
                              XmNshowArrows, XmEACH_SIDE, XmNminimum, 0, XmNmaximum, 1000, nullptr);
  Display* dpy = display();
  EVrun_until([] { return false; }, 100);
  for (auto _ : state) {
    ratePairs(
        dpy, "value -> slider (rate)", 1000,
        [&](long n) {
          OMset_real_val(value, static_cast<double>(n % 1000));
          XFlush(dpy);
        },
        [&](long n) {
          XtVaSetValues(w, XmNvalue, static_cast<int>(n % 1000), nullptr);
          XFlush(dpy);
        });
  }
  OMdestroy_obj(slider, 0);
  XtDestroyWidget(w);
}
BENCHMARK(BM_SliderValuePaired)->Unit(benchmark::kMillisecond)->Iterations(1);

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
  dragViaObjects.add(seconds, n);
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
  dragRaw.add(seconds, n);
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

// ---- Lists and menus -------------------------------------------------------------------------

constexpr int kListItems = 10000;
constexpr int kMenuItems = 200;
Side listFillViaObjects, listFillRaw, listClickViaObjects, listClickRaw, pulldownViaObjects,
    pulldownRaw, barRebuildViaObjects, barRebuildRaw;
long burstRebuilds = -1, choiceRebuilds = -1;

std::string itemText(int i) {
  return "item " + std::to_string(i);
}

// "stringdims" changed on a list holding 10,000 "strings" (the list is filled again from them)
// against XmListDeleteAllItems + XmListAddItems of as many new compound strings.
void BM_ListFillThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id list = shown("UIlist", "benchList", place(), parent, 0, 0, 200, 300);
  OMobj_id strings = prop(list, "strings");
  OMset_array_size(strings, kListItems);
  for (int i = 0; i < kListItems; ++i) OMset_str_array_val(strings, i, itemText(i).c_str());
  OMpop_ctx(place());
  Display* dpy = display();
  int count = kListItems;
  for (auto _ : state) {
    count = count == kListItems ? kListItems - 1 : kListItems;
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    OMset_int_val(prop(list, "stringdims"), count);
    XSync(dpy, False);
    listFillViaObjects.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    listFillViaObjects.runs += 1;
  }
  OMdestroy_obj(list, 0);
}
BENCHMARK(BM_ListFillThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ListFillRawMotif(benchmark::State& state) {
  Arg args[] = {{const_cast<char*>(XmNwidth), 200}, {const_cast<char*>(XmNheight), 300}};
  Widget list =
      XmCreateScrolledList(UIobjIdToWidget(host()), const_cast<char*>("rawList"), args, 2);
  XtManageChild(list);
  Display* dpy = display();
  int count = kListItems;
  for (auto _ : state) {
    count = count == kListItems ? kListItems - 1 : kListItems;
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    std::vector<XmString> items;
    items.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
      items.push_back(XmStringCreateLocalized(const_cast<char*>(itemText(i).c_str())));
    XmListDeleteAllItems(list);
    XmListAddItems(list, items.data(), count, 0);
    for (XmString x : items) XmStringFree(x);
    XSync(dpy, False);
    listFillRaw.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    listFillRaw.runs += 1;
  }
  XtDestroyWidget(XtParent(list));
}
BENCHMARK(BM_ListFillRawMotif)->Unit(benchmark::kMillisecond)->Iterations(10);

// Clicks on two items in turn until "selectedText" shows the clicked one (index written by
// the callback, text by the update), against the raw browse callback.
void clickItemAt(Widget list, int position) {
  Position x = 0, y = 0;
  Dimension w = 0, h = 0;
  XmListPosToBounds(list, position, &x, &y, &w, &h);
  Display* dpy = XtDisplay(list);
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(dpy, XtWindow(list), DefaultRootWindow(dpy), x + w / 2, y + h / 2, &rx, &ry,
                        &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XSync(dpy, False);
  // The list takes a press only after it has seen the pointer arrive.
  EVrun_until([] { return false; }, 2);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XFlush(dpy);
}

Widget listWidgetOf(OMobj_id id) {
  Widget sw = UIobjIdToWidget(id);
  WidgetList kids = nullptr;
  Cardinal n = 0;
  XtVaGetValues(sw, XmNchildren, &kids, XmNnumChildren, &n, nullptr);
  for (Cardinal i = 0; i < n; ++i)
    if (XmIsList(kids[i])) return kids[i];
  return nullptr;
}

void BM_ListClickThroughObjects(benchmark::State& state) {
  XtSetMultiClickTime(display(), 1);  // two clicks in a row are not a double click
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id list = shown("UIlist", "clickList", place(), parent, 0, 0, 200, 200);
  OMobj_id strings = prop(list, "strings");
  for (int i = 0; i < 5; ++i) OMset_str_array_val(strings, i, itemText(i).c_str());
  OMset_int_val(prop(list, "stringdims"), 5);
  OMpop_ctx(place());
  EVrun_until([] { return false; }, 200);
  Widget w = listWidgetOf(list);
  OMobj_id text = prop(list, "selectedText");
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    int position = 1 + static_cast<int>(n % 2);
    std::string want = itemText(position - 1);
    clickItemAt(w, position);
    EVrun_until(
        [&] {
          char* s = nullptr;
          bool done = OMget_str_val(text, &s, 0) == 1 && want == s;
          std::free(s);
          return done;
        },
        2000);
    ++n;
  }
  listClickViaObjects.seconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  listClickViaObjects.runs += n;
  state.SetItemsProcessed(n);
  OMdestroy_obj(list, 0);
}
BENCHMARK(BM_ListClickThroughObjects)->Iterations(200);

void BM_ListClickRawMotif(benchmark::State& state) {
  static int lastPosition = 0;
  Arg args[] = {{const_cast<char*>(XmNwidth), 200}, {const_cast<char*>(XmNheight), 200}};
  Widget list =
      XmCreateScrolledList(UIobjIdToWidget(host()), const_cast<char*>("rawClickList"), args, 2);
  std::vector<XmString> items;
  for (int i = 0; i < 5; ++i)
    items.push_back(XmStringCreateLocalized(const_cast<char*>(itemText(i).c_str())));
  XmListAddItems(list, items.data(), 5, 0);
  for (XmString x : items) XmStringFree(x);
  XtAddCallback(
      list, XmNbrowseSelectionCallback,
      [](Widget, XtPointer, XtPointer call) {
        lastPosition = static_cast<XmListCallbackStruct*>(call)->item_position;
      },
      nullptr);
  XtManageChild(list);
  XtManageChild(XtParent(list));
  EVrun_until([] { return false; }, 200);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  for (auto _ : state) {
    int position = 1 + static_cast<int>(n % 2);
    clickItemAt(list, position);
    EVrun_until([&] { return lastPosition == position; }, 2000);
    ++n;
  }
  listClickRaw.seconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  listClickRaw.runs += n;
  state.SetItemsProcessed(n);
  XtDestroyWidget(XtParent(list));
}
BENCHMARK(BM_ListClickRawMotif)->Iterations(200);

// A command list of kMenuItems commands, made once.
OMobj_id commandList(const char* name, int items) {
  OMobj_id list = OMcreate_obj_from_path("UIcmdList", name, place());
  for (int i = 0; i < items; ++i) {
    std::string cmdName = std::string(name) + "_cmd" + std::to_string(i);
    OMobj_id cmd = OMcreate_obj_from_path("UIcmd", cmdName.c_str(), place());
    OMset_str_val(prop(cmd, "label"), itemText(i).c_str());
    OMset_array_val(prop(list, "cmdList"), OM_ARRAY_APPEND, cmd, 0);
  }
  OMset_int_val(prop(list, "dims"), items);
  return list;
}

Widget benchBar() {
  static Widget bar = nullptr;
  if (!bar) {
    bar = XmCreateMenuBar(UIobjIdToWidget(host()), const_cast<char*>("benchBar"), nullptr, 0);
    XtManageChild(bar);
  }
  return bar;
}

// A pull-down of 200 commands made (and taken down) through UIcreateMenu, against the same
// pull-down of push buttons created unmanaged and managed at once.
void BM_PulldownThroughObjects(benchmark::State& state) {
  host();
  OMobj_id list = commandList("pulldown200", kMenuItems);
  Display* dpy = display();
  for (auto _ : state) {
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    Widget menu = UIcreateMenu(benchBar(), list, 1);
    XSync(dpy, False);
    pulldownViaObjects.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    pulldownViaObjects.runs += 1;
    state.PauseTiming();
    UIdisconnectMenuFromCmds(menu);
    XtDestroyWidget(XtParent(menu));
    EVrun_until([] { return false; }, 10);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PulldownThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_PulldownRawMotif(benchmark::State& state) {
  Display* dpy = display();
  for (auto _ : state) {
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    Widget menu = XmCreatePulldownMenu(benchBar(), const_cast<char*>("rawPulldown"), nullptr, 0);
    std::vector<Widget> buttons;
    for (int i = 0; i < kMenuItems; ++i) {
      Widget b = XtCreateWidget(itemText(i).c_str(), xmPushButtonWidgetClass, menu, nullptr, 0);
      XmString label = XmStringCreateLocalized(const_cast<char*>(itemText(i).c_str()));
      XtVaSetValues(b, XmNlabelString, label, nullptr);
      XmStringFree(label);
      buttons.push_back(b);
    }
    XtManageChildren(buttons.data(), static_cast<Cardinal>(buttons.size()));
    XSync(dpy, False);
    pulldownRaw.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    pulldownRaw.runs += 1;
    state.PauseTiming();
    XtDestroyWidget(XtParent(menu));
    EVrun_until([] { return false; }, 10);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PulldownRawMotif)->Unit(benchmark::kMillisecond)->Iterations(10);

// A shell whose bar holds 10 pull-downs of 20 commands: one label change, then the deferred
// rebuild; and how many rebuilds a burst of 100 changes and a choice cause.
void BM_BarRebuildThroughObjects(benchmark::State& state) {
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id top = OMcreate_obj_from_path("UIcmdList", "bar200", place());
  for (int m = 0; m < 10; ++m) {
    OMobj_id sub = commandList(("bar200_" + std::to_string(m)).c_str(), kMenuItems / 10);
    OMset_str_val(prop(sub, "label"), ("Menu " + std::to_string(m)).c_str());
    OMset_array_val(prop(top, "cmdList"), OM_ARRAY_APPEND, sub, 0);
  }
  OMset_int_val(prop(top, "dims"), 10);
  OMobj_id shell = OMcreate_obj_from_path("UIshell", "barShell", place());
  OMset_int_val(prop(shell, "visible"), 1);
  OMset_int_val(prop(shell, "width"), 900);
  OMset_int_val(prop(shell, "height"), 300);
  OMset_obj_ref(prop(shell, "menu"), top, 0);
  OMpop_ctx(place());
  EVrun_until([] { return false; }, 300);
  OMobj_id firstCmd = OMnull_obj;
  OMobj_id firstMenu = OMnull_obj;
  OMget_array_val(prop(top, "cmdList"), 0, &firstMenu, 1);
  OMget_array_val(prop(firstMenu, "cmdList"), 0, &firstCmd, 1);
  // Every build writes the item's "window" (a new bar may reuse the old one's address).
  OMobj_id window = prop(firstCmd, "window");
  auto builds = [&] { return OMget_obj_seq(window, OMnull_obj, 0); };
  Display* dpy = display();
  long n = 0;
  for (auto _ : state) {
    int before = builds();
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    OMset_str_val(prop(firstCmd, "label"), ("renamed " + std::to_string(n++)).c_str());
    EVrun_until([&] { return builds() != before; }, 2000);
    XSync(dpy, False);
    barRebuildViaObjects.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    barRebuildViaObjects.runs += 1;
  }
  // Counted, not timed: rebuilds after a burst of 100 changes, and after a choice.
  auto countRebuilds = [&](const std::function<void()>& change) {
    int seen = builds();
    long rebuilds = 0;
    change();
    for (int i = 0; i < 20; ++i) {
      EVrun_once(5);
      if (builds() != seen) ++rebuilds, seen = builds();
    }
    return rebuilds;
  };
  burstRebuilds = countRebuilds([&] {
    for (int i = 0; i < 100; ++i)
      OMset_str_val(prop(firstCmd, "label"), ("burst " + std::to_string(i)).c_str());
  });
  choiceRebuilds = countRebuilds([&] { OMset_int_val(prop(firstCmd, "do"), 1); });
  OMdestroy_obj(shell, 0);
  EVrun_until([] { return false; }, 50);
}
BENCHMARK(BM_BarRebuildThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BarRebuildRawMotif(benchmark::State& state) {
  Widget shell = XtVaAppCreateShell("rawBarShell", "UIbench", topLevelShellWidgetClass, display(),
                                    XmNwidth, 900, XmNheight, 300, nullptr);
  Widget mainWindow = XtVaCreateManagedWidget("rawMW", xmMainWindowWidgetClass, shell, nullptr);
  XtRealizeWidget(shell);
  Display* dpy = display();
  Widget bar = nullptr;
  for (auto _ : state) {
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    if (bar) XtDestroyWidget(bar);
    bar = XmCreateMenuBar(mainWindow, const_cast<char*>("rawBar"), nullptr, 0);
    std::vector<Widget> cascades;
    for (int m = 0; m < 10; ++m) {
      Widget menu = XmCreatePulldownMenu(bar, const_cast<char*>("rawMenu"), nullptr, 0);
      std::vector<Widget> buttons;
      for (int i = 0; i < kMenuItems / 10; ++i) {
        Widget b = XtCreateWidget(itemText(i).c_str(), xmPushButtonWidgetClass, menu, nullptr, 0);
        buttons.push_back(b);
      }
      XtManageChildren(buttons.data(), static_cast<Cardinal>(buttons.size()));
      cascades.push_back(XtVaCreateWidget("rawCascade", xmCascadeButtonWidgetClass, bar,
                                          XmNsubMenuId, menu, nullptr));
    }
    XtManageChildren(cascades.data(), static_cast<Cardinal>(cascades.size()));
    XtManageChild(bar);
    XtVaSetValues(mainWindow, XmNmenuBar, bar, nullptr);
    EVrun_until([] { return false; }, 0);
    XSync(dpy, False);
    barRebuildRaw.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    barRebuildRaw.runs += 1;
  }
  XtDestroyWidget(shell);
}
BENCHMARK(BM_BarRebuildRawMotif)->Unit(benchmark::kMillisecond)->Iterations(10);
// ---- Errors and dialogs ----------------------------------------------------------------------

Side reportsViaHandler, reportsRaw, burstViaHandler, burstRaw, dialogsViaObjects, dialogsRaw,
    fileViaObjects, fileRaw, messageViaObjects, messageRaw;
double turnViaLibrary = 0, turnRaw = 0;

// Standard output goes to /dev/null while a block runs (the console fallback's texts).
struct Quiet {
  Quiet() {
    std::fflush(stdout);
    saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~Quiet() {
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
  int saved = -1;
};

// The error dialogs now open (their boxes).
std::vector<Widget> errorBoxes() {
  std::vector<Widget> out;
  for (Cardinal i = 0; i < DefaultHiddenShell->core.num_popups; ++i) {
    Widget box = XtNameToWidget(DefaultHiddenShell->core.popup_list[i], "message_box");
    if (box && !UIisBeingDestroyed(box)) out.push_back(box);
  }
  return out;
}
void closeErrorDialogs() {
  EVrun_until([] { return UIpendingXErrors() == 0; }, 20000);
  for (Widget box : errorBoxes()) XtCallCallbacks(box, XmNokCallback, nullptr);
  EVrun_until([] { return false; }, 50);
}
// The five dialogs stand open, so that what follows is the console path being measured.
void fillErrorDialogs() {
  closeErrorDialogs();
  for (int i = 0; i < 5; ++i) UIerrorHandler(1, OMnull_obj, "filling");
  XSync(display(), False);
}

std::string reportText(int i) {
  return "report number " + std::to_string(i) +
         " about an element whose path is long enough to be wrapped over two lines of text";
}

void BM_ErrorReportsThroughHandler(benchmark::State& state) {
  fillErrorDialogs();
  for (auto _ : state) {
    Quiet quiet;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) UIerrorHandler(1, OMnull_obj, reportText(i).c_str());
    std::fflush(stdout);
    record(&reportsViaHandler, state,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0);
  }
  closeErrorDialogs();
}
BENCHMARK(BM_ErrorReportsThroughHandler)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same texts wrapped at 60 columns and written by a plain loop.
void BM_ErrorReportsRawLoop(benchmark::State& state) {
  for (auto _ : state) {
    Quiet quiet;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) {
      std::string text = reportText(i), out = "Error for element .\n\n";
      size_t from = 0;
      while (text.size() - from >= 60) {
        size_t end = text.rfind(' ', from + 59);
        if (end == std::string::npos || end <= from) end = from + 59;
        out.append(text, from, end - from);
        out += '\n';
        from = end;
      }
      out.append(text, from, std::string::npos);
      std::fputs("\n", stdout);
      std::fputs(out.c_str(), stdout);
      std::fputs("\n\n", stdout);
    }
    std::fflush(stdout);
    record(&reportsRaw, state,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0);
  }
}
BENCHMARK(BM_ErrorReportsRawLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

// The raw side's X error handler: counts, nothing else.
int countOnly(Display*, XErrorEvent*) {
  static int n = 0;
  ++n;
  return 0;
}

// A 10 ms Xt timer records the longest gap between its calls while a burst is handled.
struct Ticker {
  explicit Ticker(XtAppContext app) : app(app) { arm(); }
  ~Ticker() {
    if (id) XtRemoveTimeOut(id);
  }
  void arm() { id = XtAppAddTimeOut(app, 10, tick, this); }
  static void tick(XtPointer self, XtIntervalId*) {
    auto* t = static_cast<Ticker*>(self);
    auto now = std::chrono::steady_clock::now();
    if (t->ticks++)
      t->longest = std::max(t->longest, std::chrono::duration<double>(now - t->last).count());
    t->last = now;
    t->arm();
  }
  XtAppContext app;
  XtIntervalId id = 0;
  int ticks = 0;
  double longest = 0;
  std::chrono::steady_clock::time_point last;
};

void BM_BadRequestBurstThroughHandler(benchmark::State& state) {
  Display* dpy = display();
  fillErrorDialogs();
  for (auto _ : state) {
    Quiet quiet;
    Ticker ticker(UIdpyContext::_appContext);
    EVrun_until([&] { return ticker.ticks > 2; }, 1000);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) XFreePixmap(dpy, 0x1234567);
    XSync(dpy, False);
    EVrun_until([] { return UIpendingXErrors() == 0; }, 60000);
    record(&burstViaHandler, state,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0);
    EVrun_until([] { return false; }, 30);
    turnViaLibrary = std::max(turnViaLibrary, ticker.longest);
  }
  closeErrorDialogs();
}
BENCHMARK(BM_BadRequestBurstThroughHandler)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BadRequestBurstRawXlib(benchmark::State& state) {
  Display* dpy = display();
  XtAppContext app = UIdpyContext::_appContext;
  for (auto _ : state) {
    XErrorHandler previous = XSetErrorHandler(countOnly);
    Ticker ticker(app);
    while (ticker.ticks <= 2) XtAppProcessEvent(app, XtIMAll);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) XFreePixmap(dpy, 0x1234567);
    XSync(dpy, False);
    record(&burstRaw, state,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0);
    int until = ticker.ticks + 3;
    while (ticker.ticks < until) XtAppProcessEvent(app, XtIMAll);
    turnRaw = std::max(turnRaw, ticker.longest);
    XSetErrorHandler(previous);
  }
}
BENCHMARK(BM_BadRequestBurstRawXlib)->Unit(benchmark::kMillisecond)->Iterations(3);

OMobj_id dialogObject(const char* type, const std::string& name, OMobj_id group) {
  OMobj_id id = OMcreate_obj_from_path(type, name.c_str(), group);
  OMset_int_val(OMfind_subobj(id, OMstr_to_name("visible"), 0), 1);
  return id;
}

// The events the dialogs left (maps, exposures, focus) are read and dispatched after the
// timed part: left queued, every run would search a longer queue than the last.
void drainEvents() {
  XtAppContext app = UIdpyContext::_appContext;
  XSync(display(), False);
  while (XtAppPending(app)) XtAppProcessEvent(app, XtIMAll);
}

// One dialog of a type shown (mapped), then cancelled and destroyed, through objects.
void showAndCancel(const char* type, int count, Side* side, benchmark::State& state,
                   const char* pattern) {
  Display* dpy = display();
  XSync(dpy, False);
  unsigned long before = XNextRequest(dpy);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    OMobj_id group =
        OMcreate_obj(OMstr_to_name("benchDialogs"), OM_KIND_GROUP, place(), OMnull_obj, 0);
    OMpush_ctx(place(), 0, 0, 0);
    OMobj_id d = dialogObject(type, "dlg", group);
    if (pattern) OMset_str_val(OMfind_subobj(d, OMstr_to_name("searchPattern"), 0), pattern);
    OMpop_ctx(place());
    Widget box = UIobjIdToWidget(d);
    XSync(dpy, False);
    if (box) XtCallCallbacks(box, XmNcancelCallback, nullptr);
    OMdestroy_obj(group, 0);
  }
  XSync(dpy, False);
  record(side, state,
         std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
         XNextRequest(dpy) - before);
  drainEvents();
}

void cancelRaw(Widget w, XtPointer, XtPointer) {
  XtUnmanageChild(w);
}

// The same with Motif directly, made with the resources the library gives its dialogs: the
// title (the object's name), the OK and Cancel labels, no automatic unmanaging, the shell's
// close left to the program, the library's default font list for the box (its children take
// it from the box), Help unmanaged; the message box has an empty message at 200 x 100, the
// file box the folder's pattern and the translated list, filter and selection labels.
void showAndCancelRaw(Widget (*make)(Widget, String, ArgList, Cardinal), int count, Side* side,
                      benchmark::State& state, const char* pattern) {
  Display* dpy = display();
  Widget parent = UIgetDisplayContext(std::getenv("DISPLAY"))->_appShell;
  long description[WT_FONT_WORDS] = {};
  XmFontList fonts = WTget_xmfontlist(WTinstall_fontset(dpy, description, 0));
  auto text = [](const char* t) { return XmStringCreateLocalized(const_cast<char*>(t)); };
  XSync(dpy, False);
  unsigned long before = XNextRequest(dpy);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    std::vector<XmString> strings = {text("dlg"), text(TMget_translation("UI_OK", 0)),
                                     text(TMget_translation("UI_CANCEL", 0))};
    Arg args[16];
    Cardinal n = 0;
    XtSetArg(args[n], XmNdialogTitle, strings[0]), ++n;
    XtSetArg(args[n], XmNokLabelString, strings[1]), ++n;
    XtSetArg(args[n], XmNcancelLabelString, strings[2]), ++n;
    XtSetArg(args[n], XmNautoUnmanage, False), ++n;
    XtSetArg(args[n], XmNdeleteResponse, XmDO_NOTHING), ++n;
    if (fonts) {
      XtSetArg(args[n], XmNlabelFontList, fonts), ++n;
      XtSetArg(args[n], XmNbuttonFontList, fonts), ++n;
      XtSetArg(args[n], XmNtextFontList, fonts), ++n;
    }
    if (pattern) {
      for (const char* label :
           {pattern, TMget_translation("UI_FILES", 0), TMget_translation("UI_FILTER", 0),
            TMget_translation("UI_SELECTION", 0), TMget_translation("UI_DIRECTORIES", 0)})
        strings.push_back(text(label));
      XtSetArg(args[n], XmNpattern, strings[3]), ++n;
      XtSetArg(args[n], XmNfileListLabelString, strings[4]), ++n;
      XtSetArg(args[n], XmNfilterLabelString, strings[5]), ++n;
      XtSetArg(args[n], XmNselectionLabelString, strings[6]), ++n;
      XtSetArg(args[n], XmNdirListLabelString, strings[7]), ++n;
    } else {
      strings.push_back(text(""));
      XtSetArg(args[n], XmNmessageString, strings[3]), ++n;
      XtSetArg(args[n], XmNwidth, 200), ++n;
      XtSetArg(args[n], XmNheight, 100), ++n;
    }
    Widget box = make(parent, const_cast<char*>("dlg"), args, n);
    for (XmString s : strings) XmStringFree(s);
    Widget help = pattern ? XmFileSelectionBoxGetChild(box, XmDIALOG_HELP_BUTTON)
                          : XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON);
    if (help) XtUnmanageChild(help);
    XtAddCallback(box, XmNcancelCallback, cancelRaw, nullptr);
    XtManageChild(box);
    XSync(dpy, False);
    XtCallCallbacks(box, XmNcancelCallback, nullptr);
    XtDestroyWidget(XtParent(box));
  }
  XSync(dpy, False);
  record(side, state,
         std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
         XNextRequest(dpy) - before);
  drainEvents();
}

void BM_MessageBoxesThroughObjects(benchmark::State& state) {
  for (auto _ : state) showAndCancel("UImessageBox", 100, &messageViaObjects, state, nullptr);
}
BENCHMARK(BM_MessageBoxesThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MessageBoxesRawMotif(benchmark::State& state) {
  for (auto _ : state) showAndCancelRaw(XmCreateMessageDialog, 100, &messageRaw, state, nullptr);
}
BENCHMARK(BM_MessageBoxesRawMotif)->Unit(benchmark::kMillisecond)->Iterations(3);

// A folder of 1,000 files, made once.
const char* thousandFiles() {
  static std::string pattern;
  if (!pattern.empty()) return pattern.c_str();
  char dir[] = "/tmp/ui_bench_files_XXXXXX";
  if (!mkdtemp(dir)) return nullptr;
  for (int i = 0; i < 1000; ++i)
    std::fclose(std::fopen((std::string(dir) + "/f" + std::to_string(i)).c_str(), "w"));
  pattern = std::string(dir) + "/*";
  return pattern.c_str();
}

void BM_FileBoxThroughObjects(benchmark::State& state) {
  const char* pattern = thousandFiles();
  for (auto _ : state) showAndCancel("UIfileSB", 10, &fileViaObjects, state, pattern);
}
BENCHMARK(BM_FileBoxThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FileBoxRawMotif(benchmark::State& state) {
  const char* pattern = thousandFiles();
  for (auto _ : state) showAndCancelRaw(XmCreateFileSelectionDialog, 10, &fileRaw, state, pattern);
}
BENCHMARK(BM_FileBoxRawMotif)->Unit(benchmark::kMillisecond)->Iterations(3);
// ---- Render views, modules and toolbars -------------------------------------------------------

Side viewDragViaObjects, viewDragRaw, modulesViaObjects, modulesRaw;
double toolbarIdleRequests = -1;

// A drag in a window: button 1 held, the pointer moved by XTest back and forth; each step
// waits until seen() reports the new x.
void viewDragSteps(Widget w, const std::function<int()>& seenX, long* n, benchmark::State& state) {
  Display* dpy = XtDisplay(w);
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(dpy, XtWindow(w), DefaultRootWindow(dpy), 100, 60, &rx, &ry, &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XSync(dpy, False);
  EVrun_until([] { return false; }, 50);
  int offset = 0, direction = 1;
  for (auto _ : state) {
    offset += direction * 3;
    if (offset > 60 || offset < -60) direction = -direction;
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx + offset, ry, CurrentTime);
    XFlush(dpy);
    int want = 100 + offset;
    EVrun_until([&] { return seenX() == want; }, 500);
    ++*n;
  }
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XSync(dpy, False);
  EVrun_until([] { return false; }, 50);
}

// Motion step -> a two-point and a mouse-events interactor written, on a render view.
void BM_DragInRenderViewThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id view = shown("UIrendView", "dragView", place(), parent, 10, 10, 300, 200);
  OMpop_ctx(place());
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id two = OMcreate_obj_from_path("UItwoPoint", "dragTwo", place());
  OMset_str_val(prop(two, "startEvent"), "<Btn1Down>");
  OMset_str_val(prop(two, "runEvent"), "<Btn1Motion>");
  OMset_str_val(prop(two, "stopEvent"), "<Btn1Up>");
  OMset_obj_ref(prop(two, "view"), view, 0);
  OMobj_id events = OMcreate_obj_from_path("UImouseEvents", "dragEvents", place());
  OMset_obj_ref(prop(events, "view"), view, 0);
  OMpop_ctx(place());
  EVrun_until([] { return false; }, 200);
  auto seenX = [&] {
    int a = -1, b = -2;
    OMget_int_val(prop(two, "x"), &a);
    OMget_int_val(prop(events, "x"), &b);
    return a == b ? a : -1;
  };
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  viewDragSteps(UIobjIdToWidget(view), seenX, &n, state);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  viewDragViaObjects.add(seconds, n);
  state.SetItemsProcessed(n);
  OMdestroy_obj(events, 0);
  OMdestroy_obj(two, 0);
  OMdestroy_obj(view, 0);
}
BENCHMARK(BM_DragInRenderViewThroughObjects)->Iterations(300);

// The same drag on a plain row column with an Xt handler of the same mask that asks where the
// pointer is and keeps x.
void BM_DragInRenderViewRawMotif(benchmark::State& state) {
  static int lastX = -1;
  Widget w =
      XtVaCreateManagedWidget("rawView", xmRowColumnWidgetClass, UIobjIdToWidget(host()), XmNx, 10,
                              XmNy, 10, XmNwidth, 300, XmNheight, 200, XmNpacking, XmPACK_NONE,
                              XmNresizeWidth, False, XmNresizeHeight, False, nullptr);
  XtAddEventHandler(
      w, ButtonMotionMask | PointerMotionHintMask, False,
      [](Widget v, XtPointer, XEvent*, Boolean*) {
        Window root, child;
        int rx, ry, x, y;
        unsigned mask;
        if (XQueryPointer(XtDisplay(v), XtWindow(v), &root, &child, &rx, &ry, &x, &y, &mask))
          lastX = x;
      },
      nullptr);
  EVrun_until([] { return false; }, 200);
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  viewDragSteps(
      w, [] { return lastX; }, &n, state);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  viewDragRaw.add(seconds, n);
  state.SetItemsProcessed(n);
  XtDestroyWidget(w);
}
BENCHMARK(BM_DragInRenderViewRawMotif)->Iterations(300);

// 100 modules registered in a context (each a "Modules" menu entry), two toolbars of 50 of
// their options each; the toolbars' buttons are made, laid out and destroyed.
void BM_ModulesAndToolbarsThroughObjects(benchmark::State& state) {
  OMobj_id parent = host();
  Display* dpy = display();
  for (auto _ : state) {
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    auto start = std::chrono::steady_clock::now();
    OMobj_id group =
        OMcreate_obj(OMstr_to_name("benchModules"), OM_KIND_GROUP, place(), OMnull_obj, 0);
    OMpush_ctx(place(), 0, 0, 0);
    OMobj_id ctx = OMcreate_obj_from_path("UImoduleContext", "ctx", group);
    OMset_obj_ref(prop(prop(ctx, "ModuleStackUI"), "parent"), parent, 0);
    OMset_func_val(prop(ctx, "module_register"),
                   reinterpret_cast<OMpfi>(reinterpret_cast<void (*)()>(&module_register)));
    std::vector<OMobj_id> options;
    for (int i = 0; i < 100; ++i) {
      OMobj_id m = OMcreate_obj_from_path("UImodule", ("m" + std::to_string(i)).c_str(), ctx);
      OMset_str_val(prop(m, "title"), ("Module " + std::to_string(i)).c_str());
      options.push_back(prop(m, "UIoption"));
    }
    OMobj_id bars[2];
    for (int b = 0; b < 2; ++b) {
      bars[b] = shown("UItoolbar", "bar" + std::to_string(b), group, parent, 0, 40 * b, 0, 0);
      OMobj_id list = prop(bars[b], "cmdList");
      for (int i = 0; i < 50; ++i)
        OMadd_array_val(list, options[static_cast<size_t>(50 * b + i)], 0);
    }
    OMpop_ctx(place());
    XSync(dpy, False);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    record(&modulesViaObjects, state, seconds, XNextRequest(dpy) - before);
    unsigned long idle = XNextRequest(dpy);
    KUtoolbar_update(bars[0]);
    KUtoolbar_update(bars[1]);
    XSync(dpy, False);
    toolbarIdleRequests = static_cast<double>(XNextRequest(dpy) - idle) - 1;  // less the sync
    OMdestroy_obj(group, 0);
    XSync(dpy, False);
  }
}
BENCHMARK(BM_ModulesAndToolbarsThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ModulesAndToolbarsRawMotif(benchmark::State& state) {
  Widget parent = UIobjIdToWidget(host());
  Display* dpy = display();
  for (auto _ : state) {
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    auto start = std::chrono::steady_clock::now();
    std::vector<Widget> made;
    for (int i = 0; i < 100; ++i) {
      std::string label = "Module " + std::to_string(i);
      XmString s = XmStringCreateLocalized(const_cast<char*>(label.c_str()));
      made.push_back(XtVaCreateManagedWidget(("button" + std::to_string(i % 50)).c_str(),
                                             xmIconWidgetClass, parent, XmNx, 2 + 34 * (i % 50),
                                             XmNy, 2 + 40 * (i / 50), XmNwidth, 32, XmNheight, 32,
                                             XmNlabelString, s, nullptr));
      XmStringFree(s);
    }
    XSync(dpy, False);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    record(&modulesRaw, state, seconds, XNextRequest(dpy) - before);
    for (Widget w : made) XtDestroyWidget(w);
    EVrun_until([] { return false; }, 20);
  }
}
BENCHMARK(BM_ModulesAndToolbarsRawMotif)->Unit(benchmark::kMillisecond)->Iterations(3);

// A server of the run's own when none is given: Xvfb picks a free display and writes its
// number on a pipe (-displayfd). Answers its process id, or -1.
// The memory of one side, in a process of its own: one small round first (fonts, classes and
// caches loaded once), then kMemory controls made and kept; prints the heap and resident bytes
// they added, per control.
int memoryChild(int side) {
  char name[] = "ui_bench";
  char* xtArgv[] = {name, nullptr};
  int xtArgc = 1;
  UIinit();
  UIglobal_init(&xtArgc, xtArgv);
  Display* dpy = display();
  mixed::pointerAway(dpy);
  if (side == 0) {
    objectsRound(kMixed / 10);
  } else {
    rawRound(kMixed / 10);
  }
  mixed::drain(dpy);
  double heap = heapBytes(), rss = rssBytes();
  if (side == 0) {
    OMobj_id group =
        OMcreate_obj(OMstr_to_name("memoryGroup"), OM_KIND_GROUP, place(), OMnull_obj, 0);
    OMpush_ctx(place(), 0, 0, 0);
    mixed::makeObjects(group, host(), kMemory);
    OMpop_ctx(place());
  } else {
    std::vector<Widget> widgets;
    mixed::makeRaw(UIobjIdToWidget(host()), kMemory, &widgets);
  }
  mixed::drain(dpy);
  std::printf("%f %f\n", (heapBytes() - heap) / kMemory, (rssBytes() - rss) / kMemory);
  std::fflush(stdout);
  _exit(0);  // the controls go with the process
}

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
    xvfb = serverProcess = startXvfb();
    if (xvfb < 0) {
      std::fprintf(stderr, "ui_bench needs a display: set DISPLAY or install Xvfb\n");
      return 0;
    }
  }
  if (argc == 2 && std::strncmp(argv[1], "--memory-side=", 14) == 0)
    return memoryChild(std::strcmp(argv[1] + 14, "raw") == 0 ? 1 : 0);
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
  ratio("property -> label text", textViaObjects, textRaw, ">= 0.9");
  ratio("XTest click -> do written", clickViaObjects, clickRaw, ">= 0.8");
  ratio("\"value\" set and flushed -> slider (per set)", sliderSetViaObjects, sliderSetRaw,
        ">= 0.9, no more X requests");
  ratio("XTest drag -> value -> linked label (per step)", dragViaObjects, dragRaw, ">= 0.8");
  ratio("keys into a field, mode 1", keysField1, keysRawText, ">= 0.9");
  ratio("keys into a field, mode 8 with a linked label", keysField8, keysRawParse, ">= 0.7");
  ratio("10,000-item list from \"strings\" (per fill)", listFillViaObjects, listFillRaw,
        "wall <= 1.2x, ratio >= 0.83");
  ratio("XTest list click -> index and text written", listClickViaObjects, listClickRaw, ">= 0.8");
  ratio("200-item pull-down made", pulldownViaObjects, pulldownRaw, "wall <= 1.2x, ratio >= 0.83");
  ratio("one label change in a 200-item bar -> deferred rebuild", barRebuildViaObjects,
        barRebuildRaw, "wall <= 1.2x, ratio >= 0.83");
  if (burstRebuilds >= 0)
    std::printf(
        "  rebuilds after 100 label changes in a burst: %ld (goal 1); after a choice: %ld "
        "(goal 0)\n",
        burstRebuilds, choiceRebuilds);
  ratio("XTest drag in a render view -> two-point and mouse-events records (per step)",
        viewDragViaObjects, viewDragRaw, ">= 0.8");
  if (modulesViaObjects.runs && modulesRaw.runs) {
    double wall = (modulesViaObjects.seconds / modulesViaObjects.runs) /
                  (modulesRaw.seconds / modulesRaw.runs);
    double requests = (modulesViaObjects.requests / modulesViaObjects.runs) /
                      (modulesRaw.requests / modulesRaw.runs);
    std::printf(
        "100 modules + two toolbars of 50, objects / 100 XmIcon buttons: wall time %.2fx, X "
        "requests %.2fx (goals 1.3x, 1.1x)\n",
        wall, requests);
  }
  if (toolbarIdleRequests >= 0)
    std::printf("toolbar update with nothing changed: %.0f X requests (goal 0)\n",
                toolbarIdleRequests);
  if (textFirst100 > 0)
    std::printf("text in mode 8, last 100 keys / first 100: %.2f (goal <= 1.5)\n",
                textLast100 / textFirst100);
  if (rawFirst100 > 0)
    std::printf("  a plain text widget, last 100 keys / first 100: %.2f\n",
                rawLast100 / rawFirst100);
  ratio("10,000 error reports (console)", reportsViaHandler, reportsRaw, ">= 0.67 (<= 1.5x)");
  ratio("10,000 bad requests in a burst", burstViaHandler, burstRaw, ">= 0.33 (<= 3x)");
  if (turnRaw > 0)
    std::printf(
        "longest loop turn with a 10 ms timer during the burst: library %.1f ms, raw Xt "
        "%.1f ms, ratio %.2f (goal <= 2)\n",
        turnViaLibrary * 1000, turnRaw * 1000, turnViaLibrary / turnRaw);
  ratio("message box shown and cancelled", messageViaObjects, messageRaw, ">= 0.87 (<= 1.15x)");
  ratio("file box on 1,000 files shown and cancelled", fileViaObjects, fileRaw,
        ">= 0.83 (<= 1.2x), requests <= 1.1x");
  printTable();
  printPairs();
  if (xvfb > 0) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
  return 0;
}
