// What the container tests share: whether this machine can run containers, opkg as the host runs it,
// the SDK's sample plug-in packaged as a real ipk, and a plug-in's host side made as the installer does.
#ifndef PLUGHOST_PLUGIN_FIXTURE_HPP
#define PLUGHOST_PLUGIN_FIXTURE_HPP

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "ipk_builder.hpp"
#include "plughost_container.h"
#include "plughost_hostfiles.h"
#include "plughost_users.h"
#include "root_tests.hpp"

namespace plugtest {

namespace fs = std::filesystem;

inline std::string lxc_missing()
{
    if (std::string why = roottest::missing_root(); !why.empty())
        return why;
    if (access("/usr/sbin/init.lxc.static", X_OK) != 0 && access("/usr/sbin/init.lxc", X_OK) != 0)
        return "no container init (lxc package) on this machine";
    if (access("/proc/self/ns/user", F_OK) != 0)
        return "no user namespaces";
    return "";
}

inline std::string file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs argv (with GW_ROOT set to the root); returns the exit code and stdout.
inline int run(const gwtest::TempRoot &root, std::vector<std::string> argv, std::string *out = nullptr)
{
    std::vector<char *> cargv;
    for (auto &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    gw::StrvPtr env(g_environ_setenv(g_get_environ(), "GW_ROOT", root.dir().c_str(), TRUE));
    int status = -1;
    gw::ErrorPtr err;
    gchar *text = nullptr;
    if (!g_spawn_sync(nullptr, cargv.data(), env.get(), G_SPAWN_DEFAULT, nullptr, nullptr, out ? &text : nullptr,
                      nullptr, &status, gw::ErrorOut(err)))
        ADD_FAILURE() << gw::error_text(err);
    gw::GCharPtr hold(text);
    if (out)
        *out = text ? text : "";
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// opkg as the host runs it: $GW_OPKG when set (the real one, confined to the root), else the stand-in.
inline int opkg_install(const gwtest::TempRoot &root, const std::string &package)
{
    const char *program = std::getenv("GW_OPKG");
    if (program && *program)
        return run(root, {program, "install", package});
    return run(root, {"/usr/bin/python3", gwtest::build_dir() + "/sim/opkg/opkg", "install", package});
}

// The shared libraries a program needs from outside the system's library directories (this build's
// libgwbus and the UCI library): a plug-in ships those in "files/lib".
inline std::vector<std::string> own_libraries(const gwtest::TempRoot &root, const std::string &program)
{
    std::string text;
    run(root, {"/usr/bin/ldd", program}, &text);
    std::vector<std::string> libs;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t arrow = line.find("=> /");
        if (arrow == std::string::npos)
            continue;
        std::string path = line.substr(arrow + 3, line.find(" (", arrow) - arrow - 3);
        if (path.rfind("/lib/", 0) != 0 && path.rfind("/usr/lib/", 0) != 0 && path.rfind("/lib64/", 0) != 0)
            libs.push_back(path);
    }
    return libs;
}

// The sample plug-in as package `name`: the program at "/opt/apps/<name>/files/<name>", its own libraries
// in "files/lib", and the control file with `extra_control` lines.
inline std::string sample_ipk(const gwtest::TempRoot &root, const std::string &name, const std::string &version,
                              const std::string &extra_control = "")
{
    using gwtest::TarMember;
    const std::string program = gwtest::build_dir() + "/plughost/gw_sample_plugin";
    const std::string control =
        "Package: " + name + "\nVersion: " + version +
        "\nArchitecture: all\nVendor: acme\nDbusVersion: 1\npluginClass: 0\nDescription: the SDK sample\n" +
        extra_control;
    const std::string home = "./opt/apps/" + name + "/";
    std::vector<TarMember> data = {{"./opt/", "", TarMember::Dir, 0755},
                                   {"./opt/apps/", "", TarMember::Dir, 0755},
                                   {home, "", TarMember::Dir, 0755},
                                   {home + "files/", "", TarMember::Dir, 0755},
                                   {home + "files/" + name, file_bytes(program), TarMember::File, 0755},
                                   {home + "files/lib/", "", TarMember::Dir, 0755}};
    for (const std::string &lib : own_libraries(root, program))
        data.push_back(
            {home + "files/lib/" + fs::path(lib).filename().string(), file_bytes(lib), TarMember::File, 0755});
    return gwtest::make_tar_gz({{"./debian-binary", "2.0\n"},
                                {"./control.tar.gz", gwtest::make_tar_gz({{"./control", control}})},
                                {"./data.tar.gz", gwtest::make_tar_gz(data)}});
}

// A run-time root whose user database the plug-in users go into, and where the host's templates are.
inline void prepare_root(const gwtest::TempRoot &root)
{
    // The plug-in's user must reach its root file system through the temporary root.
    chmod(root.dir().c_str(), 0755);
    root.write("/etc/passwd", "root:x:0:0:root:/root:/bin/sh\n");
    root.write("/etc/group", "root:x:0:\n");
    root.write("/etc/shadow", "root:*:19000:0:99999:7:::\n");
    root.write("/etc/gshadow", "root:*::\n");
    root.write("/etc/default/useradd", "SHELL=/bin/false\n");
    fs::create_directories(root.path("/usr/share/lxc/templates"));
    for (const char *kind : {"app", "essapp", "rootapp", "rootess"})
        fs::create_symlink(gwtest::build_dir() + "/plughost/template/plughost-lxc-template",
                           root.path(std::string("/usr/share/lxc/templates/lxc-") + kind));
}

// The host side of an installed plug-in, made as the installer makes it: record, user, bus policy,
// container configuration, container, settings, hand-over. Returns the uid (0 for a root plug-in).
inline uid_t make_host_side(plughost::Registry &reg, const std::string &control_path)
{
    auto info = std::make_unique<plughost::CtrlInfo>();
    EXPECT_EQ(plughost::plughost_get_plugin_ctrlinfo(control_path.c_str(), info.get()), 0);
    const std::string name = info->Package;
    EXPECT_EQ(reg.add(std::move(info), control_path, true), 0);
    plughost::PluginRecord *rec = reg.find(name);
    if (!rec)
        return 0;
    plughost::uid_pool().load();
    const int uid = plughost::plughost_alloc_user(*rec);
    EXPECT_GE(uid, 0);
    const uid_t u = static_cast<uid_t>(uid < 0 ? 0 : uid);
    EXPECT_EQ(plughost::write_bus_policy(name, plughost::policy_input(rec->control.get(), u, control_path)), 0);
    EXPECT_EQ(plughost::write_default_conf(rec->container_path, u), 0);
    EXPECT_EQ(plughost::plughost_hand_to_user(name, rec->container_path, u), 0);
    EXPECT_EQ(plughost::plughost_create_container(name, plughost::template_for(*rec->control), reg), 0);
    EXPECT_EQ(plughost::plughost_container_settings(name, reg), 0);
    return u;
}

// Calls a method on the connection's own service: the reply is dispatched by the loop that waits here.
// The reply printed, or "error: " and the error.
inline std::string call_own(GDBusConnection *conn, const char *path, const char *iface, const char *method,
                            GVariant *args, int timeout_ms)
{
    struct Reply {
        gw::VariantPtr value;
        gw::ErrorPtr error;
        bool done = false;
    } r;
    g_dbus_connection_call(
        conn, g_dbus_connection_get_unique_name(conn), path, iface, method, args, nullptr, G_DBUS_CALL_FLAGS_NONE,
        timeout_ms, nullptr,
        [](GObject *src, GAsyncResult *res, gpointer user) {
            auto *rr = static_cast<Reply *>(user);
            rr->value.reset(g_dbus_connection_call_finish(G_DBUS_CONNECTION(src), res, gw::ErrorOut(rr->error)));
            rr->done = true;
        },
        &r);
    EXPECT_TRUE(gwtest::wait_until([&] { return r.done; }, std::chrono::milliseconds(timeout_ms + 5000))) << method;
    if (!r.value)
        return std::string("error: ") + gw::error_text(r.error);
    gw::GCharPtr text(g_variant_print(r.value.get(), FALSE));
    return text.get();
}

}  // namespace plugtest

#endif
