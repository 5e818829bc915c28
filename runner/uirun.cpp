// uirun: runs an interface file on an X display. It loads the file (the bundled gallery when
// none is given), shows it, and either runs until its windows are closed, takes a picture, or
// runs a script of commands against it.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "interface_file.h"
#include "om/om.h"
#include "om/om_registry.h"
#include "private_display.h"
#include "session.h"
#include "svc/err.h"
#include "svc/ev.h"
#include "ui/dpyMgr.h"
#include "ui/init.h"

namespace {

const char* kUsage =
    "usage: uirun [options] [FILE]\n"
    "Runs the interface file FILE (default: the bundled gallery) on an X display.\n"
    "  --headless           use a private Xvfb (also when $DISPLAY is unset)\n"
    "  --screenshot F.png   wait until the interface settles, write its picture, exit\n"
    "  --script F           run commands from F (- for standard input), then exit\n"
    "  --stay               keep running after the script until the windows are closed\n"
    "  --deadline S         give each script command S seconds (0 to 3600, default 10)\n"
    "                       beyond its own time before uirun gives up on the X server\n"
    "  --templates PATH     also read templates from PATH (a file or folder of *.yaml);\n"
    "                       a templates/ folder beside FILE is always read\n"
    "  --help, --version\n"
    "  and the standard X toolkit options (-display, -geometry, -xrm ...).\n";

const char* kStatus =
    "Exit status: 0 success, 1 a failed expect or script error, 2 a bad file or options,\n"
    "3 a script command past its deadline (the X server does not answer).\n";

// The options, the script commands (from the session's table) and the exit statuses.
std::string usage() {
  return std::string(kUsage) +
         "Script commands (PATH names an object from the top of the file):\n" +
         Session::commandHelp() + kStatus;
}

struct Options {
  bool headless = false;
  bool stay = false;
  std::string screenshot;
  std::string script;
  std::string file = UI_DEFAULT_FILE;
  std::vector<std::string> templates;
  std::vector<char*> xtArgs;  // what goes to the toolkit
  bool displayGiven = false;
  int graceMs = 10000;
};

// 0 to go on; otherwise the exit status.
int parse(int argc, char** argv, Options* o, bool* done) {
  o->xtArgs.push_back(argv[0]);
  bool fileSeen = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= argc) return false;
      *into = argv[++i];
      return true;
    };
    if (a == "--help") {
      std::cout << usage();
      *done = true;
      return 0;
    } else if (a == "--version") {
      std::cout << "uirun " << UI_VERSION << "\n";
      *done = true;
      return 0;
    } else if (a == "--headless") {
      o->headless = true;
    } else if (a == "--stay") {
      o->stay = true;
    } else if (a == "--screenshot") {
      if (!value(&o->screenshot)) return 2;
    } else if (a == "--script") {
      if (!value(&o->script)) return 2;
    } else if (a == "--deadline") {
      std::string t;
      char* end = nullptr;
      long seconds = value(&t) ? std::strtol(t.c_str(), &end, 10) : -1;
      if (t.empty() || *end || seconds < 0 || seconds > 3600) {
        std::cerr << "uirun: --deadline takes seconds (0 to 3600)\n";
        return 2;
      }
      o->graceMs = static_cast<int>(seconds) * 1000;
    } else if (a == "--templates") {
      std::string t;
      if (!value(&t)) return 2;
      o->templates.push_back(t);
    } else if (a.rfind("--", 0) == 0) {
      std::cerr << "uirun: unknown option " << a << "\n";
      return 2;
    } else if (a[0] == '-' && a.size() > 1) {
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
    } else if (!fileSeen) {
      o->file = a;
      fileSeen = true;
    } else {
      std::cerr << "uirun: more than one file given\n";
      return 2;
    }
  }
  o->xtArgs.push_back(nullptr);
  return 0;
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
  bool done = false;
  int status = parse(argc, argv, &options, &done);
  if (status || done) {
    if (status) std::cerr << usage();
    return status;
  }
  const char* display = std::getenv("DISPLAY");
  bool noDisplay = !options.displayGiven && (!display || !*display);
  // Nothing asked for but running it: an interface without windows shows its objects instead
  // (wherever it runs), and without a display the picture is what there is to show.
  bool justRun = options.script.empty() && options.screenshot.empty();
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
              << usage();
    return 2;
  }
  OMset_path(5, (folder + ":" + OMget_path(5)).c_str());
  UIloadResult loaded = UIloadInterfaceFile(options.file);
  for (const UIloadError& e : loaded.errors) std::cerr << e.text() << "\n";
  if (!loaded.ok) return 2;
  OMobj_id place;
  OMget_array_subobj(OMinst_obj, 0, &place, 0);
  Session session(place, loaded.objects);
  session.setDeadlineGrace(options.graceMs);
  session.settle();
  if (justRun && !session.showsAnything()) {
    for (OMobj_id id : loaded.objects) UIdumpObject(std::cout, id, 0);
    return 0;
  }
  if (!options.screenshot.empty()) {
    std::string error;
    if (!session.screenshot(options.screenshot, &error)) {
      std::cerr << "uirun: " << error << "\n";
      return 1;
    }
    std::cout << "wrote " << options.screenshot << "\n";
    if (options.script.empty() && !options.stay) return 0;
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
    if (status || quit || !options.stay) return status;
  }
  // Run until every window of the interface has been closed.
  while (session.anyWindowShown()) EVrun_once(100);
  return 0;
}
