#!/usr/bin/python3
# Stand-ins for the desktop's D-Bus services on a private bus.
# usage: fake_desktop.py LOG SERVICE...   (login1 screensaver portal shell kwin hostname1)
# Each call is checked for the argument types the real service takes and
# written to LOG as one line. FAKE_PORTAL=ok|silent|missing|refuse,
# FAKE_SCHEME (portal colour scheme), FAKE_PRETTY / FAKE_STATIC (host names),
# FAKE_SHOTS (where the portal writes its PNG).
import os, struct, sys, zlib
import dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
log_path, wanted = sys.argv[1], sys.argv[2:]
PROPS = 'org.freedesktop.DBus.Properties'


def record(line):
    with open(log_path, 'a') as log:
        log.write(line + '\n')


def expect(msg, signature):
    # Refuses a call whose arguments are not exactly `signature`.
    if msg.get_signature() != signature:
        raise dbus.exceptions.DBusException('wrong arguments %r, expected %r' % (msg.get_signature(), signature),
                                            name='org.freedesktop.DBus.Error.InvalidArgs')


def png(path):
    row = b'\x00' + b'\xff\x80\x00' * 4
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 4, 3, 8, 2, 0, 0, 0))
                  + chunk(b'IDAT', zlib.compress(row * 3)) + chunk(b'IEND', b''))


class Login1Session(dbus.service.Object):
    @dbus.service.method('org.freedesktop.login1.Session', in_signature='', message_keyword='msg')
    def Lock(self, msg=None):
        expect(msg, '')
        record('login1 Lock')


class ScreenSaver(dbus.service.Object):
    @dbus.service.method('org.freedesktop.ScreenSaver', in_signature='', message_keyword='msg')
    def Lock(self, msg=None):
        expect(msg, '')
        record('screensaver Lock')


class Request(dbus.service.Object):
    @dbus.service.signal('org.freedesktop.portal.Request', signature='ua{sv}')
    def Response(self, response, results):
        pass


class Portal(dbus.service.Object):
    @dbus.service.method('org.freedesktop.portal.Screenshot', in_signature='sa{sv}', out_signature='o',
                         sender_keyword='sender', message_keyword='msg')
    def Screenshot(self, parent, options, sender=None, msg=None):
        expect(msg, 'sa{sv}')
        token = options['handle_token']
        if not isinstance(token, dbus.String) or not isinstance(options['interactive'], dbus.Boolean):
            raise dbus.exceptions.DBusException('bad option types', name='org.freedesktop.DBus.Error.InvalidArgs')
        record('portal Screenshot parent=%r interactive=%s' % (str(parent), bool(options['interactive'])))
        path = '/org/freedesktop/portal/desktop/request/%s/%s' % (sender[1:].replace('.', '_'), token)
        request = Request(bus, path)
        mode = os.environ.get('FAKE_PORTAL', 'ok')
        shot = os.path.join(os.environ.get('FAKE_SHOTS', '/tmp'), 'Screenshot.png')
        if mode == 'ok':
            png(shot)
        answers = {'ok': (0, shot), 'missing': (0, shot + '.gone'), 'refuse': (1, None)}
        if mode in answers:
            code, file = answers[mode]
            results = {'uri': 'file://' + file} if file else {}
            GLib.timeout_add(50, lambda: request.Response(dbus.UInt32(code), dbus.Dictionary(results, signature='sv')))
        return dbus.ObjectPath(path)

    @dbus.service.method('org.freedesktop.portal.Settings', in_signature='ss', out_signature='v',
                         message_keyword='msg')
    def Read(self, namespace, key, msg=None):
        expect(msg, 'ss')
        record('portal Read %s %s' % (namespace, key))
        if (namespace, key) != ('org.freedesktop.appearance', 'color-scheme'):
            raise dbus.exceptions.DBusException('no such key', name='org.freedesktop.portal.Error.NotFound')
        return dbus.UInt32(int(os.environ.get('FAKE_SCHEME', '0')), variant_level=2)  # v inside v, as the portal does


class Properties(dbus.service.Object):
    def __init__(self, name, interface, values, path):
        super().__init__(bus, path)
        self.name, self.interface, self.values = name, interface, values

    @dbus.service.method(PROPS, in_signature='ss', out_signature='v', message_keyword='msg')
    def Get(self, interface, prop, msg=None):
        expect(msg, 'ss')
        if interface != self.interface or prop not in self.values:
            raise dbus.exceptions.DBusException(prop, name='org.freedesktop.DBus.Error.UnknownProperty')
        return self.values[prop]

    @dbus.service.method(PROPS, in_signature='ssv', message_keyword='msg')
    def Set(self, interface, prop, value, msg=None):
        expect(msg, 'ssv')
        if interface != self.interface or type(value) is not type(self.values.get(prop)):
            raise dbus.exceptions.DBusException(prop, name='org.freedesktop.DBus.Error.InvalidArgs')
        self.values[prop] = value
        record('%s Set %s %s' % (self.name, prop, value))


class KGlobalAccel(dbus.service.Object):
    @dbus.service.method('org.kde.kglobalaccel.Component', in_signature='s', message_keyword='msg')
    def invokeShortcut(self, name, msg=None):
        expect(msg, 's')
        record('kwin invokeShortcut %s' % name)


services = {
    'login1': ('org.freedesktop.login1', lambda: Login1Session(bus, '/org/freedesktop/login1/session/auto')),
    'screensaver': ('org.freedesktop.ScreenSaver', lambda: ScreenSaver(bus, '/org/freedesktop/ScreenSaver')),
    'portal': ('org.freedesktop.portal.Desktop', lambda: Portal(bus, '/org/freedesktop/portal/desktop')),
    'shell': ('org.gnome.Shell', lambda: Properties('shell', 'org.gnome.Shell',
                                                    {'OverviewActive': dbus.Boolean(False)}, '/org/gnome/Shell')),
    'kwin': ('org.kde.kglobalaccel', lambda: KGlobalAccel(bus, '/component/kwin')),
    'hostname1': ('org.freedesktop.hostname1', lambda: Properties(
        'hostname1', 'org.freedesktop.hostname1',
        {'PrettyHostname': dbus.String(os.environ.get('FAKE_PRETTY', '')),
         'StaticHostname': dbus.String(os.environ.get('FAKE_STATIC', ''))}, '/org/freedesktop/hostname1')),
}
keep = []
for key in wanted:
    name, make = services[key]
    keep.append((dbus.service.BusName(name, bus), make()))
record('ready')
GLib.MainLoop().run()
