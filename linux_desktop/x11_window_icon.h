// A window's icon asked of the X server only when it is wanted: the best-fitting image of its
// _NET_WM_ICON, else the pixmap of its WM_HINTS (as Xaw programs such as xcalc set it).
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "linux_desktop/x11_window_facts.h"

namespace quillmoss::desktop {

struct ArgbIcon {
  int width = 0, height = 0;
  std::vector<std::uint32_t> argb;  // alpha in the high byte, not premultiplied, row by row
};

// Waits until every reply asked for on the connection so far is in; false when the server did
// not answer in time (the caller then discards what it asked for).
using AwaitReplies = std::function<bool()>;

// Of a _NET_WM_ICON value (width, height, then width*height pixels, repeated): the smallest
// image at least `side` pixels on both sides, else the largest. Malformed trailing data is
// ignored. nullopt when there is no whole image.
std::optional<ArgbIcon> pickIcon(const std::uint32_t* data, std::size_t count, int side);

// The icon of the first of the windows that has one, chosen for drawing at `side` pixels;
// nullopt when none has one or the server does not answer.
std::optional<ArgbIcon> fetchWindowIcon(const X11Connection& x,
                                        std::span<const std::uint32_t> windows, int side,
                                        const AwaitReplies& await);

}  // namespace quillmoss::desktop
