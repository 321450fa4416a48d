/* Drops files on whatever window lies under a point of the X screen, the way
 * a file manager does it: an XDND drag source offering text/uri-list.
 *
 *     xdnd_drop X Y URI...
 *
 * Exits 0 once the target has finished the drop, 2 when it refused it, 1 on
 * any other failure (no XDND-aware window there, no answer in time). */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>

static Display *dpy;
static Atom aAware, aEnter, aPosition, aStatus, aDrop, aFinished, aLeave, aSelection, aCopy, aUriList;

static long now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

/* The deepest window under (x, y) that carries XdndAware, or None. */
static Window find_target(Window root, int x, int y, long *version) {
  Window found = None, w = root, child;
  int cx, cy;
  for (;;) {
    Atom type;
    int format;
    unsigned long count, rest;
    unsigned char *data = NULL;
    if (XGetWindowProperty(dpy, w, aAware, 0, 1, False, AnyPropertyType, &type, &format, &count, &rest, &data) ==
            Success && data) {
      if (count > 0) {
        found = w;
        *version = *(long *)data;
      }
      XFree(data);
    }
    if (!XTranslateCoordinates(dpy, root, w, x, y, &cx, &cy, &child) || child == None) break;
    w = child;
  }
  return found;
}

static void send_message(Window target, Window source, Atom type, long d1, long d2, long d3, long d4) {
  XEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.display = dpy;
  ev.xclient.window = target;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (long)source;
  ev.xclient.data.l[1] = d1;
  ev.xclient.data.l[2] = d2;
  ev.xclient.data.l[3] = d3;
  ev.xclient.data.l[4] = d4;
  XSendEvent(dpy, target, False, NoEventMask, &ev);
  XFlush(dpy);
}

/* Waits for a client message of `type`, answering selection requests for the
 * drop data meanwhile. */
static int wait_for(Atom type, const char *uris, XEvent *out, long timeout_ms) {
  long end = now_ms() + timeout_ms;
  while (now_ms() < end) {
    while (XPending(dpy)) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == SelectionRequest) {
        XSelectionRequestEvent *req = &ev.xselectionrequest;
        XEvent reply;
        memset(&reply, 0, sizeof reply);
        reply.xselection.type = SelectionNotify;
        reply.xselection.display = dpy;
        reply.xselection.requestor = req->requestor;
        reply.xselection.selection = req->selection;
        reply.xselection.target = req->target;
        reply.xselection.time = req->time;
        reply.xselection.property = None;
        if (req->target == aUriList && req->property != None) {
          XChangeProperty(dpy, req->requestor, req->property, aUriList, 8, PropModeReplace,
                          (const unsigned char *)uris, (int)strlen(uris));
          reply.xselection.property = req->property;
        }
        XSendEvent(dpy, req->requestor, False, NoEventMask, &reply);
        XFlush(dpy);
      } else if (ev.type == ClientMessage && ev.xclient.message_type == type) {
        *out = ev;
        return 1;
      }
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(ConnectionNumber(dpy), &fds);
    struct timeval tv = {0, 50000};
    select(ConnectionNumber(dpy) + 1, &fds, NULL, NULL, &tv);
  }
  return 0;
}

int main(int argc, char **argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: xdnd_drop X Y URI...\n");
    return 1;
  }
  dpy = XOpenDisplay(NULL);
  if (!dpy) {
    fprintf(stderr, "xdnd_drop: no X display\n");
    return 1;
  }
  aAware = XInternAtom(dpy, "XdndAware", False);
  aEnter = XInternAtom(dpy, "XdndEnter", False);
  aPosition = XInternAtom(dpy, "XdndPosition", False);
  aStatus = XInternAtom(dpy, "XdndStatus", False);
  aDrop = XInternAtom(dpy, "XdndDrop", False);
  aFinished = XInternAtom(dpy, "XdndFinished", False);
  aLeave = XInternAtom(dpy, "XdndLeave", False);
  aSelection = XInternAtom(dpy, "XdndSelection", False);
  aCopy = XInternAtom(dpy, "XdndActionCopy", False);
  aUriList = XInternAtom(dpy, "text/uri-list", False);

  const int x = atoi(argv[1]), y = atoi(argv[2]);
  size_t size = 1;
  for (int i = 3; i < argc; ++i) size += strlen(argv[i]) + 2;
  char *uris = calloc(size, 1);
  for (int i = 3; i < argc; ++i) {
    strcat(uris, argv[i]);
    strcat(uris, "\r\n");
  }

  Window root = DefaultRootWindow(dpy);
  Window source = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
  long version = 0;
  Window target = find_target(root, x, y, &version);
  if (target == None) {
    fprintf(stderr, "xdnd_drop: no window takes drops at %d,%d\n", x, y);
    return 1;
  }
  if (version > 5) version = 5;

  XSetSelectionOwner(dpy, aSelection, source, CurrentTime);
  send_message(target, source, aEnter, version << 24, (long)aUriList, None, None);
  send_message(target, source, aPosition, 0, ((long)x << 16) | (y & 0xFFFF), CurrentTime, (long)aCopy);

  XEvent ev;
  if (!wait_for(aStatus, uris, &ev, 5000)) {
    fprintf(stderr, "xdnd_drop: the target did not answer the position\n");
    return 1;
  }
  if (!(ev.xclient.data.l[1] & 1)) {
    send_message(target, source, aLeave, 0, 0, 0, 0);
    fprintf(stderr, "xdnd_drop: the target refused the drop\n");
    return 2;
  }
  send_message(target, source, aDrop, 0, CurrentTime, 0, 0);
  if (!wait_for(aFinished, uris, &ev, 10000)) {
    fprintf(stderr, "xdnd_drop: the target did not finish the drop\n");
    return 1;
  }
  XCloseDisplay(dpy);
  free(uris);
  return 0;
}
