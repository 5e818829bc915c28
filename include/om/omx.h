// Thin C++ wrappers over objects of the object manager. Each binds to one object when it is
// made and reads and writes it through the C interface on every call: nothing is cached, so
// nothing goes stale. A wrapper never owns the object it is bound to.
#pragma once

#include "om/om.h"

// Binds to the sub-object `name` of `parent` (parent itself when name is null); `mode` is the
// lookup's. A plain wrapper (a value: bindings hold a score of them each, so it keeps nothing
// but its object) answers null as its owner and "OMXobj" as its class name; a group (OMXgroup)
// keeps the `owner` and `className` it was given.
class OMXobj {
 public:
  explicit OMXobj(OMobj_id parent, const char* name = nullptr, int mode = 0,
                  OMXobj* owner = nullptr, const char* className = nullptr);
  virtual ~OMXobj() = default;
  OMXobj(const OMXobj&) = delete;
  OMXobj& operator=(const OMXobj&) = delete;

  virtual const char* class_name() const { return "OMXobj"; }
  // The bound object (OMnull_obj when the sub-object was missing).
  OMobj_id obj_id(int /*mode*/ = 0) const { return id_; }
  virtual OMXobj* owner() const { return nullptr; }
  // 1 when the bound object is live.
  int valid_obj() const { return OMvalid_obj(id_, OMnull_obj, 0); }
  // Stamp of the bound object (mode as OMget_obj_seq); -1 when missing.
  int changed_seq(int mode = 3) const { return OMget_obj_seq(id_, OMnull_obj, mode); }
  // 1 when the stamp is newer than seq.
  int changed(int seq) const { return OMseq_newer(changed_seq(3), seq); }

 protected:
  // Rebinds to another object (used by groups binding members by position).
  void bind(OMobj_id id) { id_ = id; }

 private:
  OMobj_id id_;
};

// A primitive value: int and real access with conversion.
class OMXbprim : public OMXobj {
 public:
  using OMXobj::OMXobj;
  int get_int_val(int& value, int /*mode*/ = 0) const { return OMget_int_val(obj_id(), &value); }
  int set_int_val(int value, int /*mode*/ = 0) { return OMset_int_val(obj_id(), value); }
  int get_real_val(double& value, int /*mode*/ = 0) const {
    return OMget_real_val(obj_id(), &value);
  }
  int set_real_val(double value, int /*mode*/ = 0) { return OMset_real_val(obj_id(), value); }
};

class OMXint : public OMXbprim {
 public:
  using OMXbprim::OMXbprim;
};

class OMXenum : public OMXbprim {
 public:
  using OMXbprim::OMXbprim;
};

class OMXstr : public OMXobj {
 public:
  using OMXobj::OMXobj;
  // size 0: *value gets a malloc'ed copy the caller frees; else fills the caller's buffer.
  int get_str_val(char** value, int size = 0) const { return OMget_str_val(obj_id(), value, size); }
  int set_str_val(const char* value) { return OMset_str_val(obj_id(), value); }
};

// A group with a C++ side: the object manager makes one for an object whose template names a
// wrapper class, calls init when the object is instanced and update on every change.
class OMXgroup : public OMXobj {
 public:
  explicit OMXgroup(OMobj_id parent, const char* name = nullptr, int mode = 0,
                    OMXobj* owner = nullptr, const char* className = nullptr)
      : OMXobj(parent, name, mode), owner_(owner), className_(className ? className : "OMXobj") {}
  const char* class_name() const override { return className_; }
  OMXobj* owner() const override { return owner_; }
  // Itself when className is this wrapper's class name, else null.
  virtual OMXgroup* ret_omx_ptr(const char* className);
  virtual int init(unsigned int /*mask*/, int /*seq*/) { return 1; }
  virtual int update(unsigned int /*mask*/, int /*seq*/) { return 1; }

 private:
  OMXobj* owner_;
  const char* className_;
};

// The wrapper the object manager made for id (see OMXgroup), or null.
OMXgroup* OMret_omx_ptr(OMobj_id id, int mode);

// The visible sub-object at a position, or OMnull_obj.
OMobj_id OMget_subobj_at(OMobj_id parent, int index);

// Colours: member 0 the foreground colour, member 1 the background colour (strings).
class UIcolor : public OMXgroup {
 public:
  UIcolor(OMobj_id parent, const char* name = nullptr, int mode = 0, OMXobj* owner = nullptr,
          const char* className = "UIcolor");
  OMXstr foreground;
  OMXstr background;
};

// A picture: member 0 the file name, member 1 the file type (strings).
class UIpixmap : public OMXgroup {
 public:
  UIpixmap(OMobj_id parent, const char* name = nullptr, int mode = 0, OMXobj* owner = nullptr,
           const char* className = "UIpixmap");
  OMXstr filename;
  OMXstr fileType;
};

// Font attributes by position: a string, an int, three enumerations, a string.
class UIfontAttributes : public OMXgroup {
 public:
  UIfontAttributes(OMobj_id parent, const char* name = nullptr, int mode = 0,
                   OMXobj* owner = nullptr, const char* className = "UIfontAttributes");
  OMXstr family;
  OMXint size;
  OMXenum weight;
  OMXenum slant;
  OMXenum width;
  OMXstr encoding;
};
