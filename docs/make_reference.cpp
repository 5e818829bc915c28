// make_reference: writes the reference of the kit's templates (docs/reference.md) from the
// template files themselves, or checks that the written one is current.
//   make_reference [--check] KIT_DIR NOTES OUTPUT
// Every *.yaml file of KIT_DIR is read in name order, every template in file order, so
// templates added later appear without a change here. NOTES (docs/kit-notes.yaml) says, per
// template, what it is ("about") and which way its properties flow ("flow": in, out or both);
// a property the notes do not name flows from the object to the widget. --check exits 1 when
// OUTPUT differs from what would be written.
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Property {
  std::string name;  // dotted for members of groups: "color.foregroundColor"
  std::string kind;
  std::string defaultText;
};

struct Template {
  std::string name;
  std::string file;
  std::string base;
  std::string library;
  std::string kind;
  std::vector<std::pair<std::string, std::string>> methods;  // role, function
  std::vector<Property> properties;
  std::string about;
  std::map<std::string, std::string> flow;  // property -> in, out, both
};

struct Kit {
  std::vector<std::string> files;             // in order, with their titles
  std::map<std::string, std::string> titles;  // file -> its first comment line
  std::vector<Template> templates;            // in order
  std::vector<std::string> errors;
};

std::string scalarText(const YAML::Node& n) {
  if (n.IsScalar()) return n.Scalar();
  if (n.IsSequence()) {
    std::string out = "[";
    for (size_t i = 0; i < n.size(); ++i) out += (i ? ", " : "") + scalarText(n[i]);
    return out + "]";
  }
  return "";
}

std::string where(const std::string& file, const YAML::Node& n) {
  return file + ":" + std::to_string(n.Mark().line + 1) + ":" + std::to_string(n.Mark().column + 1);
}

void readProperty(const std::string& file, const std::string& prefix, const YAML::Node& key,
                  const YAML::Node& decl, std::vector<Property>* out, Kit* kit) {
  std::string name = prefix + key.Scalar();
  if (decl.IsScalar()) {
    out->push_back({name, decl.Scalar(), ""});
    return;
  }
  if (!decl.IsMap()) {
    kit->errors.push_back(where(file, decl) + ": property '" + name +
                          "' is neither a kind nor a mapping");
    return;
  }
  if (decl["type"]) {
    out->push_back({name, "object of " + decl["type"].Scalar(), ""});
    return;
  }
  std::string kind = decl["kind"] ? decl["kind"].Scalar() : "?";
  Property p{name, kind, decl["default"] ? scalarText(decl["default"]) : ""};
  if (decl["elements"]) p.kind += " of " + decl["elements"].Scalar();
  if (decl["size"]) p.kind += ", as many as " + prefix + decl["size"].Scalar();
  if (decl["members"] && decl["members"].IsMap()) {
    out->push_back(p);
    for (auto it = decl["members"].begin(); it != decl["members"].end(); ++it)
      readProperty(file, name + ".", it->first, it->second, out, kit);
    return;
  }
  out->push_back(p);
}

void readFile(const fs::path& path, Kit* kit) {
  std::string file = path.filename().string();
  std::ifstream in(path);
  std::string first;
  std::getline(in, first);
  kit->files.push_back(file);
  kit->titles[file] = first.rfind("# ", 0) == 0 ? first.substr(2) : file;
  YAML::Node doc;
  try {
    doc = YAML::LoadFile(path.string());
  } catch (const YAML::Exception& e) {
    kit->errors.push_back(file + ": " + e.what());
    return;
  }
  if (!doc.IsMap() || !doc["templates"] || !doc["templates"].IsMap()) {
    kit->errors.push_back(file + ": no 'templates' mapping");
    return;
  }
  for (auto it = doc["templates"].begin(); it != doc["templates"].end(); ++it) {
    Template t;
    t.name = it->first.Scalar();
    t.file = file;
    YAML::Node body = it->second;  // a copy: the iterator hands out a temporary
    if (body.IsMap()) {
      if (body["base"]) t.base = body["base"].Scalar();
      if (body["library"]) t.library = body["library"].Scalar();
      if (body["kind"]) t.kind = body["kind"].Scalar();
      if (body["methods"] && body["methods"].IsMap())
        for (auto m = body["methods"].begin(); m != body["methods"].end(); ++m)
          t.methods.emplace_back(m->first.Scalar(), m->second.Scalar());
      if (body["properties"] && body["properties"].IsMap())
        for (auto p = body["properties"].begin(); p != body["properties"].end(); ++p)
          readProperty(file, "", p->first, p->second, &t.properties, kit);
    }
    kit->templates.push_back(t);
  }
}

// The template's own declaration of a property, or its nearest base's; null when none has it.
const Property* declaration(const Kit& kit, const Template& t, const std::string& prop) {
  std::set<std::string> seen;
  for (const Template* at = &t; at && seen.insert(at->name).second;) {
    for (const Property& p : at->properties)
      if (p.name == prop) return &p;
    auto base = std::find_if(kit.templates.begin(), kit.templates.end(),
                             [&](const Template& x) { return x.name == at->base; });
    at = base == kit.templates.end() ? nullptr : &*base;
  }
  return nullptr;
}

bool declared(const Kit& kit, const Template& t, const std::string& prop) {
  return declaration(kit, t, prop) != nullptr;
}

// The notes: per template, what it is ("about") and which way its properties flow ("flow").
void readNotes(const fs::path& path, Kit* kit) {
  std::string file = path.string();
  YAML::Node notes;
  try {
    notes = YAML::LoadFile(file);
  } catch (const YAML::Exception& e) {
    kit->errors.push_back(file + ": " + e.what());
    return;
  }
  if (!notes.IsMap()) {
    kit->errors.push_back(file + ": the notes are a mapping of templates");
    return;
  }
  for (auto it = notes.begin(); it != notes.end(); ++it) {
    std::string name = it->first.Scalar();
    auto t = std::find_if(kit->templates.begin(), kit->templates.end(),
                          [&](const Template& x) { return x.name == name; });
    if (t == kit->templates.end()) {
      kit->errors.push_back(where(file, it->first) + ": notes on '" + name +
                            "', which no template file defines");
      continue;
    }
    YAML::Node entry = it->second;  // a copy: the iterator hands out a temporary
    if (entry["about"]) t->about = entry["about"].Scalar();
    const YAML::Node flow = entry["flow"];
    if (!flow) continue;
    for (auto f = flow.begin(); f != flow.end(); ++f) {
      std::string prop = f->first.Scalar(), way = f->second.Scalar();
      if (way != "in" && way != "out" && way != "both")
        kit->errors.push_back(where(file, f->second) + ": flow of '" + prop +
                              "' is in, out or both, not '" + way + "'");
      if (!declared(*kit, *t, prop))
        kit->errors.push_back(where(file, f->first) + ": '" + name + "' declares no property '" +
                              prop + "'");
      t->flow[prop] = way;
    }
  }
}

std::string anchor(const std::string& name) {
  std::string out;
  for (char c : name)
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

const char* flowText(const std::string& way) {
  if (way == "out") return "widget to object";
  if (way == "both") return "both ways";
  return "object to widget";
}

// A template's rows: what it declares, then the inherited properties whose flow its notes
// change.
std::vector<Property> rowsOf(const Kit& kit, const Template& t) {
  std::vector<Property> rows = t.properties;
  for (const auto& entry : t.flow) {
    bool own = std::any_of(rows.begin(), rows.end(),
                           [&](const Property& p) { return p.name == entry.first; });
    if (!own)
      if (const Property* p = declaration(kit, t, entry.first)) rows.push_back(*p);
  }
  return rows;
}

// The flow the nearest notes give a property, from the template up through its bases.
std::string flowOf(const std::map<std::string, const Template*>& byName, const Template& t,
                   const std::string& prop) {
  std::set<std::string> seen;
  for (const Template* at = &t; at && seen.insert(at->name).second;) {
    auto f = at->flow.find(prop);
    if (f != at->flow.end()) return f->second;
    auto b = byName.find(at->base);
    at = b == byName.end() ? nullptr : b->second;
  }
  return "in";
}

// A file's first comment line names its part of the kit; its closing full stop is dropped.
std::string title(const Kit& kit, const std::string& file) {
  std::string t = kit.titles.at(file);
  if (!t.empty() && t.back() == '.') t.pop_back();
  return t;
}

std::string write(const Kit& kit) {
  std::map<std::string, const Template*> byName;
  for (const Template& t : kit.templates) byName[t.name] = &t;
  std::ostringstream out;
  out << "# Reference of the kit's templates\n\n"
      << "Generated from the template files in `kit/` and the notes in `docs/kit-notes.yaml` by\n"
      << "`docs/make_reference`; do not edit it by hand. After changing a template or a note, run\n"
      << "`cmake --build build --target reference`; the test `reference_current` fails while\n"
      << "this file is stale.\n\n"
      << "Each property has a kind (int, real, string, ptr, ref, group, arrays), a default when\n"
      << "the template gives one (otherwise it starts unset and the binding's own default\n"
      << "applies), and a flow: *object to widget* (the binding applies it), *widget to object*\n"
      << "(the binding writes it when the user or the window system acts) or *both ways*.\n"
      << "Members of a group are written `group.member`.\n\n";
  for (const std::string& file : kit.files) {
    out << "- " << title(kit, file) << " (`kit/" << file << "`):";
    bool any = false;
    for (const Template& t : kit.templates)
      if (t.file == file) {
        out << (any ? ", " : " ") << "[" << t.name << "](#" << anchor(t.name) << ")";
        any = true;
      }
    out << "\n";
  }
  for (const std::string& file : kit.files) {
    out << "\n## " << title(kit, file) << "\n";
    for (const Template& t : kit.templates) {
      if (t.file != file) continue;
      out << "\n### " << t.name << "\n\n";
      if (!t.about.empty()) out << t.about << "\n\n";
      std::vector<std::string> facts;
      if (!t.base.empty()) facts.push_back("Based on: [" + t.base + "](#" + anchor(t.base) + ")");
      if (!t.library.empty()) facts.push_back("Library: `" + t.library + "`");
      if (!t.kind.empty()) facts.push_back("Kind: " + t.kind);
      if (!t.methods.empty()) {
        std::string m = "Methods:";
        for (size_t i = 0; i < t.methods.size(); ++i)
          m += (i ? ", " : " ") + t.methods[i].first + " `" + t.methods[i].second + "`";
        facts.push_back(m);
      }
      std::vector<Property> rows = rowsOf(kit, t);
      std::set<std::string> shown;
      for (const Property& p : rows) shown.insert(p.name);
      // What it inherits, nearest base first, without what a nearer one shows.
      std::set<std::string> seen{t.name};
      for (auto b = byName.find(t.base); b != byName.end() && seen.insert(b->first).second;
           b = byName.find(b->second->base)) {
        std::string names;
        for (const Property& p : rowsOf(kit, *b->second))
          if (p.name.find('.') == std::string::npos && shown.insert(p.name).second)
            names += (names.empty() ? " " : ", ") + p.name;
        if (!names.empty())
          facts.push_back("From [" + b->first + "](#" + anchor(b->first) + "):" + names);
      }
      for (const std::string& f : facts) out << "- " << f << "\n";
      if (rows.empty()) {
        out << (facts.empty() ? "" : "\n") << "No properties of its own.\n";
        continue;
      }
      out << (facts.empty() ? "" : "\n")
          << "| Property | Kind | Default | Flow |\n|---|---|---|---|\n";
      for (const Property& p : rows)
        out << "| `" << p.name << "` | " << p.kind << " | "
            << (p.defaultText.empty() ? "unset" : "`" + p.defaultText + "`") << " | "
            << (p.kind == "group" ? "(its members)" : flowText(flowOf(byName, t, p.name)))
            << " |\n";
    }
  }
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool check = !args.empty() && args[0] == "--check";
  if (check) args.erase(args.begin());
  if (args.size() != 3) {
    std::cerr << "usage: make_reference [--check] KIT_DIR NOTES OUTPUT\n";
    return 2;
  }
  Kit kit;
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(args[0], ec))
    if (entry.path().extension() == ".yaml") files.push_back(entry.path());
  if (ec || files.empty()) {
    std::cerr << "make_reference: no template files in " << args[0] << "\n";
    return 2;
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& f : files) readFile(f, &kit);
  readNotes(args[1], &kit);
  for (const std::string& e : kit.errors) std::cerr << e << "\n";
  if (!kit.errors.empty()) return 2;
  std::string text = write(kit);
  if (check) {
    std::ifstream in(args[2]);
    std::stringstream now;
    now << in.rdbuf();
    if (now.str() == text) return 0;
    std::cerr << args[2] << " is stale: run cmake --build build --target reference\n";
    return 1;
  }
  std::ofstream out(args[2]);
  out << text;
  if (!out) {
    std::cerr << "make_reference: cannot write " << args[2] << "\n";
    return 2;
  }
  return 0;
}
