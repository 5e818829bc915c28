// Scoped helpers over the object manager's C interface: a context held for a block, and text
// fetched from an object that frees itself. Bindings use these instead of hand-paired calls.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "om/om.h"

// Holds a context on an object for the life of the guard: pushed when made, popped when the
// guard goes, on every path out of the block (an early return included). The writes made
// inside run their notifications once, at the outermost pop.
//
//   {
//     OMcontext ctx(objId, OM_CTX_USER, OM_CTX_PLAIN);
//     OMset_int_val(sub(objId, "do"), 1);
//   }  // popped here
class OMcontext {
 public:
  OMcontext(OMobj_id id, int mode, int flags) : id_(id) {
    pushed_ = OMpush_ctx(id, mode, flags, 0) == 1;
  }
  ~OMcontext() {
    if (pushed_) OMpop_ctx(id_);
  }
  OMcontext(const OMcontext&) = delete;
  OMcontext& operator=(const OMcontext&) = delete;

 private:
  OMobj_id id_;
  bool pushed_;
};

// Text the object manager handed out (a malloc'ed copy): freed when the holder goes.
struct OMtextFree {
  void operator()(char* text) const { std::free(text); }
};
using OMtext = std::unique_ptr<char, OMtextFree>;

// The string value of id (read as OMget_str_val does, through references and conversions);
// an empty holder when it does not read.
inline OMtext OMget_text(OMobj_id id) {
  char* text = nullptr;
  if (OMget_str_val(id, &text, 0) != 1) {
    std::free(text);
    return OMtext();
  }
  return OMtext(text);
}

// The string value of id like OMget_text, read into a buffer of the holder's own when it fits
// there (no allocation: for texts read on every change, such as a label's), else copied
// whole. get() is null when it does not read; the text lives as long as the holder.
template <std::size_t N>
class OMtextIn {
  static_assert(N >= 2, "room for a character and its end");

 public:
  explicit OMtextIn(OMobj_id id) {
    char* into = buffer_;
    if (OMget_str_val(id, &into, static_cast<int>(N)) != 1) return;
    text_ = buffer_;
    // A text that filled the buffer may have been cut: it is read again whole.
    if (std::strlen(buffer_) == N - 1) {
      whole_ = OMget_text(id);
      text_ = whole_.get();
    }
  }
  OMtextIn(const OMtextIn&) = delete;
  OMtextIn& operator=(const OMtextIn&) = delete;
  const char* get() const { return text_; }
  explicit operator bool() const { return text_ != nullptr; }

 private:
  char buffer_[N];
  OMtext whole_;
  const char* text_ = nullptr;
};
