// uirun: loads an interface file through the object manager and shows what it made. Until
// the widget library exists it prints the object tree instead of opening windows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "interface_file.h"
#include "om/om.h"
#include "om/om_registry.h"
#include "om/omx.h"

namespace {

void usage(FILE* to) {
  std::fprintf(to,
               "usage: uirun [--templates PATH]... [FILE]\n"
               "  Loads FILE (default: the bundled example) with the kit's templates and\n"
               "  those of each PATH (a file or a folder of *.yaml), then prints the objects.\n"
               "  Exit status: 0 success, 2 a bad file or bad options.\n");
}

void dump(OMobj_id id, int indent) {
  OMobj_name name = 0;
  OMget_obj_name(id, &name);
  char* value = nullptr;
  std::string shown;
  if (OMget_str_val(id, &value, 0) == 1) {
    shown = std::string(" = ") + value;
    std::free(value);
  }
  int kind = OMget_obj_kind(id);
  OMobj_id target = OMnull_obj;
  int size = 0;
  if (OMget_obj_pval(id, &target, 0) == 1) {
    char path[512];
    if (OMret_obj_path_to(target, OMroot_obj, path, sizeof path) == 1) shown = std::string(" => ") + path;
  } else if (kind == OM_KIND_STR_ARRAY && OMget_array_size(id, &size) == 1) {
    shown = " = [";
    for (int i = 0; i < size; ++i) {
      char* item = nullptr;
      if (OMget_str_array_val(id, i, &item, 0) == 1) {
        shown += std::string(i ? ", " : "") + item;
        std::free(item);
      }
    }
    shown += "]";
  } else if (kind != OM_KIND_GROUP && kind != OM_KIND_OBJ_ARRAY && shown.empty()) {
    shown = " unset";
  }
  std::printf("%*s%s%s\n", indent * 2, "", OMname_to_str(name), shown.c_str());
  int count = 0;
  OMget_num_subobjs(id, &count);
  for (int i = 0; i < count; ++i) {
    dump(OMget_subobj_at(id, i), indent + 1);
  }
}

bool loadTemplates(const std::string& path) {
  std::vector<OMtemplate_error> errors;
  if (OMload_templates_path(path, &errors)) return true;
  for (const auto& e : errors) std::fprintf(stderr, "%s\n", e.text().c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> templates{UI_KIT_DIR, UI_EXAMPLE_TEMPLATES};
  std::string file = UI_DEFAULT_FILE;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help")) {
      usage(stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--templates") && i + 1 < argc) {
      templates.push_back(argv[++i]);
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "uirun: unknown option %s\n", argv[i]);
      usage(stderr);
      return 2;
    } else {
      file = argv[i];
    }
  }
  for (const std::string& t : templates)
    if (!loadTemplates(t)) return 2;
  UIloadResult result = UIloadInterfaceFile(file);
  for (const UIloadError& e : result.errors) std::fprintf(stderr, "%s\n", e.text().c_str());
  if (!result.ok) return 2;
  for (OMobj_id id : result.objects) dump(id, 0);
  OMrun_exit_funcs();
  return 0;
}
