// Our code inside the desktop shells, as both programs reach it: a script loaded into KWin
// through its scripting D-Bus interface, which reports to an object we export (the tracker's
// activations, the host's window list), and the GNOME Shell extension's object on the bus.
#pragma once

#include <gio/gio.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillmoss::desktop {

// A shell (KWin's script, GNOME Shell's extension) that sends more than this in one field is
// cut short.
inline constexpr std::size_t kMaxShellFieldBytes = 1024;

// A process id as a shell's script sends it, in decimal; nullopt unless it is positive.
std::optional<int> shellPid(std::string_view text);

// The GNOME Shell extension's bus name, object and interface.
inline constexpr char kGnomeShellBusName[] = "com.velbrook.quillmoss.FocusedWindow";
inline constexpr char kGnomeShellObjectPath[] = "/com/velbrook/quillmoss/FocusedWindow";
inline constexpr char kGnomeShellInterface[] = "com.velbrook.quillmoss.FocusedWindow";

struct KWinScriptOptions {
  const char* busName;       // ours, owned for the script's calls
  const char* objectPath;    // the object the script calls
  const char* interfaceXml;  // introspection data of one interface
  std::filesystem::path script;
  const char* pluginName;  // KWin's name for the loaded script
};

// Loaded for as long as it lives. The exported object carries `this`; it is unregistered (and
// the script unloaded) in the destructor.
class KWinScript {
 public:
  // Called for each method call from KWin's own connection, on the thread-default main context;
  // calls from any other connection are refused.
  using Handler = std::function<void(std::string_view method, GVariant* parameters)>;

  // nullptr when KWin is not on the bus, the name is taken or KWin refuses the script. The bus
  // outlives the result.
  static std::unique_ptr<KWinScript> start(GDBusConnection* bus, const KWinScriptOptions& options,
                                           Handler handler);
  ~KWinScript();
  KWinScript(const KWinScript&) = delete;
  KWinScript& operator=(const KWinScript&) = delete;

  // The connection of the KWin that runs the script.
  const std::string& kwinOwner() const { return kwinOwner_; }

 private:
  KWinScript(GDBusConnection* bus, std::string kwinOwner, const char* pluginName, Handler handler);
  bool load(const KWinScriptOptions& options);
  void unload();
  static void onMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                           const gchar* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer data);

  GDBusConnection* bus_;
  std::string kwinOwner_;
  const char* pluginName_;
  Handler handler_;
  GDBusNodeInfo* info_ = nullptr;
  guint registration_ = 0;
  bool loaded_ = false;
};

}  // namespace quillmoss::desktop
