// Loaded into KWin by quillmoss while it runs: reports the windows on every change, one line
// each with the desktop file name, resource class, pid, caption and the line number (from 0) of
// the window a dialog belongs to (empty for others) split by tabs (control characters in them
// become spaces).
const SERVICE = "com.velbrook.quillmoss.Host";
const PATH = "/com/velbrook/quillmoss/Host";
const INTERFACE = "com.velbrook.quillmoss.Windows";
// Plasma 6 names them windowList/windowAdded/windowRemoved, Plasma 5 clientList/...
const plasma6 = !!workspace.windowList;

function text(value) {
    return String(value === undefined || value === null ? "" : value).replace(/[\x00-\x1f]/g, " ");
}

function report(removed) {
    const windows = (plasma6 ? workspace.windowList() : workspace.clientList())
        .filter(w => w !== removed && !w.popupWindow);
    const lines = windows.map(w => {
        const parent = w.transient && w.transientFor ? windows.indexOf(w.transientFor) : -1;
        return [w.desktopFileName, w.resourceClass, w.pid, w.caption, parent < 0 ? "" : parent]
            .map(text).join("\t");
    });
    callDBus(SERVICE, PATH, INTERFACE, "WindowsChanged", lines.join("\n"));
}

function watch(window) {
    window.captionChanged.connect(() => report());
    window.desktopFileNameChanged.connect(() => report());
}

(plasma6 ? workspace.windowAdded : workspace.clientAdded).connect(w => { watch(w); report(); });
(plasma6 ? workspace.windowRemoved : workspace.clientRemoved).connect(report);
(plasma6 ? workspace.windowList() : workspace.clientList()).forEach(watch);
report();
