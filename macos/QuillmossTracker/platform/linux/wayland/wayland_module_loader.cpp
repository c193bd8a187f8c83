// The Wayland mechanisms of the program: each loads the module it carries (see wayland_module.h)
// at the first call that has a Wayland display to try, and hands the call on.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "linux_desktop/candidates.h"
#include "platform/linux/wayland/wayland_module.h"
#include "posix/unique_fd.h"

// The module's bytes, linked into the program (wayland_module_bytes.S).
extern "C" const unsigned char quillmoss_wayland_module_start[];
extern "C" const unsigned char quillmoss_wayland_module_end[];

namespace quillmoss::tracker {
namespace {

#ifndef MFD_EXEC
#define MFD_EXEC 0x0010U  // kernels that refuse executable memory files by default want it asked
#endif

// An anonymous file holding the module: nothing is written to disk, and the file goes with the
// process.
Expected<posix::UniqueFd> moduleFile() {
  posix::UniqueFd fd(::memfd_create("QuillmossTracker-wayland", MFD_CLOEXEC | MFD_EXEC));
  if (!fd && errno == EINVAL)
    fd = posix::UniqueFd(::memfd_create("QuillmossTracker-wayland", MFD_CLOEXEC));
  if (!fd) return desktop::cannotServe(std::string("no memory file: ") + std::strerror(errno));
  const unsigned char* at = quillmoss_wayland_module_start;
  while (at < quillmoss_wayland_module_end) {
    const ssize_t written =
        ::write(fd.get(), at, static_cast<std::size_t>(quillmoss_wayland_module_end - at));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0)
      return desktop::cannotServe(std::string("cannot write the module: ") + std::strerror(errno));
    at += written;
  }
  return fd;
}

Expected<const WaylandMechanisms*> load() {
  auto file = moduleFile();
  if (!file) return file.error();
  const std::string path = "/proc/self/fd/" + std::to_string(file->get());
  // Never closed: the mechanisms' objects live as long as the program.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = ::dlerror();
    return desktop::cannotServe(std::string("cannot load the Wayland mechanisms: ") +
                                (why != nullptr ? why : "unknown error"));
  }
  auto entry = reinterpret_cast<WaylandMechanismsEntry>(::dlsym(module, kWaylandMechanismsSymbol));
  if (entry == nullptr) return desktop::cannotServe("the Wayland mechanisms' module has no entry");
  return entry();
}

// Loaded once, at the first call with a display to try; a failure to load is every call's reason.
Expected<const WaylandMechanisms*> mechanisms() {
  if (!waylandDisplayNamed()) return desktop::cannotServe(kNoWaylandDisplay);
  static const Expected<const WaylandMechanisms*> loaded = load();
  return loaded;
}

template <typename Made, typename Member>
Made handOn(Member member, SessionContext& context) {
  auto loaded = mechanisms();
  if (!loaded) return loaded.error();
  return ((*loaded)->*member)(context);
}

}  // namespace

WorkspaceMade wlrToplevelWorkspace(SessionContext& context) {
  return handOn<WorkspaceMade>(&WaylandMechanisms::wlrToplevelWorkspace, context);
}
WorkspaceMade kwinScriptWorkspace(SessionContext& context) {
  return handOn<WorkspaceMade>(&WaylandMechanisms::kwinScriptWorkspace, context);
}
WorkspaceMade gnomeExtensionWorkspace(SessionContext& context) {
  return handOn<WorkspaceMade>(&WaylandMechanisms::gnomeExtensionWorkspace, context);
}
IdleMade extIdleNotify(SessionContext& context) {
  return handOn<IdleMade>(&WaylandMechanisms::extIdleNotify, context);
}
IdleMade kdeKwinIdle(SessionContext& context) {
  return handOn<IdleMade>(&WaylandMechanisms::kdeKwinIdle, context);
}
IdleMade gnomeIdleMonitor(SessionContext& context) {
  return handOn<IdleMade>(&WaylandMechanisms::gnomeIdleMonitor, context);
}

}  // namespace quillmoss::tracker
