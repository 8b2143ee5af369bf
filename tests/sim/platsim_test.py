#!/usr/bin/python3
"""Self-test of the platform simulator: codec against openssl, and the exchanges
against a scripted agent built by hand. Every wait is bounded."""

import base64
import hashlib
import json
import os
import queue
import socket
import struct
import subprocess
import sys
import threading
import time
import unittest

SIM = os.environ.get("PLATSIM", os.path.join(os.path.dirname(__file__), "../../sim/platform/platsim.py"))
sys.path.insert(0, os.path.dirname(os.path.abspath(SIM)))
import platsim  # noqa: E402

VCODE, VKEY, MAC, GPONSN = "ABC123", "secretkey", "A0B1C2D3E4F5", "YVCX12345678"
WAIT = 5.0


def md5(s):
    return hashlib.md5(s.encode()).hexdigest()


def openssl_ecb(key, data):
    hexkey = key.hex() if isinstance(key, bytes) else key.encode().hex()
    return subprocess.run(["openssl", "enc", "-aes-256-ecb", "-nopad", "-K", hexkey],
                          input=data, capture_output=True, check=True, timeout=10).stdout


class Codec(unittest.TestCase):
    def test_packet_matches_openssl_byte_for_byte(self):
        text = b'{"RPCMethod":"Hb"}'
        key = md5(VKEY).encode()
        plain = md5(text.decode()).encode() + text
        plain += b"\0" * (-len(plain) % 16)
        ct = openssl_ecb(key, plain)
        pkt = platsim.pack_agent(text, key, 1, VCODE)
        self.assertEqual(pkt, struct.pack("!I", len(ct) + 16) + b"$$\x01\x00" + VCODE.encode() + b"\0" * 6 + ct)
        srv = platsim.pack_server(text, key, 0)
        self.assertEqual(srv, struct.pack("!I", len(ct) + 4) + b"$$\x00\x00" + ct)

    def test_lengths_and_padding(self):
        key = md5(VKEY).encode()
        empty = platsim.pack_agent(b"", key, 1, VCODE)
        self.assertEqual(len(empty), 52)
        self.assertEqual(struct.unpack("!I", empty[:4])[0], 48)
        exact = platsim.pack_agent(b"x" * 32, key, 1, VCODE)   # 64 bytes plain: no padding block
        self.assertEqual(len(exact) - 20, 64)

    def test_round_trip_stops_at_first_zero_and_rejects_bad_sizes(self):
        key = md5(VKEY).encode()
        sel, text = platsim.unpack_server(platsim.pack_server('{"a":1}', key, 1), key)
        self.assertEqual((sel, text), (1, '{"a":1}'))
        with self.assertRaises(platsim.CodecError):
            platsim.open_plain(key, b"\0" * 17)
        with self.assertRaises(platsim.CodecError):
            platsim.parse_agent_header(b"\0\0\0\x10##\x01\0" + b"\0" * 16)

    def test_derived_keys(self):
        self.assertEqual(platsim.check_sn(VKEY, "cc", "YVCX12", "p" * 32), md5(VKEY + "cc" + "YVCX12" + "p" * 32))
        self.assertEqual(platsim.serial_prefix("", MAC), "A0B1C2")
        self.assertEqual(platsim.plugin_key("r" * 32, "YVCX12", "s"), md5("r" * 32 + "YVCX12s"))


class Sim:
    def __init__(self, *extra):
        self.p = subprocess.Popen([sys.executable, SIM, "--vendor-code", VCODE, "--vendor-key", VKEY,
                                   "--hb-interval", "40"] + list(extra),
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        word, rest = self.expect("READY")
        self.ports = dict(kv.split("=") for kv in rest.split())
        self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.udp.settimeout(WAIT)
        self.udp.connect(("127.0.0.1", int(self.ports["distr"])))
        self.dkey = md5(VKEY).encode()

    def _read(self):
        for line in self.p.stdout:
            self.lines.put(line.rstrip("\n"))

    def expect(self, word):
        deadline = time.monotonic() + WAIT
        while True:
            line = self.lines.get(timeout=max(0.01, deadline - time.monotonic()))
            w, _, rest = line.partition(" ")
            if w == word:
                return w, rest

    def rpc(self, obj, key=None, sel=1, ident=VCODE):
        self.udp.send(platsim.pack_agent(json.dumps(obj).encode(), key or self.dkey, sel, ident))
        return self.recv(key)

    def recv(self, key=None):
        s, text = platsim.unpack_server(self.udp.recv(4096), key or self.dkey)
        return text

    def close(self):
        try:
            self.p.stdin.write("QUIT\n")
            self.p.stdin.close()
            self.p.wait(WAIT)
        except (subprocess.TimeoutExpired, BrokenPipeError):
            self.p.kill()
            self.p.wait(WAIT)
        self.p.stdout.close()
        self.udp.close()


def boot(sim, mid="0a0b0c0d0e0f", flag="0"):
    return json.loads(sim.rpc({"RPCMethod": "Boot", "MessageID": mid, "MAC": MAC, "GPONSN": GPONSN, "Flag": flag}))


def register(sim, b, rnd="1" * 32):
    sn = md5(VKEY + b["ChallengeCode"] + GPONSN[:6] + b["SharedPasswd"])
    return sn, sim.rpc({"RPCMethod": "Register", "DevRND": rnd, "MessageID": "0123456789ab", "MAC": MAC,
                        "GPONSN": GPONSN, "VendorCode": VCODE, "CheckSN": sn})


class Exchange(unittest.TestCase):
    def setUp(self):
        self.sim = None

    def tearDown(self):
        if self.sim:
            self.sim.close()

    def start(self, *extra):
        self.sim = Sim(*extra)
        return self.sim

    def test_boot_register_hb_instruct_plugin_command_and_report(self):
        cmds = os.path.join(os.environ.get("TMPDIR", "/tmp"), "platsim_cmds_%d" % os.getpid())
        with open(cmds, "w") as f:
            f.write('{"CmdType":"GET_ONT_NAME","SequenceId":"00000001"}\n')
        self.addCleanup(os.unlink, cmds)
        sim = self.start("--commands", cmds)
        b = boot(sim)
        self.assertEqual((b["Result"], b["MessageID"], len(b["SharedPasswd"])), (0, "0a0b0c0d0e0f", 32))
        sn, text = register(sim, b)
        r = json.loads(text)
        self.assertEqual((r["Result"], r["Interval"], r["MessageServer"]), (2, 40, "127.0.0.1:" + sim.ports["msg"]))
        hb = json.loads(sim.rpc({"RPCMethod": "Hb", "MessageID": "0fedcba98765", "MAC": MAC, "Flag": "0"}))
        self.assertEqual(hb["Result"], 0)
        ins = json.loads(sim.recv())
        self.assertNotIn("Result", ins)
        self.assertEqual(ins["Key"], md5("1" * 32 + GPONSN[:6] + b["SharedPasswd"]))
        self.assertEqual(ins["ServerPort"], sim.ports["plugin"])
        # A push rides on the registration key, identified by the MAC.
        push = json.loads(sim.rpc({"RPCMethod": "MessagePush", "MessageID": "1aaaaaaaaaaa", "MAC": MAC,
                                   "Data": {"topic": "t"}}, key=sn.encode(), sel=0, ident=MAC))
        self.assertEqual((push["Result"], push["MessageID"]), (0, "1aaaaaaaaaaa"))

        tcp = socket.create_connection(("127.0.0.1", int(sim.ports["plugin"])), timeout=WAIT)
        self.addCleanup(tcp.close)

        def send(obj):
            tcp.sendall(platsim.pack_agent(json.dumps(obj).encode(), sim.dkey, 1, VCODE))

        def read():
            hdr = b""
            while len(hdr) < 4:
                hdr += tcp.recv(4 - len(hdr))
            n = struct.unpack("!I", hdr)[0]
            body = b""
            while len(body) < n:
                body += tcp.recv(n - len(body))
            return json.loads(platsim.unpack_server(hdr + body, sim.dkey)[1])

        send({"RPCMethod": "Register", "MAC": MAC, "GPONSN": GPONSN, "VendorCode": VCODE, "CheckSN": sn})
        self.assertEqual(read(), {"Result": 0, "Hb": 40, "ConectionKeepTime": 300})
        post = read()
        self.assertEqual(post["RPCMethod"], "Post")
        self.assertEqual(json.loads(base64.b64decode(post["Parameter"])),
                         {"CmdType": "GET_ONT_NAME", "SequenceId": "00000001"})
        answer = {"CmdType": "GET_ONT_NAME", "SequenceId": "00000001", "Status": "0", "OntName": "gw"}
        send({"Result": 0, "ID": post["ID"],
              "return_Parameter": base64.b64encode(json.dumps(answer).encode()).decode()})
        self.assertEqual(json.loads(sim.expect("ANSWER")[1]), answer)
        send({"RPCMethod": "Hb", "IPAddr": "1.2.3.4", "MAC": MAC, "GPONSN": GPONSN})
        self.assertEqual(read(), {"Result": 0})

        msg = socket.create_connection(("127.0.0.1", int(sim.ports["msg"])), timeout=WAIT)
        self.addCleanup(msg.close)
        body = base64.b64encode(b'{"CmdType":"OXA_VER_REP"}').decode()
        stamp = "20240305070809"
        for digest, word in ((md5(stamp + body + MAC + GPONSN[:6] + b["SharedPasswd"]), "REPORT"), ("0" * 32, "BADSIG")):
            t = json.dumps({"RPCMethod": "MessagePush", "MAC": MAC, "time": stamp, "MD5": digest, "Message": body}).encode()
            msg.sendall(struct.pack("!I", len(t)) + t)
            self.assertEqual(json.loads(sim.expect(word)[1])["Message"], {"CmdType": "OXA_VER_REP"})
            self.assertEqual(msg.recv(64), b"\0\0\0\x0c" + b'{"Result":0}')

    def test_bad_checksn_and_garbage(self):
        sim = self.start()
        b = boot(sim)
        b["SharedPasswd"] = "x" * 32
        _, text = register(sim, b)
        self.assertEqual(json.loads(text)["Result"], -2)
        self.assertIn("CheckSN", sim.expect("ERROR")[1])
        sim.udp.send(b"\0\0\0\x15$$\x01\0" + VCODE.encode() + b"\0" * 6 + b"short")
        self.assertIn("cipher text size", sim.expect("ERROR")[1])


class Misbehave(unittest.TestCase):
    def run_boot(self, mode):
        sim = Sim("--misbehave", mode)
        self.addCleanup(sim.close)
        return sim, boot(sim) if mode != "silence" else None

    def test_results_and_msgid(self):
        for mode, check in (("result-1", lambda b: b["Result"] == -1 and "SharedPasswd" not in b),
                            ("result-2", lambda b: b["Result"] == -2),
                            ("wrong-msgid", lambda b: b["MessageID"] != "0a0b0c0d0e0f" and len(b["MessageID"]) == 12)):
            with self.subTest(mode=mode):
                self.assertTrue(check(self.run_boot(mode)[1]))

    def test_silence_answers_nothing(self):
        sim, _ = self.run_boot("silence")
        sim.udp.send(platsim.pack_agent(b'{"RPCMethod":"Boot","MessageID":"0a","MAC":"' + MAC.encode() + b'"}',
                                        sim.dkey, 1, VCODE))
        sim.expect("BOOT")
        sim.udp.settimeout(0.5)
        with self.assertRaises(socket.timeout):
            sim.udp.recv(4096)

    def test_hb_modes(self):
        for mode in ("result-3", "two-objects", "wrong-key"):
            with self.subTest(mode=mode):
                sim, b = self.run_boot(mode)
                _, reg = register(sim, b)
                if mode == "two-objects":
                    self.assertEqual(json.loads(reg[:reg.index("}{") + 1])["Result"], 2)
                raw = sim.rpc({"RPCMethod": "Hb", "MessageID": "0fedcba98765", "MAC": MAC, "Flag": "0"})
                if mode == "result-3":
                    self.assertEqual(json.loads(raw)["Result"], -3)
                elif mode == "two-objects":
                    self.assertIn("}{", raw)
                    self.assertEqual(json.loads(raw[:raw.index("}{") + 1])["Result"], 0)
                else:
                    ins = json.loads(sim.recv())
                    self.assertNotEqual(ins["Key"], md5("1" * 32 + GPONSN[:6] + b["SharedPasswd"]))

    def test_plugin_frame_modes(self):
        for mode in ("oversize-frame", "split-frames"):
            with self.subTest(mode=mode):
                sim, b = self.run_boot(mode)
                sn, _ = register(sim, b)
                tcp = socket.create_connection(("127.0.0.1", int(sim.ports["plugin"])), timeout=WAIT)
                self.addCleanup(tcp.close)
                tcp.sendall(platsim.pack_agent(json.dumps({"RPCMethod": "Register", "MAC": MAC, "CheckSN": sn}).encode(),
                                               sim.dkey, 1, VCODE))
                first = tcp.recv(4)
                while len(first) < 4:
                    first += tcp.recv(4 - len(first))
                n = struct.unpack("!I", first)[0]
                if mode == "oversize-frame":
                    self.assertGreater(n, platsim.MAX_FRAME)
                else:
                    self.assertLess(n, platsim.MAX_FRAME)


class Stubs(unittest.TestCase):
    def test_ubus_stub_logs_argv_and_fails_missing_objects(self):
        tools = os.environ.get("GW_TOOLS", os.path.join(os.path.dirname(__file__), "../../sim/tools"))
        stub = os.path.join(tools, "ubus_stub.py" if os.path.exists(os.path.join(tools, "ubus_stub.py")) else "ubus_stub")
        log = os.path.join(os.environ.get("TMPDIR", "/tmp"), "ubus_log_%d" % os.getpid())
        self.addCleanup(lambda: os.path.exists(log) and os.unlink(log))
        env = dict(os.environ, GW_UBUS_LOG=log, GW_UBUS_MISSING="yvtask")
        arg = '{"server":"1.2.3.4"}'
        ok = subprocess.run([sys.executable, stub, "call", "yvproxy", "task_request", arg], env=env,
                            capture_output=True, text=True, timeout=10)
        miss = subprocess.run([sys.executable, stub, "list", "yvtask"], env=env, capture_output=True, text=True, timeout=10)
        self.assertEqual((ok.returncode, ok.stdout, miss.returncode), (0, "{}\n", 4))
        with open(log) as f:
            lines = [json.loads(x) for x in f]
        self.assertEqual(lines, [["ubus", "call", "yvproxy", "task_request", arg], ["ubus", "list", "yvtask"]])


if __name__ == "__main__":
    unittest.main()
