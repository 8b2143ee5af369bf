#!/usr/bin/python3
"""Stand-in for the operator's management platform: distribution (UDP), plugin
(TCP) and message (TCP) servers on 127.0.0.1. Events go to stdout, one line each."""

import argparse
import base64
import hashlib
import json
import os
import queue
import select
import socket
import struct
import sys
import threading
import time

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

MAGIC = b"$$"
SEL_REGISTRATION = 0
SEL_DEFAULT = 1
AGENT_HEADER = 20      # length, magic, selector, reserved, 12-byte identity
SERVER_HEADER = 8      # the agent's parser expects no identity field
MAX_FRAME = 4096       # the agent's framed reader buffer
ANSWER_WAIT = 30.0
MISBEHAVE_MODES = ("wrong-msgid", "result-1", "result-2", "result-3", "silence",
                   "wrong-key", "oversize-frame", "split-frames", "two-objects")


class CodecError(Exception):
    pass


def md5hex(data):
    if isinstance(data, str):
        data = data.encode()
    return hashlib.md5(data).hexdigest()


def zero_pad(data):
    rem = len(data) % 16
    return data if rem == 0 else data + b"\0" * (16 - rem)


def aes_ecb_encrypt(key, data):
    enc = Cipher(algorithms.AES(key), modes.ECB()).encryptor()
    return enc.update(zero_pad(data)) + enc.finalize()


def aes_ecb_decrypt(key, data):
    if len(data) % 16:
        raise CodecError("cipher text size %d is not a multiple of 16" % len(data))
    dec = Cipher(algorithms.AES(key), modes.ECB()).decryptor()
    return dec.update(data) + dec.finalize()


def default_key(vendor_key):
    # The key bytes are the 32 ASCII hex characters, not the 16 raw digest bytes.
    return md5hex(vendor_key).encode()


def check_sn(vendor_key, challenge, prefix, shared):
    return md5hex(vendor_key + challenge + prefix + shared)


def plugin_key(dev_rnd, prefix, shared):
    return md5hex(dev_rnd + prefix + shared)


def serial_prefix(gponsn, mac):
    return (gponsn or mac)[:6]


def seal(key, text):
    raw = text.encode() if isinstance(text, str) else text
    return aes_ecb_encrypt(key, md5hex(raw).encode() + raw)


def open_plain(key, cipher):
    plain = aes_ecb_decrypt(key, cipher)
    if len(plain) < 32:
        raise CodecError("plaintext shorter than its digest")
    body = plain[32:]
    end = body.find(b"\0")
    return body if end < 0 else body[:end]


def pack_agent(text, key, selector, identity):
    """Packet as the agent sends it (used by tests acting as the agent)."""
    ct = seal(key, text)
    ident = identity.encode()[:12].ljust(12, b"\0")
    return struct.pack("!I", len(ct) + 16) + MAGIC + bytes([selector, 0]) + ident + ct


def parse_agent_header(pkt):
    if len(pkt) < AGENT_HEADER:
        raise CodecError("packet of %d bytes is shorter than its header" % len(pkt))
    length, = struct.unpack("!I", pkt[:4])
    if pkt[4:6] != MAGIC:
        raise CodecError("bad magic %r" % pkt[4:6])
    if length != len(pkt) - 4:
        raise CodecError("length field %d does not match %d bytes" % (length, len(pkt) - 4))
    selector = pkt[6]
    identity = pkt[8:20].rstrip(b"\0").decode("latin-1")
    return selector, identity, pkt[AGENT_HEADER:]


def pack_server(text, key, selector):
    ct = seal(key, text)
    return struct.pack("!I", len(ct) + 4) + MAGIC + bytes([selector, 0]) + ct


def unpack_server(pkt, key):
    """Reads a server packet (used by tests acting as the agent)."""
    if len(pkt) < SERVER_HEADER or pkt[4:6] != MAGIC:
        raise CodecError("bad server packet")
    return pkt[6], open_plain(key, pkt[SERVER_HEADER:]).decode()


def compact(obj):
    return json.dumps(obj, separators=(",", ":"))


class Device:
    def __init__(self, mac):
        self.mac = mac
        self.gponsn = ""
        self.vendor_code = ""
        self.challenge = ""
        self.shared = ""
        self.dev_rnd = ""
        self.instruct_mid = ""
        self.instructed = False
        self.plugin_up = False

    @property
    def prefix(self):
        return serial_prefix(self.gponsn, self.mac)

    KEPT = ("gponsn", "vendor_code", "challenge", "shared", "dev_rnd")

    def saved(self):
        return {k: getattr(self, k) for k in self.KEPT}

    @classmethod
    def restored(cls, mac, rec):
        dev = cls(mac)
        for k in cls.KEPT:
            setattr(dev, k, str(rec.get(k, "")))
        return dev


class Platform:
    def __init__(self, args):
        self.vendor_code = args.vendor_code
        self.vendor_key = args.vendor_key
        self.dkey = default_key(args.vendor_key)
        self.hb_interval = args.hb_interval
        self.misbehave = set(args.misbehave)
        self.root = args.root
        self.state_file = args.state
        self.commands_gate = args.commands_gate
        self.devices = self.load_state()
        self.lock = threading.RLock()
        self.out_lock = threading.Lock()
        self.stop = threading.Event()
        self.commands = queue.Queue()
        self.answers = {}
        self.answer_cv = threading.Condition(self.lock)
        self.plugin_conn = None
        self.plugin_send_lock = threading.Lock()
        self.next_id = 1
        self.serial = 0
        self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.udp.bind(("127.0.0.1", args.distr_port))
        self.plug_srv = self._listen(args.plugin_port)
        self.msg_srv = self._listen(args.msg_port)
        self.ports = {"distr": self.udp.getsockname()[1],
                      "plugin": self.plug_srv.getsockname()[1],
                      "msg": self.msg_srv.getsockname()[1]}
        if args.commands:
            with open(args.commands) as f:
                for line in f:
                    line = line.strip()
                    if line:
                        self.commands.put(line)

    @staticmethod
    def _listen(port):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(("127.0.0.1", port))
        s.listen(4)
        return s

    def event(self, word, payload):
        text = payload if isinstance(payload, str) else compact(payload)
        with self.out_lock:
            sys.stdout.write("%s %s\n" % (word, text.replace("\n", " ")))
            sys.stdout.flush()

    def token(self, n=32):
        with self.lock:
            self.serial += 1
            return md5hex("%d-%f-%s" % (self.serial, time.time(), os.urandom(8).hex()))[:n]

    # ---- device records, kept across restarts with --state --------------------

    def load_state(self):
        if not self.state_file or not os.path.exists(self.state_file):
            return {}
        with open(self.state_file) as f:
            data = json.load(f)
        return {mac: Device.restored(mac, rec) for mac, rec in data.items() if isinstance(rec, dict)}

    def save_state(self):
        if not self.state_file:
            return
        with self.lock:
            data = {mac: dev.saved() for mac, dev in self.devices.items()}
        tmp = self.state_file + ".tmp"
        with open(tmp, "w") as f:
            json.dump(data, f)
        os.replace(tmp, self.state_file)

    def device(self, mac):
        with self.lock:
            dev = self.devices.get(mac)
            if dev is None:
                dev = self.devices[mac] = Device(mac)
            return dev

    def device_key(self, dev):
        return check_sn(self.vendor_key, dev.challenge, dev.prefix, dev.shared).encode()

    # ---- distribution server -------------------------------------------------

    def decode_agent(self, pkt, where):
        selector, identity, ct = parse_agent_header(pkt)
        if selector == SEL_DEFAULT:
            if identity != self.vendor_code[:6]:
                raise CodecError("%s: identity %r is not the VendorCode" % (where, identity))
            key = self.dkey
        elif selector == SEL_REGISTRATION:
            with self.lock:
                dev = self.devices.get(identity)
            if dev is None or not dev.challenge:
                raise CodecError("%s: registration key for unknown device %r" % (where, identity))
            key = self.device_key(dev)
        else:
            raise CodecError("%s: key selector %d" % (where, selector))
        text = open_plain(key, ct)
        try:
            return selector, json.loads(text.decode())
        except (UnicodeDecodeError, ValueError) as e:
            raise CodecError("%s: text is not JSON (%s)" % (where, e))

    def distr_loop(self):
        while not self.stop.is_set():
            r, _, _ = select.select([self.udp], [], [], 0.2)
            if not r:
                continue
            try:
                pkt, peer = self.udp.recvfrom(65536)
            except OSError as e:
                self.event("ERROR", "distr recv: %s" % e)
                continue
            try:
                selector, req = self.decode_agent(pkt, "distr")
                if not isinstance(req, dict):
                    raise CodecError("distr: text is not an object")
                self.distr_request(req, selector, peer)
            except CodecError as e:
                self.event("ERROR", str(e))

    def distr_send(self, obj, selector, dev, peer, cuttable=False):
        key = self.dkey if selector == SEL_DEFAULT else self.device_key(dev)
        text = compact(obj).encode()
        # Only Register and Hb replies are read with the "}{" cut, so only they get two objects.
        if "two-objects" in self.misbehave and cuttable:
            # A second object in the same datagram; the agent must read only the first.
            text += b'{"Result":-1,"MessageID":"000000000000"}'
        self.udp.sendto(pack_server(text, key, selector), peer)

    def reply_mid(self, mid):
        if "wrong-msgid" in self.misbehave:
            return ("f" if mid[:1] != "f" else "e") + mid[1:]
        return mid

    def distr_request(self, req, selector, peer):
        method = req.get("RPCMethod")
        mid = str(req.get("MessageID", ""))
        mac = str(req.get("MAC", ""))
        if not mac and "Result" not in req:
            raise CodecError("distr: request without MAC: %s" % compact(req))
        if method == "Boot":
            self.event("BOOT", req)
            dev = self.device(mac)
            with self.lock:
                dev.gponsn = str(req.get("GPONSN", ""))
                dev.challenge = self.token()
                if req.get("Flag") != "1" or not dev.shared:
                    dev.shared = self.token()
                dev.instructed = False
            self.save_state()
            if "silence" in self.misbehave:
                return
            result = 0
            if "result-1" in self.misbehave:
                result = -1
            elif "result-2" in self.misbehave:
                result = -2
            rep = {"Result": result, "MessageID": self.reply_mid(mid)}
            if result == 0:
                rep["ChallengeCode"] = dev.challenge
                rep["SharedPasswd"] = dev.shared
            self.distr_send(rep, SEL_DEFAULT, dev, peer)
        elif method == "Register":
            self.event("REGISTER", req)
            dev = self.device(mac)
            expected = check_sn(self.vendor_key, dev.challenge, dev.prefix, dev.shared)
            ok = bool(dev.challenge) and str(req.get("CheckSN", "")).lower() == expected
            if not ok:
                self.event("ERROR", "register: CheckSN %s, expected %s" % (req.get("CheckSN"), expected))
            with self.lock:
                dev.dev_rnd = str(req.get("DevRND", ""))
                dev.vendor_code = str(req.get("VendorCode", ""))
            self.save_state()
            if "silence" in self.misbehave:
                return
            rep = {"Result": 2 if ok else -2, "MessageID": self.reply_mid(mid)}
            if ok:
                rep["Interval"] = self.hb_interval
                rep["MessageServer"] = "127.0.0.1:%d" % self.ports["msg"]
            self.distr_send(rep, SEL_DEFAULT, dev, peer, cuttable=True)
        elif method in ("Hb", "MessagePush"):
            dev = self.device(mac)
            self.event("HB" if method == "Hb" else "PUSH", req)
            if "silence" in self.misbehave:
                return
            result = -3 if "result-3" in self.misbehave else 0
            rep = {"Result": result, "MessageID": self.reply_mid(mid)}
            if result == 0:
                rep["Interval"] = self.hb_interval
            self.distr_send(rep, selector, dev, peer, cuttable=True)
            if result == 0 and not dev.plugin_up and not dev.instructed:
                self.instruct(dev, peer)
        elif "Result" in req:
            self.instruct_answer(req)
        else:
            raise CodecError("distr: unknown request %s" % compact(req))

    def instruct(self, dev, peer):
        with self.lock:
            dev.instructed = True
            dev.instruct_mid = self.token(12)
            key = plugin_key(dev.dev_rnd, dev.prefix, dev.shared)
        if "wrong-key" in self.misbehave:
            key = md5hex("not-" + key)
        ins = {"RPCMethod": "Connect", "ServerAddr": "127.0.0.1",
               "ServerPort": str(self.ports["plugin"]), "Key": key,
               "MessageID": dev.instruct_mid}
        self.event("INSTRUCT", ins)
        self.distr_send(ins, SEL_DEFAULT, dev, peer)

    def instruct_answer(self, req):
        mid = str(req.get("MessageID", ""))
        with self.lock:
            dev = next((d for d in self.devices.values() if d.instruct_mid and d.instruct_mid == mid), None)
            if dev is None:
                raise CodecError("distr: answer for unknown instruction %s" % compact(req))
            if req.get("Result") == 0 and req.get("DevRND"):
                dev.dev_rnd = str(req["DevRND"])
            else:
                dev.instructed = False
        self.save_state()
        self.event("INSTRUCT-ANSWER", req)

    # ---- plugin server -------------------------------------------------------

    def plugin_accept_loop(self):
        while not self.stop.is_set():
            r, _, _ = select.select([self.plug_srv], [], [], 0.2)
            if r:
                conn, _ = self.plug_srv.accept()
                threading.Thread(target=self.plugin_conn_loop, args=(conn,), daemon=True).start()

    def plugin_write(self, conn, obj):
        pkt = pack_server(compact(obj), self.dkey, SEL_DEFAULT)
        with self.plugin_send_lock:
            if "split-frames" in self.misbehave:
                # Header and body cut into pieces so the agent must reassemble.
                for cut in (pkt[:3], pkt[3:11], pkt[11:]):
                    conn.sendall(cut)
                    time.sleep(0.02)
            else:
                conn.sendall(pkt)

    @staticmethod
    def read_frames(conn, buf, on_frame, limit=65536):
        data = conn.recv(65536)
        if not data:
            return None
        buf += data
        while len(buf) >= 4:
            length, = struct.unpack("!I", buf[:4])
            if length > limit:
                raise CodecError("frame length %d over the limit" % length)
            if len(buf) < length + 4:
                break
            on_frame(bytes(buf[:length + 4]))
            del buf[:length + 4]
        return buf

    def plugin_conn_loop(self, conn):
        buf = bytearray()
        try:
            while not self.stop.is_set():
                r, _, _ = select.select([conn], [], [], 0.2)
                if not r:
                    continue
                try:
                    if self.read_frames(conn, buf, lambda f: self.plugin_frame(conn, f)) is None:
                        break
                except CodecError as e:
                    self.event("ERROR", "plugin: %s" % e)
                    buf.clear()
        except OSError as e:
            self.event("ERROR", "plugin connection: %s" % e)
        finally:
            with self.lock:
                if self.plugin_conn is conn:
                    self.plugin_conn = None
                    for d in self.devices.values():
                        d.plugin_up = False
                        d.instructed = False
            conn.close()
            self.event("PLUGIN-CLOSED", {})

    def plugin_frame(self, conn, frame):
        selector, identity, ct = parse_agent_header(frame)
        if selector != SEL_DEFAULT:
            self.event("ERROR", "plugin: key selector %d" % selector)
        try:
            req = json.loads(open_plain(self.dkey, ct).decode())
        except (UnicodeDecodeError, ValueError) as e:
            raise CodecError("text is not JSON (%s)" % e)
        if not isinstance(req, dict):
            raise CodecError("text is not an object")
        method = req.get("RPCMethod")
        if method == "Register":
            self.plugin_register(conn, req)
        elif method == "Hb":
            self.event("PLUGIN-HB", req)
            self.plugin_write(conn, {"Result": 0})
        elif method == "Disconnect":
            self.event("DISCONNECT", req)
            self.plugin_write(conn, {"Result": 0, "ID": req.get("ID")})
        elif "return_Parameter" in req:
            self.plugin_answer(req)
        else:
            raise CodecError("unknown request %s" % compact(req))

    def plugin_register(self, conn, req):
        self.event("PLUGIN-REGISTER", req)
        with self.lock:
            dev = self.devices.get(str(req.get("MAC", "")))
        ok = dev is not None and str(req.get("CheckSN", "")).lower() == \
            check_sn(self.vendor_key, dev.challenge, dev.prefix, dev.shared)
        if not ok:
            self.event("ERROR", "plugin register: bad CheckSN %s" % req.get("CheckSN"))
            self.plugin_write(conn, {"Result": -2})
            return
        if "oversize-frame" in self.misbehave:
            conn.sendall(struct.pack("!I", MAX_FRAME * 2) + MAGIC + b"\1\0" + b"\0" * (MAX_FRAME * 2 - 4))
        self.plugin_write(conn, {"Result": 0, "Hb": self.hb_interval, "ConectionKeepTime": 300})
        with self.lock:
            dev.plugin_up = True
            self.plugin_conn = conn
        threading.Thread(target=self.command_loop, args=(conn,), daemon=True).start()

    def plugin_answer(self, req):
        try:
            raw = base64.b64decode(str(req["return_Parameter"]), validate=True)
            answer = json.loads(raw.decode())
        except (ValueError, UnicodeDecodeError) as e:
            raise CodecError("answer %s does not decode (%s)" % (compact(req), e))
        self.event("ANSWER", answer)
        with self.lock:
            self.answers[req.get("ID")] = answer
            self.answer_cv.notify_all()

    def command_loop(self, conn):
        while not self.stop.is_set():
            with self.lock:
                if self.plugin_conn is not conn:
                    return
            # Commands wait until the gate file exists: a test opens it once the gateway is set up.
            if self.commands_gate and not os.path.exists(self.commands_gate):
                time.sleep(0.1)
                continue
            try:
                line = self.commands.get(timeout=0.2)
            except queue.Empty:
                continue
            self.send_command(conn, line)

    def send_command(self, conn, line):
        try:
            cmd = json.loads(line)
        except ValueError as e:
            self.event("ERROR", "command %r is not JSON (%s)" % (line, e))
            return
        with self.lock:
            cid = self.next_id
            self.next_id += 1
        # "_RPCMethod" and "_PluginName" (taken out of the command) choose the envelope, e.g. the storage
        # commands' "SetPluginParameterValues" to "NAS".
        rpc = cmd.pop("_RPCMethod", "Post") if isinstance(cmd, dict) else "Post"
        plugin = cmd.pop("_PluginName", "platsim") if isinstance(cmd, dict) else "platsim"
        post = {"RPCMethod": rpc, "ID": cid, "PluginName": plugin,
                "Parameter": base64.b64encode(compact(cmd).encode()).decode()}
        self.event("COMMAND", cmd)
        try:
            self.plugin_write(conn, post)
        except OSError as e:
            self.event("ERROR", "command send: %s" % e)
            return
        deadline = time.monotonic() + ANSWER_WAIT
        with self.lock:
            while cid not in self.answers:
                left = deadline - time.monotonic()
                if left <= 0 or self.stop.is_set():
                    self.event("ERROR", "no answer to command %d" % cid)
                    return
                self.answer_cv.wait(min(left, 0.2))
            del self.answers[cid]

    # ---- message server ------------------------------------------------------

    def msg_accept_loop(self):
        while not self.stop.is_set():
            r, _, _ = select.select([self.msg_srv], [], [], 0.2)
            if r:
                conn, _ = self.msg_srv.accept()
                threading.Thread(target=self.msg_conn_loop, args=(conn,), daemon=True).start()

    def msg_conn_loop(self, conn):
        buf = bytearray()
        try:
            while not self.stop.is_set():
                r, _, _ = select.select([conn], [], [], 0.2)
                if not r:
                    continue
                try:
                    if self.read_frames(conn, buf, lambda f: self.msg_frame(conn, f)) is None:
                        break
                except CodecError as e:
                    self.event("ERROR", "msg: %s" % e)
                    break
        except OSError as e:
            self.event("ERROR", "msg connection: %s" % e)
        finally:
            conn.close()

    def msg_frame(self, conn, frame):
        try:
            req = json.loads(frame[4:].decode())
            if not isinstance(req, dict):
                raise ValueError("not an object")
        except (ValueError, UnicodeDecodeError) as e:
            self.event("ERROR", "msg: text is not JSON (%s)" % e)
            return
        mac, stamp, b64 = str(req.get("MAC", "")), str(req.get("time", "")), str(req.get("Message", ""))
        with self.lock:
            dev = self.devices.get(mac)
        try:
            message = json.loads(base64.b64decode(b64, validate=True).decode())
        except (ValueError, UnicodeDecodeError):
            message = None
        event = {"MAC": mac, "time": stamp, "Message": message}
        if dev is None or req.get("RPCMethod") != "MessagePush" or message is None:
            self.event("BADSIG", event)
        elif str(req.get("MD5", "")).lower() != md5hex(stamp + b64 + mac + dev.prefix + dev.shared):
            self.event("BADSIG", event)
        else:
            self.event("REPORT", event)
        if "silence" not in self.misbehave:
            reply = compact({"Result": 0}).encode()
            conn.sendall(struct.pack("!I", len(reply)) + reply)

    # ---- control -------------------------------------------------------------

    def stdin_loop(self):
        # Only "QUIT" stops the simulator: a caller without a control pipe (stdin at end of file)
        # leaves it serving until it is signalled.
        for line in sys.stdin:
            line = line.strip()
            if line == "QUIT":
                self.stop.set()
                return
            if line.startswith("SEND "):
                self.commands.put(line[5:])
            elif line:
                self.event("ERROR", "unknown control line %r" % line)

    def run(self):
        workers = [threading.Thread(target=f, daemon=True)
                   for f in (self.distr_loop, self.plugin_accept_loop, self.msg_accept_loop)]
        for w in workers:
            w.start()
        if self.root:
            with open(os.path.join(self.root, "platsim.ports"), "w") as f:
                json.dump(self.ports, f)
        self.event("READY", "distr=%d plugin=%d msg=%d" %
                   (self.ports["distr"], self.ports["plugin"], self.ports["msg"]))
        threading.Thread(target=self.stdin_loop, daemon=True).start()
        try:
            self.stop.wait()
        except KeyboardInterrupt:
            pass
        self.stop.set()
        for w in workers:
            w.join(1.0)


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--vendor-code", required=True)
    p.add_argument("--vendor-key", required=True)
    p.add_argument("--distr-port", type=int, default=0)
    p.add_argument("--plugin-port", type=int, default=0)
    p.add_argument("--msg-port", type=int, default=0)
    p.add_argument("--commands")
    p.add_argument("--commands-gate", help="send commands only once this file exists")
    p.add_argument("--misbehave", default="")
    p.add_argument("--hb-interval", type=int, default=5)
    p.add_argument("--root")
    p.add_argument("--state", help="file keeping the device records across restarts")
    args = p.parse_args(argv)
    modes_ = [m for m in args.misbehave.split(",") if m]
    bad = [m for m in modes_ if m not in MISBEHAVE_MODES]
    if bad:
        p.error("unknown --misbehave mode(s): %s (known: %s)" % (",".join(bad), ",".join(MISBEHAVE_MODES)))
    args.misbehave = modes_
    return args


def main(argv):
    import signal
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    Platform(parse_args(argv)).run()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
