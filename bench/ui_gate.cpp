// The deterministic figures of instancing, for the CI gates: the mixed set built and destroyed
// through objects and directly with Motif, after one unmeasured round on each side.
//
//   ui_gate [--display-file PATH] [--count N] [--only KIND] [--requests LIMIT]
//
// KIND (label, button, toggle, field, slider, panel or frame) makes every control of that kind.
// Prints the X requests per control of both sides and their ratio; with --requests, exits 1
// when the ratio is above LIMIT. Under callgrind (started with --instr-atstart=no) the measured
// rounds are the only instrumented code: the objects side is dumped as "objects" and the raw
// side as "raw", for gate_instructions.sh to compare. Exits 2 on a bad option or without
// display.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "svc/ev.h"
#include "ui/dpyMgr.h"
#include "ui/init.h"
#include "ui/misc.h"

#include "mixed.h"

namespace {

OMobj_id place() {
  OMobj_id p;
  OMget_array_subobj(OMinst_obj, 0, &p, 0);
  return p;
}

OMobj_id makeHost() {
  OMpush_ctx(place(), 0, 0, 0);
  OMobj_id h = OMcreate_obj_from_path("UIshell", "gateHost", place());
  OMset_int_val(mixed::prop(h, "visible"), 1);
  OMset_int_val(mixed::prop(h, "width"), 800);
  OMset_int_val(mixed::prop(h, "height"), 600);
  OMpop_ctx(place());
  EVrun_until([] { return false; }, 300);
  return h;
}

// X requests of one round (instance, then destroy) on each side.
unsigned long objectsRound(Display* dpy, OMobj_id host, int count) {
  mixed::pointerAway(dpy);
  mixed::drain(dpy);
  unsigned long before = XNextRequest(dpy);
  OMobj_id group = OMcreate_obj(OMstr_to_name("gateGroup"), OM_KIND_GROUP, place(), OMnull_obj, 0);
  OMpush_ctx(place(), 0, 0, 0);
  mixed::makeObjects(group, host, count);
  OMpop_ctx(place());
  mixed::drain(dpy);
  OMdestroy_obj(group, 0);
  mixed::drain(dpy);
  return XNextRequest(dpy) - before;
}

unsigned long rawRound(Display* dpy, Widget parent, int count) {
  mixed::pointerAway(dpy);
  mixed::drain(dpy);
  unsigned long before = XNextRequest(dpy);
  std::vector<Widget> made;
  mixed::makeRaw(parent, count, &made);
  mixed::drain(dpy);
  mixed::destroyRaw(parent, &made);
  mixed::drain(dpy);
  return XNextRequest(dpy) - before;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 140;
  double limit = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--display-file") {
      std::ifstream file(argv[i + 1]);
      std::string number;
      if (file >> number) setenv("DISPLAY", (":" + number).c_str(), 1);
    } else if (option == "--count") {
      count = std::atoi(argv[i + 1]);
    } else if (option == "--only") {
      for (int k = 0; k < mixed::kKinds; ++k)
        if (argv[i + 1] == std::string(mixed::kShortNames[k])) mixed::onlyKind = k;
    } else if (option == "--requests") {
      limit = std::atof(argv[i + 1]);
    } else {
      std::fprintf(stderr, "ui_gate: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (count < mixed::kKinds || count > 100000) {
    std::fprintf(stderr, "ui_gate: --count must be from %d to 100000\n", mixed::kKinds);
    return 2;
  }
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) {
    std::fprintf(stderr, "ui_gate: no display (set DISPLAY or give --display-file)\n");
    return 2;
  }
  char arg0[] = "ui_gate";
  char* xtArgv[] = {arg0, nullptr};
  int xtArgc = 1;
  UIinit();
  UIglobal_init(&xtArgc, xtArgv);
  // Opening a display that is not there ends the process with a message of its own.
  Display* dpy = UIgetDisplayContext(name)->DisplayPtr;
  OMobj_id host = makeHost();
  Widget parent = UIobjIdToWidget(host);
  objectsRound(dpy, host, count);
  rawRound(dpy, parent, count);

  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_ZERO_STATS;
  unsigned long objects = objectsRound(dpy, host, count);
  CALLGRIND_DUMP_STATS_AT("objects");
  unsigned long raw = rawRound(dpy, parent, count);
  CALLGRIND_DUMP_STATS_AT("raw");
  CALLGRIND_STOP_INSTRUMENTATION;

  double ratio = raw ? static_cast<double>(objects) / static_cast<double>(raw) : 0;
  std::printf(
      "X requests per control (instance and destroy, %d controls): objects %.2f, raw "
      "Motif %.2f, ratio %.3f\n",
      count, static_cast<double>(objects) / count, static_cast<double>(raw) / count, ratio);
  if (limit > 0 && (!raw || ratio > limit)) {
    std::printf("ratio above the limit %.3f\n", limit);
    return 1;
  }
  return 0;
}
