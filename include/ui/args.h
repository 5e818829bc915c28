// Arg lists, built one way. A resource list that is assembled (a resource only under some
// condition, a list handed on to another function) is a UIargs; a fixed list set or read in
// one call stays an XtVa... call.
//
//   UIargs args{{XmNx, x}, {XmNy, y}, {XmNuserData, this}};
//   if (!geometry.empty()) args.add(XmNgeometry, geometry.c_str());
//   XtCreateWidget(name, cls, parent, args.list(), args.count());
#pragma once

#include <X11/Intrinsic.h>

#include <cstddef>
#include <initializer_list>
#include <type_traits>
#include <vector>

class UIargs {
 public:
  // One resource and its value: integers, enumerations and pointers (as XtSetArg takes them).
  struct Entry {
    template <class T>
    Entry(const char* name, T value) : arg{const_cast<String>(name), toArgVal(value)} {}
    Arg arg;
  };

  // Room for a usual widget's list is taken at once: grown one resource at a time, a list of a
  // dozen was copied four times over.
  UIargs() { args_.reserve(kUsual); }
  UIargs(std::initializer_list<Entry> entries) {
    args_.reserve(entries.size() > kUsual ? entries.size() : kUsual);
    for (const Entry& e : entries) args_.push_back(e.arg);
  }

  template <class T>
  UIargs& add(const char* name, T value) {
    args_.push_back(Entry(name, value).arg);
    return *this;
  }
  // Appends every resource of more, after those already here.
  UIargs& add(const UIargs& more) {
    args_.insert(args_.end(), more.args_.begin(), more.args_.end());
    return *this;
  }

  // The list and its length, for the Xt calls; valid until the next add.
  ArgList list() { return args_.empty() ? nullptr : args_.data(); }
  Cardinal count() const { return static_cast<Cardinal>(args_.size()); }

 private:
  template <class T>
  static XtArgVal toArgVal(T value) {
    static_assert(std::is_pointer_v<T> || std::is_integral_v<T> || std::is_enum_v<T> ||
                      std::is_null_pointer_v<T>,
                  "an Arg value is an integer, an enumeration or a pointer");
    if constexpr (std::is_pointer_v<T>)
      return reinterpret_cast<XtArgVal>(value);
    else if constexpr (std::is_null_pointer_v<T>)
      return 0;
    else
      return static_cast<XtArgVal>(value);
  }

  static constexpr size_t kUsual = 16;
  std::vector<Arg> args_;
};
