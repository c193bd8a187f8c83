// Loaded into KWin by QuillmossTracker: reports each activation to the tracker over D-Bus, with
// the window's desktop file name, resource class and pid (as text, so that the call's types do
// not depend on how the script engine converts numbers); empty strings when no window is active.
const SERVICE = "com.velbrook.quillmoss.Tracker";
const PATH = "/com/velbrook/quillmoss/Tracker";
const INTERFACE = "com.velbrook.quillmoss.Tracker";

// A dialog counts for the window it belongs to, as on X11.
function owner(window) {
    for (let depth = 0; depth < 8 && window.transient && window.transientFor; ++depth)
        window = window.transientFor;
    return window;
}

function report(window) {
    if (window)
        window = owner(window);
    if (!window) {
        callDBus(SERVICE, PATH, INTERFACE, "WindowActivated", "", "", "");
        return;
    }
    callDBus(SERVICE, PATH, INTERFACE, "WindowActivated", String(window.desktopFileName || ""),
             String(window.resourceClass || ""), String(window.pid || ""));
}

// Plasma 6 names them windowActivated/activeWindow, Plasma 5 clientActivated/activeClient.
if (workspace.windowActivated) {
    workspace.windowActivated.connect(report);
    report(workspace.activeWindow);
} else {
    workspace.clientActivated.connect(report);
    report(workspace.activeClient);
}
