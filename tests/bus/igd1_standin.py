#!/usr/bin/python3
"""Independent stand-in for the configuration service, kept on purpose to cross-check sim/igd1.

Driven by tests/harness/standin.hpp.
It owns a bus name (default com.yvc.igd1) and answers every call through one message filter, so any
path, interface and method can be scripted. Keys are "<path> <interface> <method>"; the properties
interface is keyed by the target interface: "<path> <iface> Get <prop>", "<path> <iface> GetAll",
"<path> <iface> Set <prop>", "<path> <iface> SetValues".

Control methods (interface org.test.Control at /org/test/Control):
  SetProp(s path, s iface, s name, v value)
  Reply(s key, av reply)               scripted reply of a method: [] is an empty reply, else [tuple]
  Fail(s key, s error_name, s message)  answer with a D-Bus error; Unfail(s key) removes it
  Count(s key) -> (u)                   calls seen for a key
  LastArgs(s key) -> (av)               body of the last call for a key ([] when it had none)
  Emit(s path, s iface, s member, av body)       from the service's own connection ([] or [tuple])
  EmitOther(s path, s iface, s member, av body)  from a second connection that owns no name
D-Bus has no empty tuple value, so "no body" travels as an empty array.
Prints "ready <unique name>" once the name is owned.
"""
import sys
import threading
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PROPS = "com.yvc.igd1.Properties"
CONTROL_PATH = "/org/test/Control"
CONTROL_IFACE = "org.test.Control"

props = {}  # (path, iface) -> dict name -> GLib.Variant, insertion ordered
replies = {}
failures = {}
counts = {}
last_args = {}
lock = threading.Lock()


EMPTY = object()


def first(av):
    """[] means no body, [x] means x."""
    return av.get_child_value(0).get_variant() if av.n_children() else EMPTY


class StandIn:
    def __init__(self, conn, address):
        self.conn = conn
        self.address = address
        self.other = None

    def reply(self, msg, body):
        r = msg.new_method_reply()
        if body is not None:
            r.set_body(body)
        self.conn.send_message(r, Gio.DBusSendMessageFlags.NONE)

    def error(self, msg, name, text):
        r = msg.new_method_error_literal(name, text)
        self.conn.send_message(r, Gio.DBusSendMessageFlags.NONE)

    def control(self, msg, member, body):
        a = body.unpack() if body is not None else ()
        if member == "SetProp":
            path, iface, name = a[0], a[1], a[2]
            value = body.get_child_value(3).get_variant()
            with lock:
                props.setdefault((path, iface), {})[name] = value
            return self.reply(msg, None)
        if member == "Reply":
            with lock:
                replies[a[0]] = first(body.get_child_value(1))
            return self.reply(msg, None)
        if member == "Fail":
            with lock:
                failures[a[0]] = (a[1], a[2])
            return self.reply(msg, None)
        if member == "Unfail":
            with lock:
                failures.pop(a[0], None)
            return self.reply(msg, None)
        if member == "Count":
            with lock:
                n = counts.get(a[0], 0)
            return self.reply(msg, GLib.Variant("(u)", (n,)))
        if member == "LastArgs":
            with lock:
                v = last_args.get(a[0])
            return self.reply(msg, GLib.Variant("(av)", ([v] if v is not None else [],)))
        if member in ("Emit", "EmitOther"):
            path, iface, member_name = a[0], a[1], a[2]
            sig_body = first(body.get_child_value(3))
            conn = self.conn
            if member == "EmitOther":
                if self.other is None:
                    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                             | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
                    self.other = Gio.DBusConnection.new_for_address_sync(self.address, flags, None, None)
                conn = self.other
            conn.emit_signal(None, path, iface, member_name, sig_body if sig_body is not EMPTY else None)
            conn.flush_sync(None)
            return self.reply(msg, None)
        return self.error(msg, "org.freedesktop.DBus.Error.UnknownMethod", member)

    def properties(self, msg, path, member, body):
        a = body.unpack() if body is not None else ()
        iface = a[0] if a else ""
        if member in ("Get", "Set"):
            key = "%s %s %s %s" % (path, iface, member, a[1] if len(a) > 1 else "")
        else:
            key = "%s %s %s" % (path, iface, member)
        with lock:
            counts[key] = counts.get(key, 0) + 1
            if body is not None:
                last_args[key] = body
            fail = failures.get(key)
            scripted = replies.get(key)
            store = props.setdefault((path, iface), {})
            if fail:
                return self.error(msg, fail[0], fail[1])
            if scripted is not None:
                return self.reply(msg, scripted if scripted is not EMPTY else None)
            if member == "Get":
                if a[1] not in store:
                    return self.error(msg, "com.yvc.igd1.Error.UnknownProperty", "no property " + a[1])
                return self.reply(msg, GLib.Variant("(v)", (store[a[1]],)))
            if member == "GetAll":
                return self.reply(msg, GLib.Variant("(a{sv})", (dict(store),)))
            if member == "Set":
                store[a[1]] = body.get_child_value(2).get_variant()
                return self.reply(msg, None)
            if member == "SetValues":
                m = body.get_child_value(1)
                for i in range(m.n_children()):
                    e = m.get_child_value(i)
                    store[e.get_child_value(0).get_string()] = e.get_child_value(1).get_variant()
                return self.reply(msg, None)
        return self.error(msg, "org.freedesktop.DBus.Error.UnknownMethod", member)

    def method(self, msg, path, iface, member, body):
        key = "%s %s %s" % (path, iface, member)
        with lock:
            counts[key] = counts.get(key, 0) + 1
            last_args[key] = body
            fail = failures.get(key)
            scripted = replies.get(key)
        if fail:
            return self.error(msg, fail[0], fail[1])
        if scripted is None:
            return self.error(msg, "org.freedesktop.DBus.Error.UnknownMethod", "no reply scripted for " + key)
        return self.reply(msg, scripted if scripted is not EMPTY else None)

    def handle(self, msg):
        path, iface, member = msg.get_path(), msg.get_interface() or "", msg.get_member()
        body = msg.get_body()
        if path == CONTROL_PATH and iface == CONTROL_IFACE:
            self.control(msg, member, body)
        elif iface == PROPS:
            self.properties(msg, path, member, body)
        elif iface == "org.freedesktop.DBus.Peer" and member == "Ping":
            self.reply(msg, None)
        else:
            self.method(msg, path, iface, member, body)
        return False

    def filter(self, conn, msg, incoming):
        if not incoming or msg.get_message_type() != Gio.DBusMessageType.METHOD_CALL:
            return msg
        if msg.get_destination() is None:
            return msg
        GLib.idle_add(self.handle, msg)
        return None


def main():
    name = sys.argv[1] if len(sys.argv) > 1 else "com.yvc.igd1"
    address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SYSTEM, None)
    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    conn = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
    stand_in = StandIn(conn, address)
    conn.add_filter(stand_in.filter)
    loop = GLib.MainLoop()
    # The previous test's stand-in may still be leaving the bus: retry for a few seconds.
    for _ in range(100):
        r = conn.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                           GLib.Variant("(su)", (name, 4)), GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, -1, None)
        if r.unpack()[0] == 1:
            break
        time.sleep(0.05)
    else:
        print("name %s not owned" % name, file=sys.stderr)
        return 1
    print("ready " + conn.get_unique_name(), flush=True)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
