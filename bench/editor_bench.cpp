// The layout editor and cursors against plain Motif and Xlib doing the same, in one run: a
// move drag's motion step until the outline is redrawn; 1000 labels with font cursors (X
// requests); and the time to save edits into a 1000-object interface file. Needs a display
// ($DISPLAY; xvfb-run will do).
#include <X11/Intrinsic.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XTest.h>
#include <Xm/Label.h>
#include <Xm/Xm.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "interface_file.h"
#include "layout_save.h"
#include "om/om_scope.h"
#include "svc/ev.h"
#include "ui/core.h"
#include "ui/dpyMgr.h"
#include "ui/init.h"
#include "ui/layout.h"
#include "ui/misc.h"

namespace {

struct Side {
  double seconds = 0;
  double requests = 0;
  long runs = 0;
};
Side dragEditor, dragRaw, cursorsEditor, cursorsRaw;

Display* display() {
  return UIgetDisplayContext(std::getenv("DISPLAY"))->DisplayPtr;
}

OMobj_id place() {
  OMobj_id p;
  OMget_array_subobj(OMinst_obj, 0, &p, 0);
  return p;
}

OMobj_id prop(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

OMobj_id make(const char* type, const std::string& name, OMobj_id parent,
              std::vector<std::pair<const char*, int>> ints) {
  OMobj_id id = OMcreate_obj_from_path(type, name.c_str(), place());
  if (!!parent) OMset_obj_ref(prop(id, "parent"), parent, 0);
  for (const auto& [p, v] : ints) OMset_int_val(prop(id, p), v);
  return id;
}

void settle(int ms) {
  EVrun_until([] { return false; }, ms);
}

OMobj_id host() {
  static OMobj_id h = OMnull_obj;
  if (!!h) return h;
  OMcontext ctx(place(), OM_CTX_BUILD, OM_CTX_PLAIN);
  h = make("UIshell", "editorBenchHost", OMnull_obj,
           {{"visible", 1}, {"width", 600}, {"height", 500}});
  return h;
}

void rootPoint(Widget w, int x, int y, int* rx, int* ry) {
  Window child;
  XTranslateCoordinates(XtDisplay(w), XtWindow(w), DefaultRootWindow(XtDisplay(w)), x, y, rx, ry,
                        &child);
}

// Moves the pointer by steps while button 2 is held in w; each step waits until moved()
// reports a new outline.
void motionSteps(Widget w, benchmark::State& state, const std::function<int()>& outlineX,
                 Side* side) {
  Display* dpy = XtDisplay(w);
  int rx, ry;
  rootPoint(w, 40, 20, &rx, &ry);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XTestFakeButtonEvent(dpy, 2, True, CurrentTime);
  XSync(dpy, False);
  settle(50);
  int offset = 0, direction = 1;
  long n = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    int before = outlineX();
    offset += direction * 8;  // two grid steps: every step moves the outline
    if (offset > 160 || offset < -8) direction = -direction;
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx + offset, ry, CurrentTime);
    XFlush(dpy);
    EVrun_until([&] { return outlineX() != before; }, 500);
    ++n;
  }
  side->seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  side->runs += n;
  XTestFakeButtonEvent(dpy, 2, False, CurrentTime);
  XSync(dpy, False);
  settle(50);
  state.SetItemsProcessed(n);
}

void BM_MoveDragThroughEditor(benchmark::State& state) {
  OMobj_id edit, label;
  {
    OMcontext ctx(place(), OM_CTX_BUILD, OM_CTX_PLAIN);
    edit = make("UIlayoutEditState", "benchEdit", OMnull_obj, {{"edit", 1}});
    label = make("UIlabel", "benchMoved", host(),
                 {{"visible", 1}, {"x", 20}, {"y", 20}, {"width", 100}, {"height", 40}});
    OMset_int_val(prop(label, "layout.edit"), 1);
  }
  settle(200);
  Widget w = UIobjIdToWidget(label);
  int rx, ry;
  rootPoint(w, 40, 20, &rx, &ry);
  Display* dpy = XtDisplay(w);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XTestFakeButtonEvent(dpy, 2, True, CurrentTime);
  XTestFakeButtonEvent(dpy, 2, False, CurrentTime);
  XSync(dpy, False);
  EVrun_until([] { return UIlayout::state == 3; }, 1000);
  motionSteps(
      w, state, [] { return static_cast<int>(UIlayout::last_motion_x); }, &dragEditor);
  OMset_int_val(prop(edit, "edit"), 0);
  OMdestroy_obj(label, 0);
  OMdestroy_obj(edit, 0);
  settle(50);
}
BENCHMARK(BM_MoveDragThroughEditor)->Iterations(300);

// The same XOR outline from a plain Motif handler on button-2 motion.
struct RawOutline {
  GC gc = nullptr;
  int x = 0, y = 0;
  bool drawn = false;
};
RawOutline raw;

void rawMotion(Widget w, XtPointer, XEvent*, Boolean*) {
  Display* dpy = XtDisplay(w);
  Window root = DefaultRootWindow(dpy), r, c;
  int rx, ry, wx, wy;
  unsigned mask;
  if (!XQueryPointer(dpy, XtWindow(w), &r, &c, &rx, &ry, &wx, &wy, &mask)) return;
  int x = ((rx - 40 + 2) / 4) * 4, y = ((ry - 20 + 2) / 4) * 4;
  if (raw.drawn) XDrawRectangle(dpy, root, raw.gc, raw.x + 2, raw.y + 2, 95, 35);
  XDrawRectangle(dpy, root, raw.gc, x + 2, y + 2, 95, 35);
  raw.x = x, raw.y = y, raw.drawn = true;
}

void BM_MoveDragRawMotif(benchmark::State& state) {
  Widget parent = UIclientOf(UIobjIdToWidget(host()));
  Widget w =
      XtVaCreateManagedWidget("rawMoved", xmLabelWidgetClass, parent, XmNx, 20, XmNy, 20, XmNwidth,
                              100, XmNheight, 40, XmNrecomputeSize, False, nullptr);
  settle(100);
  XGCValues v{};
  v.function = GXxor;
  v.foreground = 0xffffff;
  v.subwindow_mode = IncludeInferiors;
  Display* dpy = XtDisplay(w);
  raw.gc = XCreateGC(dpy, DefaultRootWindow(dpy), GCFunction | GCForeground | GCSubwindowMode, &v);
  raw.drawn = false;
  XtAddEventHandler(w, Button2MotionMask | PointerMotionHintMask, False, rawMotion, nullptr);
  motionSteps(
      w, state, [] { return raw.x; }, &dragRaw);
  if (raw.drawn) XDrawRectangle(dpy, DefaultRootWindow(dpy), raw.gc, raw.x + 2, raw.y + 2, 95, 35);
  XFreeGC(dpy, raw.gc);
  XtDestroyWidget(w);
  settle(50);
}
BENCHMARK(BM_MoveDragRawMotif)->Iterations(300);

constexpr int kLabels = 1000;

// 1000 labels made through the object manager, with or without a font cursor each; X requests
// of the whole, the cursors' share being the difference.
unsigned long labelsThroughObjects(bool withCursors) {
  Display* dpy = display();
  XSync(dpy, False);
  unsigned long before = XNextRequest(dpy);
  std::vector<OMobj_id> made;
  {
    OMcontext ctx(place(), OM_CTX_BUILD, OM_CTX_PLAIN);
    for (int i = 0; i < kLabels; ++i) {
      OMobj_id l = make("UIlabel", "cl" + std::to_string(i), host(),
                        {{"visible", 1},
                         {"x", (i % 20) * 28},
                         {"y", (i / 20) * 9},
                         {"width", 26},
                         {"height", 8}});
      made.push_back(l);
      if (withCursors) {
        OMobj_id c = make("UIfontCursor", "cc" + std::to_string(i), OMnull_obj, {});
        OMset_int_val(prop(c, "number"), XC_hand2);
        OMset_obj_ref(prop(l, "cursor"), c, 0);
        made.push_back(c);
      }
    }
  }
  settle(100);
  XSync(dpy, False);
  unsigned long requests = XNextRequest(dpy) - before;
  for (OMobj_id id : made) OMdestroy_obj(id, 0);
  settle(50);
  return requests;
}

void BM_FontCursorsThroughObjects(benchmark::State& state) {
  for (auto _ : state) {
    unsigned long with = labelsThroughObjects(true);
    unsigned long without = labelsThroughObjects(false);
    cursorsEditor.requests += static_cast<double>(with) - static_cast<double>(without);
    cursorsEditor.runs += 1;
    state.counters["cursor requests"] = static_cast<double>(with) - static_cast<double>(without);
  }
}
BENCHMARK(BM_FontCursorsThroughObjects)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_FontCursorsRawXlib(benchmark::State& state) {
  Widget parent = UIclientOf(UIobjIdToWidget(host()));
  for (auto _ : state) {
    std::vector<Widget> labels;
    for (int i = 0; i < kLabels; ++i)
      labels.push_back(XtVaCreateManagedWidget("rl", xmLabelWidgetClass, parent, XmNx,
                                               (i % 20) * 28, XmNy, (i / 20) * 9, XmNwidth, 26,
                                               XmNheight, 8, nullptr));
    settle(100);
    Display* dpy = display();
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    std::vector<Cursor> cursors;
    for (Widget w : labels) {
      Cursor c = XCreateFontCursor(dpy, XC_hand2);
      XDefineCursor(dpy, XtWindow(w), c);
      cursors.push_back(c);
    }
    XSync(dpy, False);
    cursorsRaw.requests += static_cast<double>(XNextRequest(dpy) - before);
    cursorsRaw.runs += 1;
    for (Cursor c : cursors) XFreeCursor(dpy, c);
    for (Widget w : labels) XtDestroyWidget(w);
    settle(50);
  }
}
BENCHMARK(BM_FontCursorsRawXlib)->Unit(benchmark::kMillisecond)->Iterations(2);

// Planning and writing the x and y of every object of a 1000-object file (what a save does
// once the editor's edits are known).
void BM_SaveThousandObjectFile(benchmark::State& state) {
  std::string text = "# many labels\nmany:\n  type: UIshell\n  width: 400\n  height: 400\n";
  for (int i = 0; i < kLabels; ++i)
    text += "  l" + std::to_string(i) + ":\n    type: UIlabel\n    x: " + std::to_string(i % 97) +
            "\n    y: " + std::to_string(i % 89) + "   # stays\n    label: item\n";
  namespace fs = std::filesystem;
  fs::path file = fs::temp_directory_path() / "editor_bench_save.yaml";
  {
    std::string why;
    UIreplaceFile(file.string(), text, &why);  // fails only when it does not exist yet
  }
  if (!fs::exists(file)) {
    FILE* f = std::fopen(file.c_str(), "w");
    if (f) std::fclose(f);
    std::string why;
    UIreplaceFile(file.string(), text, &why);
  }
  OMobj_id group =
      OMcreate_obj(OMstr_to_name("editorBenchGroup"), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  UIloadResult loaded = UIloadInterfaceText(text, file.string(), group);
  int round = 0;
  for (auto _ : state) {
    std::vector<UIfileEdit> edits;
    std::string note;
    for (const UIobjectSource& src : loaded.sources)
      for (int k = 0; k < 2; ++k) UIplanKeyEdit(text, src, k, 100 + round % 7, &edits, &note);
    std::string out = UIapplyFileEdits(text, edits);
    std::string why;
    if (!UIreplaceFile(file.string(), out, &why)) state.SkipWithError(why.c_str());
    ++round;
  }
  state.counters["objects"] = static_cast<double>(loaded.sources.size());
  OMdestroy_obj(group, 0);
  std::error_code ec;
  fs::remove(file, ec);
}
BENCHMARK(BM_SaveThousandObjectFile)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "editor_bench needs a display: run it with DISPLAY set\n");
    return 0;
  }
  char name[] = "editor_bench";
  char* xtArgv[] = {name, nullptr};
  int xtArgc = 1;
  UIinit();
  UIglobal_init(&xtArgc, xtArgv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (dragEditor.runs && dragRaw.runs) {
    double editor = dragEditor.runs / dragEditor.seconds, plain = dragRaw.runs / dragRaw.seconds;
    std::printf(
        "move drag, outline steps per second: editor %.0f, raw Motif %.0f: %.2fx (goal >= 0.8x)\n",
        editor, plain, editor / plain);
  }
  if (cursorsEditor.runs && cursorsRaw.runs) {
    double editor = cursorsEditor.requests / cursorsEditor.runs,
           plain = cursorsRaw.requests / cursorsRaw.runs;
    std::printf(
        "1000 font cursors, X requests: objects %.0f, raw Xlib %.0f: %.2fx (goal <= 1.1x)\n",
        editor, plain, editor / plain);
  }
  return 0;
}
