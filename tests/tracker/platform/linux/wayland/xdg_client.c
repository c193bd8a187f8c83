/* A native Wayland window for the real-desktop tests: one xdg-shell toplevel with the app id
 * and title given, drawn once in a plain colour through wl_shm. Prints "ready" once it is shown,
 * then "active" or "inactive" whenever the compositor says it gained or lost the focus (its
 * activated state), so that a test knows what is in front without asking the shell. Ends on
 * SIGTERM or when the compositor goes away. */
#define _GNU_SOURCE
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "xdg_shell.h"

struct client {
  struct wl_compositor* compositor;
  struct wl_shm* shm;
  struct xdg_wm_base* wm_base;
  struct wl_surface* surface;
  int shown;
  int active;    /* as last printed */
  int activated; /* as the pending configure says */
};

static void on_global(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
  struct client* c = data;
  (void)version;
  if (strcmp(interface, wl_compositor_interface.name) == 0) {
    c->compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 1);
  } else if (strcmp(interface, wl_shm_interface.name) == 0) {
    c->shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
  } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
    c->wm_base = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
  }
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static void on_ping(void* data, struct xdg_wm_base* wm_base, uint32_t serial) {
  (void)data;
  xdg_wm_base_pong(wm_base, serial);
}

/* A 64x64 buffer of one colour: enough for a compositor to map the window. */
static struct wl_buffer* plain_buffer(struct wl_shm* shm) {
  const int side = 64, stride = side * 4, size = stride * side;
  int fd = memfd_create("xdg-client", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, size) != 0) return NULL;
  uint32_t* pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) return NULL;
  for (int i = 0; i < side * side; ++i) pixels[i] = 0xff2a9d8f;
  munmap(pixels, size);
  struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
  struct wl_buffer* buffer =
      wl_shm_pool_create_buffer(pool, 0, side, side, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

static void on_surface_configure(void* data, struct xdg_surface* xdg_surface, uint32_t serial) {
  struct client* c = data;
  xdg_surface_ack_configure(xdg_surface, serial);
  if (!c->shown) {
    struct wl_buffer* buffer = plain_buffer(c->shm);
    if (buffer == NULL) return;
    wl_surface_attach(c->surface, buffer, 0, 0);
    c->shown = 1;
    printf("ready\n");
  }
  wl_surface_commit(c->surface);
  if (c->activated != c->active) {
    c->active = c->activated;
    printf(c->active ? "active\n" : "inactive\n");
  }
  fflush(stdout);
}

static void on_toplevel_configure(void* data, struct xdg_toplevel* toplevel, int32_t width,
                                  int32_t height, struct wl_array* states) {
  struct client* c = data;
  (void)toplevel, (void)width, (void)height;
  c->activated = 0;
  const uint32_t* state;
  wl_array_for_each(state, states) {
    if (*state == XDG_TOPLEVEL_STATE_ACTIVATED) c->activated = 1;
  }
}

static void on_toplevel_close(void* data, struct xdg_toplevel* toplevel) {
  (void)data, (void)toplevel;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: xdg_client APP-ID TITLE\n");
    return 2;
  }
  struct wl_display* display = wl_display_connect(NULL);
  if (display == NULL) {
    fprintf(stderr, "xdg_client: no Wayland display\n");
    return 1;
  }
  struct client c = {0};
  static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};
  wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, &c);
  wl_display_roundtrip(display);
  if (c.compositor == NULL || c.shm == NULL || c.wm_base == NULL) {
    fprintf(stderr, "xdg_client: the compositor lacks wl_shm or xdg-shell\n");
    return 1;
  }
  static const struct xdg_wm_base_listener wm_base_listener = {on_ping};
  static const struct xdg_surface_listener surface_listener = {on_surface_configure};
  static const struct xdg_toplevel_listener toplevel_listener = {.configure = on_toplevel_configure,
                                                                 .close = on_toplevel_close};
  xdg_wm_base_add_listener(c.wm_base, &wm_base_listener, &c);
  c.surface = wl_compositor_create_surface(c.compositor);
  struct xdg_surface* xdg_surface = xdg_wm_base_get_xdg_surface(c.wm_base, c.surface);
  xdg_surface_add_listener(xdg_surface, &surface_listener, &c);
  struct xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdg_surface);
  xdg_toplevel_add_listener(toplevel, &toplevel_listener, &c);
  xdg_toplevel_set_app_id(toplevel, argv[1]);
  xdg_toplevel_set_title(toplevel, argv[2]);
  wl_surface_commit(c.surface);
  while (wl_display_dispatch(display) != -1) {
  }
  return 0;
}
