// The editres protocol as the editres tool speaks it, from a client connection of its own: a
// shell of the library asks for the command, runs it and hands back its widget tree. Motif's
// vendor shell answers the protocol for every shell the library makes.
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "svc/ev.h"
#include "ui/misc.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

// The protocol's constants: the message's format and version, a command's header (ident,
// command, 32-bit length), and the command that asks for the widget tree.
constexpr int kMessageFormat = 32;
constexpr long kProtocolVersion = 5;
constexpr unsigned char kSendWidgetTree = 0;
constexpr size_t kHeaderSize = 6;

// The editres tool's side: its own connection and window, owning the selection the command
// and the reply go through.
class EditresClient {
 public:
  EditresClient() {
    dpy_ = XOpenDisplay(uitest::displayName().c_str());
    if (!dpy_) return;
    window_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 1, 1, 0, 0, 0);
    editres_ = XInternAtom(dpy_, "Editres", False);
    command_ = XInternAtom(dpy_, "EditresCommand", False);
    protocol_ = XInternAtom(dpy_, "EditresProtocol", False);
    clientValue_ = XInternAtom(dpy_, "EditresClientVal", False);
    comm_ = XInternAtom(dpy_, "EditresComm", False);
  }
  ~EditresClient() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  bool ok() const { return dpy_ != nullptr; }

  // Sends a command to the shell's window as the tool does; `version` other than the
  // protocol's tests the refusal.
  void send(Window target, unsigned char ident, unsigned char command, long version) {
    ident_ = ident;
    commandCode_ = command;
    XSetSelectionOwner(dpy_, comm_, window_, CurrentTime);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = editres_;
    e.xclient.format = kMessageFormat;
    e.xclient.data.l[0] = CurrentTime;
    e.xclient.data.l[1] = static_cast<long>(comm_);
    e.xclient.data.l[2] = ident;
    e.xclient.data.l[3] = version;
    XSendEvent(dpy_, target, False, NoEventMask, &e);
    XFlush(dpy_);
  }

  // Serves the shell's request for the command, and, once the shell owns the selection with
  // its reply, fetches the reply. One step; true when the reply is in.
  bool step() {
    while (XPending(dpy_)) {
      XEvent e;
      XNextEvent(dpy_, &e);
      if (e.type == SelectionRequest) {
        ++requests;
        answer(e.xselectionrequest);
      } else if (e.type == SelectionClear) {
        XConvertSelection(dpy_, comm_, clientValue_, clientValue_, window_, CurrentTime);
        XFlush(dpy_);
      } else if (e.type == SelectionNotify && e.xselection.property != None) {
        read(e.xselection.property);
        return true;
      }
    }
    return false;
  }

  int requests = 0;
  Atom replyType = None;
  std::vector<unsigned char> reply;

 private:
  void answer(const XSelectionRequestEvent& r) {
    XEvent n{};
    n.xselection.type = SelectionNotify;
    n.xselection.requestor = r.requestor;
    n.xselection.selection = r.selection;
    n.xselection.target = r.target;
    n.xselection.time = r.time;
    n.xselection.property = None;
    if (r.target == command_) {
      unsigned char header[kHeaderSize] = {ident_, commandCode_, 0, 0, 0, 0};
      XChangeProperty(dpy_, r.requestor, r.property, protocol_, 8, PropModeReplace, header,
                      kHeaderSize);
      n.xselection.property = r.property;
    }
    XSendEvent(dpy_, r.requestor, False, NoEventMask, &n);
    XFlush(dpy_);
  }

  void read(Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, window_, property, 0, 1 << 20, True, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
      replyType = type;
      reply.assign(data, data + count);
      XFree(data);
    }
  }

  Display* dpy_ = nullptr;
  Window window_ = 0;
  Atom editres_ = None, command_ = None, protocol_ = None, clientValue_ = None, comm_ = None;
  unsigned char ident_ = 0, commandCode_ = 0;
};

class Editres : public ::testing::Test {
 protected:
  void SetUp() override { uitest::startLibrary("editres_test"); }
  void TearDown() override {
    for (OMobj_id id : made) OMdestroy_obj(id, 0);
    uitest::pumpFor(20);
  }
  Window shownShell(const std::string& name, const char* type) {
    OMobj_id id = uitest::makeObject(type, name, OMnull_obj,
                                     {{"visible", 1}, {"width", 200}, {"height", 100}});
    made.push_back(id);
    Widget w = nullptr;
    EXPECT_TRUE(uitest::pumpUntil([&] {
      w = UIobjIdToWidget(id);
      while (w && !XtIsShell(w)) w = XtParent(w);
      return w && XtIsRealized(w);
    }));
    return w ? XtWindow(w) : 0;
  }
  // Runs the library and the client side by side until the reply is in, then lets the shell
  // see the client take the reply (Xt must not be left waiting on the client's window).
  // The toolkit's selection code keeps the request it reads for the shell (a few bytes each):
  // not leak-checked, as it is not this library's.
  bool exchange(EditresClient* client) {
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler toolkitRequestsKept;
#endif
    bool replied = uitest::pumpUntil([&] { return client->step(); }, 5000);
    uitest::pumpFor(200);
    return replied;
  }
  static std::string text(const std::vector<unsigned char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
  }
  std::vector<OMobj_id> made;
};

TEST_F(Editres, EveryKindOfShellHandsBackItsWidgetTree) {
  for (const char* type : {"UIshell", "UIapp"}) {
    SCOPED_TRACE(type);
    std::string name = std::string("editres_") + type;
    Window shell = shownShell(name, type);
    ASSERT_NE(shell, 0u);
    EditresClient client;
    ASSERT_TRUE(client.ok());
    client.send(shell, 7, kSendWidgetTree, kProtocolVersion);
    ASSERT_TRUE(exchange(&client)) << "no reply";
    // Motif's vendor shell answers for every shell; a second handler would answer twice.
    EXPECT_EQ(client.requests, 1) << "the shell asks for the command once";
    ASSERT_GE(client.reply.size(), kHeaderSize);
    EXPECT_EQ(client.reply[0], 7) << "the reply carries the command's ident";
    EXPECT_EQ(client.reply[1], 0) << "success";
    size_t length = (size_t{client.reply[2]} << 24) | (size_t{client.reply[3]} << 16) |
                    (size_t{client.reply[4]} << 8) | client.reply[5];
    EXPECT_EQ(length, client.reply.size() - kHeaderSize);
    // The tree names the shell (after its object), its classes and the main window inside.
    std::string tree = text(client.reply);
    EXPECT_NE(tree.find(name), std::string::npos);
    EXPECT_NE(tree.find(name + "MW"), std::string::npos);
    EXPECT_NE(tree.find("XmMainWindow"), std::string::npos);
  }
}

TEST_F(Editres, AnotherVersionOfTheProtocolIsRefusedWithTheShellsVersion) {
  Window shell = shownShell("editres_version", "UIshell");
  ASSERT_NE(shell, 0u);
  EditresClient client;
  ASSERT_TRUE(client.ok());
  client.send(shell, 9, kSendWidgetTree, kProtocolVersion + 100);
  ASSERT_TRUE(exchange(&client)) << "no reply";
  EXPECT_EQ(client.requests, 0) << "no command is read";
  ASSERT_EQ(client.reply.size(), kHeaderSize + 1);
  EXPECT_EQ(client.reply[0], 9);
  EXPECT_NE(client.reply[1], 0) << "not a success";
  EXPECT_EQ(client.reply[kHeaderSize], kProtocolVersion);
}

}  // namespace
