#!/usr/bin/python3
"""A stand-in for the desktop's GlobalShortcuts portal on the session bus it is started
on, as the xdg-desktop-portal documentation describes the interface: CreateSession and
BindShortcuts answer with a Request object handle at once and with its Response signal
afterwards; sessions can be closed; Activated is emitted on request.

usage: portal_standin.py [--bind-response N]
  N is the response code BindShortcuts answers with (0 success, 1 cancelled, 2 other).

For the test that starts it, org.corvana.PortalStandIn at the portal's path offers
Press(shortcut_id), which emits Activated for the newest session, and Log(), the calls
so far ("CreateSession", "BindShortcuts <id> <preferred trigger>", ...). It prints
"ready" on standard output once it owns the portal's name."""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"


def sender_part(sender):
    return sender[1:].replace(".", "_")


class Request(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, bus, path, portal):
        super().__init__(bus, path)
        self.portal = portal

    @dbus.service.method("org.freedesktop.portal.Session")
    def Close(self):
        self.portal.log.append("Close")
        self.portal.sessions.pop(self.__dbus_object_path__, None)
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, bind_response):
        super().__init__(bus, PATH)
        self.bus = bus
        self.bind_response = bind_response
        self.sessions = {}
        self.newest = None
        self.log = []

    def answer(self, sender, options, response, results):
        token = str(options.get("handle_token", "t%d" % len(self.log)))
        request = Request(self.bus, f"{PATH}/request/{sender_part(sender)}/{token}")

        def respond():
            request.Response(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
            request.remove_from_connection()
            return False

        GLib.idle_add(respond)
        return dbus.ObjectPath(request.__dbus_object_path__)

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == SHORTCUTS and name == "version":
            return dbus.UInt32(1)
        raise dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.UnknownProperty")

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        self.log.append("CreateSession")
        token = str(options.get("session_handle_token", "s%d" % len(self.log)))
        path = f"{PATH}/session/{sender_part(sender)}/{token}"
        self.sessions[path] = Session(self.bus, path, self)
        self.newest = path
        return self.answer(sender, options, 0, {"session_handle": dbus.String(path)})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent_window, options, sender=None):
        for name, props in shortcuts:
            self.log.append(f"BindShortcuts {name} {props.get('preferred_trigger', '')}")
        if str(session) not in self.sessions:
            raise dbus.exceptions.DBusException("no such session", name="org.freedesktop.portal.Error.NotFound")
        if self.bind_response != 0:
            return self.answer(sender, options, self.bind_response, {})
        bound = [dbus.Struct((str(name), dbus.Dictionary({"description": str(props.get("description", "")),
                                                          "trigger_description": "Ctrl+Alt+Space"}, signature="sv")))
                 for name, props in shortcuts]
        return self.answer(sender, options, 0, {"shortcuts": dbus.Array(bound, signature="(sa{sv})")})

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session, shortcut_id, timestamp, options):
        pass

    @dbus.service.method("org.corvana.PortalStandIn", in_signature="s", out_signature="b")
    def Press(self, shortcut_id):
        if self.newest not in self.sessions:
            return False
        self.Activated(dbus.ObjectPath(self.newest), shortcut_id, dbus.UInt64(0),
                       dbus.Dictionary({}, signature="sv"))
        return True

    @dbus.service.method("org.corvana.PortalStandIn", out_signature="as")
    def Log(self):
        return self.log


def main():
    bind_response = 0
    args = sys.argv[1:]
    if args[:1] == ["--bind-response"] and len(args) == 2:
        bind_response = int(args[1])
    elif args:
        print(__doc__, file=sys.stderr)
        return 2
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus, bind_response)
    name = dbus.service.BusName(PORTAL, bus, do_not_queue=True)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name, portal
    return 0


if __name__ == "__main__":
    sys.exit(main())
