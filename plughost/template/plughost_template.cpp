// The container templates "app", "essapp", "rootapp" and "rootess": liblxc runs this program as
// "lxc-<kind>" when it creates a plug-in's container. It makes a minimal root file system of mount
// points and adds to the container's configuration the binds that fill it: the host's libraries
// read-only, the plug-in's files at "/files", its data at "/data", the system bus socket directory,
// and the "/uds" mount point for the socket directories that the host binds later.
//
// liblxc calls: lxc-<kind> --path=<lxcpath>/<name> --name=<name> --rootfs=<rootfs> [--mapped-uid N
// --mapped-gid N]. With an id map it runs inside the container's user namespace.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Kind {
    const char *name;
    bool root;  // a root plug-in: no id map, sees /sys
};

const Kind kKinds[] = {
    {"app", false},
    {"essapp", false},
    {"rootapp", true},
    {"rootess", true},
};

const char *const kLibDirs[] = {"/lib", "/lib64", "/usr/lib", "/usr/lib64"};

// Mount points of the root file system, besides the library directories.
const char *const kMountPoints[] = {"files", "data", "uds", "dev", "proc", "sys", "tmp", "mnt", "var/run/dbus", "etc"};

int fail(const char *what, const std::string &arg)
{
    fprintf(stderr, "plug-in template: %s %s\n", what, arg.c_str());
    return 1;
}

bool word_name(const std::string &n)
{
    if (n.empty() || n.size() > 63 || !isalpha(static_cast<unsigned char>(n[0])))
        return false;
    for (char c : n)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    return true;
}

// A path usable in a mount line: absolute, without blanks or control characters.
bool mount_path(const std::string &p)
{
    if (p.empty() || p[0] != '/')
        return false;
    for (char c : p)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\\')
            return false;
    return true;
}

bool make_dirs(const std::string &path)
{
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool is_dir(const std::string &p)
{
    struct stat st {};
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string option(int argc, char **argv, const char *key)
{
    const size_t n = strlen(key);
    for (int i = 1; i < argc; ++i)
        if (strncmp(argv[i], key, n) == 0 && argv[i][n] == '=')
            return argv[i] + n + 1;
    return {};
}

}  // namespace

int main(int argc, char **argv)
{
    std::string self = argv[0];
    self = self.substr(self.rfind('/') + 1);
    const Kind *kind = nullptr;
    for (const Kind &k : kKinds)
        if (self == std::string("lxc-") + k.name)
            kind = &k;
    if (!kind)
        return fail("unknown template", self);

    const std::string path = option(argc, argv, "--path");
    const std::string name = option(argc, argv, "--name");
    const std::string rootfs = option(argc, argv, "--rootfs");
    if (!word_name(name))
        return fail("bad container name", name);
    if (!mount_path(path) || path.size() <= name.size() + 1 ||
        path.compare(path.size() - name.size() - 1, std::string::npos, "/" + name) != 0)
        return fail("bad container path", path);
    if (!mount_path(rootfs))
        return fail("bad root file system", rootfs);
    const std::string home = path.substr(0, path.size() - name.size() - 1);  // the plug-in's container path
    const char *root_env = getenv("GW_ROOT");
    std::string root = root_env ? root_env : "";
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    const std::string bus_dir = root + "/var/run/dbus";
    if (!mount_path(bus_dir))
        return fail("bad run-time root", root);

    std::vector<std::string> lines;
    lines.push_back("lxc.uts.name = " + name);
    lines.push_back(kind->root ? "lxc.mount.auto = proc:mixed sys:ro" : "lxc.mount.auto = proc:rw");
    lines.push_back("lxc.autodev = 1");
    for (const char *lib : kLibDirs) {
        if (!is_dir(lib))
            continue;
        if (!make_dirs(rootfs + lib))
            return fail("cannot make", rootfs + lib);
        lines.push_back(std::string("lxc.mount.entry = ") + lib + " " + (lib + 1) + " none ro,bind 0 0");
    }
    for (const char *dir : kMountPoints)
        if (!make_dirs(rootfs + "/" + dir))
            return fail("cannot make", rootfs + "/" + dir);
    lines.push_back("lxc.mount.entry = " + home + "/files files none rw,bind,optional 0 0");
    lines.push_back("lxc.mount.entry = " + home + "/data data none rw,bind,optional 0 0");
    lines.push_back("lxc.mount.entry = " + bus_dir + " var/run/dbus none rw,bind,optional 0 0");
    lines.push_back("lxc.mount.entry = tmpfs tmp tmpfs rw,nosuid,nodev,size=1m 0 0");

    std::ofstream config(path + "/config", std::ios::app);
    config << "\n# plug-in " << kind->name << "\n";
    for (const std::string &l : lines)
        config << l << "\n";
    config.flush();
    if (!config)
        return fail("cannot write", path + "/config");
    return 0;
}
