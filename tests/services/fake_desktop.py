#!/usr/bin/python3
# Stand-ins for the desktop's D-Bus services on a private bus.
# usage: fake_desktop.py LOG SERVICE...   (login1 screensaver portal shell kwin hostname1)
# Each call is checked for the argument types the real service takes and
# written to LOG as one line. FAKE_PORTAL=ok|silent|missing|refuse,
# FAKE_SCHEME (portal colour scheme), FAKE_PRETTY / FAKE_STATIC (host names),
# FAKE_HOSTNAME_DELAY (seconds hostname1 takes to answer),
# FAKE_SHOTS (where the portal writes its PNG).
import functools, os, struct, sys, time, zlib
import dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
log_path, wanted = sys.argv[1], sys.argv[2:]
env = os.environ.get
Error = dbus.exceptions.DBusException


def record(line):
    with open(log_path, 'a') as log:
        log.write(line + '\n')


def method(owners, interface, signature, out=''):
    # Exports a method of the services `owners` that refuses a call whose
    # arguments are not exactly `signature`.
    def export(function):
        @functools.wraps(function)
        def checked(self, *args, msg=None, sender=None):
            if self.name not in owners.split():
                raise Error(interface, name='org.freedesktop.DBus.Error.UnknownMethod')
            if msg.get_signature() != signature:
                raise Error('wrong arguments %r' % msg.get_signature(), name='org.freedesktop.DBus.Error.InvalidArgs')
            return function(self, *args, sender=sender)
        return dbus.service.method(interface, signature, out, message_keyword='msg', sender_keyword='sender')(checked)
    return export


def png(path):  # 4x3, orange
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 4, 3, 8, 2, 0, 0, 0))
                  + chunk(b'IDAT', zlib.compress((b'\x00' + b'\xff\x80\x00' * 4) * 3)) + chunk(b'IEND', b''))


class Service(dbus.service.Object):
    def __init__(self, name, path, values=None, interface=None):
        super().__init__(bus, path)
        self.name, self.values, self.interface = name, values or {}, interface

    @method('kwin', 'org.kde.kglobalaccel.Component', 's')
    def invokeShortcut(self, name, msg=None, sender=None):
        record('%s invokeShortcut %s' % (self.name, name))

    @method('shell hostname1', 'org.freedesktop.DBus.Properties', 'ss', 'v')
    def Get(self, interface, prop, msg=None, sender=None):
        if interface != self.interface or prop not in self.values:
            raise Error(prop, name='org.freedesktop.DBus.Error.UnknownProperty')
        return self.values[prop]

    @method('hostname1', 'org.freedesktop.DBus.Properties', 's', 'a{sv}')
    def GetAll(self, interface, msg=None, sender=None):
        time.sleep(float(env('FAKE_HOSTNAME_DELAY', '0')))
        if interface != self.interface:
            raise Error(interface, name='org.freedesktop.DBus.Error.UnknownInterface')
        return dbus.Dictionary(self.values, signature='sv')

    @method('shell hostname1', 'org.freedesktop.DBus.Properties', 'ssv')
    def Set(self, interface, prop, value, msg=None, sender=None):
        if interface != self.interface or type(value) is not type(self.values.get(prop)):
            raise Error(prop, name='org.freedesktop.DBus.Error.InvalidArgs')
        self.values[prop] = value
        record('%s Set %s %s' % (self.name, prop, value))

    @method('portal', 'org.freedesktop.portal.Settings', 'ss', 'v')
    def Read(self, namespace, key, msg=None, sender=None):
        record('portal Read %s %s' % (namespace, key))
        if (namespace, key) != ('org.freedesktop.appearance', 'color-scheme'):
            raise Error('no such key', name='org.freedesktop.portal.Error.NotFound')
        return dbus.UInt32(int(env('FAKE_SCHEME', '0')), variant_level=2)  # v inside v, as the portal does

    @method('portal', 'org.freedesktop.portal.Screenshot', 'sa{sv}', 'o')
    def Screenshot(self, parent, options, msg=None, sender=None):
        token = options['handle_token']
        if not isinstance(token, dbus.String) or not isinstance(options['interactive'], dbus.Boolean):
            raise Error('bad option types', name='org.freedesktop.DBus.Error.InvalidArgs')
        record('portal Screenshot parent=%r interactive=%s' % (str(parent), bool(options['interactive'])))
        path = '/org/freedesktop/portal/desktop/request/%s/%s' % (sender[1:].replace('.', '_'), token)
        request, mode = Request(bus, path), env('FAKE_PORTAL', 'ok')
        shot = os.path.join(env('FAKE_SHOTS', '/tmp'), 'Screenshot.png')
        if mode == 'ok':
            png(shot)
        if mode in ('ok', 'missing', 'refuse'):
            code, results = (1, {}) if mode == 'refuse' else (0, {'uri': 'file://' + shot + ('.gone' if mode == 'missing' else '')})
            GLib.timeout_add(50, lambda: request.Response(dbus.UInt32(code), dbus.Dictionary(results, signature='sv')))
        return dbus.ObjectPath(path)


class Login1(Service):
    @method('login1', 'org.freedesktop.login1.Session', '')
    def Lock(self, msg=None, sender=None):
        record('login1 Lock')


class ScreenSaver(Service):
    @method('screensaver', 'org.freedesktop.ScreenSaver', '')
    def Lock(self, msg=None, sender=None):
        record('screensaver Lock')


class Request(dbus.service.Object):
    @dbus.service.signal('org.freedesktop.portal.Request', signature='ua{sv}')
    def Response(self, response, results):
        pass


services = {
    'login1': ('org.freedesktop.login1', '/org/freedesktop/login1/session/auto', None, None),
    'screensaver': ('org.freedesktop.ScreenSaver', '/org/freedesktop/ScreenSaver', None, None),
    'portal': ('org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop', None, None),
    'shell': ('org.gnome.Shell', '/org/gnome/Shell', {'OverviewActive': dbus.Boolean(False)}, 'org.gnome.Shell'),
    'kwin': ('org.kde.kglobalaccel', '/component/kwin', None, None),
    'hostname1': ('org.freedesktop.hostname1', '/org/freedesktop/hostname1',
                  {'PrettyHostname': dbus.String(env('FAKE_PRETTY', '')), 'StaticHostname': dbus.String(env('FAKE_STATIC', ''))},
                  'org.freedesktop.hostname1'),
}
kinds = {'login1': Login1, 'screensaver': ScreenSaver}
keep = [(dbus.service.BusName(services[key][0], bus), kinds.get(key, Service)(key, *services[key][1:])) for key in wanted]
record('ready')
GLib.MainLoop().run()
