#!/usr/bin/python3
"""The main job, end to end on one machine: a private system bus, the configuration service simulator,
the platform simulator, and the real gwagent in a temporary run-time root. The agent boots against the
distribution server, registers, is sent to the plugin server, answers the platform's commands, reports
its version and carries a pushd report; every step is printed as the platform sees it."""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import demo_plugin

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PY = "/usr/bin/python3"
VENDOR_CODE = "YVDEMO"
VENDOR_KEY = "demokey123456789"

COMMANDS = [
    {"CmdType": "GET_CLOUD_STATUS", "SequenceId": "00000001"},
    {"CmdType": "GET_ONT_NAME", "SequenceId": "00000002"},
    {"CmdType": "SET_ONT_NAME", "SequenceId": "00000003", "Name": "demo-gateway"},
    {"CmdType": "GET_ONT_NAME", "SequenceId": "00000004"},
    {"CmdType": "GET_HG_SYSTEM_INFO", "SequenceId": "00000005"},
    {"CmdType": "GET_LAN_HOST_INFO", "SequenceId": "00000006", "MAC": []},
    {"CmdType": "GET_ATTCH_NAME", "SequenceId": "00000007", "MAC": ["a0b1c2d3e4f3"]},
    {"CmdType": "QUERY_WAN_NUM", "SequenceId": "00000008"},
    {"CmdType": "QUERY_WAN_INFO", "SequenceId": "00000009", "WANName": "1_INTERNET_R_VID_41"},
    {"CmdType": "GET_VOICE_INFO", "SequenceId": "00000010"},
    {"CmdType": "SET_LED_STATUS", "SequenceId": "00000011", "LEDStatus": "on"},
    {"CmdType": "NO_SUCH_COMMAND", "SequenceId": "00000012"},
]

BUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={dir}/var/run/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
  <includedir>{dir}/etc/dbus-1/system.d</includedir>
</busconfig>
"""


class Proc:
    """A child process whose stdout lines are collected by a thread."""

    def __init__(self, name, argv, env, echo=None):
        self.name = name
        self.lines = []
        self.cond = threading.Condition()
        self.p = subprocess.Popen(argv, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True, bufsize=1)
        self.echo = echo
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.p.stdout:
            line = line.rstrip("\n")
            with self.cond:
                self.lines.append(line)
                self.cond.notify_all()
            if self.echo:
                self.echo(self.name, line)

    def wait_for(self, pred, timeout):
        end = time.monotonic() + timeout
        with self.cond:
            while True:
                for line in self.lines:
                    if pred(line):
                        return line
                left = end - time.monotonic()
                if left <= 0 or self.p.poll() is not None:
                    return None
                self.cond.wait(min(left, 0.2))

    def count(self, word):
        with self.cond:
            return sum(1 for line in self.lines if line.startswith(word + " "))

    def stop(self):
        if self.p.poll() is None:
            self.p.send_signal(signal.SIGTERM)
            try:
                self.p.wait(5)
            except subprocess.TimeoutExpired:
                self.p.kill()
                self.p.wait()
        return self.p.returncode


class Platform:
    """Commands the demo sends through the platform simulator while it runs, each awaited by its answer."""

    def __init__(self, plat):
        self.plat = plat
        self.seq = 100

    def command(self, cmd, timeout=30):
        self.seq += 1
        seq = "%08d" % self.seq
        self.plat.p.stdin.write("SEND " + json.dumps(dict(cmd, SequenceId=seq)) + "\n")
        self.plat.p.stdin.flush()
        line = self.plat.wait_for(lambda l: l.startswith("ANSWER ") and '"SequenceId":"%s"' % seq in l, timeout)
        return json.loads(line[len("ANSWER "):]) if line else {}

    def install_query(self, name, timeout=60):
        """OXA_APP_INST_QUERY until the task has ended; the last State."""
        end = time.monotonic() + timeout
        state = ""
        while time.monotonic() < end:
            state = self.command({"CmdType": "OXA_APP_INST_QUERY", "Plugin_Name": name}).get("State", "")
            if state in ("SUCCESS", "FAILED", "DOWNLOADERROR"):
                break
            time.sleep(0.5)
        return state

    def reports(self, word):
        return sum(1 for l in list(self.plat.lines) if l.startswith("REPORT ") and word in l)


def plugin_part(build, root, env, procs, say, show, platform):
    """The platform has the agent install the SDK's sample plug-in from an http URL through the real
    plughost into its own container, queries, lists, upgrades, stops and removes it; the host answers a
    message from the plug-in; last, a framework upgrade order goes to the framework service."""
    # The firmware's own plug-in, installed by the host from "/ipks" when it starts.
    os.makedirs(os.path.join(root, "ipks"), exist_ok=True)
    with open(os.path.join(root, "ipks", "greeter_1.0.0_all.ipk"), "wb") as f:
        f.write(demo_plugin.sample_ipk(build, "greeter", "1.0.0", preinstalled=True))
    # Debian has no opkg: the host runs the stand-in unless GW_OPKG names another.
    opkg = os.environ.get("GW_OPKG") or build + "/sim/opkg/opkg"
    host = Proc("plughost", [build + "/plughost/plughost"], dict(env, GW_LOG_STDERR="1", GW_OPKG=opkg), show)
    procs.append(host)
    if not demo_plugin.wait(lambda: demo_plugin.host_call(env, "List").startswith("("), 30):
        say("plughost did not come up")
        return False
    say("plughost started (pid %d), owns %s" % (host.p.pid, demo_plugin.BUS_NAME))
    srv = os.path.join(root, "srv")
    os.makedirs(srv, exist_ok=True)
    sizes = {}
    for version in ("1.0.0", "1.0.1"):
        data = demo_plugin.sample_ipk(build, "sample", version)
        sizes[version] = len(data)
        with open(os.path.join(srv, "sample_%s_yvc_arm.ipk" % version), "wb") as f:
            f.write(data)
    server, port = demo_plugin.serve(srv)
    plat = platform.plat
    checks = []

    def check(what, good):
        checks.append(good)
        if not good:
            say("demo check failed: " + what)
        return good

    def order(cmd_type, version):
        upg = platform.reports("OXA_UPG_REP")
        url = "http://127.0.0.1:%d/sample_%s_yvc_arm.ipk" % (port, version)
        answer = platform.command({"CmdType": cmd_type, "Plugin_Name": "sample", "Version": version,
                                   "RunMode": "run", "FileSize": sizes[version], "URL": url})
        check(cmd_type + " accepted", answer.get("Status") == "0")
        check(cmd_type + " installed", platform.install_query("sample") == "SUCCESS")
        # The host's UpgRep reaches the message server as the agent's OXA_UPG_REP.
        check(cmd_type + " reported", plat.wait_for(lambda l: platform.reports("OXA_UPG_REP") > upg, 20) is not None)

    def message(text, name="sample"):
        answer = demo_plugin.wait(lambda: (lambda a: a if "got" in a else None)(
            demo_plugin.host_call(env, "PostMsg", name, text)), 30)
        say("host PostMsg %s -> %s" % (name, answer))
        return check("PostMsg answered", answer is not None)

    def status():
        return platform.command({"CmdType": "OXA_APP_GETSTATUS", "Plugin_Name": "sample"}).get("State")

    try:
        say("host List -> " + demo_plugin.host_call(env, "List"))
        message("hello, preinstalled one", "greeter")
        order("OXA_APP_INSTALL", "1.0.0")
        check("running", demo_plugin.wait(lambda: status() == "RUNNING", 30) is not None)
        plugins = platform.command({"CmdType": "OXA_APP_LIST"}).get("Plugins", [])
        check("listed", any(p.get("Name") == "sample" and p.get("State") == "1" for p in plugins))
        say("host List -> " + demo_plugin.host_call(env, "List"))
        message("hello from the demo")
        order("OXA_APP_UPGRADE", "1.0.1")
        plugins = platform.command({"CmdType": "OXA_APP_LIST"}).get("Plugins", [])
        check("upgraded", any(p.get("Version") == "1.0.1" for p in plugins))
        message("hello again")
        check("stopped", platform.command({"CmdType": "OXA_APP_OPERATE", "Action": "Stop",
                                           "Plugin_Name": "sample"}).get("Status") == "0")
        check("not running", demo_plugin.wait(lambda: status() == "STOPPED", 20) is not None)
        check("removed", platform.command({"CmdType": "OXA_APP_OPERATE", "Action": "Uninstall",
                                           "Plugin_Name": "sample"}).get("Status") == "0")
        plugins = platform.command({"CmdType": "OXA_APP_LIST"}).get("Plugins", [])
        check("gone", [p.get("Name") for p in plugins] == ["greeter"])
    finally:
        server.shutdown()
    return all(checks)


def reports_part(platform, root, say):
    """One periodic report switched on by the platform, arriving at the message server, and a listing of
    the gateway's USB storage."""
    before = platform.reports('DEVICE_SPEED"')
    ok = platform.command({"CmdType": "DEVICE_SPEED", "Enable": 1, "Time": "1", "List": []}).get("Status") == "0"
    ok = ok and platform.plat.wait_for(lambda l: platform.reports('DEVICE_SPEED"') > before, 20) is not None
    platform.command({"CmdType": "DEVICE_SPEED", "Enable": 0, "Time": "1", "List": []})
    if ok:
        say("a DEVICE_SPEED report reached the message server")
    docs = os.path.join(root, "mnt", "usb1", "docs")
    os.makedirs(docs, exist_ok=True)
    with open(os.path.join(docs, "readme.txt"), "w") as f:
        f.write("on the gateway's USB disk\n")
    listing = platform.command({"_RPCMethod": "SetPluginParameterValues", "_PluginName": "NAS", "CmdType": "LIST",
                                "FolderName": "/mnt/usb1/docs", "StartIndex": 0, "EndIndex": 9})
    listed = any(f.get("FileName") == "readme.txt" for f in listing.get("FileList", []))
    if listed:
        say("the gateway's USB storage listed through the platform")
    return ok and listed


def framework_part(platform, say):
    """A framework upgrade order, checked by the agent and handed to the framework service."""
    answer = platform.command({"CmdType": "OXA_ZEP_UPGRADE", "ModuleName": "zep", "Version": "V3.03.00001",
                               "RunMode": "1", "FileSize": 1024, "UpMode": "0",
                               "URL": "http://127.0.0.1/fw/zep_V3.03.00001_yvc_arm.bin"})
    return answer.get("Status") == "0"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--timeout", type=float, default=90)
    ap.add_argument("--verbose", action="store_true", help="also print the agent's log")
    args = ap.parse_args()
    build = os.path.abspath(args.build)

    root = tempfile.mkdtemp(prefix="gw-demo-")
    for sub in ("etc/config", "tmp/.uci", "opt/info", "rom", "hgutmp", "usr/lib/opkg/info", "var/run/dbus",
                "etc/dbus-1/system.d"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    with open(os.path.join(root, "etc/openwrt_version"), "w") as f:
        # The framework version, its vendor and the architecture the URLs of packages must name.
        f.write("V3.02.00001_yvc_arm\n")
    with open(os.path.join(root, "usr/lib/opkg/info/speedtest.control"), "w") as f:
        f.write("Package: speedtest\nVersion: 1.2.0\npluginClass: tool\n")
    env = dict(os.environ, GW_ROOT=root)
    procs = []

    out_lock = threading.Lock()

    def say(text):
        # Reader threads and the main thread print; each line goes out whole.
        with out_lock:
            sys.stdout.write(text + "\n")
            sys.stdout.flush()

    def show(name, line):
        if name == "platform":
            word, _, rest = line.partition(" ")
            if word in ("ANSWER", "REPORT", "BOOT", "REGISTER", "INSTRUCT", "PLUGIN-REGISTER", "COMMAND", "PUSH",
                        "BADSIG", "ERROR"):
                say("platform %-15s %s" % (word, rest))
        elif args.verbose:
            say("%-8s %s" % (name, line))

    ok = False
    try:
        with open(os.path.join(root, "bus.conf"), "w") as f:
            f.write(BUS_CONF.format(dir=root))
        no_containers = demo_plugin.containers_missing()
        bus_argv = ["dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + root + "/bus.conf",
                    "--print-address=1"]
        if not no_containers:
            demo_plugin.prepare_root(root, build)
            bus_argv = ["/usr/bin/unshare", "--mount", "--propagation", "private"] + bus_argv
        bus = Proc("dbus", bus_argv, env)
        procs.append(bus)
        address = bus.wait_for(lambda l: l.startswith("unix:"), 10)
        if not address:
            raise SystemExit("dbus-daemon did not start")
        if not no_containers:
            demo_plugin.bind_root_etc(bus.p.pid, root)
        env["DBUS_SYSTEM_BUS_ADDRESS"] = address
        say("private system bus: " + address)

        igd = Proc("igd1sim", [PY, TOP + "/sim/igd1/igd1sim.py", "--address", address, "--root", root,
                               "--profile", TOP + "/sim/igd1/profiles/default.json"] +
                  ([] if no_containers else ["--no-plugin-host"]), env, show)
        procs.append(igd)
        if not igd.wait_for(lambda l: l == "READY", 20):
            raise SystemExit("configuration simulator did not start")
        say("configuration service simulator ready (com.yvc.igd1, com.yvc.zep1)")

        cmd_file = os.path.join(root, "commands.jsonl")
        with open(cmd_file, "w") as f:
            for c in COMMANDS:
                f.write(json.dumps(c) + "\n")
        plat = Proc("platform", [PY, TOP + "/sim/platform/platsim.py", "--vendor-code", VENDOR_CODE,
                                 "--vendor-key", VENDOR_KEY, "--commands", cmd_file, "--hb-interval", "5",
                                 "--root", root], env, show)
        procs.append(plat)
        ready = plat.wait_for(lambda l: l.startswith("READY "), 20)
        if not ready:
            raise SystemExit("platform simulator did not start")
        ports = dict(kv.split("=") for kv in ready.split()[1:])
        say("platform simulator ready: " + ready[6:])

        subprocess.run([build + "/sim/tools/gwprovision", "--root", root, "--vendor", VENDOR_CODE,
                        "--vendor-key", VENDOR_KEY, "--server", "127.0.0.1", "--port", ports["distr"]],
                       env=env, check=True, stdout=subprocess.DEVNULL)
        say("device files provisioned under " + root)

        env_agent = dict(env, GW_LOG_STDERR="1", PATH=build + "/sim/tools:" + env.get("PATH", ""))
        agent = Proc("gwagent", [build + "/gwagent/gwagent"], env_agent, show)
        procs.append(agent)
        say("gwagent started (pid %d)" % agent.p.pid)

        want = len(COMMANDS)
        done = plat.wait_for(lambda l: plat.count("ANSWER") >= want and plat.count("REPORT") >= 1, args.timeout)
        answers, reports = plat.count("ANSWER"), plat.count("REPORT")
        say("answers %d of %d, reports %d" % (answers, want, reports))
        ok = done is not None
        if ok:
            # pushd's reports ride to the distribution server in place of the next heartbeat.
            say("pushd writes a report into the agent's FIFO")
            subprocess.run([PY, build + "/sim/tools/pushd_stub", "--root", root, "--topic", "wanStatus",
                            "--data", json.dumps({"Status": "Connected"})], env=env, check=True)
            ok = plat.wait_for(lambda l: l.startswith("PUSH ") and "wanStatus" in l, 20) is not None
        if ok and no_containers:
            say("plug-in host skipped: containers need root and LXC (%s)" % no_containers)
        platform = Platform(plat)
        if ok and not no_containers:
            ok = plugin_part(build, root, env, procs, say, show, platform)
        if ok:
            ok = framework_part(platform, say)
            if ok:
                say("framework upgrade order handed to the framework service")
        if ok:
            ok = reports_part(platform, root, say)
        rc = agent.stop()
        say("gwagent stopped on SIGTERM, exit status %s" % rc)
        ok = ok and rc == 0
        if not ok:
            print("--- agent log (last 40 lines) ---")
            for line in agent.lines[-40:]:
                print(line)
    finally:
        for p in reversed(procs):
            p.stop()
        if os.environ.get("GW_KEEP_ROOT"):
            print("run-time root kept: " + root)
        else:
            shutil.rmtree(root, ignore_errors=True)
    say("demo %s" % ("finished" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
