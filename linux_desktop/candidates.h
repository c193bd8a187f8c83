// Choosing a desktop mechanism at run time: one ordered table of named candidates per port,
// each making the port or saying why it cannot serve here. The table is the only place that
// orders them; when none serves, the error is their reasons joined.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"

namespace quillmoss::desktop {

inline constexpr char kDesktopErrorDomain[] = "com.velbrook.quillmoss.desktop";

template <typename Port, typename Context>
struct Candidate {
  const char* name;
  Expected<std::unique_ptr<Port>> (*make)(Context& context);
};

// Why a candidate cannot serve: a reason that says what it looked for.
Error cannotServe(std::string reason);

// The reasons of the candidates that did not serve, in table order; candidates with the same
// reason (a display none of them can reach) are named together: "a, b: reason; c: other".
class Reasons {
 public:
  void add(const char* candidate, const std::string& reason);
  std::string joined() const;

 private:
  struct Group {
    std::string names, reason;
  };
  std::vector<Group> groups_;
};

// The port of the first candidate that serves; else an error saying `nothing` and every
// candidate's reason.
template <typename Port, typename Context, std::size_t N>
Expected<std::unique_ptr<Port>> firstServing(const std::array<Candidate<Port, Context>, N>& table,
                                             Context& context, const std::string& nothing) {
  Reasons reasons;
  for (const Candidate<Port, Context>& candidate : table) {
    auto made = candidate.make(context);
    if (made) return made;
    reasons.add(candidate.name, made.error().message);
  }
  return Error{kDesktopErrorDomain, 1, nothing + ": " + reasons.joined()};
}

}  // namespace quillmoss::desktop
