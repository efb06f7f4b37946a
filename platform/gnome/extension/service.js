// The window control this program asks GNOME Shell for, on the shell's own
// session-bus connection. Only these operations, on windows named by their
// ids; nothing is evaluated. Shared by both extension forms.
const INTERFACE = `<node>
  <interface name="org.tendril.WindowControl">
    <method name="Windows"><arg type="s" direction="out" name="report"/></method>
    <method name="Activate"><arg type="s" direction="in" name="window"/></method>
    <method name="Restore"><arg type="as" direction="in" name="windows"/></method>
    <method name="Minimize"><arg type="as" direction="in" name="windows"/></method>
    <method name="Close"><arg type="as" direction="in" name="windows"/></method>
    <method name="ToggleShowingDesktop"/>
    <method name="ToggleOverview"/>
    <signal name="FocusChanged"><arg type="s" name="report"/></signal>
  </interface>
</node>`;
const OBJECT_PATH = '/org/tendril/WindowControl';

// Inside a D-Bus handler the current event time is 0: ask the X server's clock.
const now = () => global.display.get_current_time_roundtrip();

// The desktop-file ID, else the Wayland app ID: a window without a matching
// entry is "window:N" to the tracker.
function appIdOf(window) {
    const app = Shell.WindowTracker.get_default().get_window_app(window);
    const id = app ? app.get_id() : '';
    if (id && !id.startsWith('window:'))
        return id;
    return window.get_gtk_application_id() || window.get_sandboxed_app_id() || window.get_wm_class() || '';
}

function managedWindows() {
    const windows = global.get_window_actors().map(actor => actor.get_meta_window())
        .filter(window => window && !window.is_override_redirect());
    return global.display.sort_windows_by_stacking(windows);
}

const idOf = window => String(window.get_id());
const byIds = ids => managedWindows().filter(window => ids.includes(idOf(window)));

class WindowControlService {
    enable() {
        this._desktopShown = [];
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._focusHandler = global.display.connect('notify::focus-window', () =>
            this._object.emit_signal('FocusChanged', new GLib.Variant('(s)', [this.Windows()])));
    }

    disable() {
        global.display.disconnect(this._focusHandler);
        this._object.unexport();
        this._object = null;
    }

    Windows() {
        const focused = global.display.focus_window;
        return JSON.stringify({
            active: focused ? idOf(focused) : '',
            time: Date.now(),
            windows: managedWindows().map(window => ({
                id: idOf(window), pid: window.get_pid(), desktopFile: appIdOf(window),
                instance: window.get_wm_class_instance() || '', windowClass: window.get_wm_class() || '',
                normal: window.get_window_type() === Meta.WindowType.NORMAL, minimized: window.minimized,
            })),
        });
    }

    Activate(id) {
        for (const window of byIds([id])) {
            // The overview, shown at start, takes the first activation as it
            // hides: activate again once it has gone.
            if (Main.overview.visible) {
                const handler = Main.overview.connect('hidden', () => {
                    Main.overview.disconnect(handler);
                    Main.activateWindow(window, now());
                });
            }
            Main.activateWindow(window, now());
        }
    }

    Restore(ids) {
        byIds(ids).forEach(window => window.unminimize());
    }

    Minimize(ids) {
        byIds(ids).filter(window => window.can_minimize()).forEach(window => window.minimize());
    }

    Close(ids) {
        byIds(ids).forEach(window => window.delete(now()));
    }

    // GNOME has no desktop to show: the workspace's windows are minimised,
    // and the same ones come back the next time.
    ToggleShowingDesktop() {
        const shown = byIds(this._desktopShown).filter(window => window.minimized);
        this._desktopShown = [];
        if (shown.length > 0) {
            shown.forEach(window => window.unminimize());
            return;
        }
        const workspace = global.workspace_manager.get_active_workspace();
        for (const window of managedWindows()) {
            if (window.minimized || window.skip_taskbar || !window.can_minimize() || !window.located_on_workspace(workspace))
                continue;
            window.minimize();
            this._desktopShown.push(idOf(window));
        }
    }

    ToggleOverview() {
        Main.overview.toggle();
    }
}
