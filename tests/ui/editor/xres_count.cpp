// Counting a client's cursors on the server through the X-Resource extension, spoken directly
// (its client library is not installed). Apart because Xlib's internal header defines min and
// max as macros.
#include <X11/Xlibint.h>
#include <X11/extensions/XResproto.h>

#include <cstdlib>

int cursorCount(Display* dpy) {
  int opcode = 0, event = 0, error = 0;
  if (!XQueryExtension(dpy, XRES_NAME, &opcode, &event, &error)) return -1;
  Atom cursor = XInternAtom(dpy, "CURSOR", False);
  XSync(dpy, False);
  LockDisplay(dpy);
  xXResQueryClientResourcesReq* req;
  GetReq(XResQueryClientResources, req);
  req->reqType = static_cast<CARD8>(opcode);
  req->XResReqType = X_XResQueryClientResources;
  req->xid = static_cast<CARD32>(dpy->resource_base);
  xXResQueryClientResourcesReply rep;
  int count = -1;
  if (_XReply(dpy, reinterpret_cast<xReply*>(&rep), 0, xFalse)) {
    count = 0;
    auto* types = static_cast<xXResType*>(std::calloc(rep.num_types + 1, sizeof(xXResType)));
    if (rep.num_types)
      _XRead(dpy, reinterpret_cast<char*>(types),
             static_cast<long>(rep.num_types * sizeof(xXResType)));
    for (CARD32 i = 0; i < rep.num_types; ++i)
      if (types[i].resource_type == cursor) count = static_cast<int>(types[i].count);
    std::free(types);
  }
  UnlockDisplay(dpy);
  SyncHandle();
  return count;
}
