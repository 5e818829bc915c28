// Compound strings the library makes and frees: a holder that frees its string when it goes,
// so a string set on a widget is freed on every path (Motif copies what it is given).
//
//   UIxmString label = UIxmText(text);
//   XtVaSetValues(w, XmNlabelString, label.get(), nullptr);
#pragma once

#include <Xm/Xm.h>

#include <memory>
#include <type_traits>

#include "svc/wt.h"

struct UIxmStringFree {
  void operator()(XmString s) const { XmStringFree(s); }
};
using UIxmString = std::unique_ptr<std::remove_pointer_t<XmString>, UIxmStringFree>;

// A new compound string of UTF-8 text (CSstr_to_Xm: line breaks become separators; null
// text gives an empty string), owned by the holder.
inline UIxmString UIxmText(const char* text) {
  return UIxmString(CSstr_to_Xm(text));
}
// The same through XmStringCreateLocalized (the text taken as it is, in the current locale).
inline UIxmString UIxmLocalized(const char* text) {
  return UIxmString(XmStringCreateLocalized(const_cast<char*>(text)));
}
