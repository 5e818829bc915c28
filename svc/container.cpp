// Container: a Motif manager that places children where they are told and never resizes them.
#include <X11/IntrinsicP.h>
#include <Xm/ManagerP.h>
#include <Xm/XmP.h>

#include "svc/container.h"

#include <cstring>

namespace {

typedef struct {
  XtPointer extension; /* unused */
} ContainerClassPart;

typedef struct {
  CoreClassPart core_class;
  CompositeClassPart composite_class;
  ConstraintClassPart constraint_class;
  XmManagerClassPart manager_class;
  ContainerClassPart container_class;
} ContainerClassRec;

typedef struct {
  Cardinal skipped;  // slots of the children's allocation before the list (see deleteChild)
} ContainerPart;

typedef struct {
  CorePart core;
  CompositePart composite;
  ConstraintPart constraint;
  XmManagerPart manager;
  ContainerPart container;
} ContainerRec;

// Every request of a child is granted as asked: the child sits where it wants, at its size.
XtGeometryResult geometryManager(Widget child, XtWidgetGeometry* request, XtWidgetGeometry*) {
  if (request->request_mode & XtCWQueryOnly) return XtGeometryYes;
  if (request->request_mode & CWX) child->core.x = request->x;
  if (request->request_mode & CWY) child->core.y = request->y;
  if (request->request_mode & CWWidth) child->core.width = request->width;
  if (request->request_mode & CWHeight) child->core.height = request->height;
  if (request->request_mode & CWBorderWidth) child->core.border_width = request->border_width;
  return XtGeometryYes;
}

// Managing or unmanaging children changes nothing of the others or of the container. (Motif's
// traversal bookkeeping is left out: it asks the server about every sibling on each change,
// which makes filling a container quadratic in round trips.)
void changeManaged(Widget) {}

// The list of children. Xt's own removal searches it from the front and moves every later child
// down one at a time, so taking all the children of a full container away (oldest first, as
// objects go) cost the square of their count. Here the list is kept as a window into its
// allocation: a child leaves by moving the shorter side of the list over it, so that the
// oldest leaves by moving nothing and the window starts one slot later. `skipped` counts the
// slots before the window; the list is moved back to the start of its allocation before Xt
// adds a child (it may grow the allocation) and before the container is destroyed (Xt frees it).
Cardinal& skipped(Widget w) {
  return reinterpret_cast<ContainerRec*>(w)->container.skipped;
}

void compact(Widget w) {
  auto* c = reinterpret_cast<CompositeWidget>(w);
  Cardinal& gap = skipped(w);
  if (!gap) return;
  WidgetList start = c->composite.children - gap;
  std::memmove(start, c->composite.children, c->composite.num_children * sizeof(Widget));
  c->composite.children = start;
  c->composite.num_slots += gap;
  gap = 0;
}

void initialize(Widget, Widget made, ArgList, Cardinal*) {
  skipped(made) = 0;
}

void insertChild(Widget child) {
  compact(XtParent(child));
  xmManagerClassRec.composite_class.insert_child(child);
}

// Motif's manager forgets the child (its focus and tab-group bookkeeping), and the inherited
// removal is handed a list of that one child, where it has nothing to search or move.
void deleteChild(Widget child) {
  Widget w = XtParent(child);
  auto* c = reinterpret_cast<CompositeWidget>(w);
  WidgetList list = c->composite.children;
  Cardinal count = c->composite.num_children;
  Cardinal at = count;
  for (Cardinal front = 0, back = count; front < back; ++front) {
    if (list[front] == child) {
      at = front;
      break;
    }
    if (list[--back] == child) {
      at = back;
      break;
    }
  }
  XtWidgetProc inherited = xmManagerClassRec.composite_class.delete_child;
  if (at == count) {
    inherited(child);  // not among the children: whatever the manager does for a stranger
    return;
  }
  Cardinal slots = c->composite.num_slots;
  // The view holds the child alone; what the inherited removal leaves in it stays listed.
  auto removeAlone = [&](WidgetList view) {
    c->composite.children = view;
    c->composite.num_children = 1;
    inherited(child);
    return c->composite.num_children;
  };
  if (at < count / 2) {
    // The children before it move up one slot; the list starts one slot later.
    std::memmove(&list[1], &list[0], at * sizeof(Widget));
    list[0] = child;
    Cardinal left = removeAlone(list);
    c->composite.children = left ? list : list + 1;
    c->composite.num_children = count - 1 + left;
    c->composite.num_slots = left ? slots : slots - 1;
    skipped(w) += left ? 0 : 1;
  } else {
    std::memmove(&list[at], &list[at + 1], (count - at - 1) * sizeof(Widget));
    list[count - 1] = child;
    Cardinal left = removeAlone(&list[count - 1]);
    c->composite.children = list;
    c->composite.num_children = count - 1 + left;
    c->composite.num_slots = slots;
  }
}

void destroy(Widget w) {
  compact(w);
}

// The container is content with its size whatever its children are.
XtGeometryResult queryGeometry(Widget w, XtWidgetGeometry*, XtWidgetGeometry* reply) {
  reply->request_mode = CWWidth | CWHeight;
  reply->width = w->core.width;
  reply->height = w->core.height;
  return XtGeometryYes;
}

#define S(text) const_cast<char*>(text)

}  // namespace

extern "C" {

static ContainerClassRec containerClassRec = {
    {
        // core_class
        reinterpret_cast<WidgetClass>(&xmManagerClassRec),  // superclass
        S("Container"),                                     // class_name
        sizeof(ContainerRec),                               // widget_size
        nullptr,                                            // class_initialize
        nullptr,                                            // class_part_initialize
        False,                                              // class_inited
        initialize,                                         // initialize
        nullptr,                                            // initialize_hook
        XtInheritRealize,                                   // realize
        nullptr,                                            // actions
        0,                                                  // num_actions
        nullptr,                                            // resources
        0,                                                  // num_resources
        NULLQUARK,                                          // xrm_class
        True,                                               // compress_motion
        XtExposeCompressMaximal,                            // compress_exposure
        True,                                               // compress_enterleave
        False,                                              // visible_interest
        destroy,                                            // destroy
        nullptr,                                            // resize: children stay as they are
        XtInheritExpose,                                    // expose
        nullptr,                                            // set_values
        nullptr,                                            // set_values_hook
        XtInheritSetValuesAlmost,                           // set_values_almost
        nullptr,                                            // get_values_hook
        nullptr,                                            // accept_focus
        XtVersion,                                          // version
        nullptr,                                            // callback_private
        XtInheritTranslations,                              // tm_table
        queryGeometry,                                      // query_geometry
        nullptr,                                            // display_accelerator
        nullptr,                                            // extension
    },
    {
        // composite_class
        geometryManager,  // geometry_manager
        changeManaged,    // change_managed
        insertChild,      // insert_child
        deleteChild,      // delete_child
        nullptr,          // extension
    },
    {
        // constraint_class
        nullptr,  // resources
        0,        // num_resources
        0,        // constraint_size
        nullptr,  // initialize
        nullptr,  // destroy
        nullptr,  // set_values
        nullptr,  // extension
    },
    {
        // manager_class
        XmInheritTranslations,   // translations
        nullptr,                 // syn_resources
        0,                       // num_syn_resources
        nullptr,                 // syn_constraint_resources
        0,                       // num_syn_constraint_resources
        XmInheritParentProcess,  // parent_process
        nullptr,                 // extension
    },
    {
        // container_class
        nullptr,  // extension
    },
};

WidgetClass containerWidgetClass = reinterpret_cast<WidgetClass>(&containerClassRec);

}  // extern "C"
