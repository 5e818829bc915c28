// uirun: runs an interface file on an X display. It loads the file (the bundled gallery when
// none is given), shows it, and either runs until its windows are closed, takes a picture, or
// runs a script of commands against it.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "dump_yaml.h"
#include "interface_file.h"
#include "layout_save.h"
#include "om/om.h"
#include "om/om_registry.h"
#include "om/om_scope.h"
#include "private_display.h"
#include "session.h"
#include "svc/err.h"
#include "svc/ev.h"
#include "svc/file.h"
#include "ui/dpyMgr.h"
#include "ui/init.h"
#include "ui/layout.h"
#include "watch.h"

namespace {

const char* kAbout =
    "Runs the interface file FILE (default: the bundled gallery) on an X display.\n";

const char* kXtOptions =
    "Templates in a templates/ folder beside FILE are always read.\n"
    "X toolkit options (-display, -geometry, -title, -name, -iconic, -xrm, -bg, -fg, -fn ...)\n"
    "go to the toolkit as they are.\n";

const char* kStatus =
    "Exit status: 0 success, 1 a failed expect or script error, 2 a bad file or options,\n"
    "3 a script command past its deadline (the X server does not answer).\n";

// The usage line first, where people look for it, then what uirun does.
class UsageFormatter : public CLI::Formatter {
 public:
  std::string make_description(const CLI::App*) const override { return ""; }
  std::string make_usage(const CLI::App*, std::string) const override {
    return std::string("usage: uirun [options] [FILE]\n") + kAbout;
  }
};

struct Options {
  bool headless = false;
  bool stay = false;
  bool watch = false;
  bool version = false;
  bool edit = false;
  std::string screenshot;
  std::string script;
  std::string dumpYaml;
  std::string file;
  std::vector<std::string> templates;
  std::vector<char*> xtArgs;  // what goes to the toolkit
  bool displayGiven = false;
  int graceSeconds = 10;
};

// The command line: uirun's own options (CLI11) and the X toolkit's, told apart by their
// single dash.
class CommandLine {
 public:
  explicit CommandLine(Options* o) : app_("uirun") {
    app_.formatter(std::make_shared<UsageFormatter>());
    app_.set_help_flag("--help", "print this help and exit");
    app_.add_flag("--version", o->version, "print the version and exit");
    app_.add_flag("--headless", o->headless, "use a private Xvfb (also when $DISPLAY is unset)");
    app_.add_option("--screenshot", o->screenshot,
                    "wait until the interface settles, write its picture, exit")
        ->type_name("F.png");
    app_.add_option("--script", o->script, "run commands from F (- for standard input), then exit")
        ->type_name("F");
    app_.add_flag("--stay", o->stay, "keep running after the script until the windows are closed");
    app_.add_option("--deadline", o->graceSeconds,
                    "give each script command S seconds beyond its own time before uirun gives "
                    "up on the X server (0 to 3600, default 10)")
        ->type_name("S")
        ->check(CLI::Range(0, 3600));
    app_.add_flag("--edit", o->edit,
                  "layout editing: button 2 selects, moves and resizes (grid 4); Delete "
                  "deletes, Ctrl+Z undoes, Ctrl+Y redoes, Ctrl+S saves the x, y, width and "
                  "height edited into the file (also at exit)");
    app_.add_flag("--watch", o->watch,
                  "reload FILE when it or an include changes (errors keep the old one)");
    app_.add_option("--dump-yaml", o->dumpYaml,
                    "write the live objects as an interface file (after any script), exit")
        ->type_name("PATH");
    app_.add_option("--templates", o->templates,
                    "also read templates from PATH (a file or folder of *.yaml)")
        ->type_name("PATH")
        ->allow_extra_args(false);
    app_.add_option("FILE", o->file, "the interface file (default: the bundled gallery)")
        ->type_name("");
    app_.footer(std::string(kXtOptions) +
                "\nScript commands (PATH names an object from the top of the file):\n" +
                Session::commandHelp() + "\n" + kStatus);
  }

  std::string help() const { return app_.help(); }

  // 0 to go on; otherwise the exit status. *done when nothing is left to do (help, version).
  int parse(int argc, char** argv, Options* o, bool* done) {
    o->xtArgs.push_back(argv[0]);
    std::vector<std::string> own;
    for (int i = 1; i < argc; ++i) {
      std::string a = argv[i];
      if (a.rfind("--", 0) == 0 || a == "-" || a.empty() || a[0] != '-') {
        own.push_back(a);
        continue;
      }
      // An X toolkit option and its value, if it takes one (Xt removes what it knows).
      if (a == "-display" || a == "-d") o->displayGiven = true;
      o->xtArgs.push_back(argv[i]);
      static const char* const withValue[] = {
          "-display",    "-d",    "-geometry",   "-g",
          "-xrm",        "-name", "-title",      "-bg",
          "-background", "-fg",   "-foreground", "-fn",
          "-font",       "-bd",   "-bw",         "-selectionTimeout",
          "-xnllanguage"};
      for (const char* opt : withValue)
        if (a == opt && i + 1 < argc) o->xtArgs.push_back(argv[++i]);
    }
    o->xtArgs.push_back(nullptr);
    std::reverse(own.begin(), own.end());  // CLI11 takes its arguments last first
    try {
      app_.parse(own);
    } catch (const CLI::CallForHelp&) {
      std::cout << help();
      *done = true;
      return 0;
    } catch (const CLI::ParseError& e) {
      std::cerr << "uirun: " << e.what() << "\n";
      return 2;
    }
    if (o->version) {
      std::cout << "uirun " << UI_VERSION << "\n";
      *done = true;
      return 0;
    }
    if (o->file.empty()) o->file = defaultFile();
    return 0;
  }

 private:
  // The gallery of the kit's data folder (the installed one, or the source tree's).
  static std::string defaultFile() {
    char path[FILE_MAX_PATH];
    FILEmap_variables("$KLT_PATH<0>/examples/gallery.yaml", path);
    return path;
  }

  CLI::App app_;
};

// Layout editing of a loaded file: every object editable unless the file says otherwise, an
// edit-state object with editing on (grid 4, snapping), and the saver.
UIlayoutSaver* editSaver = nullptr;

void allowEditing(OMobj_id id, int depth = 0) {
  if (depth > 64) return;
  OMobj_id edit = OMfind_str_subobj(id, "layout.edit", 0);
  if (!!edit.serial && !OMis_set(edit)) OMset_int_val(edit, 1);
  int count = 0;
  OMget_num_subobjs(id, &count);
  for (int i = 0; i < count; ++i) {
    OMobj_id child = OMget_subobj_at(id, i);
    if (OMget_obj_kind(child) == OM_KIND_GROUP) allowEditing(child, depth + 1);
  }
}

int saveEdits(std::string* error) {
  std::string notes;
  int status = editSaver->save(&notes);
  std::cout << notes << std::flush;
  if (status) *error = "the edits were not saved";
  return status;
}

void startEditing(const UIloadResult& loaded, OMobj_id place) {
  for (OMobj_id id : loaded.objects) allowEditing(id);
  OMobj_id state;
  {
    OMcontext ctx(place, OM_CTX_BUILD, OM_CTX_PLAIN);
    state = OMcreate_obj_from_path("UIlayoutEditState", "uirunLayoutEditState", place);
    OMset_int_val(OMfind_str_subobj(state, "snap", 0), 1);
    OMset_int_val(OMfind_str_subobj(state, "gridX", 0), 4);
    OMset_int_val(OMfind_str_subobj(state, "gridY", 0), 4);
    OMset_int_val(OMfind_str_subobj(state, "edit", 0), 1);
  }
  static UIlayoutSaver saver(loaded);
  editSaver = &saver;
  UIlayoutSaveHook = [] {
    std::string error;
    if (saveEdits(&error)) std::cerr << "uirun: " << error << "\n";
  };
}

// A normal exit saves what is unsaved; a refused save makes the status 1.
int finish(int status) {
  if (status || !editSaver || !editSaver->dirty()) return status;
  std::string error;
  if (saveEdits(&error)) {
    std::cerr << "uirun: " << error << "\n";
    return status ? status : 1;
  }
  return status;
}

// An interface file's own templates live in a "templates" folder beside it; they are read
// first, so that --templates can still replace them, and only once.
void addTemplatesBeside(const std::string& folder, std::vector<std::string>* templates) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path beside = fs::path(folder) / "templates";
  if (!fs::is_directory(beside, ec)) return;
  for (const std::string& t : *templates)
    if (fs::equivalent(beside, t, ec)) return;
  templates->insert(templates->begin(), beside.string());
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  Options options;
  CommandLine commandLine(&options);
  bool done = false;
  int status = commandLine.parse(argc, argv, &options, &done);
  if (status || done) {
    if (status) std::cerr << "Run uirun --help for the options.\n";
    return status;
  }
  const char* display = std::getenv("DISPLAY");
  bool noDisplay = !options.displayGiven && (!display || !*display);
  // Nothing asked for but running it: an interface without windows shows its objects instead
  // (wherever it runs), and without a display the picture is what there is to show.
  bool justRun = options.script.empty() && options.screenshot.empty() && options.dumpYaml.empty() &&
                 !options.watch;
  bool pictureByDefault = noDisplay && justRun;
  if (pictureByDefault) {
    options.headless = true;
    options.screenshot = "uirun.png";
  }
  PrivateDisplay privateDisplay;
  if (options.headless || noDisplay) {
    std::string error;
    std::string name = privateDisplay.start(&error);
    if (name.empty()) {
      std::cerr << "uirun: " << error << "\n";
      return 2;
    }
    setenv("DISPLAY", name.c_str(), 1);
  }
  UIinit();
  // Pictures and templates of an interface file are found next to it.
  std::string folder = options.file.find('/') == std::string::npos
                           ? "."
                           : options.file.substr(0, options.file.rfind('/'));
  addTemplatesBeside(folder, &options.templates);
  for (const std::string& t : options.templates) {
    std::vector<OMtemplate_error> errors;
    if (!OMload_templates_path(t, &errors)) {
      for (const auto& e : errors) std::cerr << e.text() << "\n";
      return 2;
    }
  }
  int xtArgc = static_cast<int>(options.xtArgs.size()) - 1;
  UIglobal_init(&xtArgc, options.xtArgs.data());
  for (int i = 1; i < xtArgc; ++i) {
    std::cerr << "uirun: unknown option " << options.xtArgs[static_cast<size_t>(i)] << "\n"
              << "Run uirun --help for the options.\n";
    return 2;
  }
  OMset_path(5, (folder + ":" + OMget_path(5)).c_str());
  UIloadResult loaded = UIloadInterfaceFile(options.file);
  for (const UIloadError& e : loaded.errors) std::cerr << e.text() << "\n";
  if (!loaded.ok) return 2;
  OMobj_id place;
  OMget_array_subobj(OMinst_obj, 0, &place, 0);
  Session session(place, loaded.objects);
  if (options.edit) {
    startEditing(loaded, place);
    session.onSave(saveEdits);
  }
  // Watching starts at once, so that a script's waits see the file change too.
  std::unique_ptr<Watcher> watcher;
  if (options.watch) {
    watcher = std::make_unique<Watcher>(
        options.file, place, loaded,
        [&session](const std::vector<OMobj_id>& objects) { session.setObjects(objects); });
    watcher->start();
  }
  session.setDeadlineGrace(options.graceSeconds * 1000);
  session.settle();
  if (justRun && !session.showsAnything()) {
    for (OMobj_id id : loaded.objects) UIdumpObject(std::cout, id, 0);
    return 0;
  }
  // What the interface has become, written as an interface file; the run ends there.
  auto dump = [&]() {
    std::string error;
    if (UIwriteInterfaceFile(options.dumpYaml, session.objects(), loaded, place, &error)) return 0;
    std::cerr << "uirun: " << error << "\n";
    return 1;
  };
  bool goesOn = options.stay || options.watch;
  if (!options.screenshot.empty()) {
    std::string error;
    if (!session.screenshot(options.screenshot, &error)) {
      std::cerr << "uirun: " << error << "\n";
      return 1;
    }
    std::cout << "wrote " << options.screenshot << "\n";
    if (options.script.empty() && options.dumpYaml.empty() && !goesOn) return 0;
  }
  bool quit = false;
  if (!options.script.empty()) {
    if (options.script == "-") {
      status = session.runScript(std::cin, "<stdin>", &quit);
    } else {
      std::ifstream in(options.script);
      if (!in) {
        std::cerr << "uirun: cannot read " << options.script << "\n";
        return 2;
      }
      status = session.runScript(in, options.script, &quit);
    }
    if (status) return finish(status);
  }
  if (!options.dumpYaml.empty()) return dump();
  if (quit || (!options.script.empty() && !goesOn)) return finish(status);
  // Run until every window of the interface has been closed.
  while (session.anyWindowShown()) EVrun_once(100);
  return finish(0);
}
