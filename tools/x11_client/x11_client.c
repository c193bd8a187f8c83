/* A bare X client for the end-to-end runs: one window with a chosen WM_CLASS and title,
 * that accepts input focus. Prints its window id once it asked for the window to be mapped, then
 * serves events until killed. x11_test_client INSTANCE CLASS TITLE [--no-pid] [--transient-for
 * WINDOW] [--icon] [--multi-icon 0xAARRGGBB] [--pixmap-icon bitmap|colour]
 *   --multi-icon   a _NET_WM_ICON of six sizes (16 to 128 pixels) in one colour
 *   --pixmap-icon  a WM_HINTS icon pixmap of 16 x 16 and no _NET_WM_ICON: "bitmap" is depth 1,
 *                  black left half, white right half, with a mask hiding the bottom half (as
 *                  Xaw programs set it); "colour" is the screen's depth, all blue, no mask */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

static xcb_atom_t intern(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
  xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
  free(reply);
  return atom;
}

/* Fills part of a pixmap with a pixel value through a temporary graphics context. */
static void fill(xcb_connection_t* c, xcb_pixmap_t pixmap, uint32_t pixel, int16_t x, int16_t y,
                 uint16_t width, uint16_t height) {
  xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &pixel);
  xcb_rectangle_t rectangle = {x, y, width, height};
  xcb_poly_fill_rectangle(c, pixmap, gc, 1, &rectangle);
  xcb_free_gc(c, gc);
}

static void setPixmapIcon(xcb_connection_t* c, xcb_screen_t* screen, xcb_window_t window,
                          xcb_icccm_wm_hints_t* hints, int bitmap) {
  xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, bitmap ? 1 : screen->root_depth, pixmap, window, 16, 16);
  if (bitmap) {
    fill(c, pixmap, 0, 0, 0, 16, 16);
    fill(c, pixmap, 1, 0, 0, 8, 16);
    xcb_pixmap_t mask = xcb_generate_id(c);
    xcb_create_pixmap(c, 1, mask, window, 16, 16);
    fill(c, mask, 0, 0, 0, 16, 16);
    fill(c, mask, 1, 0, 0, 16, 8);
    xcb_icccm_wm_hints_set_icon_mask(hints, mask);
  } else {
    fill(c, pixmap, 0x0000ff, 0, 0, 16, 16);
  }
  xcb_icccm_wm_hints_set_icon_pixmap(hints, pixmap);
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr,
            "usage: %s INSTANCE CLASS TITLE [--no-pid] [--transient-for WINDOW] [--icon] "
            "[--multi-icon 0xAARRGGBB] [--pixmap-icon bitmap|colour]\n",
            argv[0]);
    return 2;
  }
  int withPid = 1;
  int withIcon = 0;
  int multiIcon = 0;
  uint32_t multiColour = 0;
  const char* pixmapIcon = NULL;
  xcb_window_t transientFor = XCB_WINDOW_NONE;
  for (int i = 4; i < argc; ++i) {
    if (strcmp(argv[i], "--no-pid") == 0) {
      withPid = 0;
    } else if (strcmp(argv[i], "--icon") == 0) {
      withIcon = 1;
    } else if (strcmp(argv[i], "--multi-icon") == 0 && i + 1 < argc) {
      multiIcon = 1;
      multiColour = (uint32_t)strtoul(argv[++i], NULL, 0);
    } else if (strcmp(argv[i], "--pixmap-icon") == 0 && i + 1 < argc &&
               (strcmp(argv[i + 1], "bitmap") == 0 || strcmp(argv[i + 1], "colour") == 0)) {
      pixmapIcon = argv[++i];
    } else if (strcmp(argv[i], "--transient-for") == 0 && i + 1 < argc) {
      transientFor = (xcb_window_t)strtoul(argv[++i], NULL, 0);
    } else {
      fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }

  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(NULL, &screenNumber);
  if (xcb_connection_has_error(c)) {
    fprintf(stderr, "cannot open display\n");
    return 1;
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
  xcb_screen_t* screen = screens.data;

  xcb_window_t window = xcb_generate_id(c);
  uint32_t values[2] = {screen->white_pixel,
                        XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 320, 200, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

  /* WM_CLASS is "instance\0class\0". */
  size_t instanceLength = strlen(argv[1]), classLength = strlen(argv[2]);
  char* wmClass = malloc(instanceLength + classLength + 2);
  memcpy(wmClass, argv[1], instanceLength + 1);
  memcpy(wmClass + instanceLength + 1, argv[2], classLength + 1);
  xcb_icccm_set_wm_class(c, window, (uint32_t)(instanceLength + classLength + 2), wmClass);
  free(wmClass);
  xcb_icccm_set_wm_name(c, window, XCB_ATOM_STRING, 8, (uint32_t)strlen(argv[3]), argv[3]);

  xcb_icccm_wm_hints_t hints;
  memset(&hints, 0, sizeof hints);
  xcb_icccm_wm_hints_set_input(&hints, 1);
  xcb_icccm_wm_hints_set_normal(&hints);
  if (pixmapIcon != NULL)
    setPixmapIcon(c, screen, window, &hints, strcmp(pixmapIcon, "bitmap") == 0);
  xcb_icccm_set_wm_hints(c, window, &hints);

  if (withPid) {
    uint32_t pid = (uint32_t)getpid();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_PID"),
                        XCB_ATOM_CARDINAL, 32, 1, &pid);
  }
  if (withIcon) {
    const uint32_t icon[] = {1,          1,          0xff0000ff, 2,         2,
                             0xff00ff00, 0xff00ff00, 0xff00ff00, 0xff00ff00};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_ICON"),
                        XCB_ATOM_CARDINAL, 32, sizeof icon / sizeof icon[0], icon);
  }
  if (multiIcon) {
    static const uint32_t sides[] = {16, 24, 32, 48, 64, 128};
    size_t length = 0;
    for (size_t i = 0; i < sizeof sides / sizeof sides[0]; ++i) length += 2 + sides[i] * sides[i];
    uint32_t* icon = malloc(length * sizeof *icon);
    size_t at = 0;
    for (size_t i = 0; i < sizeof sides / sizeof sides[0]; ++i) {
      icon[at++] = sides[i];
      icon[at++] = sides[i];
      for (uint32_t p = 0; p < sides[i] * sides[i]; ++p) icon[at++] = multiColour;
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_ICON"),
                        XCB_ATOM_CARDINAL, 32, (uint32_t)length, icon);
    free(icon);
  }
  if (transientFor != XCB_WINDOW_NONE) {
    xcb_icccm_set_wm_transient_for(c, window, transientFor);
  }
  xcb_map_window(c, window);
  xcb_flush(c);
  printf("%u\n", window);
  fflush(stdout);

  xcb_generic_event_t* event;
  while ((event = xcb_wait_for_event(c)) != NULL) free(event);
  xcb_disconnect(c);
  return 0;
}
