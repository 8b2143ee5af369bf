#!/usr/bin/env python3
"""Package manager stand-in for machines without opkg: install, remove, info and list-installed on a
run-time root, writing the database in opkg's own formats.

Root: -o/--offline-root DIR, else $GW_ROOT, else "/". Files written below the root:
  /usr/lib/opkg/status              stanzas "Package, Version, Depends, Provides, Conflicts, Status,
                                    Essential, Architecture, Installed-Time", a blank line after each
  /usr/lib/opkg/info/<name>.control the package's control file as shipped
  /usr/lib/opkg/info/<name>.<file>  the other members of control.tar.gz (maintainer scripts, conffiles)
  /usr/lib/opkg/info/<name>.list    one absolute path per installed file or link
A package is an ar archive or a gzip tar holding debian-binary, control.tar.gz and data.tar.gz.

Maintainer scripts are stored but never run. Members of data.tar.gz that would land outside the root
(absolute names, "..", or through a link that leaves the root) are refused, and so is the
whole package; device and fifo members are skipped. Exit status 0 on success, 255 on failure.
"""

import fcntl
import io
import os
import re
import sys
import tarfile
import time

NAME_RE = re.compile(r"^[A-Za-z0-9][A-Za-z0-9.+_-]*$")
FORCE_FLAGS = {
    "--force-downgrade", "--force-depends", "--force-remove", "--force-removal-of-essential-packages",
    "--force-reinstall", "--force-overwrite", "--force-maintainer", "--force-removal-of-dependent-packages",
    "--nodeps", "--autoremove", "--noaction",
}
STATUS_ORDER = ["Package", "Version", "Depends", "Provides", "Replaces", "Conflicts", "Status", "Essential",
                "Architecture", "Installed-Time"]


class Fail(Exception):
    pass


# ---- versions, as opkg and dpkg compare them -----------------------------------------------------

def _order(c):
    if c == "~":
        return -1
    if c.isdigit():
        return 0
    if c.isalpha():
        return ord(c)
    return ord(c) + 256


def _verrevcmp(a, b):
    i = j = 0
    while i < len(a) or j < len(b):
        first_diff = 0
        while (i < len(a) and not a[i].isdigit()) or (j < len(b) and not b[j].isdigit()):
            ac = _order(a[i]) if i < len(a) else 0
            bc = _order(b[j]) if j < len(b) else 0
            if ac != bc:
                return ac - bc
            i += 1
            j += 1
        while i < len(a) and a[i] == "0":
            i += 1
        while j < len(b) and b[j] == "0":
            j += 1
        while i < len(a) and a[i].isdigit() and j < len(b) and b[j].isdigit():
            if not first_diff:
                first_diff = ord(a[i]) - ord(b[j])
            i += 1
            j += 1
        if i < len(a) and a[i].isdigit():
            return 1
        if j < len(b) and b[j].isdigit():
            return -1
        if first_diff:
            return first_diff
    return 0


def _split_version(v):
    epoch = 0
    if ":" in v:
        e, v = v.split(":", 1)
        epoch = int(e) if e.isdigit() else 0
    rev = ""
    if "-" in v:
        v, rev = v.rsplit("-", 1)
    return epoch, v, rev


def compare_versions(a, b):
    ea, va, ra = _split_version(a)
    eb, vb, rb = _split_version(b)
    if ea != eb:
        return ea - eb
    return _verrevcmp(va, vb) or _verrevcmp(ra, rb)


# ---- control text --------------------------------------------------------------------------------

def parse_fields(text):
    """Ordered (key, value) pairs; continuation lines (leading blank) stay with their field."""
    fields = []
    for line in text.splitlines():
        if not line.strip():
            continue
        if line[0] in " \t" and fields:
            key, value = fields[-1]
            fields[-1] = (key, value + "\n" + line)
            continue
        if ":" not in line:
            continue
        key, value = line.split(":", 1)
        fields.append((key.strip(), value.strip()))
    return fields


def read_status(path):
    """Stanzas of the status file as lists of (key, value) pairs."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except FileNotFoundError:
        return []
    stanzas = []
    for block in re.split(r"\n\s*\n", text):
        fields = parse_fields(block)
        if any(k == "Package" for k, _ in fields):
            stanzas.append(fields)
    return stanzas


def field(fields, key, default=""):
    for k, v in fields:
        if k == key:
            return v
    return default


def write_atomic(path, data):
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(data)
    os.replace(tmp, path)


def format_stanza(fields):
    return "".join("%s: %s\n" % (k, v) for k, v in fields) + "\n"


# ---- packages ------------------------------------------------------------------------------------

def _norm(name):
    while name.startswith("./"):
        name = name[2:]
    return name.strip("/")


def _ar_members(data):
    members = {}
    pos = 8
    while pos + 60 <= len(data):
        header = data[pos:pos + 60]
        name = header[:16].decode("ascii", "replace").strip().rstrip("/")
        size = int(header[48:58].decode("ascii").strip() or "0")
        pos += 60
        members[_norm(name)] = data[pos:pos + size]
        pos += size + (size & 1)
    return members


def outer_members(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"!<arch>\n"):
        return _ar_members(data)
    members = {}
    try:
        with tarfile.open(fileobj=io.BytesIO(data), mode="r:*") as tar:
            for m in tar.getmembers():
                if m.isfile():
                    members[_norm(m.name)] = tar.extractfile(m).read()
    except (tarfile.TarError, OSError, EOFError) as e:
        raise Fail("Malformed package file %s: %s" % (path, e))
    return members


def open_inner(members, name, path):
    if name not in members:
        raise Fail("Malformed package file %s: no %s" % (path, name))
    try:
        return tarfile.open(fileobj=io.BytesIO(members[name]), mode="r:*")
    except (tarfile.TarError, OSError, EOFError) as e:
        raise Fail("Malformed package file %s: %s: %s" % (path, name, e))


class Root:
    def __init__(self, root):
        self.root = os.path.realpath(root)
        self.opkg = os.path.join(self.root, "usr/lib/opkg")
        self.info = os.path.join(self.opkg, "info")
        self.status = os.path.join(self.opkg, "status")

    def under(self, abs_path):
        return os.path.join(self.root, abs_path.lstrip("/"))

    def inside(self, real):
        return real == self.root or real.startswith(self.root.rstrip("/") + "/")

    def lock(self):
        os.makedirs(self.opkg, exist_ok=True)
        fd = os.open(os.path.join(self.opkg, "lock"), os.O_CREAT | os.O_RDWR, 0o644)
        fcntl.flock(fd, fcntl.LOCK_EX)
        return fd

    def installed(self):
        return [s for s in read_status(self.status) if field(s, "Status").split()[-1:] == ["installed"]]

    def find(self, name):
        for s in self.installed():
            if field(s, "Package") == name:
                return s
        return None

    def save_status(self, replace_name, new_stanza):
        stanzas = [s for s in read_status(self.status) if field(s, "Package") != replace_name]
        if new_stanza:
            stanzas.append(new_stanza)
        write_atomic(self.status, "".join(format_stanza(s) for s in stanzas))

    def info_files(self, name):
        if not os.path.isdir(self.info):
            return []
        return [f for f in os.listdir(self.info) if f.startswith(name + ".") and "." not in f[len(name) + 1:]]

    def file_list(self, name):
        try:
            with open(os.path.join(self.info, name + ".list"), encoding="utf-8") as f:
                return [line.rstrip("\n") for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def safe_target(self, rel):
        """The path below the root for a member name, refusing names and links that leave it."""
        parts = [p for p in rel.split("/") if p not in ("", ".")]
        if not parts or ".." in parts:
            raise Fail("refusing member %s: outside the root" % rel)
        cur = self.root
        for p in parts[:-1]:
            cur = os.path.join(cur, p)
            if os.path.islink(cur) and not self.inside(os.path.realpath(cur)):
                raise Fail("refusing member %s: leaves the root through a link" % rel)
        return os.path.join(cur, parts[-1]), "/" + "/".join(parts)

    def check_data(self, data):
        """Refuses the package before anything is written: every member and hard-link target stays
        below the root, and no member is placed through a link the package itself brings."""
        links = set()
        for m in data.getmembers():
            if m.name.startswith("/") or (m.islnk() and m.linkname.startswith("/")):
                raise Fail("refusing member %s: absolute name" % m.name)
            rel = _norm(m.name)
            if not rel:
                continue
            self.safe_target(rel)
            parts = rel.split("/")
            for n in range(1, len(parts)):
                if "/".join(parts[:n]) in links:
                    raise Fail("refusing member %s: placed through a link of the package" % rel)
            if m.issym():
                links.add(rel)
            if m.islnk():
                self.safe_target(_norm(m.linkname))

    def unpack(self, data):
        installed = []
        for m in data.getmembers():
            rel = _norm(m.name)
            if not rel:
                continue
            dest, abs_name = self.safe_target(rel)
            if m.isdir():
                os.makedirs(dest, exist_ok=True)
                os.chmod(dest, m.mode & 0o7777)
                continue
            if not (m.isfile() or m.issym() or m.islnk()):
                print("skipping special member %s" % rel, file=sys.stderr)
                continue
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            if os.path.lexists(dest) and not os.path.isdir(dest) or os.path.islink(dest):
                os.unlink(dest)
            if m.issym():
                os.symlink(m.linkname, dest)
            else:
                src = data.extractfile(m) if m.isfile() else None
                if m.islnk():
                    with open(self.safe_target(_norm(m.linkname))[0], "rb") as f:
                        body = f.read()
                else:
                    body = src.read()
                fd = os.open(dest, os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_NOFOLLOW, 0o600)
                with os.fdopen(fd, "wb") as f:
                    f.write(body)
                os.chmod(dest, m.mode & 0o7777)
            installed.append(abs_name)
        return installed

    def remove_files(self, paths, keep=()):
        for p in paths:
            if p in keep:
                continue
            try:
                dest, _ = self.safe_target(p.lstrip("/"))
            except Fail:
                continue
            if os.path.lexists(dest) and (os.path.islink(dest) or not os.path.isdir(dest)):
                os.unlink(dest)

    def remove_info(self, name):
        for f in self.info_files(name):
            os.unlink(os.path.join(self.info, f))


def install(root, path, flags):
    if not os.path.isfile(path):
        raise Fail("Package file %s does not exist." % path)
    members = outer_members(path)
    with open_inner(members, "control.tar.gz", path) as ctl:
        control_files = {}
        for m in ctl.getmembers():
            rel = _norm(m.name)
            if m.isfile() and rel and "/" not in rel:
                control_files[rel] = ctl.extractfile(m).read()
    if "control" not in control_files:
        raise Fail("Malformed package file %s: no control file" % path)
    text = control_files["control"].decode("utf-8", "replace")
    fields = parse_fields(text)
    name, version = field(fields, "Package"), field(fields, "Version")
    if not NAME_RE.match(name) or not version:
        raise Fail("Malformed package file %s: bad Package or Version" % path)

    old = root.find(name)
    if old:
        cmp = compare_versions(version, field(old, "Version"))
        if cmp == 0 and "--force-reinstall" not in flags:
            print("Package %s (%s) installed in root is up to date." % (name, version))
            return
        if cmp < 0 and "--force-downgrade" not in flags:
            raise Fail("Not downgrading package %s on root from %s to %s." % (name, field(old, "Version"), version))
        print("Upgrading %s on root from %s to %s..." % (name, field(old, "Version"), version))
    else:
        print("Installing %s (%s) to root..." % (name, version))

    with open_inner(members, "data.tar.gz", path) as data:
        root.check_data(data)
        old_files = root.file_list(name)
        files = root.unpack(data)
    root.remove_files(old_files, keep=set(files))

    os.makedirs(root.info, exist_ok=True)
    root.remove_info(name)
    for member, body in control_files.items():
        with open(os.path.join(root.info, "%s.%s" % (name, member)), "wb") as f:
            f.write(body)
    write_atomic(os.path.join(root.info, name + ".list"), "".join(p + "\n" for p in files))

    stanza = []
    for key in STATUS_ORDER:
        if key == "Status":
            stanza.append(("Status", "install user installed"))
        elif key == "Installed-Time":
            stanza.append(("Installed-Time", str(int(time.time()))))
        elif key == "Essential":
            if field(fields, "Essential") == "yes":
                stanza.append(("Essential", "yes"))
        elif field(fields, key):
            stanza.append((key, field(fields, key)))
    root.save_status(name, stanza)
    print("Configuring %s." % name)


def remove(root, name, flags):
    pkg = root.find(name)
    if not pkg:
        print("No packages removed.")
        return
    if field(pkg, "Essential") == "yes" and "--force-removal-of-essential-packages" not in flags:
        raise Fail("Refusing to remove essential package %s." % name)
    users = []
    for s in root.installed():
        deps = [d.strip().split(" ")[0] for d in field(s, "Depends").split(",") if d.strip()]
        if name in deps and field(s, "Package") != name:
            users.append(field(s, "Package"))
    if users and not ({"--force-depends", "--force-removal-of-dependent-packages"} & flags):
        raise Fail("Package %s is depended upon by packages: %s" % (name, " ".join(users)))
    print("Removing package %s from root..." % name)
    root.remove_files(root.file_list(name))
    root.remove_info(name)
    root.save_status(name, None)


def info(root, name):
    pkg = root.find(name)
    if not pkg:
        return
    control = os.path.join(root.info, name + ".control")
    try:
        with open(control, encoding="utf-8", errors="replace") as f:
            fields = parse_fields(f.read())
    except FileNotFoundError:
        fields = []
    out = [("Package", name), ("Version", field(pkg, "Version"))]
    skip = {"Package", "Version", "Status", "Installed-Time", "Description"}
    out += [(k, v) for k, v in fields if k not in skip]
    out.append(("Status", field(pkg, "Status")))
    if field(fields, "Description"):
        out.append(("Description", field(fields, "Description")))
    out.append(("Installed-Time", field(pkg, "Installed-Time")))
    sys.stdout.write(format_stanza(out))


def list_installed(root):
    for s in sorted(root.installed(), key=lambda s: field(s, "Package")):
        print("%s - %s" % (field(s, "Package"), field(s, "Version")))


def main(argv):
    root_dir = os.environ.get("GW_ROOT") or "/"
    flags, args = set(), []
    i = 0
    while i < len(argv):
        a = argv[i]
        if a in ("-o", "--offline-root"):
            if i + 1 >= len(argv):
                print("opkg: option %s needs a directory" % a, file=sys.stderr)
                return 255
            root_dir = argv[i + 1]
            i += 2
            continue
        if a.startswith("--offline-root="):
            root_dir = a.split("=", 1)[1]
        elif a.startswith("-"):
            if a not in FORCE_FLAGS:
                print("opkg: unrecognized option '%s'" % a, file=sys.stderr)
                return 255
            flags.add(a)
        else:
            args.append(a)
        i += 1
    if not args:
        print("usage: opkg [-o root] install FILE | remove NAME | info NAME | list-installed", file=sys.stderr)
        return 255
    root = Root(root_dir)
    cmd, rest = args[0], args[1:]
    lock = root.lock()
    try:
        if cmd == "install" and rest:
            for p in rest:
                install(root, p, flags)
        elif cmd == "remove" and rest:
            for n in rest:
                remove(root, n, flags)
        elif cmd == "info" and rest:
            info(root, rest[0])
        elif cmd in ("list-installed", "list_installed"):
            list_installed(root)
        else:
            print("opkg: unknown command %s" % " ".join(args), file=sys.stderr)
            return 255
    except (Fail, OSError) as e:
        print("Collected errors:\n * %s" % e, file=sys.stderr)
        return 255
    finally:
        os.close(lock)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
