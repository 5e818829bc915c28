// hello_kit: opens a window with a label through the kit's object manager, waits until it is
// on screen and says so. The kit's templates come from its installed data folder.
//   hello_kit [Xt options]
#include <corvane/om/om.h>
#include <corvane/svc/ev.h>
#include <corvane/svc/file.h>
#include <corvane/ui/init.h>
#include <corvane/ui/misc.h>

#include <X11/Intrinsic.h>

#include <cstdio>

int main(int argc, char** argv) {
  UIinit();
  UIglobal_init(&argc, argv);
  OMobj_id place = OMnull_obj;
  OMget_array_subobj(OMinst_obj, 0, &place, 0);
  // One context: the window and its label are instanced once, with every property set.
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id app = OMcreate_obj_from_path("UIapp", "hello", place);
  OMobj_id label = OMcreate_obj_from_path("UIlabel", "greeting", place);
  if (!app.serial || !label.serial) {
    std::fprintf(stderr, "hello_kit: the kit's templates were not found in %s\n", FILEdata_dir());
    return 1;
  }
  OMset_int_val(OMfind_str_subobj(app, "visible", 0), 1);
  OMset_int_val(OMfind_str_subobj(app, "width", 0), 240);
  OMset_int_val(OMfind_str_subobj(app, "height", 0), 80);
  OMset_str_val(OMfind_str_subobj(app, "title", 0), "Hello");
  OMset_obj_ref(OMfind_str_subobj(label, "parent", 0), app, 0);
  OMset_str_val(OMfind_str_subobj(label, "label", 0), "Hello from an installed kit");
  OMpop_ctx(place);
  for (int i = 0; i < 100; ++i) {
    Widget shell = UIobjIdToWidget(app);
    Widget text = UIobjIdToWidget(label);
    if (shell && text && XtIsRealized(shell)) {
      std::printf("hello_kit: window shown, templates from %s\n", FILEdata_dir());
      return 0;
    }
    EVrun_once(50);
  }
  std::fprintf(stderr, "hello_kit: the window did not appear\n");
  return 1;
}
