// Shared helpers of the object-manager tests: a fresh instanced group per test, and error
// reports recorded instead of printed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "om/om.h"
#include "om/om_registry.h"
#include "svc/err.h"

namespace omtest {

inline std::vector<std::string>& reports() {
  static std::vector<std::string> r;
  return r;
}

inline void recordReport(const char* reporter, int, int, const char* text) {
  reports().push_back(std::string(reporter) + ": " + text);
}

inline OMobj_id instancePlace() {
  OMinit();
  OMobj_id place = OMnull_obj;
  OMget_array_subobj(OMinst_obj, 0, &place, 0);
  return place;
}

inline OMobj_id make(OMobj_id parent, const char* name, int kind) {
  return OMcreate_obj(OMstr_to_name(name), kind, parent, OMnull_obj, 0);
}

inline OMobj_id sub(OMobj_id parent, const char* name) {
  return OMfind_subobj(parent, OMstr_to_name(name), 0);
}

// id's sub-objects in order, each with its name.
inline std::vector<std::pair<OMobj_id, std::string>> subobjects(OMobj_id id) {
  std::vector<std::pair<OMobj_id, std::string>> out;
  int count = 0;
  OMget_num_subobjs(id, &count);
  for (int i = 0; i < count; ++i) {
    OMobj_id child = OMnull_obj;
    OMobj_name name = 0;
    if (OMget_subobj(id, i, &child) == 1 && OMget_obj_name(child, &name) == 1)
      out.emplace_back(child, OMname_to_str(name));
  }
  return out;
}

inline bool same(OMobj_id a, OMobj_id b) {
  return a.serial == b.serial;
}

inline void loadTemplates(const char* yaml) {
  std::vector<OMtemplate_error> errors;
  int ok = OMload_templates(yaml, "test.yaml", &errors);
  std::string all;
  for (const auto& e : errors) all += e.text() + "\n";
  ASSERT_EQ(ok, 1) << all;
}

// Each test works in a group of its own under the instance place (or, uninstanced, under
// the root), removed afterwards.
class OMTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = ERRset_reporter(recordReport);
    reports().clear();
    static int n = 0;
    std::string name = "t" + std::to_string(++n);
    top = make(instancePlace(), name.c_str(), OM_KIND_GROUP);
    plain = make(OMroot_obj, (name + "p").c_str(), OM_KIND_GROUP);
  }
  void TearDown() override {
    OMdestroy_obj(top, 0);
    OMdestroy_obj(plain, 0);
    ERRset_reporter(previous_);
  }
  OMobj_id top = OMnull_obj;
  OMobj_id plain = OMnull_obj;

 private:
  ERRreporter previous_ = nullptr;
};

}  // namespace omtest
