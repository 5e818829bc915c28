// Small helpers the bindings share for reading an object's properties and a widget's children.
#pragma once

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>

#include <vector>

#include "om/om.h"

namespace uiprops {

// The member at a plain name or dotted path ("color.backgroundColor"), or OMnull_obj.
inline OMobj_id sub(const OMobj_id& id, const char* path, int mode = 1) {
  return OMfind_str_subobj(id, path, mode);
}

// A widget's background, read from its record: XtGetValues would search its resource lists.
// An object that is no widget (a gadget) is asked through the toolkit.
inline Pixel backgroundOf(Widget w) {
  if (XtIsWidget(w)) return w->core.background_pixel;
  Pixel p = 0;
  XtVaGetValues(w, XtNbackground, &p, nullptr);
  return p;
}

// True when the property reads as an int (into *v).
inline bool readInt(const OMobj_id& id, const char* path, int* v) {
  return OMget_int_val(sub(id, path), v) == 1;
}

// True when the property exists and changed after seq (its stamp, read in the given mode,
// is newer; mode 3 counts its members and what it refers to).
inline bool newer(const OMobj_id& property, int seq, int mode = 3) {
  // Against -1 every stamp is newer and only a missing object's (-1) is not: whether the
  // property exists is all that counts, which its own stamp tells without a walk over its
  // members and what it refers to.
  if (seq == -1) mode = 0;
  return property.serial && OMseq_newer(OMget_obj_seq(property, OMnull_obj, mode), seq);
}
inline bool newer(const OMobj_id& id, const char* path, int seq, int mode = 3) {
  return newer(sub(id, path), seq, mode);
}

// True when the update running for obj was caused by a change of `property` alone: nothing
// else obj reads is newer, so what depends on that property only may be applied on its own
// instead of every property being compared with the update's sequence number.
inline bool onlyChanged(const OMobj_id& obj, const OMobj_id& property) {
  return property.serial && OMget_update_cause(obj).serial == property.serial;
}

// A count property ("dims", "stringdims") bounded by the array it counts: 0 when negative,
// at most the array's size. Such counts are written apart from their arrays, and a hostile one
// (2^31 - 1) must not make the reader walk that many missing elements.
inline int countWithin(const OMobj_id& array, int count) {
  int size = 0;
  if (OMget_array_size(array, &size) != 1 || size < 0) size = 0;
  return count < 0 ? 0 : count < size ? count : size;
}

// The object's name.
inline const char* nameOf(const OMobj_id& id) {
  OMobj_name n = 0;
  OMget_obj_name(id, &n);
  return OMname_to_str(n);
}

// The children of a composite widget (none for a widget being destroyed or not composite).
std::vector<Widget> childrenOf(Widget w);
// The pop-up children of a widget: the shells made under it (child windows' transient shells,
// dialog shells), which are not among its children. None for a widget being destroyed or a
// gadget.
std::vector<Widget> popupsOf(Widget w);

// While a container destroys the bindings of the widgets inside it just before its own
// widget, that widget (else null): the widgets inside it are left to go with it.
extern Widget widgetsGoWith;

}  // namespace uiprops
