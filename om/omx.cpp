// The wrapper classes.
#include "om/omx.h"

#include <cstring>

#include "om_internal.h"

using namespace om;

OMXobj::OMXobj(OMobj_id parent, const char* name, int mode, OMXobj*, const char*)
    : id_(name ? OMfind_subobj(parent, OMstr_to_name(name), mode) : parent) {}

OMXgroup* OMXgroup::ret_omx_ptr(const char* className) {
  return className && std::strcmp(className, class_name()) == 0 ? this : nullptr;
}

OMXgroup* OMret_omx_ptr(OMobj_id id, int) {
  Obj scratch;
  if (!view(id, &scratch)) return nullptr;
  return wrapperOf(id.serial);
}

OMobj_id OMget_subobj_at(OMobj_id parent, int index) {
  // childAt answers 0 for a parent that is not there (a copy as made from its shape first).
  return parent.live == 1 ? idOf(childAt(parent.serial, index)) : OMnull_obj;
}

namespace {

// The members of a group are reached by position, whatever the template calls them.
OMobj_id member(const OMXobj& group, int index) {
  return OMget_subobj_at(group.obj_id(), index);
}

}  // namespace

UIcolor::UIcolor(OMobj_id parent, const char* name, int mode, OMXobj* owner, const char* className)
    : OMXgroup(parent, name, mode, owner, className),
      foreground(member(*this, 0), nullptr, mode, this, "string"),
      background(member(*this, 1), nullptr, mode, this, "string") {}

UIpixmap::UIpixmap(OMobj_id parent, const char* name, int mode, OMXobj* owner,
                   const char* className)
    : OMXgroup(parent, name, mode, owner, className),
      filename(member(*this, 0), nullptr, mode, this, "string"),
      fileType(member(*this, 1), nullptr, mode, this, "string") {}

UIfontAttributes::UIfontAttributes(OMobj_id parent, const char* name, int mode, OMXobj* owner,
                                   const char* className)
    : OMXgroup(parent, name, mode, owner, className),
      family(member(*this, 0), nullptr, mode, this, "string"),
      size(member(*this, 1), nullptr, mode, this, "int"),
      weight(member(*this, 2), nullptr, mode, this, "enum"),
      slant(member(*this, 3), nullptr, mode, this, "enum"),
      width(member(*this, 4), nullptr, mode, this, "enum"),
      encoding(member(*this, 5), nullptr, mode, this, "string") {}
