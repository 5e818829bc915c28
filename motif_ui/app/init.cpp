// Start-up: registration with the object manager, the command line, the choice of the
// application name and class, the default display and the global data object.
#include "ui/init.h"

#include <X11/Xlocale.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/file.h"
#include "svc/wt.h"
#include "ui/add_cmd.h"
#include "ui/core.h"
#include "ui/dial.h"
#include "ui/dialog.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/field.h"
#include "ui/import.h"
#include "ui/interact.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/list.h"
#include "ui/menus.h"
#include "ui/optionBox.h"
#include "ui/optionMenu.h"
#include "ui/palette.h"
#include "ui/panel.h"
#include "ui/radioBox.h"
#include "ui/rendview.h"
#include "ui/shell.h"
#include "ui/slider.h"
#include "ui/text.h"

int GlobalArgs::argcount = 0;
char** GlobalArgs::argvalues = nullptr;
GlobalArgs* globalArgs = nullptr;
bool UInoDialogWait = false;

GlobalArgs::GlobalArgs(int argc, char** argv) {
  count = 0;
  values.clear();
  // The pristine copy is the class's: the command line as last given.
  for (int i = 0; i < argcount; ++i) std::free(argvalues[i]);
  std::free(argvalues);
  argcount = argc > 0 && argv ? argc : 0;
  argvalues = static_cast<char**>(std::calloc(static_cast<size_t>(argcount) + 1, sizeof(char*)));
  for (int i = 0; i < argcount; ++i) argvalues[i] = strdup(argv[i] ? argv[i] : "");
  reset();
}

GlobalArgs::~GlobalArgs() {
  for (char* s : owned_) std::free(s);
}

void GlobalArgs::reset() {
  for (char* s : owned_) std::free(s);
  owned_.clear();
  values.clear();
  for (int i = 0; i < argcount; ++i) owned_.push_back(strdup(argvalues[i]));
  values = owned_;
  values.push_back(nullptr);
  count = argcount;
}

namespace {

// The value of an environment variable, or fallback when it is unset or empty.
const char* envOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

const char* baseName(const char* path) {
  if (!path) return "ui";
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// Removes every "-no_dialog_wait" after the program name; true when there was one.
bool stripNoDialogWait(int* argc, char** argv) {
  bool found = false;
  for (int i = 1; i < *argc;) {
    if (argv[i] && argv[i][0] == '-' && std::strcmp(argv[i], "-no_dialog_wait") == 0) {
      for (int j = i; j < *argc; ++j) argv[j] = argv[j + 1];  // the null moves down too
      --*argc;
      found = true;
    } else {
      ++i;
    }
  }
  return found;
}

// Gives the caller back what Xt's option parsing left: each remaining argument is the caller's
// own string with that text, used once.
void writeBackArguments(int* argc, char** argv) {
  // An empty command line has nothing to give back (and no room after argv[0]).
  if (!globalArgs || *argc < 1) return;
  std::vector<char*> callers(argv + 1, argv + *argc);
  int n = 1;
  for (int i = 1; i < globalArgs->count; ++i) {
    const char* left = globalArgs->values[static_cast<size_t>(i)];
    for (char*& mine : callers) {
      if (mine && left && std::strcmp(mine, left) == 0) {
        argv[n++] = mine;
        mine = nullptr;
        break;
      }
    }
  }
  argv[n] = nullptr;
  *argc = n;
}

void attachGlobalData() {
  OMobj_id templ = OMfind_str_subobj(OMtempl_obj, "UI_GLOBAL", 0);
  if (!templ.serial) {
    ERRerror("UIglobal_init", 0, 2, "unable to find object Templates.UI_GLOBAL");
    return;
  }
  OMobj_name dataName = OMstr_to_name("UIdata");
  OMobj_id data = OMfind_subobj(templ, dataName, 0);
  if (!data.serial || OMfind_subobj(OMroot_obj, dataName, 0).serial) return;
  OMobj_id link = OMcreate_obj(dataName, OM_KIND_REF, OMroot_obj, OMnull_obj, 0);
  OMset_obj_ref(link, data, 0);
  OMcontext ctx(data, OM_CTX_BUILD, OM_CTX_PLAIN);
  OMactivate_obj(data);
  OMinstance_obj(data);
  OMobj_id element;
  OMobj_id displays = OMfind_subobj(data, OMstr_to_name("UIdisplays"), 0);
  if (displays.serial) {
    OMset_name_int_val(data, OMstr_to_name("num_displays"), 1);
    OMget_array_val(displays, 0, &element, 0);
  }
  OMobj_id fonts = OMfind_subobj(data, OMstr_to_name("UIfonts"), 0);
  if (fonts.serial) {
    OMset_name_int_val(data, OMstr_to_name("num_fonts"), 1);
    OMget_array_val(fonts, 0, &element, 0);
  }
}

void registerEntryPoints() {
  OMregister_instance_method("UIwindDestroy", UIwindDestroy);
  struct Type {
    const char* instance;
    OMinstance_fn instanceFn;
    const char* update;
    OMupdate_fn updateFn;
  } const types[] = {
      {"UIpanelInstance", UIpanelInstance, "UIpanelUpdate", UIpanelUpdate},
      {"UIframeInstance", UIframeInstance, "UIframeUpdate", UIframeUpdate},
      {"UIscrolledWindowInstance", UIscrolledWindowInstance, "UIscrolledWindowUpdate",
       UIscrolledWindowUpdate},
      {"UIshellInstance", UIshellInstance, "UIshellUpdate", UIshellUpdate},
      {"UIappInstance", UIappInstance, "UIappUpdate", UIappUpdate},
      {"UIlabelInstance", UIlabelInstance, "UIlabelUpdate", UIlabelUpdate},
      {"UIbuttonInstance", UIbuttonInstance, "UIbuttonUpdate", UIbuttonUpdate},
      {"UItoggleInstance", UItoggleInstance, "UItoggleUpdate", UItoggleUpdate},
      {"UIfieldInstance", UIfieldInstance, "UIfieldUpdate", UIfieldUpdate},
      {"UItextInstance", UItextInstance, "UItextUpdate", UItextUpdate},
      {"UIsliderInstance", UIsliderInstance, "UIsliderUpdate", UIsliderUpdate},
      {"UIdialInstance", UIdialInstance, "UIdialUpdate", UIdialUpdate},
      {"UIlistInstance", UIlistInstance, "UIlistUpdate", UIlistUpdate},
      {"UImultiListInstance", UImultiListInstance, "UImultiListUpdate", UImultiListUpdate},
      {"UIoptionMenuInstance", UIoptionMenuInstance, "UIoptionMenuUpdate", UIoptionMenuUpdate},
      {"UIoptionMenu30Instance", UIoptionMenu30Instance, "UIoptionMenu30Update",
       UIoptionMenu30Update},
      {"UIradioBoxInstance", UIradioBoxInstance, "UIradioBoxUpdate", UIradioBoxUpdate},
      {"UIoptionBoxInstance", UIoptionBoxInstance, "UIoptionBoxUpdate", UIoptionBoxUpdate},
      {"UIrendViewInstance", UIrendViewInstance, "UIrendViewUpdate", UIrendViewUpdate},
  };
  for (const Type& t : types) {
    OMregister_instance_method(t.instance, t.instanceFn);
    OMregister_update_method(t.update, t.updateFn);
  }
  OMregister_update1_method("UIdisplayUpdate", UIdisplayUpdate);
  OMregister_update1_method("UIcmdUpdate", UIcmdUpdate);
  OMregister_update1_method("UIoptionUpdate", UIoptionUpdate);
  OMregister_update1_method("UIradioListUpdate", UIradioListUpdate);
  OMregister_instance_method("UIcmdDelete", UIcmdDelete);
  OMregister_update1_method("UIfontUpdate", UIfontUpdate);
  UIdialogsRegister();
  OMregister_update_method("UIonePointUpdate", UIonePointUpdate);
  OMregister_update_method("UItwoPointUpdate", UItwoPointUpdate);
  OMregister_update_method("UImouseEventsUpdate", UImouseEventsUpdate);
  OMregister_instance_method("UIinteractDestroy", UIinteractDestroy1);
  OMregister_update1_method("UIdyn_wind_update", UIdyn_wind_update);
  OMregister_instance_method("UIdyn_wind_destroy", UIdyn_wind_destroy);
  OMregister_update_method("UItoolbarUpdate", UItoolbarUpdate);
  for (auto [name, fn] : {std::pair<const char*, OMupdate1_fn>{"module_init", module_init},
                          {"add_cmd", add_cmd},
                          {"UIset_parent_inst", UIset_parent_inst},
                          {"UIdefault_shell_inst", UIdefault_shell_inst},
                          {"KUdefault_shell_create", KUdefault_shell_create},
                          {"UIadd_to_list_inst", UIadd_to_list_inst},
                          {"UIadd_to_list_inst_set", UIadd_to_list_inst_set},
                          {"KUoption_list_update", KUoption_list_update},
                          {"KUtoolbar_update", KUtoolbar_update},
                          {"label_label", label_label},
                          {"label_text", label_text},
                          {"label_cmd", label_cmd},
                          {"UIwidgetPaletteNOR", UIwidgetPaletteNOR},
                          {"UIwidgetPaletteMUX", UIwidgetPaletteMUX}})
    OMregister_update1_method(name, fn);
}

}  // namespace

void UIinit() {
  static bool done = false;
  if (done) return;
  done = true;
  UIshellInit();
  UImenuInit();
  registerEntryPoints();
  UIeditorRegister();
  UIfunc_init();
  // Data files (pictures ...) are searched in the folders of $CQ_DATA_PATH, then in the
  // project's runtime folder.
  if (!*OMget_path(5)) {
    const char* folders = std::getenv("CQ_DATA_PATH");
    std::string path = folders && *folders ? std::string(folders) + ":" : std::string();
    path += FILEruntime_dir();
    OMset_path(5, path.c_str());
  }
  char kit[FILE_MAX_PATH];
  FILEmap_variables("$KLT_PATH<0>/kit", kit);
  std::vector<OMtemplate_error> errors;
  if (!OMload_templates_path(kit, &errors))
    for (const OMtemplate_error& e : errors) ERRerror("UIinit", 0, 2, "%s", e.text().c_str());
  OMadd_exit_func(UIshutdown, nullptr);
}

void UIglobal_init(int* argc, char** argv) {
  if (!argc || !argv) return;
  UInoDialogWait = stripNoDialogWait(argc, argv);
  // The blocking dialogs answer the error service's questions unless told not to wait.
  if (!UInoDialogWait) UIinstallSyncDialogs();
  delete globalArgs;
  globalArgs = new GlobalArgs(*argc, argv);
  // "-name" is the application name for resources and WM_CLASS, as in any Xt program; it wins
  // over $CQ_XAPPNAME.
  std::string name = UIcommandLineOption("name");
  UIsetAppNameAndClass(name.empty() ? envOr("CQ_XAPPNAME", baseName(argv[0])) : name.c_str(),
                       envOr("CQ_XAPPCLASS", "Corvane"));
  UIgetDisplayContext("");  // the default display: "-display", else $DISPLAY
  writeBackArguments(argc, argv);
  attachGlobalData();
}

void UIshutdown(void*) {
  UI_CloseDisplays();
}

void UIsetResourcePath() {
  if (std::getenv("XAPPLRESDIR")) return;
  static char* setting = nullptr;  // putenv keeps the pointer: it lives for the process
  if (setting) return;
  char root[FILE_MAX_PATH];
  FILEmap_variables("$KLT_PATH<0>", root);
  size_t size = std::strlen(root) + 64;
  setting = static_cast<char*>(std::malloc(size));
  std::snprintf(setting, size, "XAPPLRESDIR=%s/%s", root, "runtime/nls");
  putenv(setting);
}

String UILanguageProc(Display*, String, XtPointer) {
  if (!XSupportsLocale()) {
    XtWarning("This version of Xlib does not support locale; using C");
    std::setlocale(LC_ALL, "C");
  }
  if (!XSetLocaleModifiers("")) XtWarning("This version of Xlib does not support locale modifiers");
  return std::setlocale(LC_ALL, nullptr);
}

int text_width_get_int_val(OMobj_id id, int* value) {
  OMobj_id element;
  int status = OMget_array_subobj(id, 0, &element, 0);
  if (status != 1) return status;
  OMtext text = OMget_text(element);
  if (!text) return 0;
  *value = WTtext_width_default(text.get());
  return 1;
}

void UIfunc_init() {
  static bool done = false;
  if (done) return;
  done = true;
  OMregister_int_getter("text_width_get_int_val", text_width_get_int_val);
  OMregister_real_getter("OMint_get_real_val", OMint_get_real_val);
  std::vector<OMtemplate_error> errors;
  OMload_templates(
      "templates:\n"
      "  ui_text_width:\n"
      "    kind: \"obj[]\"\n"
      "    methods: { getter: text_width_get_int_val, real_getter: OMint_get_real_val }\n",
      "ui_text_width", &errors);
  for (const OMtemplate_error& e : errors) ERRerror("UIfunc_init", 0, 2, "%s", e.text().c_str());
}

int UIfontUpdate(OMobj_id id) {
  OMobj_id height = OMfind_subobj(id, OMstr_to_name("height"), 0);
  if (height.serial) OMset_int_val(height, 12);
  OMobj_id lineHeight = OMfind_subobj(id, OMstr_to_name("lineHeight"), 0);
  if (lineHeight.serial) OMset_int_val(lineHeight, 24);
  return 1;
}
