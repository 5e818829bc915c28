// Writing live objects back as an interface file, so that what a running interface has become
// can be saved and loaded again.
#pragma once

#include <string>
#include <vector>

#include "interface_file.h"
#include "om/om.h"

// The objects (top-level, in order, all under place) as interface-file text: each object's
// type, every property that holds a value or a link (links as "=> path" or as the file wrote
// the expression), groups as mappings, and child objects nested in their containers. A child's
// "parent" link to its container is left to the loader; what the library keeps for itself
// (pointers, the handle, the update stamp) is left out. `made` is what the loader said of the
// file the objects came from: their types and the texts of their links.
std::string UIinterfaceText(const std::vector<OMobj_id>& objects, const UIloadResult& made,
                            OMobj_id place);

// Writes UIinterfaceText to path. False, with *error set, when the file cannot be written.
bool UIwriteInterfaceFile(const std::string& path, const std::vector<OMobj_id>& objects,
                          const UIloadResult& made, OMobj_id place, std::string* error);
