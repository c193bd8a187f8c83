// Which applications are web browsers whose page is looked up: the identities Linux desktops
// give Firefox, Firefox ESR, Chromium, Google Chrome and the browsers built on them, packaged
// by the distribution, by their makers or as Flatpaks. Each keeps its own usage key.
#pragma once

#include <string_view>

namespace quillmoss::tracker::atspi {

bool isWebBrowser(std::string_view identity);

}  // namespace quillmoss::tracker::atspi
