// Links written as text: paths looked up in an object's scope and expressions over them.
#pragma once

#include <string>

#include "om/om.h"

// Finds the object a path names, seen from scope: the first step is looked up among scope's
// sub-objects, then among its containers' upward; ".." steps one container up; a leading "."
// starts at scope itself; "name[i]" picks an element. OMnull_obj when nothing matches.
OMobj_id OMresolve_path(OMobj_id scope, const char* path);

// Makes prop a link to text, seen from scope: a lone path makes a reference; an expression
// of paths and numbers with + - * / and parentheses ("<+>" reads as "+") makes a computed
// value. On failure nothing changes, 0 is returned, *error says why and *offset (0-based)
// where in text.
int OMset_expression(OMobj_id prop, OMobj_id scope, const char* text, std::string* error,
                     int* offset);
