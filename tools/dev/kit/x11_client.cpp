#include "tools/dev/kit/x11_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qano::testing {

namespace {

class Connection {
 public:
  explicit Connection(const std::string& name) : display_(XOpenDisplay(name.c_str())) {}
  ~Connection() {
    if (display_) XCloseDisplay(display_);
  }
  Display* get() const { return display_; }

 private:
  Display* display_;
};

int g_errors = 0;
int ignore_errors(Display*, XErrorEvent*) {
  ++g_errors;
  return 0;
}

}  // namespace

bool send_close_request(const std::string& display, unsigned long window) {
  Connection c(display);
  if (!c.get()) return false;
  auto old = XSetErrorHandler(&ignore_errors);
  g_errors = 0;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(c.get(), "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(c.get(), "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(c.get(), window, False, NoEventMask, &event);
  XSync(c.get(), False);
  XSetErrorHandler(old);
  return g_errors == 0;
}

WindowFacts window_facts(const std::string& display, unsigned long window) {
  WindowFacts f;
  Connection c(display);
  if (!c.get()) return f;
  auto old = XSetErrorHandler(&ignore_errors);
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(c.get(), window, &attributes)) {
    f.exists = true;
    f.width = attributes.width;
    f.height = attributes.height;
    f.mapped = attributes.map_state == IsViewable;
    char* name = nullptr;
    if (XFetchName(c.get(), window, &name) && name) {
      f.title = name;
      XFree(name);
    }
    Atom icon = XInternAtom(c.get(), "_NET_WM_ICON", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(c.get(), window, icon, 0, 2, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data && count == 2) {
      const long* values = reinterpret_cast<const long*>(data);
      f.icon_width = static_cast<int>(values[0]);
      f.icon_height = static_cast<int>(values[1]);
    }
    if (data) XFree(data);
  }
  XSync(c.get(), False);
  XSetErrorHandler(old);
  return f;
}

unsigned long find_window(const std::string& display, const std::string& title) {
  Connection c(display);
  if (!c.get()) return 0;
  auto old = XSetErrorHandler(&ignore_errors);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  unsigned long found = 0;
  if (XQueryTree(c.get(), DefaultRootWindow(c.get()), &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count && found == 0; ++i) {
      XWindowAttributes attributes{};
      if (!XGetWindowAttributes(c.get(), children[i], &attributes) ||
          attributes.map_state != IsViewable) {
        continue;
      }
      char* name = nullptr;
      if (XFetchName(c.get(), children[i], &name) && name) {
        if (title == name) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
  }
  XSync(c.get(), False);
  XSetErrorHandler(old);
  return found;
}

}  // namespace qano::testing
