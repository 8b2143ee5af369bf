"""The plug-in part of the demo: the real plughost beside the agent, the SDK's sample plug-in packaged as an
ipk, served over http on loopback, installed through the host's bus interface into its own container, and
then listed and sent a message. Containers need root and LXC; without them the demo says so and goes on."""
import http.server
import io
import os
import subprocess
import tarfile
import threading
import time

BUS_NAME = "com.yvc.appframework1"
BUS_PATH = "/com/yvc/appframework1"
BUS_IFACE = "com.yvc.appframework1.AppAgent"


def containers_missing():
    """Why this machine cannot run plug-in containers, or None."""
    if os.geteuid() != 0:
        return "not root"
    if not (os.access("/usr/sbin/init.lxc.static", os.X_OK) or os.access("/usr/sbin/init.lxc", os.X_OK)):
        return "no LXC on this machine"
    if not os.path.exists("/proc/self/ns/user"):
        return "no user namespaces"
    for tool in ("/usr/bin/unshare", "/usr/bin/nsenter"):
        if not os.access(tool, os.X_OK):
            return "no " + tool
    return None


def prepare_root(root, build):
    """The user database the plug-in users go into, and the host's container templates."""
    os.chmod(root, 0o755)
    files = {"etc/passwd": "root:x:0:0:root:/root:/bin/sh\n", "etc/group": "root:x:0:\n",
             "etc/shadow": "root:*:19000:0:99999:7:::\n", "etc/gshadow": "root:*::\n",
             "etc/default/useradd": "SHELL=/bin/false\n"}
    for rel, text in files.items():
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        with open(os.path.join(root, rel), "w") as f:
            f.write(text)
    tdir = os.path.join(root, "usr/share/lxc/templates")
    os.makedirs(tdir, exist_ok=True)
    for kind in ("app", "essapp", "rootapp", "rootess"):
        os.symlink(build + "/plughost/template/plughost-lxc-template", os.path.join(tdir, "lxc-" + kind))
    os.makedirs(os.path.join(root, "var/run/dbus"), exist_ok=True)
    os.makedirs(os.path.join(root, "etc/dbus-1/system.d"), exist_ok=True)


def bind_root_etc(pid, root):
    """The bus runs in its own mount namespace (unshare); there it reads users through the root's /etc, so
    plug-in users made under the root may connect. The machine's own user database is untouched."""
    subprocess.run(["/usr/bin/nsenter", "--target", str(pid), "--mount", "/usr/bin/mount", "--bind",
                    root + "/etc", "/etc"], check=True)
    os.kill(pid, 1)  # SIGHUP: read the policies again, now with the root's users


def own_libraries(program):
    """Shared libraries of the program outside the system's library directories: the plug-in ships them."""
    out = subprocess.run(["/usr/bin/ldd", program], capture_output=True, text=True).stdout
    libs = []
    for line in out.splitlines():
        if "=> /" not in line:
            continue
        path = line.split("=> ", 1)[1].split(" (", 1)[0]
        if not path.startswith(("/lib/", "/usr/lib/", "/lib64/")):
            libs.append(path)
    return libs


def _tar_gz(members):
    """members: (name, bytes or None for a directory, mode)."""
    buf = io.BytesIO()
    with tarfile.open(fileobj=buf, mode="w:gz", format=tarfile.GNU_FORMAT) as t:
        for name, data, mode in members:
            info = tarfile.TarInfo(name)
            info.mode = mode
            info.mtime = int(time.time())
            if data is None:
                info.type = tarfile.DIRTYPE
                t.addfile(info)
            else:
                info.size = len(data)
                t.addfile(info, io.BytesIO(data))
    return buf.getvalue()


def sample_ipk(build, name, version, preinstalled=False):
    """The SDK's sample plug-in as package `name`: its program at /opt/apps/<name>/files/<name> (a
    preinstalled one, Essential, under /opt/preinstall). Its memory limit leaves room for a sanitizer
    build (the tests run the demo against theirs)."""
    program = build + "/plughost/gw_sample_plugin"
    control = ("Package: %s\nVersion: %s\nArchitecture: all\nVendor: acme\nDbusVersion: 1\npluginClass: 0\n"
               "lxc_mem: 256M\nDescription: the plug-in SDK's sample\n" % (name, version))
    if preinstalled:
        control += "Essential: yes\n"
    base = "./opt/preinstall/" if preinstalled else "./opt/apps/"
    home = base + name + "/"
    data = [("./opt/", None, 0o755), (base, None, 0o755), (home, None, 0o755),
            (home + "files/", None, 0o755), (home + "files/lib/", None, 0o755)]
    with open(program, "rb") as f:
        data.append((home + "files/" + name, f.read(), 0o755))
    for lib in own_libraries(program):
        with open(lib, "rb") as f:
            data.append((home + "files/lib/" + os.path.basename(lib), f.read(), 0o755))
    return _tar_gz([("./debian-binary", b"2.0\n", 0o644),
                    ("./control.tar.gz", _tar_gz([("./control", control.encode(), 0o644)]), 0o644),
                    ("./data.tar.gz", _tar_gz(data), 0o644)])


class _Files(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(directory):
    """An http server on loopback serving `directory`; returns (server, port)."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             lambda *a, **k: _Files(*a, directory=directory, **k))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, server.server_address[1]


def host_call(env, method, *args):
    """A call to the plug-in host through gdbus; its printed answer, or the error text."""
    argv = ["gdbus", "call", "--system", "--dest", BUS_NAME, "--object-path", BUS_PATH, "--method",
            BUS_IFACE + "." + method, "--timeout", "30"] + list(args)
    r = subprocess.run(argv, env=env, capture_output=True, text=True)
    return (r.stdout or r.stderr).strip()


def wait(pred, timeout):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = pred()
        if value:
            return value
        time.sleep(0.2)
    return None
