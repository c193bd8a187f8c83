// The running windows of whichever session the host runs in, from the first mechanism in the
// table that serves.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "core/event_loop.h"
#include "linux_desktop/candidates.h"
#include "platform/linux/running_windows.h"
#include "platform/linux/window_candidates.h"

namespace quillmoss::host {

using WindowsCandidate = desktop::Candidate<RunningWindows, WindowsContext>;
// The host's mechanisms in order; see session_running_windows.cpp.
extern const std::array<WindowsCandidate, 4> kWindowMechanisms;

// The mechanisms are asked in order on every call; one that served is kept (with its
// connection, or the script the host loaded into KWin) until it no longer serves, and then
// made once more before the next is asked. Wayland has no window icons, so those
// applications' icons come from their entries.
class SessionRunningWindows : public RunningWindows {
 public:
  // The loop and the installed applications outlive this object; kwinScript is the script the
  // host loads into KWin.
  SessionRunningWindows(EventLoop& loop, InstalledApplications& installed,
                        std::filesystem::path kwinScript,
                        std::span<const WindowsCandidate> mechanisms = kWindowMechanisms);
  ~SessionRunningWindows() override;
  std::optional<std::vector<desktop::RunningWindow>> list() override;
  // Asks the mechanism that listed last.
  std::shared_ptr<const Image> windowIcon(const desktop::RunningWindow& window,
                                          std::shared_ptr<const Image> otherwise) override;

 private:
  WindowsContext context_;
  std::span<const WindowsCandidate> mechanisms_;
  std::vector<std::unique_ptr<RunningWindows>> kept_;  // one per row of the table
  RunningWindows* lister_ = nullptr;
};

}  // namespace quillmoss::host
