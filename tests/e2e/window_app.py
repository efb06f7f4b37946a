#!/usr/bin/python3
# A GTK 3 application with one window for the compositor runs.
# usage: window_app.py APP_ID LOG [--refuse-once]
# Logs "shown", "close asked", "close refused" and "TERM" to LOG. With
# --refuse-once the first close is refused, as unsaved work would be.
import signal
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

app_id, log_path = sys.argv[1], sys.argv[2]
refusals = 1 if "--refuse-once" in sys.argv else 0
GLib.set_prgname(app_id)  # the Wayland app ID: the desktop-file ID


def log(line):
    with open(log_path, "a") as out:
        out.write(line + "\n")


def on_delete(window, event):
    global refusals
    log("close asked")
    if refusals > 0:
        refusals -= 1
        log("close refused")
        return True
    return False


def on_term():
    log("TERM")
    Gtk.main_quit()
    return GLib.SOURCE_REMOVE


window = Gtk.Window(title=app_id)
window.set_default_size(200, 100)
window.connect("delete-event", on_delete)
window.connect("destroy", Gtk.main_quit)
window.show_all()
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, on_term)
GLib.idle_add(lambda: log("shown"))
Gtk.main()
