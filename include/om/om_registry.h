// Templates as data, and the registry through which a library offers the methods and
// wrapper classes that templates name. The object manager never links against a library:
// a library registers its entry points by name, then templates are read.
#pragma once

#include <string>
#include <vector>

#include "om/om.h"

class OMXgroup;

typedef int (*OMinstance_fn)(OMobj_id);                   // instance and destroy methods
typedef int (*OMupdate_fn)(OMobj_id, unsigned int, int);  // update: (object, mask, seq)
typedef int (*OMupdate1_fn)(OMobj_id);                    // one-argument update
typedef int (*OMint_getter_fn)(OMobj_id, int*);           // value function: int getter
typedef int (*OMreal_getter_fn)(OMobj_id, double*);       // value function: real getter
typedef OMXgroup* (*OMomx_factory_fn)(OMobj_id);          // makes an object's wrapper

// Registers an entry point under a name that templates use. A later registration of the same
// name replaces the earlier one (for templates read afterwards).
void OMregister_instance_method(const char* name, OMinstance_fn fn);
void OMregister_update_method(const char* name, OMupdate_fn fn);
void OMregister_update1_method(const char* name, OMupdate1_fn fn);
void OMregister_int_getter(const char* name, OMint_getter_fn fn);
void OMregister_real_getter(const char* name, OMreal_getter_fn fn);
void OMregister_omx_class(const char* name, OMomx_factory_fn fn);

// The template at a dotted path below the templates root, or of a plain name wherever it sits
// among the templates (the newest definition of a name wins); OMnull_obj when there is none.
OMobj_id OMfind_template(const char* pathOrName);

// The object manager's own conversion of a value function's int getter into a real getter:
// calls the int getter of id's template and widens the result.
int OMint_get_real_val(OMobj_id id, double* value);

// Where a template-file problem was found.
struct OMtemplate_error {
  std::string file;
  int line = 0;    // 1-based; 0 when unknown
  int column = 0;  // 1-based
  std::string message;
  std::string text() const;  // "file:line:column: message"
};

// Reads templates from YAML text (format below) and adds them to the templates root.
// `origin` names the text in messages. On any problem nothing is added and every problem is
// appended to errors; returns 1 on success.
//
//   templates:
//     UIwinHandle:                      # a template; properties declared by kind
//       properties: { window: int, widget: ptr, event: int }
//     UIwindow:
//       methods: { instance: Fn, update: Fn, update1: Fn, destroy: Fn, getter: Fn,
//                  real_getter: Fn, class: WrapperClass }
//       properties:
//         parent: ref
//         visible: { kind: int, default: 1 }
//         handle: { type: UIwinHandle }     # a sub-object made from another template
//         color: { kind: group, members: { fg: string, bg: string } }
//         cmdList: { kind: "obj[]", elements: UIcommand }
//         count: int
//         items: { kind: "obj[]", elements: Item, size: count }   # as many elements as count
//     UIbutton: { base: UIwindow, library: UI.Controls }
//     Widths: { kind: "obj[]", methods: { getter: Fn } }        # the template's own kind
//
// Kinds: int, real, string, ptr, func, ref, group, int[], real[], string[], obj[] (quote the
// array kinds inside a flow mapping: { kind: "int[]" }).
// A default of a scalar kind is a YAML scalar; of an array kind, a sequence. Method names
// must be registered before the templates that name them are read.
// Where (0-based line and column) the first alias ("*name") of text's first YAML document
// stands; false when it has none or is not YAML. Used by every reader of YAML files, which
// refuse aliases.
bool OMfind_yaml_alias(const std::string& text, int* line, int* column);
int OMload_templates(const std::string& yamlText, const std::string& origin,
                     std::vector<OMtemplate_error>* errors);
// Reads a file, or every "*.yaml" file of a folder in name order. Only regular files of at
// most 16 MiB are read. A text that uses YAML aliases is refused (a node reached through
// several aliases would be made once per path to it), and so is one that would make more
// than 262144 objects or nest groups more than 64 deep.
int OMload_templates_path(const std::string& path, std::vector<OMtemplate_error>* errors);
