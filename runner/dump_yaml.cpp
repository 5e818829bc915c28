// Writing live objects back as an interface file.
#include "dump_yaml.h"

#include <yaml-cpp/yaml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "om/omx.h"

namespace {

// Properties the library fills in for itself; a file never sets them.
bool libraryOwned(const std::string& name) {
  return name == "handle" || name == "cxxhandle" || name == "update";
}

// The shortest text that reads back as the same double.
std::string realText(double v) {
  char text[40];
  for (int precision = 6; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, v);
    if (std::strtod(text, nullptr) == v) break;
  }
  return text;
}

std::string nameOf(OMobj_id id) {
  OMobj_name name = 0;
  OMget_obj_name(id, &name);
  return OMname_to_str(name);
}

class Writer {
 public:
  Writer(const UIloadResult& made, OMobj_id place) : made_(made), place_(place) {}

  YAML::Node object(OMobj_id id, OMobj_id container) {
    YAML::Node node(YAML::NodeType::Map);
    auto type = made_.types.find(id.serial);
    node["type"] = type == made_.types.end() ? std::string("?") : type->second;
    members(id, id, container, &node);
    return node;
  }

 private:
  // The sub-objects of holder (an object or one of its groups) into node.
  void members(OMobj_id holder, OMobj_id owner, OMobj_id container, YAML::Node* node) {
    int count = 0;
    OMget_num_subobjs(holder, &count);
    for (int i = 0; i < count; ++i) {
      OMobj_id sub = OMget_subobj_at(holder, i);
      std::string name = nameOf(sub);
      if (name.empty()) continue;
      if (made_.types.count(sub.serial)) {
        (*node)[name] = object(sub, owner);
        continue;
      }
      if (holder.serial == owner.serial && libraryOwned(name)) continue;
      YAML::Node value;
      bool isParent = holder.serial == owner.serial && name == "parent";
      if (property(sub, isParent ? container : OMnull_obj, &value)) (*node)[name] = value;
    }
  }

  // A path that the loader finds from anywhere in the file: from the top of the place.
  bool pathOf(OMobj_id target, std::string* path) {
    char buffer[1024];
    if (OMret_obj_path_to(target, place_, buffer, sizeof buffer) != 1 || !*buffer) return false;
    *path = buffer;
    return true;
  }

  // One property's value; false when there is nothing to write. `implicit` is the target a
  // link may have without saying so (a child's parent).
  bool property(OMobj_id prop, OMobj_id implicit, YAML::Node* value) {
    int kind = OMget_obj_kind(prop);
    auto link = made_.links.find(prop.serial);
    OMobj_id target;
    if (OMget_obj_pval(prop, &target, 0) == 1) {
      if (implicit.serial && target.serial == implicit.serial) return false;
      std::string path;
      if (link != made_.links.end())
        path = link->second;  // as the file wrote it
      else if (!pathOf(target, &path))
        return false;
      *value = "=> " + path;
      return true;
    }
    if (link != made_.links.end() && kind != OM_KIND_OBJ_ARRAY) {
      *value = "=> " + link->second;  // an expression
      return true;
    }
    switch (kind) {
      case OM_KIND_GROUP: {
        YAML::Node group(YAML::NodeType::Map);
        members(prop, OMnull_obj, OMnull_obj, &group);
        if (group.size() == 0) return false;
        *value = group;
        return true;
      }
      case OM_KIND_INT: {
        int v = 0;
        if (OMget_int_val(prop, &v) != 1) return false;
        *value = v;
        return true;
      }
      case OM_KIND_REAL: {
        double v = 0;
        if (OMget_real_val(prop, &v) != 1) return false;
        *value = realText(v);
        return true;
      }
      case OM_KIND_STRING: {
        char* text = nullptr;
        if (OMget_str_val(prop, &text, 0) != 1 || !text) return false;
        *value = std::string(text);
        std::free(text);
        return true;
      }
      case OM_KIND_INT_ARRAY:
      case OM_KIND_REAL_ARRAY:
      case OM_KIND_STR_ARRAY:
        return array(prop, kind, value);
      case OM_KIND_OBJ_ARRAY:
        return references(prop, value);
      default:
        return false;  // pointers and functions live only in this process
    }
  }

  bool array(OMobj_id prop, int kind, YAML::Node* value) {
    int size = 0;
    if (OMget_array_size(prop, &size) != 1 || size <= 0 || !OMis_set(prop)) return false;
    YAML::Node list(YAML::NodeType::Sequence);
    for (int i = 0; i < size; ++i) {
      if (kind == OM_KIND_STR_ARRAY) {
        char* text = nullptr;
        if (OMget_str_array_val(prop, i, &text, 0) != 1 || !text) return false;
        list.push_back(std::string(text));
        std::free(text);
      } else if (kind == OM_KIND_INT_ARRAY) {
        int v = 0;
        if (OMget_int_array_val(prop, i, &v) != 1) return false;
        list.push_back(v);
      } else {
        double v = 0;
        if (OMget_real_array_val(prop, i, &v) != 1) return false;
        list.push_back(realText(v));
      }
    }
    *value = list;
    return true;
  }

  // An array of references, as the paths of what it refers to.
  bool references(OMobj_id prop, YAML::Node* value) {
    int size = 0;
    if (OMget_num_refs(prop) <= 0 || OMget_array_size(prop, &size) != 1 || size <= 0) return false;
    YAML::Node list(YAML::NodeType::Sequence);
    for (int i = 0; i < size; ++i) {
      OMobj_id target;
      std::string path;
      if (OMget_array_val(prop, i, &target, 1) != 1 || !pathOf(target, &path)) return false;
      list.push_back(path);
    }
    *value = list;
    return true;
  }

  const UIloadResult& made_;
  OMobj_id place_;
};

}  // namespace

std::string UIinterfaceText(const std::vector<OMobj_id>& objects, const UIloadResult& made,
                            OMobj_id place) {
  Writer writer(made, place);
  YAML::Emitter out;
  out << YAML::BeginMap;
  for (OMobj_id id : objects) {
    if (OMvalid_obj(id, OMnull_obj, 0) != 1) continue;
    out << YAML::Key << nameOf(id) << YAML::Value << writer.object(id, OMnull_obj);
  }
  out << YAML::EndMap;
  return std::string("# Written by uirun --dump-yaml from a running interface.\n") + out.c_str() +
         "\n";
}

bool UIwriteInterfaceFile(const std::string& path, const std::vector<OMobj_id>& objects,
                          const UIloadResult& made, OMobj_id place, std::string* error) {
  std::ofstream out(path);
  out << UIinterfaceText(objects, made, place);
  out.close();
  if (!out) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}
