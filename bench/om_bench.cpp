// Object manager speed and memory: reads, writes, notification, stamps, object creation.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "om/om.h"
#include "om/om_registry.h"
#include "om/om_text.h"

namespace {

int updates = 0;
int countUpdate(OMobj_id, unsigned, int) {
  ++updates;
  return 1;
}

OMobj_id place() {
  OMinit();
  OMobj_id p = OMnull_obj;
  OMget_array_subobj(OMinst_obj, 0, &p, 0);
  return p;
}

// A template with 40 properties of mixed kinds, and one with an update method.
void loadTemplates() {
  static bool done = false;
  if (done) return;
  done = true;
  OMregister_update_method("countUpdate", countUpdate);
  std::string yaml = "templates:\n  Forty:\n    properties:\n";
  const char* kinds[] = {"int", "real", "string", "ref"};
  for (int i = 0; i < 40; ++i) yaml += "      p" + std::to_string(i) + ": " + kinds[i % 4] + "\n";
  yaml += "  Watched:\n    methods: { update: countUpdate }\n    properties: { value: int }\n";
  OMload_templates(yaml, "bench", nullptr);
}

OMobj_id makeInt(const char* name) {
  OMobj_id id = OMcreate_obj(OMstr_to_name(name), OM_KIND_INT, OMroot_obj, OMnull_obj, 0);
  OMset_int_val(id, 1);
  return id;
}

void BM_IntGet(benchmark::State& state) {
  OMobj_id id = makeInt("getme");
  int v = 0;
  for (auto _ : state) {
    OMget_int_val(id, &v);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IntGet);

void BM_IntSetNoDependents(benchmark::State& state) {
  OMobj_id id = makeInt("setme");
  int i = 0;
  for (auto _ : state) OMset_int_val(id, ++i);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IntSetNoDependents);

void BM_SetFlushUpdate(benchmark::State& state) {
  loadTemplates();
  OMobj_id w = OMcreate_obj_from_path("Watched", "watched", place());
  OMobj_id value = OMfind_subobj(w, OMstr_to_name("value"), 0);
  int i = 0;
  updates = 0;
  for (auto _ : state) OMset_int_val(value, ++i);  // outside a context: runs the update now
  if (updates != static_cast<int>(state.iterations())) state.SkipWithError("update not called");
  state.SetItemsProcessed(state.iterations());
  OMdestroy_obj(w, 0);
}
BENCHMARK(BM_SetFlushUpdate);

void BM_Mode3StampOf40MemberGroup(benchmark::State& state) {
  OMobj_id g = OMcreate_obj(OMstr_to_name("group40"), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  for (int i = 0; i < 40; ++i)
    OMcreate_obj(OMstr_to_name(("m" + std::to_string(i)).c_str()), OM_KIND_INT, g, OMnull_obj, 0);
  for (auto _ : state) benchmark::DoNotOptimize(OMget_obj_seq(g, OMnull_obj, 3));
  state.SetItemsProcessed(state.iterations());
  OMdestroy_obj(g, 0);
}
BENCHMARK(BM_Mode3StampOf40MemberGroup);

void BM_CreateDestroy40PropertyObject(benchmark::State& state) {
  loadTemplates();
  OMobj_id parent = OMcreate_obj(OMstr_to_name("bench"), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  for (auto _ : state) {
    OMobj_id o = OMcreate_obj_from_path("Forty", "o", parent);
    OMdestroy_obj(o, 0);
  }
  state.SetItemsProcessed(state.iterations());
  OMdestroy_obj(parent, 0);
}
BENCHMARK(BM_CreateDestroy40PropertyObject);

// Heap bytes per property of instanced objects made from the 40-property template.
void BM_BytesPerProperty(benchmark::State& state) {
  loadTemplates();
  const int count = 2000;
  for (auto _ : state) {
    OMobj_id parent = OMcreate_obj(OMstr_to_name("mem"), OM_KIND_GROUP, place(), OMnull_obj, 0);
    size_t before = mallinfo2().uordblks;
    std::vector<OMobj_id> made;
    for (int i = 0; i < count; ++i) {
      std::string name = "o" + std::to_string(i);
      made.push_back(OMcreate_obj_from_path("Forty", name.c_str(), parent));
    }
    size_t after = mallinfo2().uordblks;
    state.counters["bytes_per_property"] =
        static_cast<double>(after - before) / (count * 41.0);  // 40 properties + the object
    OMdestroy_obj(parent, 0);
  }
}
BENCHMARK(BM_BytesPerProperty)->Iterations(1);

}  // namespace

// Hostile shapes stay linear. Each level of a chain of links reads the one below twice: a
// read must cost the chain's length (the goal: well under a millisecond for 60 levels), not
// 2^60 reads.
void BM_ReadDoublingExpressionChain(benchmark::State& state) {
  OMobj_id group =
      OMcreate_obj(OMstr_to_name("doubling"), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  OMobj_id below = OMcreate_obj(OMstr_to_name("x0"), OM_KIND_REAL, group, OMnull_obj, 0);
  OMset_real_val(below, 1);
  for (int level = 1; level <= 60; ++level) {
    std::string name = "x" + std::to_string(level);
    OMobj_id x = OMcreate_obj(OMstr_to_name(name.c_str()), OM_KIND_REAL, group, OMnull_obj, 0);
    std::string previous = "x" + std::to_string(level - 1);
    OMset_expression(x, group, (previous + " + " + previous).c_str(), nullptr, nullptr);
    below = x;
  }
  double v = 0;
  for (auto _ : state) benchmark::DoNotOptimize(OMget_real_val(below, &v));
  OMdestroy_obj(group, 0);
}
BENCHMARK(BM_ReadDoublingExpressionChain);

// A group whose members link to groups nested inside each other, state.range(0) deep: the
// newest stamp is found looking at each object once.
void BM_Mode3StampOfNestedLinkedGroups(benchmark::State& state) {
  OMobj_id top = OMcreate_obj(OMstr_to_name("nested"), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  std::vector<OMobj_id> levels{top};
  for (int i = 1; i < state.range(0); ++i)
    levels.push_back(OMcreate_obj(OMstr_to_name("g"), OM_KIND_GROUP, levels.back(), OMnull_obj, 0));
  OMobj_id holder = OMcreate_obj(OMstr_to_name("holder"), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  for (size_t i = 0; i < levels.size(); ++i) {
    std::string name = "l" + std::to_string(i);
    OMobj_id link = OMcreate_obj(OMstr_to_name(name.c_str()), OM_KIND_REF, holder, OMnull_obj, 0);
    OMset_obj_ref(link, levels[i], 0);
  }
  for (auto _ : state) benchmark::DoNotOptimize(OMget_obj_seq(holder, OMnull_obj, 3));
  OMdestroy_obj(holder, 0);
  OMdestroy_obj(top, 0);
}
BENCHMARK(BM_Mode3StampOfNestedLinkedGroups)->Arg(1000);

BENCHMARK_MAIN();
