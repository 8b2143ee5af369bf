#!/usr/bin/python3
"""igd1sim: a simulator of the gateway configuration service ("com.yvc.igd1"), of the framework
service ("com.yvc.zep1") and of the plug-in host's queries ("com.yvc.appframework1") for tests and the
demo. See README.md beside this file."""
import argparse
import json
import os
import shutil
import signal
import sys
import threading

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

IGD = "com.yvc.igd1"
ZEP = "com.yvc.zep1"
APP = "com.yvc.appframework1"
APP_PATH = "/com/yvc/appframework1"
APP_IFACE = APP + ".AppAgent"
PROPS = IGD + ".Properties"
MANAGER = IGD + ".ObjectManager"
CONTROL = "com.yvc.igd1sim.Control"
CONTROL_PATH = "/com/yvc/igd1sim"
ERR = "com.yvc.igd1.Error.Failed"
SPEEDTEST = "/com/yvc/igd1/Network/SpeedTestTry"
SPEEDTEST_IFACE = IGD + ".SpeedTestTry"

# Object methods: interface suffix -> {method: (argument signature, reply signature)}.
METHODS = {
    "SysCmd": {
        "Reboot": ("", "us"), "Restore": ("", "us"), "Register": ("sss", "us"), "RegisterGetStat": ("", "us"),
        "CheckHardwareStart": ("", "us"), "GetLog": ("sss", "us"), "GetUpgradeVersion": ("", "ssus"),
        "InformNotifyVersion": ("", "us"), "InformUpgrade": ("", "us"), "GetDeviceDefaultSSID1Name": ("", "sus"),
        "GetDeviceDefaultSSID1Password": ("", "sus"),
    },
    "WANConnectManager": {"GetWANConnByName": ("s", "ous"), "GetInternetConnIndex": ("", "ous")},
    "LANHostManager": {
        "GetLANHostPathbyMAC": ("s", "ous"), "GetOnlineDeviceList": ("", "a{oa{sa{sv}}}us"),
        "GetOnlineDevicesSnapShot": ("", "a{oa{sa{sv}}}us"),
    },
    "LANHost": {"SetAttachSpeedup": ("sy", "us")},
    "WiFiInfo": {"KickOutDevice": ("ss", "us"), "GetWLANNeighbor": ("s", "us")},
    "WiFiRoaming": {"GetWiFiRoamingRecordsByMac": ("s", "a(ssssiiiu)us")},
    "PONInfo": {"GetPONHistoryTraffic": ("uu", "sasus")},
    "EthernetConfig": {"GetLANHistoryTraffic": ("uu", "sasus")},
    "VPN.IPSec": {"GetIPSecVPNHistoryTraffic": ("uu", "sasus")},
    "VPN.L2TP.Client": {"GetL2TPVPNHistoryTraffic": ("uu", "sasus")},
    "VPN.VxLAN": {"GetVxLANVPNHistoryTraffic": ("uu", "sasus")},
    "PPPoE": {"SetPPPOEAccount": ("(ssssu)", "us"), "SetPPPOEAction": ("ss", "us")},
    "IPPingDiagnostics": {"StartIPPingDiagnostics": ("(usuuuu)", "is")},
    "TraceRouteDiagnostics": {"StartTraceRouteDiagnostics": ("(usuuuuu)", "is")},
    "IPTables": {"RunIPTables": ("s", "asis")},
    "IP6Tables": {"RunIP6Tables": ("s", "asis")},
    "IPSet": {
        "AddIPSet": ("a(suusuas)", "is"), "DeleteIPSetEntry": ("a(suusuas)", "is"), "DeleteIPSet": ("su", "is"),
        "CheckIPSetEntry": ("ss", "iis"), "GetIPSetName": ("", "asis"), "GetIPSetConf": ("as", "avis"),
        "GetIPSetAllConf": ("", "avis"), "GetIPSetInfo": ("as", "avis"), "GetIPSetAllInfo": ("", "avis"),
    },
    "NASAccess": {
        "GetDiscInfo": ("", "a(sssss)us"), "GetFileNum": ("s", "uus"), "ListFolder": ("suu", "a(ssbts)us"),
        "CreateFolder": ("s", "us"), "Remove": ("s", "us"), "Rename": ("ss", "us"), "Move": ("ss", "us"),
        "Copy": ("ss", "us"),
    },
    "USB.FileSystem": {"Mount": ("a{sv}", "sus"), "Unmount": ("s", "us"), "SetLabel": ("s", "us"), "Format": ("s", "us")},
    "SlaveManager": {"GetSlaveAllInfo": ("", "a(uuuussssssu)us")},
    "L2TPVPN": {"GetL2TPVPNStatus": ("", "(su)us")},
    "L2TPVPNProfile": {"GetProfileStatus": ("s", "avus")},
    "NetworkAccelerationProfile": {"GetProfileStatus": ("s", "avus")},
    "TrafficControlProfile": {"GetProfileStatus": ("s", "avus")},
}
ZEP_METHODS = {"Upgrade": ("sy", "u"), "Restore": ("", "u")}
# The plug-in host's queries, answered from the profile's "plugins".
APP_METHODS = {"List": ("", "a{sv}"), "GetStatus": ("s", "s"), "Install": ("s", "i"), "Upgrade": ("s", "i"),
               "InstQuery": ("s", "si"), "Run": ("s", "i"), "Stop": ("s", "i"), "Restore": ("s", "i"),
               "Reload": ("s", "i"), "Uninstall": ("s", "i")}
# Plug-in operations answer 0 for a plug-in of the profile and "not installed" for any other name.
APP_NOT_INSTALLED = -13

# Signals: interface suffix -> {member: payload signature}.
SIGNALS = {
    "Properties": {"PropertiesChanged": "sa{sv}as"},
    "IPPingDiagnostics": {"IPPingResponse": "a{sv}us"},
    "TraceRouteDiagnostics": {"TraceRouteResponse": "a{sv}us"},
    "WiFiInfo": {"WLANNeighborResponse": "a{sv}us"},
    "WiFiRoaming": {"TerminalDeviceRoaming": "ssssiiiu"},
    "L2TPVPN": {"L2TPVPNStatusNotify": "(su)us"},
    "VoIPInfo": {"NotifyVoiceCallInfo": "a{sv}"},
    "LANHostManager": {"LanDeviceAccess": "a{sv}"},
    "SysCmd": {"CheckHardwareStatus": "a{sv}"},
    "TrafficDetailProcess": {"NotifyHTTPTrafficProcess": "a{sv}", "NotifyDestAddressDetected": "a{sv}",
                             "NotifyDestAddressDisappear": "a{sv}"},
    "SlaveManager": {"SlaveDeviceAccess": "a{sv}"},
}

CONTROL_XML = """
<interface name="com.yvc.igd1sim.Control">
  <method name="EmitSignal"><arg direction="in" type="s" name="path"/><arg direction="in" type="s" name="interface"/>
    <arg direction="in" type="s" name="member"/><arg direction="in" type="s" name="payload"/></method>
  <method name="FailNext"><arg direction="in" type="s" name="path"/><arg direction="in" type="s" name="interface"/>
    <arg direction="in" type="s" name="member"/><arg direction="in" type="s" name="error"/>
    <arg direction="in" type="s" name="message"/><arg direction="in" type="u" name="count"/></method>
  <method name="SetResult"><arg direction="in" type="s" name="method"/><arg direction="in" type="u" name="code"/>
    <arg direction="in" type="s" name="message"/></method>
  <method name="SetDelay"><arg direction="in" type="s" name="member"/><arg direction="in" type="u" name="ms"/></method>
  <method name="SetReplyOverride"><arg direction="in" type="s" name="path"/><arg direction="in" type="s" name="interface"/>
    <arg direction="in" type="s" name="member"/><arg direction="in" type="s" name="reply"/></method>
  <method name="CallCount"><arg direction="in" type="s" name="member"/><arg direction="out" type="u"/></method>
  <method name="WaitingCount"><arg direction="in" type="s" name="member"/><arg direction="out" type="u"/></method>
  <method name="ResetCounts"/>
  <method name="Reset"/>
  <method name="CallLog"><arg direction="out" type="as"/></method>
  <method name="LastArgs"><arg direction="in" type="s" name="member"/><arg direction="out" type="s"/></method>
  <method name="DumpState"><arg direction="out" type="s"/></method>
  <method name="LoadProfile"><arg direction="in" type="s" name="file"/></method>
  <method name="SetProperty"><arg direction="in" type="s" name="path"/><arg direction="in" type="s" name="interface"/>
    <arg direction="in" type="s" name="property"/><arg direction="in" type="s" name="value"/></method>
  <method name="SetObject"><arg direction="in" type="s" name="path"/><arg direction="in" type="s" name="json"/></method>
  <method name="RemoveObject"><arg direction="in" type="s" name="path"/></method>
  <method name="StorageDir"><arg direction="out" type="s"/></method>
  <method name="SetSpeedTest"><arg direction="in" type="u" name="ms"/><arg direction="in" type="s" name="failcode"/></method>
  <method name="FinishSpeedTest"/>
</interface>"""
CONTROL_INFO = Gio.DBusNodeInfo.new_for_xml("<node>%s</node>" % CONTROL_XML).interfaces[0]



class Refusal(Exception):
    def __init__(self, text, name=ERR):
        super().__init__(text)
        self.name = name


def default_value(sig):
    """A neutral value of a complete D-Bus type."""
    t = GLib.VariantType(sig)
    if t.is_tuple():
        return GLib.Variant.new_tuple(*[default_value(x) for x in split_sig(sig[1:-1])])
    if t.is_array():
        return GLib.Variant.new_array(t.element(), [])
    if sig == "v":
        return GLib.Variant("v", GLib.Variant("s", ""))
    if sig in ("s",):
        return GLib.Variant("s", "")
    if sig == "o":
        return GLib.Variant("o", "/")
    if sig == "b":
        return GLib.Variant("b", False)
    if sig == "d":
        return GLib.Variant("d", 0.0)
    return GLib.Variant(sig, 0)


def split_sig(sig):
    """Splits a signature into its complete types."""
    out, i = [], 0
    while i < len(sig):
        j = i
        while sig[j] == "a":
            j += 1
        if sig[j] in "({":
            depth, k = 0, j
            while True:
                if sig[k] in "({":
                    depth += 1
                elif sig[k] in ")}":
                    depth -= 1
                    if depth == 0:
                        break
                k += 1
            j = k
        out.append(sig[i:j + 1])
        i = j + 1
    return out


class Model:
    def __init__(self, root):
        self.root = root
        self.lock = threading.RLock()
        self.tree = {}          # path -> {interface -> [[name, GLib.Variant]]} in profile order
        self.collections = set()
        self.replies = {}       # "path|method" or "method" -> GLib.Variant text from the profile
        self.calls = []
        self.last_args = {}     # member -> text of the last call's arguments
        self.failures = []      # [path, interface, member, error, message, count]
        self.results = {}       # method -> (code, message)
        self.delays = {}
        self.waiting = {}       # member -> calls received and held back by a delay
        self.overrides = {}     # (path, interface, member) -> GLib.Variant
        self.last_index = {}
        self.plugins = []       # [{"Name", "DisplayName", "Version", "Running", "Pid", "Library", "State"}]
        self.speedtest_ms = 2000
        self.speedtest_fail = "0"
        self.speedtest_timer = 0

    # --- state -------------------------------------------------------------------------------------
    @staticmethod
    def read_profile(filename, depth=0):
        """A profile may name a "base" profile (relative to itself) and only hold what differs."""
        with open(filename) as f:
            data = json.load(f)
        base = data.get("base")
        if not base:
            return data
        if depth > 8:
            raise ValueError("profile bases nest too deeply: %s" % filename)
        merged = Model.read_profile(os.path.join(os.path.dirname(filename), base), depth + 1)
        objects = merged.setdefault("objects", {})
        for path, ifaces in data.get("objects", {}).items():
            if ifaces is None:
                objects.pop(path, None)
                continue
            for iface, props in ifaces.items():
                objects.setdefault(path, {}).setdefault(iface, {}).update(props)
        merged["collections"] = list(merged.get("collections", [])) + list(data.get("collections", []))
        merged.setdefault("replies", {}).update(data.get("replies", {}))
        for key, value in data.items():
            if key not in ("base", "objects", "collections", "replies"):
                merged[key] = value
        return merged

    def load(self, filename):
        data = self.read_profile(filename)
        with self.lock:
            self.tree.clear()
            self.collections = set(data.get("collections", []))
            self.replies = dict(data.get("replies", {}))
            self.last_index.clear()
            self.plugins = list(data.get("plugins", []))
            for path, ifaces in data.get("objects", {}).items():
                self.set_object(path, ifaces)

    def set_object(self, path, ifaces):
        obj = self.tree.setdefault(path, {})
        for iface, props in ifaces.items():
            obj[iface] = [[n, GLib.Variant.parse(None, t, None, None)] for n, t in props.items()]

    def put(self, path, iface, name, value):
        props = self.tree.setdefault(path, {}).setdefault(iface, [])
        for entry in props:
            if entry[0] == name:
                entry[1] = value
                return
        props.append([name, value])

    def children(self, coll):
        kids = [p for p in self.tree if p.rsplit("/", 1)[0] == coll and p != coll]
        return sorted(kids, key=lambda p: (int(p.rsplit("/", 1)[1]) if p.rsplit("/", 1)[1].isdigit() else 1 << 30, p))

    def is_collection(self, path):
        return path in self.collections or any(p.rsplit("/", 1)[0] == path and p.rsplit("/", 1)[1].isdigit()
                                               for p in self.tree)

    def prop(self, path, iface, name):
        for n, v in self.tree.get(path, {}).get(iface, []):
            if n == name:
                return v
        return None

    def dump(self):
        out = {}
        for path, ifaces in sorted(self.tree.items()):
            out[path] = {i: {n: v.print_(True) for n, v in props} for i, props in ifaces.items()}
        return json.dumps({"objects": out, "collections": sorted(self.collections)}, indent=1)

    # --- variants ----------------------------------------------------------------------------------
    @staticmethod
    def vardict(props):
        return GLib.Variant.new_array(GLib.VariantType("{sv}"), [
            GLib.Variant.new_dict_entry(GLib.Variant("s", n), GLib.Variant("v", v)) for n, v in props])

    def managed(self, paths):
        entries = []
        for child in paths:
            ifaces = [GLib.Variant.new_dict_entry(GLib.Variant("s", i), self.vardict(p))
                      for i, p in self.tree[child].items()]
            entries.append(GLib.Variant.new_dict_entry(
                GLib.Variant("o", child), GLib.Variant.new_array(GLib.VariantType("{sa{sv}}"), ifaces)))
        return GLib.Variant.new_array(GLib.VariantType("{oa{sa{sv}}}"), entries)


class Simulator:
    def __init__(self, model):
        self.m = model
        self.conn = None
        self.serves_plugin_host = True

    # --- dispatch ----------------------------------------------------------------------------------
    def on_message(self, conn, msg, incoming):
        if not incoming or msg.get_message_type() != Gio.DBusMessageType.METHOD_CALL:
            return msg
        if msg.get_interface() in ("org.freedesktop.DBus.Peer",):
            return msg
        GLib.idle_add(self.answer, msg)
        return None

    def answer(self, msg):
        member = msg.get_member()
        delay = self.m.delays.get(member, 0)
        if delay:
            with self.m.lock:
                self.m.waiting[member] = self.m.waiting.get(member, 0) + 1
            GLib.timeout_add(delay, self.reply_delayed, msg)
        else:
            self.reply_now(msg)
        return False

    def reply_delayed(self, msg):
        member = msg.get_member()
        with self.m.lock:
            self.m.waiting[member] = max(0, self.m.waiting.get(member, 0) - 1)
        return self.reply_now(msg)

    def reply_now(self, msg):
        path, iface, member = msg.get_path(), msg.get_interface() or "", msg.get_member()
        args = msg.get_body()
        try:
            with self.m.lock:
                body = self.handle(msg, path, iface, member, args)
            reply = msg.new_method_reply()
            if body is not None:
                reply.set_body(body)
        except Refusal as e:
            reply = msg.new_method_error_literal(e.name, str(e))
        except Exception as e:  # never leave a caller waiting for its timeout
            reply = msg.new_method_error_literal("com.yvc.igd1.Error.Internal", repr(e))
        self.conn.send_message(reply, Gio.DBusSendMessageFlags.NONE)
        return False

    def handle(self, msg, path, iface, member, args):
        if iface == CONTROL:
            return self.control(member, args)
        if iface == "org.freedesktop.DBus.Introspectable" and member == "Introspect":
            return GLib.Variant("(s)", (self.introspect(path),))
        self.m.calls.append("%s %s %s" % (path, iface, member))
        self.m.last_args[member] = args.print_(True) if args is not None else "()"
        for f in self.m.failures:
            if f[5] > 0 and f[0] in ("*", path) and f[1] in ("*", iface) and f[2] == member:
                f[5] -= 1
                raise Refusal(f[4], f[3])
        for key in ((path, iface, member), (path, "*", member), ("*", iface, member), ("*", "*", member)):
            if key in self.m.overrides:
                return self.m.overrides[key]
        if iface == PROPS:
            return self.properties(path, member, args)
        if iface == MANAGER:
            return self.manager(path, member, args)
        if iface == "com.yvc.zep1.framework":
            if member not in ZEP_METHODS:
                raise Refusal("unknown method " + member, "org.freedesktop.DBus.Error.UnknownMethod")
            return GLib.Variant("(u)", (self.m.results.get(member, (0, ""))[0],))
        if iface == APP_IFACE:
            return self.plugin_host(path, member, args)
        if iface.startswith(IGD + "."):
            return self.method(path, iface[len(IGD) + 1:], member, args)
        raise Refusal("unknown interface " + iface, "org.freedesktop.DBus.Error.UnknownInterface")

    def properties(self, path, member, args):
        m = self.m
        if member == "GetAll":
            iface = args.get_child_value(0).get_string()
            obj = m.tree.get(path)
            if obj is None or iface not in obj:
                raise Refusal("no object %s with interface %s" % (path, iface))
            return GLib.Variant.new_tuple(m.vardict(obj[iface]))
        if member == "Get":
            iface, name = args.unpack()
            v = m.prop(path, iface, name)
            if v is None:
                raise Refusal("no property %s.%s at %s" % (iface, name, path))
            return GLib.Variant.new_tuple(GLib.Variant("v", v))
        if member in ("Set", "SetValues"):
            iface = args.get_child_value(0).get_string()
            if path not in m.tree:
                raise Refusal("no object " + path)
            if member == "Set":
                m.put(path, iface, args.get_child_value(1).get_string(), args.get_child_value(2).get_variant())
            else:
                values = args.get_child_value(1)
                for i in range(values.n_children()):
                    e = values.get_child_value(i)
                    m.put(path, iface, e.get_child_value(0).get_string(), e.get_child_value(1).get_variant())
            self.speedtest_written(path, iface)
            return None
        raise Refusal("unknown method " + member, "org.freedesktop.DBus.Error.UnknownMethod")

    def manager(self, path, member, args):
        m = self.m
        if member == "GetManagedObjects":
            return GLib.Variant.new_tuple(m.managed(m.children(path)))
        if member == "AddObject":
            # Collections have names; a numbered path is an instance, and adding below it would hide a
            # caller that lost the collection's name.
            if path.rsplit("/", 1)[1].isdigit() and not m.is_collection(path):
                raise Refusal("%s is an instance, not a collection" % path)
            taken = [int(c.rsplit("/", 1)[1]) for c in m.children(path) if c.rsplit("/", 1)[1].isdigit()]
            n = max(taken + [0]) + 1
            new = "%s/%d" % (path, n)
            m.tree[new] = {}
            m.collections.add(path)
            return GLib.Variant("(o)", (new,))
        if member == "DeleteObject":
            victim = args.get_child_value(0).get_string()
            if victim.rsplit("/", 1)[0] != path or victim not in m.tree:
                raise Refusal("no object %s in %s" % (victim, path))
            for p in [p for p in m.tree if p == victim or p.startswith(victim + "/")]:
                del m.tree[p]
            return None
        if member == "RemoveAllObjects":
            for p in [p for p in m.tree if p.startswith(path + "/")]:
                del m.tree[p]
            return None
        raise Refusal("unknown method " + member, "org.freedesktop.DBus.Error.UnknownMethod")

    # --- object methods ----------------------------------------------------------------------------
    def method(self, path, kind, member, args):
        sigs = METHODS.get(kind, {}).get(member)
        if sigs is None:
            raise Refusal("unknown method %s.%s" % (kind, member), "org.freedesktop.DBus.Error.UnknownMethod")
        in_sig, out_sig = sigs
        if args is None and in_sig or args is not None and args.get_type_string() != "(%s)" % in_sig:
            raise Refusal("arguments of %s must be (%s)" % (member, in_sig), "org.freedesktop.DBus.Error.InvalidArgs")
        code, text = self.m.results.get(member, (0, ""))
        canned = self.m.replies.get("%s|%s" % (path, member)) or self.m.replies.get(member)
        if canned:
            return GLib.Variant.parse(GLib.VariantType("(%s)" % out_sig), canned, None, None)
        special = getattr(self, "do_" + member, None)
        payload = special(path, args) if special else None
        if isinstance(payload, GLib.Variant):
            return payload
        types = split_sig(out_sig)
        n_payload = len(types) - (2 if out_sig.endswith(("us", "is")) else 0)
        values = list(payload) if payload is not None else [default_value(t) for t in types[:n_payload]]
        if len(values) < n_payload:
            values += [default_value(t) for t in types[len(values):n_payload]]
        if n_payload < len(types):
            if payload is None and special and code == 0:
                code, text = 1, "not found"
            values.append(GLib.Variant(types[-2], code))
            values.append(GLib.Variant("s", text))
        return GLib.Variant.new_tuple(*values)

    def wan_connections(self):
        db = "/com/yvc/igd1/Info/Network/WANConnectionDb"
        return [(p, self.m.tree[p].get(IGD + ".WANConnectionInfo", [])) for p in self.m.children(db)]

    def do_GetWANConnByName(self, path, args):
        name = args.get_child_value(0).get_string()
        for p, props in self.wan_connections():
            if any(n == "WANName" and v.get_string() == name for n, v in props):
                return [GLib.Variant("o", p)]
        return None

    def do_GetInternetConnIndex(self, path, args):
        for p, props in self.wan_connections():
            if any(n == "ServiceList" and "INTERNET" in v.get_string().upper() for n, v in props):
                return [GLib.Variant("o", p)]
        return None

    def hosts(self):
        coll = "/com/yvc/igd1/Config/LANHosts"
        return [(p, dict(self.m.tree[p].get(IGD + ".LANHost", []))) for p in self.m.children(coll)]

    def do_GetLANHostPathbyMAC(self, path, args):
        mac = args.get_child_value(0).get_string().lower()
        for p, props in self.hosts():
            if "MAC" in props and props["MAC"].get_string().lower() == mac:
                return [GLib.Variant("o", p)]
        return None

    def do_GetOnlineDeviceList(self, path, args):
        online = [p for p, props in self.hosts() if "HostClass" in props and props["HostClass"].get_string() == "ONLINE"]
        return [self.m.managed(online)]

    do_GetOnlineDevicesSnapShot = do_GetOnlineDeviceList

    # NAS methods work on the gateway's "/mnt" (its USB disks, one directory each), kept at <root>/mnt.
    # A request path names a place below "/mnt"; anything else is refused with code 1 and a text: other
    # absolute or relative paths, any ".." component, and links that lead out of the storage.
    def storage(self):
        base = os.path.realpath(os.path.join(self.m.root, "mnt"))
        os.makedirs(base, exist_ok=True)
        return base

    def nas(self, name):
        base = self.storage()
        parts = name.split("/")
        if len(parts) < 2 or parts[0] != "" or parts[1] != "mnt":
            raise Refusal("path %s is not on the storage" % name)
        if ".." in parts:
            raise Refusal("path %s leaves the storage" % name)
        full = os.path.join(base, *[p for p in parts[2:] if p])
        real = os.path.realpath(full)
        if real != base and not real.startswith(base + os.sep):
            raise Refusal("path %s leaves the storage" % name)
        return full

    def nas_result(self, fn):
        try:
            fn()
            return GLib.Variant("(us)", (0, ""))
        except Refusal as e:
            return GLib.Variant("(us)", (1, str(e)))
        except OSError as e:
            return GLib.Variant("(us)", (2, e.strerror or "failed"))

    @staticmethod
    def nas_payload(payload_sig, fn):
        """A query's payload, or an empty one with the refusal's code and text."""
        try:
            return fn()
        except Refusal as e:
            code, text = 1, str(e)
        except OSError as e:
            code, text = 2, e.strerror or "failed"
        return GLib.Variant.new_tuple(default_value(payload_sig), GLib.Variant("u", code), GLib.Variant("s", text))

    def do_GetFileNum(self, path, args):
        def count():
            d = self.nas(args.get_child_value(0).get_string())
            return [GLib.Variant("u", len(os.listdir(d)))]
        return self.nas_payload("u", count)

    def do_ListFolder(self, path, args):
        folder, first, last = args.unpack()

        def entries():
            d = self.nas(folder)
            items = []
            # Entries first..last (from 0, both included), in name order.
            for e in sorted(os.listdir(d))[first:last + 1]:
                full = os.path.join(d, e)
                st = os.lstat(full)
                items.append((e, folder.rstrip("/") + "/" + e, os.path.isdir(full) and not os.path.islink(full),
                              st.st_size,
                              GLib.DateTime.new_from_unix_utc(int(st.st_mtime)).format("%Y-%m-%d %H:%M:%S")))
            return [GLib.Variant("a(ssbts)", items)]
        return self.nas_payload("a(ssbts)", entries)

    def do_GetDiscInfo(self, path, args):
        base = self.storage()
        discs = []
        for e in sorted(os.listdir(base)):
            full = os.path.join(base, e)
            if os.path.isdir(full) and not os.path.islink(full):
                st = os.statvfs(full)
                total, free = st.f_blocks * st.f_frsize, st.f_bavail * st.f_frsize
                discs.append((e, "USB", str(total - free), str(free), str(total)))
        return [GLib.Variant("a(sssss)", discs)]

    def nas_op(self, member, args):
        a = [args.get_child_value(i).get_string() for i in range(args.n_children())]

        def remove():
            victim = self.nas(a[0])
            if os.path.isdir(victim) and not os.path.islink(victim):
                shutil.rmtree(victim)
            else:
                os.remove(victim)

        def copy():
            src, dst = self.nas(a[0]), self.nas(a[1])
            if os.path.isdir(dst):
                dst = os.path.join(dst, os.path.basename(src.rstrip("/")))
            # Links are copied as links: their targets stay where they are.
            if os.path.isdir(src) and not os.path.islink(src):
                shutil.copytree(src, dst, symlinks=True)
            else:
                shutil.copy2(src, dst, follow_symlinks=False)

        def move():
            src, dst = self.nas(a[0]), self.nas(a[1])
            shutil.move(src, dst)

        ops = {
            "CreateFolder": lambda: os.makedirs(self.nas(a[0])),
            "Remove": remove,
            "Rename": lambda: os.rename(self.nas(a[0]), self.nas(a[1])),
            "Move": move,
            "Copy": copy,
        }
        return self.nas_result(ops[member])

    def do_CreateFolder(self, path, args):
        return self.nas_op("CreateFolder", args)

    def do_Remove(self, path, args):
        return self.nas_op("Remove", args)

    def do_Rename(self, path, args):
        return self.nas_op("Rename", args)

    def do_Move(self, path, args):
        return self.nas_op("Move", args)

    def do_Copy(self, path, args):
        return self.nas_op("Copy", args)

    # --- speed test --------------------------------------------------------------------------------
    # Writing DiagnosticsState "Requested" starts a test that ends after speedtest_ms (or at once on
    # FinishSpeedTest) with its result fields and the failure code set by SetSpeedTest.
    def speedtest_written(self, path, iface):
        if path != SPEEDTEST or iface != SPEEDTEST_IFACE:
            return
        state = self.m.prop(path, iface, "DiagnosticsState")
        if state is None or state.get_string() != "Requested" or self.m.speedtest_timer:
            return
        self.m.put(path, iface, "Status", GLib.Variant("s", "STAT_TESTING"))
        self.m.speedtest_timer = GLib.timeout_add(self.m.speedtest_ms, self.speedtest_finish)

    def speedtest_finish(self):
        m = self.m
        with m.lock:
            if m.speedtest_timer:
                GLib.source_remove(m.speedtest_timer)
            m.speedtest_timer = 0
            state = m.prop(SPEEDTEST, SPEEDTEST_IFACE, "DiagnosticsState")
            if state is None or state.get_string() != "Requested":
                return False
            wan = m.prop(SPEEDTEST, SPEEDTEST_IFACE, "WANName")
            for name, value in (("DiagnosticsState", "Completed"), ("Status", "STAT_TEST_FINISHED"),
                                ("PPPoEIP", "100.64.12.7"), ("PPPoEName", wan.get_string() if wan else ""),
                                ("Cspeed", "93.6"), ("Aspeed", "91.2"), ("Bspeed", "1.8"), ("Maxspeed", "97.4"),
                                ("Starttime", "2026-01-05 10:00:00"), ("Endtime", "2026-01-05 10:00:15"),
                                ("Totalsize", "175112192"), ("Backgroundsize", "3276800"),
                                ("Failcode", m.speedtest_fail)):
                m.put(SPEEDTEST, SPEEDTEST_IFACE, name, GLib.Variant("s", value))
        return False

    # --- plug-in host ------------------------------------------------------------------------------
    def plugin_host(self, path, member, args):
        if path != APP_PATH:
            raise Refusal("no object " + path, "org.freedesktop.DBus.Error.UnknownObject")
        sigs = APP_METHODS.get(member)
        if sigs is None:
            raise Refusal("unknown method " + member, "org.freedesktop.DBus.Error.UnknownMethod")
        got = args.get_type_string() if args is not None else "()"
        if got != "(%s)" % sigs[0]:
            raise Refusal("arguments of %s must be (%s)" % (member, sigs[0]), "org.freedesktop.DBus.Error.InvalidArgs")
        if member == "List":
            # A library package is (display name, version); a package with a container adds its run flag
            # and init pid.
            entries = []
            for p in self.m.plugins:
                if p.get("Library"):
                    v = GLib.Variant("(ss)", (p.get("DisplayName", ""), p.get("Version", "")))
                else:
                    v = GLib.Variant("(ssui)", (p.get("DisplayName", ""), p.get("Version", ""),
                                                1 if p.get("Running") else 0, int(p.get("Pid", 0))))
                entries.append(GLib.Variant.new_dict_entry(GLib.Variant("s", p["Name"]), GLib.Variant("v", v)))
            return GLib.Variant.new_tuple(GLib.Variant.new_array(GLib.VariantType("{sv}"), entries))
        name = args.get_child_value(0).get_string()
        known = any(p["Name"] == name for p in self.m.plugins)
        if member in ("Install", "Upgrade"):
            # Only queued: the code set with SetResult (read as signed), else 0.
            code = int(self.m.results.get(member, (0, ""))[0])
            return GLib.Variant("(i)", (code - (1 << 32) if code >= (1 << 31) else code,))
        if member == "InstQuery":
            return GLib.Variant("(si)", ("SUCCESS", 100) if known else ("FAILED", 100))
        if member != "GetStatus":
            return GLib.Variant("(i)", (0 if known else APP_NOT_INSTALLED,))
        for p in self.m.plugins:
            if p["Name"] == name:
                if p.get("Library"):
                    state = "RUNNING"
                else:
                    state = p.get("State") or ("RUNNING" if p.get("Running") else "STOPPED")
                return GLib.Variant("(s)", (state,))
        return GLib.Variant("(s)", ("EEXIST",))

    # --- control -----------------------------------------------------------------------------------
    def control(self, member, args):
        m = self.m
        info = CONTROL_INFO.lookup_method(member)
        if info is None:
            raise Refusal("unknown control method " + member, "org.freedesktop.DBus.Error.UnknownMethod")
        want = "".join(a.signature for a in info.in_args)
        got = args.get_type_string()[1:-1] if args is not None else ""
        if got != want:
            raise Refusal("%s takes (%s), not (%s)" % (member, want, got), "org.freedesktop.DBus.Error.InvalidArgs")
        a = args.unpack() if args is not None else ()
        if member == "EmitSignal":
            path, iface, sig, payload = a
            body = GLib.Variant.parse(None, payload, None, None) if payload else None
            if body is not None and not body.get_type().is_tuple():
                body = GLib.Variant.new_tuple(body)
            self.conn.emit_signal(None, path, iface, sig, body)
            self.conn.flush_sync(None)
            return None
        if member == "FailNext":
            m.failures.append(list(a))
            return None
        if member == "SetResult":
            m.results[a[0]] = (a[1], a[2])
            return None
        if member == "SetDelay":
            m.delays[a[0]] = a[1]
            return None
        if member == "SetReplyOverride":
            path, iface, sig, text = a
            if text:
                v = GLib.Variant.parse(None, text, None, None)
                m.overrides[(path, iface, sig)] = v if v.get_type().is_tuple() else GLib.Variant.new_tuple(v)
            else:
                m.overrides.pop((path, iface, sig), None)
            return None
        if member == "CallCount":
            n = sum(1 for c in m.calls if a[0] == "*" or c.rsplit(" ", 1)[1] == a[0])
            return GLib.Variant("(u)", (n,))
        if member == "WaitingCount":
            n = sum(v for k, v in m.waiting.items() if a[0] == "*" or k == a[0])
            return GLib.Variant("(u)", (n,))
        if member == "ResetCounts":
            m.calls.clear()
            m.last_args.clear()
            return None
        if member == "Reset":
            m.calls.clear()
            m.last_args.clear()
            m.failures.clear()
            m.results.clear()
            m.delays.clear()
            m.overrides.clear()
            m.speedtest_ms, m.speedtest_fail = 2000, "0"
            if m.speedtest_timer:
                GLib.source_remove(m.speedtest_timer)
                m.speedtest_timer = 0
            # The storage starts empty for every test.
            base = self.storage()
            for e in os.listdir(base):
                full = os.path.join(base, e)
                if os.path.isdir(full) and not os.path.islink(full):
                    shutil.rmtree(full)
                else:
                    os.remove(full)
            return None
        if member == "StorageDir":
            return GLib.Variant("(s)", (self.storage(),))
        if member == "SetSpeedTest":
            m.speedtest_ms, m.speedtest_fail = a[0], a[1]
            return None
        if member == "FinishSpeedTest":
            self.speedtest_finish()
            return None
        if member == "LastArgs":
            return GLib.Variant("(s)", (m.last_args.get(a[0], ""),))
        if member == "CallLog":
            return GLib.Variant("(as)", (list(m.calls),))
        if member == "DumpState":
            return GLib.Variant("(s)", (m.dump(),))
        if member == "LoadProfile":
            m.load(a[0])
            return None
        if member == "SetProperty":
            m.put(a[0], a[1], a[2], GLib.Variant.parse(None, a[3], None, None))
            return None
        if member == "SetObject":
            m.set_object(a[0], json.loads(a[1]))
            return None
        if member == "RemoveObject":
            for p in [p for p in m.tree if p == a[0] or p.startswith(a[0] + "/")]:
                del m.tree[p]
            return None
        raise Refusal("unknown control method " + member, "org.freedesktop.DBus.Error.UnknownMethod")

    # --- introspection -----------------------------------------------------------------------------
    @staticmethod
    def method_xml(name, in_sig, out_sig):
        args = "".join('<arg direction="in" type="%s"/>' % t for t in split_sig(in_sig))
        args += "".join('<arg direction="out" type="%s"/>' % t for t in split_sig(out_sig))
        return '<method name="%s">%s</method>' % (name, args)

    def interface_xml(self, iface):
        kind = iface[len(IGD) + 1:] if iface.startswith(IGD + ".") else None
        parts = [self.method_xml(n, i, o) for n, (i, o) in sorted(METHODS.get(kind, {}).items())]
        for member, sig in sorted(SIGNALS.get(kind, {}).items()):
            parts.append('<signal name="%s">%s</signal>' % (
                member, "".join('<arg type="%s"/>' % t for t in split_sig(sig))))
        if iface == "com.yvc.zep1.framework":
            parts = [self.method_xml(n, i, o) for n, (i, o) in sorted(ZEP_METHODS.items())]
        if iface == APP_IFACE:
            parts = [self.method_xml(n, i, o) for n, (i, o) in sorted(APP_METHODS.items())]
        return '<interface name="%s">%s</interface>' % (iface, "".join(parts))

    def introspect(self, path):
        m = self.m
        ifaces = []
        if path == CONTROL_PATH:
            ifaces.append(CONTROL_XML)
        if path == APP_PATH and self.serves_plugin_host:
            ifaces.append(self.interface_xml(APP_IFACE))
        if path in m.tree or m.is_collection(path):
            ifaces.append(self.interface_xml(PROPS) .replace("</interface>", "".join([
                self.method_xml("Get", "ss", "v"), self.method_xml("Set", "ssv", ""),
                self.method_xml("GetAll", "s", "a{sv}"), self.method_xml("SetValues", "sa{sv}", "")]) + "</interface>"))
        if m.is_collection(path):
            ifaces.append('<interface name="%s">%s</interface>' % (MANAGER, "".join([
                self.method_xml("GetManagedObjects", "", "a{oa{sa{sv}}}"), self.method_xml("AddObject", "", "o"),
                self.method_xml("DeleteObject", "o", ""), self.method_xml("RemoveAllObjects", "", "")])))
        # The Properties interface is already there (with its signal) for every object.
        for iface in sorted(i for i in m.tree.get(path, {}) if i != PROPS):
            ifaces.append(self.interface_xml(iface))
        ifaces.append('<interface name="org.freedesktop.DBus.Introspectable">%s</interface>'
                      % self.method_xml("Introspect", "", "s"))
        prefix = "/" if path == "/" else path + "/"
        extra = [CONTROL_PATH] + ([APP_PATH] if self.serves_plugin_host else [])
        kids = sorted({p[len(prefix):].split("/", 1)[0] for p in list(m.tree) + extra
                       if p.startswith(prefix) and len(p) > len(prefix)})
        nodes = "".join('<node name="%s"/>' % k for k in kids)
        return "<node>%s%s</node>" % ("".join(ifaces), nodes)


def main():
    here = os.path.dirname(os.path.realpath(__file__))
    ap = argparse.ArgumentParser(description="Configuration service simulator")
    ap.add_argument("--address", default=os.environ.get("DBUS_SYSTEM_BUS_ADDRESS"))
    ap.add_argument("--profile", default=os.path.join(here, "profiles", "default.json"))
    ap.add_argument("--root", default=os.environ.get("GW_ROOT", "/tmp/igd1sim-root"))
    ap.add_argument("--no-plugin-host", action="store_true",
                    help="leave the plug-in host's bus name to a real plug-in host")
    opts = ap.parse_args()
    if not opts.address:
        print("igd1sim: no bus address (--address or DBUS_SYSTEM_BUS_ADDRESS)", file=sys.stderr)
        return 2
    model = Model(opts.root)
    model.load(opts.profile)
    os.makedirs(os.path.join(opts.root, "mnt"), exist_ok=True)
    sim = Simulator(model)
    sim.serves_plugin_host = not opts.no_plugin_host
    names = (IGD, ZEP) if opts.no_plugin_host else (IGD, ZEP, APP)
    conn = Gio.DBusConnection.new_for_address_sync(
        opts.address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
        None, None)
    conn.set_exit_on_close(False)
    sim.conn = conn
    conn.add_filter(sim.on_message)
    loop = GLib.MainLoop()
    owned = set()

    def acquired(_c, name):
        owned.add(name)
        if len(owned) == len(names):
            print("READY", flush=True)

    for name in names:
        Gio.bus_own_name_on_connection(conn, name, Gio.BusNameOwnerFlags.NONE, acquired, lambda *_: loop.quit())
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGINT, loop.quit)
    conn.connect("closed", lambda *_: loop.quit())
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
