// Application glue the object manager calls as methods: module registration (a "Modules"
// menu entry, a place under the module stack's window), default parents and default shells,
// command-list membership and radio option lists. None of them makes a widget; they create,
// link and set objects, and the widget types react. Results: 1 done, 0 nothing done or
// failed, -1 refused.
#pragma once

#include "om/om.h"

// Calls the "module_register" function of the nearest ancestor that has one with (ancestor,
// module). 1 when no ancestor has one; -1 (reported as "can't find register function
// pointer" from "module_init") when the ancestor's function is not set.
int module_init(OMobj_id module);
// The usual registration function: the module's option ("UIoption") shows its "title" and
// "message" and switches "visible"; its "parent" leads to the module stack's parent; the
// option joins ctx's "Modules" "cmdList". 1 also when already registered ("parent" set); 0
// without "Modules" or its "cmdList"; -1 when another object it needs is missing.
int module_register(OMobj_id ctx, OMobj_id module);
// Adds obj's "cmd" to the "Modules" "cmdList" beside obj's parent object, once. 1; 0 when
// "parent" has no value.
int add_cmd(OMobj_id obj);

// The first sub-object of start (then of its ancestors, unless noAscend) whose string
// property propName (read up to 256 bytes) contains needle. A property reading exactly
// "<stop>" ends the search without result; a sub-object with "ui_global_class" 1 is searched
// too; an ancestor whose "ui_parent" reads other than 1 is not entered. OMnull_obj when none.
OMobj_id UIfind_class_obj(OMobj_id start, const char* needle, const char* propName, int noAscend);

// Links an unset "parent" to the nearest object whose "widget_class" contains "parent_class",
// searched from skip_levels + 1 levels up (default 0 levels skipped). 1 when there is nothing
// to do or the link was made; 0 when "parent_class" does not read, skip_levels is negative,
// the chain of parents ends, or nothing is found.
int UIset_default_parent(OMobj_id obj);
// UIset_default_parent; 1.
int UIset_parent_inst(OMobj_id obj);
// A default parent, else (unless an ancestor's "ui_default_shell" reads 0) a default shell. 1.
int UIdefault_shell_inst(OMobj_id obj);
// Makes a "UIshell" below obj (not saved) that obj goes into: visibility, size (with
// useDefaults from "defaultWidth" ... "defaultY"), title; no status bar. 0 when the shell
// cannot be made, else 1.
int UIdefault_shell_attach(OMobj_id obj, int useDefaults);
// UIdefault_shell_attach(parent of obj, 1); 1.
int KUdefault_shell_create(OMobj_id obj);

// Puts obj at the end of the "cmdList" of the nearest object whose "list_class" contains
// "cmd_list_class" (skip_levels as above), once. 1; 0 when no list is found, the class does
// not read or skip_levels is negative. (Every object is processed: this object manager has no
// per-record mark for objects to leave alone.)
int UIadd_to_list_inst(OMobj_id obj);
// UIadd_to_list_inst, and "set" 1 when it did not add; 1.
int UIadd_to_list_inst_set(OMobj_id obj);
// With "radioBehavior" non-zero: the most recently switched-on option of "cmdList" (else the
// first that has "set") becomes "selectedItem" and the only one set. Writes only what
// differs. 1; 0 without "cmdList".
int KUoption_list_update(OMobj_id list);
