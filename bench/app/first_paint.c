/* Starts the program and reports, in milliseconds after the exec, when its main window is mapped,
 * when the three buttons of the authentication view are first drawn, and when the window first
 * shows the picture it then keeps for a second. Built and run by measure.sh.
 *
 * Usage: first-paint OUT_PREFIX PROGRAM
 *   The program's output goes to OUT_PREFIX.out and OUT_PREFIX.err, the settled picture to
 *   OUT_PREFIX.ppm (the first picture with the buttons to OUT_PREFIX-first.ppm). One line "key=value ..." is printed once the window has settled; then the
 *   helper waits (at most 20 s) for the program to end and exits with its status, 125 on a failure
 *   of its own.
 *
 * The map is seen as a MapNotify on the root window (no window manager runs under Xvfb, so the
 * program's top-level window is a child of the root). Drawing is found by polling XGetImage of the
 * whole window; the mean time between two captures is printed as the resolution. */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static const char* const kClass = "Sorvimend";
static const double kSettleMs = 1000.0;
static const double kTimeoutMs = 15000.0;

static double nowMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

static int hasClass(Display* d, Window w) {
  XClassHint hint = {0};
  if (!XGetClassHint(d, w, &hint)) return 0;
  const int match = hint.res_class != NULL && strcmp(hint.res_class, kClass) == 0;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return match;
}

static Window findMapped(Display* d) {
  Window root_return, parent, *children = NULL;
  unsigned int count = 0;
  Window found = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root_return, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable && hasClass(d, children[i]))
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

static uint64_t hashImage(const XImage* image) {
  uint64_t h = 1469598103934665603ULL;
  const size_t size = (size_t)image->bytes_per_line * (size_t)image->height;
  for (size_t i = 0; i < size; ++i) h = (h ^ (unsigned char)image->data[i]) * 1099511628211ULL;
  return h;
}

/* The three buttons of the authentication view sit at x 413..611 around y 240, 310 and 380: each
 * of those rows must hold pixels of another colour than the background (borders and labels). */
static int buttonsDrawn(XImage* image) {
  if (image->width < 700 || image->height < 420) return 0;
  const unsigned long background = XGetPixel(image, image->width - 5, image->height - 5);
  static const int rows[3] = {240, 310, 380};
  for (int r = 0; r < 3; ++r) {
    int marked = 0;
    for (int x = 400; x <= 625; ++x)
      if (XGetPixel(image, x, rows[r]) != background) ++marked;
    if (marked < 4) return 0;
  }
  return 1;
}

static void writePpm(const char* path, XImage* image) {
  FILE* f = fopen(path, "wb");
  if (!f) return;
  fprintf(f, "P6\n%d %d\n255\n", image->width, image->height);
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const unsigned char rgb[3] = {(unsigned char)((p & image->red_mask) >> 16),
                                    (unsigned char)((p & image->green_mask) >> 8),
                                    (unsigned char)(p & image->blue_mask)};
      fwrite(rgb, 1, 3, f);
    }
  fclose(f);
}

static pid_t child = -1;

/* Stopped from outside (the script's cleanup): the program goes with the helper. */
static void onTerm(int sig) {
  if (child > 0) kill(child, SIGTERM);
  _exit(128 + sig);
}

static int fail(const char* what) {
  fprintf(stderr, "first-paint: %s\n", what);
  if (child > 0) {
    kill(child, SIGTERM);
    waitpid(child, NULL, 0);
  }
  return 125;
}

static int redirect(const char* prefix, const char* suffix, int fd) {
  char path[4096];
  snprintf(path, sizeof path, "%s%s", prefix, suffix);
  const int out = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return -1;
  dup2(out, fd);
  close(out);
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: first-paint OUT_PREFIX PROGRAM\n");
    return 125;
  }
  const char* prefix = argv[1];
  Display* d = XOpenDisplay(NULL);
  if (!d) return fail("cannot open the display");
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XSync(d, False);

  signal(SIGTERM, onTerm);
  signal(SIGINT, onTerm);
  const double start = nowMs();
  child = fork();
  if (child < 0) return fail("fork failed");
  if (child == 0) {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    if (redirect(prefix, ".out", 1) != 0 || redirect(prefix, ".err", 2) != 0) _exit(126);
    execl(argv[2], argv[2], (char*)NULL);
    _exit(127);
  }

  /* Mapped: wait for MapNotify events, checking the class of each newly mapped window. */
  Window window = 0;
  double mapped = 0;
  const int fd = ConnectionNumber(d);
  while (!window) {
    while (XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == MapNotify && hasClass(d, e.xmap.window)) {
        window = e.xmap.window;
        mapped = nowMs();
      }
    }
    if (window) break;
    if (waitpid(child, NULL, WNOHANG) == child) {
      child = -1;
      return fail("the program ended before mapping a window");
    }
    if (nowMs() - start > kTimeoutMs) return fail("no window mapped");
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    struct timeval wait = {0, 5000};
    select(fd + 1, &set, NULL, NULL, &wait);
  }
  if (findMapped(d) != window) return fail("the mapped window is not viewable");

  XWindowAttributes a;
  if (!XGetWindowAttributes(d, window, &a)) return fail("no window attributes");
  double buttons = 0, settled = 0, last = 0, lastCapture = 0, period = 0;
  uint64_t settledHash = 0;
  int frames = 0;
  XImage* kept = NULL;
  for (;;) {
    XImage* image = XGetImage(d, window, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
    const double t = nowMs();
    if (!image) return fail("cannot read the window");
    if (frames > 0) period += t - lastCapture;
    lastCapture = t;
    ++frames;
    const uint64_t h = hashImage(image);
    if (!buttons && buttonsDrawn(image)) {
      buttons = t;
      char path[4096];
      snprintf(path, sizeof path, "%s-first.ppm", prefix);
      writePpm(path, image);
    }
    if (frames == 1 || h != settledHash) {
      settledHash = h;
      settled = t;
      if (kept) XDestroyImage(kept);
      kept = image;
    } else {
      XDestroyImage(image);
    }
    last = t;
    if (buttons && last - settled >= kSettleMs) break;
    if (t - start > kTimeoutMs) return fail(buttons ? "the window never settled" : "the buttons were never drawn");
    usleep(1000);
  }

  char path[4096];
  snprintf(path, sizeof path, "%s.ppm", prefix);
  writePpm(path, kept);
  XDestroyImage(kept);

  long hwm = -1;
  char status[64];
  snprintf(status, sizeof status, "/proc/%d/status", (int)child);
  FILE* s = fopen(status, "r");
  if (s) {
    char line[256];
    while (fgets(line, sizeof line, s))
      if (sscanf(line, "VmHWM: %ld", &hwm) == 1) break;
    fclose(s);
  }
  printf("window=%lu pid=%d mapped_ms=%.1f buttons_ms=%.1f settled_ms=%.1f frames=%d period_ms=%.1f hwm_kb=%ld\n",
         (unsigned long)window, (int)child, mapped - start, buttons - start, settled - start, frames,
         period / (frames > 1 ? frames - 1 : 1), hwm);
  fflush(stdout);
  XCloseDisplay(d);

  const double waitStart = nowMs();
  int code = 0;
  for (;;) {
    const pid_t r = waitpid(child, &code, WNOHANG);
    if (r == child) break;
    if (nowMs() - waitStart > 20000.0) return fail("the program did not end");
    usleep(20000);
  }
  return WIFEXITED(code) ? WEXITSTATUS(code) : 128 + WTERMSIG(code);
}
