// The window in front as a desktop shell reports it over D-Bus: KWin through the script we load
// into it, GNOME Shell through the extension we ship.
#include "kwin_activations_script.h"
#include "linux_desktop/script_file.h"
#include "platform/linux/session_candidates.h"
#include "platform/linux/wayland/shell_focus.h"
#include "platform/linux/wayland/wayland_workspace.h"

namespace quillmoss::tracker {
namespace {

// KWin reports the window in front right after the script starts; until then (or if it never
// does) we start with none.
constexpr int kFirstReportTimeoutMs = 1000;

class ShellWorkspace final : public WaylandWorkspace {
 public:
  using WaylandWorkspace::WaylandWorkspace;
  ~ShellWorkspace() override {
    // The shell's script is unloaded and its subscription ends before the link may go.
    shell_.reset();
  }

  enum class Shell { kwin, gnome };

  // The shell reports the process of the window in front, not its title.
  void frontWindow(std::function<void(const FrontWindow&)> done) override {
    done(FrontWindow{pid_, std::nullopt});
  }

  Status start(Shell shell) {
    GDBusConnection* bus = link_->sessionBus();
    auto handler = [this](const FocusReport& report) {
      // Until start() is done, a report only sets the state found at start-up.
      if (started_) {
        focusReported(report);
        return;
      }
      startFocus_ = report;
      startReported_ = true;
    };
    if (shell == Shell::kwin) {
      // The tracker carries its script: "setup" copies it alone out of its bundle.
      auto script = desktop::ScriptFile::write(desktop::scriptFolderBase(), "kwin",
                                               "quillmoss-activations.js", kKWinActivationsScript);
      if (!script) return script.error();
      kwinScript_ = std::move(*script);
      shell_ = startKWinFocus(bus, kwinScript_->path(), handler);
      if (!shell_) {
        return desktop::cannotServe("KWin is not on the session bus or refused the script");
      }
      link_->glib().runUntil([this] { return startReported_; }, kFirstReportTimeoutMs);
    } else {
      shell_ = startGnomeFocus(bus, startFocus_, handler);
      if (!shell_) {
        return desktop::cannotServe(
            "the Quillmoss GNOME Shell extension is not on the session bus");
      }
    }
    link_->endWithSessionBus();
    std::optional<std::string> front;
    if (!startFocus_.none()) {
      front = identityOf(startFocus_.appId, startFocus_.wmClass, startFocus_.pid);
    }
    pid_ = startFocus_.pid;
    auto begun = begin(std::move(front));
    started_ = true;
    return begun;
  }

 private:
  void focusReported(const FocusReport& focus) {
    pid_ = focus.pid;
    if (focus.none()) {
      filter_.noActiveWindow();
      return;
    }
    filter_.windowActivated();
    filter_.frontChanged(identityOf(focus.appId, focus.wmClass, focus.pid));
  }

  // The file KWin reads the script from, kept while it runs.
  std::unique_ptr<desktop::ScriptFile> kwinScript_;
  std::unique_ptr<ShellFocus> shell_;
  bool started_ = false, startReported_ = false;
  FocusReport startFocus_;
  std::optional<int> pid_;
};

WorkspaceMade shellWorkspace(SessionContext& context, ShellWorkspace::Shell shell) {
  auto link = WaylandLink::of(context);
  if (!link) return link.error();
  if ((*link)->sessionBus() == nullptr) return desktop::cannotServe("there is no session bus");
  auto workspace = std::make_unique<ShellWorkspace>(*link);
  if (auto started = workspace->start(shell); !started) return started.error();
  return std::unique_ptr<SessionWorkspace>(std::move(workspace));
}

}  // namespace

WorkspaceMade kwinScriptWorkspace(SessionContext& context) {
  return shellWorkspace(context, ShellWorkspace::Shell::kwin);
}

WorkspaceMade gnomeExtensionWorkspace(SessionContext& context) {
  return shellWorkspace(context, ShellWorkspace::Shell::gnome);
}

}  // namespace quillmoss::tracker
