// The program's side of the module it carries (see carried_module.h): the module is loaded from
// an unnamed file at the first call that needs it, and calls are handed on to it.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "linux_desktop/candidates.h"
#include "linux_desktop/script_file.h"
#include "platform/linux/atspi/web_browsers.h"
#include "platform/linux/carried_module.h"
#include "posix/unique_fd.h"
#include "posix/write_all.h"

// The module's bytes, linked into the program (carried_module_bytes.S).
extern "C" const unsigned char quillmoss_carried_module_start[];
extern "C" const unsigned char quillmoss_carried_module_end[];

namespace quillmoss::tracker {
namespace {

#ifndef MFD_EXEC
#define MFD_EXEC 0x0010U  // kernels that refuse executable memory files by default want it asked
#endif

// An anonymous file holding the module, which goes with the process: a memory file, else (on
// kernels set to refuse executable memory files) an unnamed file in the runtime folder.
Expected<posix::UniqueFd> moduleFile(bool inMemory) {
  constexpr char kName[] = "QuillmossTracker-module";
  posix::UniqueFd fd;
  if (inMemory) {
    fd = posix::UniqueFd(::memfd_create(kName, MFD_CLOEXEC | MFD_EXEC));
    if (!fd && errno == EINVAL) fd = posix::UniqueFd(::memfd_create(kName, MFD_CLOEXEC));
  } else {
    fd = posix::UniqueFd(
        ::open(desktop::scriptFolderBase().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0700));
  }
  if (!fd)
    return desktop::cannotServe(std::string("no file for the module: ") + std::strerror(errno));
  const std::string_view bytes(
      reinterpret_cast<const char*>(quillmoss_carried_module_start),
      static_cast<std::size_t>(quillmoss_carried_module_end - quillmoss_carried_module_start));
  if (!posix::writeAll(fd.get(), bytes)) {
    return desktop::cannotServe(std::string("cannot write the module: ") + std::strerror(errno));
  }
  return fd;
}

Expected<const CarriedMechanisms*> loadFrom(bool inMemory) {
  auto file = moduleFile(inMemory);
  if (!file) return file.error();
  const std::string path = "/proc/self/fd/" + std::to_string(file->get());
  // Never closed: what it makes lives as long as the program.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = ::dlerror();
    return desktop::cannotServe(std::string("cannot load the tracker's module: ") +
                                (why != nullptr ? why : "unknown error"));
  }
  auto entry = reinterpret_cast<CarriedMechanismsEntry>(::dlsym(module, kCarriedMechanismsSymbol));
  if (entry == nullptr) return desktop::cannotServe("the tracker's module has no entry");
  return entry();
}

Expected<const CarriedMechanisms*> load() {
  auto loaded = loadFrom(true);
  return loaded ? loaded : loadFrom(false);
}

// Loaded once; a failure to load is every later call's answer.
const Expected<const CarriedMechanisms*>& mechanisms() {
  static const Expected<const CarriedMechanisms*> loaded = load();
  return loaded;
}

// The Wayland mechanisms try nothing, and load nothing, without a display to try.
template <typename Made, typename Member>
Made handOn(Member member, SessionContext& context) {
  if (!waylandDisplayNamed()) return desktop::cannotServe(kNoWaylandDisplay);
  const auto& loaded = mechanisms();
  if (!loaded) return loaded.error();
  return ((*loaded)->*member)(context);
}

}  // namespace

WorkspaceMade wlrToplevelWorkspace(SessionContext& context) {
  return handOn<WorkspaceMade>(&CarriedMechanisms::wlrToplevelWorkspace, context);
}
WorkspaceMade kwinScriptWorkspace(SessionContext& context) {
  return handOn<WorkspaceMade>(&CarriedMechanisms::kwinScriptWorkspace, context);
}
WorkspaceMade gnomeExtensionWorkspace(SessionContext& context) {
  return handOn<WorkspaceMade>(&CarriedMechanisms::gnomeExtensionWorkspace, context);
}
IdleMade extIdleNotify(SessionContext& context) {
  return handOn<IdleMade>(&CarriedMechanisms::extIdleNotify, context);
}
IdleMade kdeKwinIdle(SessionContext& context) {
  return handOn<IdleMade>(&CarriedMechanisms::kdeKwinIdle, context);
}
IdleMade gnomeIdleMonitor(SessionContext& context) {
  return handOn<IdleMade>(&CarriedMechanisms::gnomeIdleMonitor, context);
}

void CarriedBrowserTabs::prepare() {
  if (tried_) return;
  tried_ = true;
  const auto& loaded = mechanisms();
  if (!loaded) return;
  pages_ = (*loaded)->browserTabs(loop_, [this](auto done) {
    if (frontWindow_) return frontWindow_(std::move(done));
    done(FrontWindow{});
  });
}

bool CarriedBrowserTabs::isBrowser(const std::string& bundleId) {
  return atspi::isWebBrowser(bundleId);
}

void CarriedBrowserTabs::ask(const std::string& bundleId, Done done) {
  prepare();
  if (!pages_) return done(TabAnswer{});
  pages_->ask(bundleId, std::move(done));
}

}  // namespace quillmoss::tracker
