// GNOME Shell 40 to 44 load extensions as scripts through imports; init() gives the object that
// is enabled and disabled.
const {Gio, GLib, Meta, Shell} = imports.gi;

// @FOCUS_REPORTER@

/* exported init */
function init() {
    return new FocusReporter();
}
