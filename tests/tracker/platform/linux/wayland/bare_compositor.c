/* A Wayland display that offers nothing but itself: the socket named by its argument in
 * $XDG_RUNTIME_DIR, for tests of the mechanisms that learn about windows over D-Bus (KWin,
 * GNOME Shell) and of a display with no mechanism at all. Prints "ready" once it listens;
 * ends on SIGTERM. */
#include <signal.h>
#include <stdio.h>
#include <wayland-server-core.h>

static int stop(int signal_number, void* data) {
  (void)signal_number;
  wl_display_terminate(data);
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: bare_compositor SOCKET-NAME\n");
    return 2;
  }
  struct wl_display* display = wl_display_create();
  if (display == NULL || wl_display_add_socket(display, argv[1]) != 0) {
    fprintf(stderr, "bare_compositor: cannot listen on %s\n", argv[1]);
    return 1;
  }
  struct wl_event_loop* loop = wl_display_get_event_loop(display);
  wl_event_loop_add_signal(loop, SIGTERM, stop, display);
  wl_event_loop_add_signal(loop, SIGINT, stop, display);
  printf("ready\n");
  fflush(stdout);
  wl_display_run(display);
  wl_display_destroy(display);
  return 0;
}
