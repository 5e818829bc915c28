// Container: a Motif manager that places children where they are told and never resizes them.
#include <X11/IntrinsicP.h>
#include <Xm/ManagerP.h>
#include <Xm/XmP.h>

#include "svc/container.h"

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
  CorePart core;
  CompositePart composite;
  ConstraintPart constraint;
  XmManagerPart manager;
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
        nullptr,                                            // initialize
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
        nullptr,                                            // destroy
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
        geometryManager,       // geometry_manager
        changeManaged,         // change_managed
        XtInheritInsertChild,  // insert_child
        XtInheritDeleteChild,  // delete_child
        nullptr,               // extension
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
