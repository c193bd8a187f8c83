// The extension's whole behaviour, shared by both module forms (extension-40.js, extension-45.js
// put it between their imports and their entry point): exports the focused window's application
// id, WM class and pid on the session bus as com.velbrook.quillmoss.FocusedWindow, and signals
// each change, for QuillmossTracker; and lists the windows with their titles, for quillmoss's
// running applications. Gio, GLib, Meta and Shell come from the entry file.
const BUS_NAME = 'com.velbrook.quillmoss.FocusedWindow';
const OBJECT_PATH = '/com/velbrook/quillmoss/FocusedWindow';
const INTERFACE_XML = `<node>
  <interface name="com.velbrook.quillmoss.FocusedWindow">
    <method name="GetFocus">
      <arg type="s" name="appId" direction="out"/>
      <arg type="s" name="wmClass" direction="out"/>
      <arg type="i" name="pid" direction="out"/>
    </method>
    <method name="ListWindows">
      <arg type="a(ssis)" name="windows" direction="out"/>
    </method>
    <signal name="FocusChanged">
      <arg type="s" name="appId"/>
      <arg type="s" name="wmClass"/>
      <arg type="i" name="pid"/>
    </signal>
  </interface>
</node>`;

class FocusReporter {
    enable() {
        this._windows = Shell.WindowTracker.get_default();
        this._last = '';
        this._exported = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, this);
        this._exported.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
        this._focusId = global.display.connect('notify::focus-window', () => this._changed());
    }

    disable() {
        global.display.disconnect(this._focusId);
        Gio.bus_unown_name(this._nameId);
        this._exported.unexport();
        this._exported = null;
        this._windows = null;
    }

    // D-Bus method: the focused window now; empty strings and 0 when none has the focus.
    GetFocus() {
        return this._focus();
    }

    // D-Bus method: the windows of every workspace, most recently used first, as the focus
    // describes them and with their titles.
    ListWindows() {
        const windows = global.display.get_tab_list(Meta.TabList.NORMAL_ALL, null);
        return windows.map(window => [...this._describe(window), window.get_title() ?? '']);
    }

    _focus() {
        const window = global.display.focus_window;
        return window ? this._describe(window) : ['', '', 0];
    }

    _describe(window) {
        // A dialog counts for the window it belongs to, as on X11.
        for (let depth = 0; depth < 8 && window.get_transient_for(); ++depth)
            window = window.get_transient_for();
        // A window the shell matched to no desktop entry gets a made-up id ("window:N"); the
        // programs then go by its WM class and pid instead.
        const app = this._windows.get_window_app(window);
        const appId = app && !app.is_window_backed() ? app.get_id() ?? '' : '';
        return [appId, window.get_wm_class() ?? '', window.get_pid() ?? 0];
    }

    _changed() {
        const focus = this._focus();
        const key = focus.join('\n');
        if (key === this._last)
            return;
        this._last = key;
        this._exported.emit_signal('FocusChanged', new GLib.Variant('(ssi)', focus));
    }
}
