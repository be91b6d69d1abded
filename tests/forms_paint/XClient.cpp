#include "XClient.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

namespace xclient {

namespace {
Display* dpy = nullptr;
}

bool Open(const char* display) {
  dpy = XOpenDisplay(display);
  return dpy != nullptr;
}

void Close() {
  if (dpy) XCloseDisplay(dpy);
  dpy = nullptr;
}

void Click(unsigned long window, int x, int y) {
  for (int type : {ButtonPress, ButtonRelease}) {
    XEvent ev{};
    ev.xbutton.type = type;
    ev.xbutton.display = dpy;
    ev.xbutton.window = window;
    ev.xbutton.root = DefaultRootWindow(dpy);
    ev.xbutton.x = x, ev.xbutton.y = y;
    ev.xbutton.button = Button1;
    ev.xbutton.same_screen = True;
    ev.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
    XSendEvent(dpy, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &ev);
  }
  XFlush(dpy);
}

unsigned long FindWindow(const char* title) {
  Window root = DefaultRootWindow(dpy), parent = 0, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(dpy, root, &root, &parent, &children, &n)) return 0;
  unsigned long found = 0;
  for (unsigned i = 0; i < n && !found; ++i) {
    XWindowAttributes wa;
    char* name = nullptr;
    if (XGetWindowAttributes(dpy, children[i], &wa) && wa.map_state == IsViewable &&
        XFetchName(dpy, children[i], &name) && name) {
      if (std::string(name) == title) found = children[i];
    }
    if (name) XFree(name);
  }
  if (children) XFree(children);
  return found;
}

std::vector<std::uint32_t> Grab(unsigned long window, int* width, int* height) {
  XWindowAttributes wa;
  if (!XGetWindowAttributes(dpy, window, &wa)) return {};
  XImage* img = XGetImage(dpy, window, 0, 0, unsigned(wa.width), unsigned(wa.height), AllPlanes, ZPixmap);
  if (!img) return {};
  std::vector<std::uint32_t> px(std::size_t(wa.width) * std::size_t(wa.height));
  for (int y = 0; y < wa.height; ++y)
    for (int x = 0; x < wa.width; ++x) px[std::size_t(y) * std::size_t(wa.width) + std::size_t(x)] = std::uint32_t(XGetPixel(img, x, y) & 0xFFFFFF);
  XDestroyImage(img);
  *width = wa.width, *height = wa.height;
  return px;
}

}  // namespace xclient
