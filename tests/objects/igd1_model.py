#!/usr/bin/python3
"""Independent stand-in for the service's object model, kept on purpose to cross-check sim/igd1.

The accessor tests run against it and the simulator alike.

It owns com.yvc.igd1 on the bus it is started on and keeps a tree of objects:
  path -> {interface -> [(property, GLib.Variant)]}   (property order is kept as loaded)
A collection is any path; its children are the objects exactly one level below it.

Served:
  com.yvc.igd1.Properties     Get (ss)->(v), Set (ssv), GetAll (s)->(a{sv}), SetValues (sa{sv})
  com.yvc.igd1.ObjectManager  GetManagedObjects ()->(a{oa{sa{sv}}}), AddObject ()->(o),
                              DeleteObject (o), RemoveAllObjects ()
Control (org.test.Model at /org/test/Model):
  Load(s json)             replace the tree: {"<path>": {"<iface>": {"<prop>": "<GVariant text>"}}}
  Fail(s method, s path)   answer that method at that path (empty path: anywhere) with an error
  Raw(s method, s path, v tuple)  answer with this body instead (for malformed replies)
  Clear()                  drop failures and raw replies, zero the call log
  Count(s method, s path) -> (u)  calls seen (empty path: anywhere)
  Calls() -> (as)          "<method> <path>" per call, in order
  LastArgs(s method) -> (av)  body of the method's last call ([] when it had none)
  Props(s path, s iface) -> (a{sv}), Exists(s path) -> (b)
The first argument, when given, is the bus name to own (default com.yvc.igd1).
Prints "ready" once the name is owned.
"""
import json
import sys
import threading

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PROPS = "com.yvc.igd1.Properties"
MANAGER = "com.yvc.igd1.ObjectManager"
CONTROL_PATH = "/org/test/Model"
CONTROL = "org.test.Model"

lock = threading.Lock()
tree = {}        # path -> {iface -> list of [name, variant]}
next_index = {}  # collection -> last index handed out
failures = set()
raw = {}
calls = []
last_args = {}  # method -> body of its last call


def parent(path):
    return path.rsplit("/", 1)[0]


def children(coll):
    return [p for p in tree if parent(p) == coll and p != coll]


def find(props, name):
    for entry in props:
        if entry[0] == name:
            return entry
    return None


def put(path, iface, name, value):
    props = tree.setdefault(path, {}).setdefault(iface, [])
    entry = find(props, name)
    if entry:
        entry[1] = value
    else:
        props.append([name, value])


def vardict(props):
    return GLib.Variant("a{sv}", {n: v for n, v in props}) if not props else \
        GLib.Variant.new_array(GLib.VariantType("{sv}"),
                               [GLib.Variant.new_dict_entry(GLib.Variant("s", n), GLib.Variant("v", v))
                                for n, v in props])


def load(text):
    data = json.loads(text)
    tree.clear()
    next_index.clear()
    for path, ifaces in data.items():
        tree[path] = {}
        for iface, props in ifaces.items():
            tree[path][iface] = [[n, GLib.Variant.parse(None, t, None, None)] for n, t in props.items()]


class Refusal(Exception):
    pass


def handle(method, path, args):
    """Returns the reply body (a tuple variant or None)."""
    if method == "GetAll":
        iface = args.unpack()[0]
        obj = tree.get(path)
        if obj is None or iface not in obj:
            raise Refusal("no object %s with %s" % (path, iface))
        return GLib.Variant.new_tuple(vardict(obj[iface]))
    if method == "Get":
        iface, name = args.unpack()
        entry = find(tree.get(path, {}).get(iface, []), name)
        if not entry:
            raise Refusal("no property %s" % name)
        return GLib.Variant.new_tuple(GLib.Variant("v", entry[1]))
    if method == "Set":
        iface = args.get_child_value(0).get_string()
        name = args.get_child_value(1).get_string()
        if path not in tree:
            raise Refusal("no object %s" % path)
        put(path, iface, name, args.get_child_value(2).get_variant())
        return None
    if method == "SetValues":
        iface = args.get_child_value(0).get_string()
        if path not in tree:
            raise Refusal("no object %s" % path)
        m = args.get_child_value(1)
        for i in range(m.n_children()):
            e = m.get_child_value(i)
            put(path, iface, e.get_child_value(0).get_string(), e.get_child_value(1).get_variant())
        return None
    if method == "GetManagedObjects":
        entries = []
        for child in children(path):
            ifaces = [GLib.Variant.new_dict_entry(GLib.Variant("s", i), vardict(p)) for i, p in tree[child].items()]
            body = GLib.Variant.new_array(GLib.VariantType("{sa{sv}}"), ifaces)
            entries.append(GLib.Variant.new_dict_entry(GLib.Variant("o", child), body))
        return GLib.Variant.new_tuple(GLib.Variant.new_array(GLib.VariantType("{oa{sa{sv}}}"), entries))
    if method == "AddObject":
        taken = [int(c.rsplit("/", 1)[1]) for c in children(path) if c.rsplit("/", 1)[1].isdigit()]
        n = max(taken + [next_index.get(path, 0)]) + 1
        next_index[path] = n
        new = "%s/%d" % (path, n)
        tree[new] = {}
        return GLib.Variant.new_tuple(GLib.Variant("o", new))
    if method == "DeleteObject":
        victim = args.unpack()[0]
        if parent(victim) != path or victim not in tree:
            raise Refusal("no object %s in %s" % (victim, path))
        for p in [p for p in tree if p == victim or p.startswith(victim + "/")]:
            del tree[p]
        return None
    if method == "RemoveAllObjects":
        for p in [p for p in tree if p.startswith(path + "/")]:
            del tree[p]
        return None
    raise Refusal("unknown method %s" % method)


def control(method, args):
    if method == "Load":
        load(args.unpack()[0])
        return None
    if method == "Fail":
        failures.add(tuple(args.unpack()))
        return None
    if method == "Raw":
        m = args.get_child_value(0).get_string()
        p = args.get_child_value(1).get_string()
        raw[(m, p)] = args.get_child_value(2).get_variant()
        return None
    if method == "Clear":
        failures.clear()
        raw.clear()
        calls.clear()
        return None
    if method == "Count":
        m, p = args.unpack()
        return GLib.Variant("(u)", (sum(1 for cm, cp in calls if cm == m and (not p or cp == p)),))
    if method == "LastArgs":
        body = last_args.get(args.unpack()[0])
        return GLib.Variant.new_tuple(GLib.Variant.new_array(GLib.VariantType("v"),
                                                             [GLib.Variant("v", body)] if body else []))
    if method == "Calls":
        return GLib.Variant("(as)", (["%s %s" % c for c in calls],))
    if method == "Props":
        p, i = args.unpack()
        return GLib.Variant.new_tuple(vardict(tree.get(p, {}).get(i, [])))
    if method == "Exists":
        return GLib.Variant("(b)", (args.unpack()[0] in tree,))
    raise Refusal("unknown control %s" % method)


def answer(conn, msg):
    path, iface, method = msg.get_path(), msg.get_interface(), msg.get_member()
    args = msg.get_body()
    try:
        with lock:
            if iface == CONTROL and path == CONTROL_PATH:
                body = control(method, args)
            elif iface in (PROPS, MANAGER):
                calls.append((method, path))
                last_args[method] = args
                if (method, path) in failures or (method, "") in failures:
                    raise Refusal("%s refused at %s" % (method, path))
                if (method, path) in raw:
                    body = raw[(method, path)]
                else:
                    body = handle(method, path, args)
            else:
                raise Refusal("unknown interface %s" % iface)
        reply = msg.new_method_reply()
        if body is not None:
            reply.set_body(body)
    except Refusal as e:
        reply = msg.new_method_error_literal("com.yvc.igd1.Error.Failed", str(e))
    except Exception as e:  # a broken request is the test's fault: answer, never hang
        reply = msg.new_method_error_literal("com.yvc.igd1.Error.Internal", repr(e))
    conn.send_message(reply, Gio.DBusSendMessageFlags.NONE)


def on_message(conn, msg, incoming):
    if incoming and msg.get_message_type() == Gio.DBusMessageType.METHOD_CALL and \
            msg.get_interface() != "org.freedesktop.DBus.Peer":
        answer(conn, msg)
        return None
    return msg


def main():
    conn = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    conn.add_filter(on_message)
    loop = GLib.MainLoop()

    def acquired(*_):
        print("ready", flush=True)

    name = sys.argv[1] if len(sys.argv) > 1 else "com.yvc.igd1"
    Gio.bus_own_name_on_connection(conn, name, Gio.BusNameOwnerFlags.NONE, acquired,
                                   lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    sys.exit(main())
