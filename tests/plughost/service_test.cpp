// The AppAgent service on a private bus: its contract as introspected, List, GetStatus, InstQuery, the
// properties, and a reply for every method.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "plughost_container.h"
#include "plughost_hostfiles.h"
#include "plughost_service.h"

namespace {

using plughost::CtrlInfo;

struct FakeContainer : plughost::ContainerHandle {
    FakeContainer(bool run, int pid) : run(run), pid(pid) {}
    std::string state() const override { return run ? "RUNNING" : "STOPPED"; }
    bool running() const override { return run; }
    int init_pid() const override { return run ? pid : -1; }
    bool run;
    int pid;
};

struct Reply {
    gw::VariantPtr value;
    gw::ErrorPtr error;
    bool done = false;
};

void on_reply(GObject *src, GAsyncResult *res, gpointer user)
{
    auto *r = static_cast<Reply *>(user);
    r->value.reset(g_dbus_connection_call_finish(G_DBUS_CONNECTION(src), res, gw::ErrorOut(r->error)));
    r->done = true;
}

std::string printed(const gw::VariantPtr &v)
{
    gw::GCharPtr text(v ? g_variant_print(v.get(), TRUE) : g_strdup("<none>"));
    return text.get();
}

class AppAgentService : public ::testing::Test {
protected:
    void SetUp() override
    {
        gwtest::PrivateBus::instance();
        gw::ErrorPtr err;
        server_.reset(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
        ASSERT_TRUE(server_) << gw::error_text(err);
        client_.reset(g_dbus_connection_new_for_address_sync(
            gwtest::PrivateBus::instance().address().c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, gw::ErrorOut(err)));
        ASSERT_TRUE(client_) << gw::error_text(err);
        id_ = plughost::service_register(server_.get(), reg_);
        ASSERT_NE(id_, 0u);
        plughost::set_install_progress(plughost::kInstallIdle, "");
    }
    void TearDown() override
    {
        if (id_)
            g_dbus_connection_unregister_object(server_.get(), id_);
    }

    Reply call(const char *method, GVariant *params, const char *iface = plughost::kServiceInterface)
    {
        Reply r;
        g_dbus_connection_call(client_.get(), g_dbus_connection_get_unique_name(server_.get()), plughost::kServicePath,
                               iface, method, params, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, on_reply, &r);
        EXPECT_TRUE(gwtest::wait_until([&] { return r.done; }, std::chrono::milliseconds(8000))) << method;
        return r;
    }
    std::string answer(const char *method, GVariant *params)
    {
        Reply r = call(method, params);
        EXPECT_FALSE(r.error) << method << ": " << gw::error_text(r.error);
        return printed(r.value);
    }

    // A plug-in known to opkg with its container configuration, and its registry record.
    void plugin(const std::string &name, const std::string &extra, std::unique_ptr<FakeContainer> container,
                bool installed = true)
    {
        const std::string control = "/usr/lib/opkg/info/" + name + ".control";
        root_.write(control, "Package: " + name + "\nVersion: 1." + std::to_string(name.size()) +
                                 "\nArchitecture: arm\nVendor: Acme\nDbusVersion: 1\n" + extra);
        if (installed) {
            status_ += "Package: " + name + "\nVersion: 1\nStatus: install user installed\n\n";
            root_.write("/usr/lib/opkg/status", status_);
            root_.write("/opt/apps/" + name + "/" + name + "/config", "lxc\n");
        }
        auto info = std::make_unique<CtrlInfo>();
        ASSERT_EQ(plughost::plughost_get_plugin_ctrlinfo(root_.path(control).c_str(), info.get()), 0);
        ASSERT_EQ(reg_.add(std::move(info), root_.path(control), false), 0);
        reg_.find(name)->container = std::move(container);
    }

    gwtest::TempRoot root_;
    gwtest::LogCapture logs;
    plughost::Registry reg_;
    gw::ConnectionPtr server_;
    gw::ConnectionPtr client_;
    unsigned id_ = 0;
    std::string status_;
};

TEST_F(AppAgentService, IntrospectionCarriesEveryMethodWithItsSignatures)
{
    Reply r = call("Introspect", nullptr, "org.freedesktop.DBus.Introspectable");
    ASSERT_FALSE(r.error) << gw::error_text(r.error);
    const char *xml = nullptr;
    g_variant_get(r.value.get(), "(&s)", &xml);
    gw::ErrorPtr err;
    gw::NodeInfoPtr node(g_dbus_node_info_new_for_xml(xml, gw::ErrorOut(err)));
    ASSERT_TRUE(node) << gw::error_text(err);
    GDBusInterfaceInfo *iface = g_dbus_node_info_lookup_interface(node.get(), plughost::kServiceInterface);
    ASSERT_NE(iface, nullptr);
    const struct {
        const char *method, *in, *in_names, *out, *out_names;
    } expected[] = {
        {"Install", "s", "url", "i", "response"},
        {"Upgrade", "s", "url", "i", "response"},
        {"Uninstall", "s", "name", "i", "response"},
        {"Run", "s", "name", "i", "response"},
        {"InstQuery", "s", "name", "si", "response,percent"},
        {"GetStatus", "s", "name", "s", "response"},
        {"Reload", "s", "name", "i", "response"},
        {"Stop", "s", "name", "i", "response"},
        {"Restore", "s", "name", "i", "response"},
        {"PostMsg", "ss", "name,message", "s", "response"},
        {"List", "", "", "a{sv}", "response"},
        {"HandleKernelMod", "sbss", "pkgname,install,modname,modopts", "i", "response"},
    };
    auto sig = [](GDBusArgInfo **args, bool names) {
        std::string s;
        for (GDBusArgInfo **a = args; a && *a; ++a)
            s += names ? (s.empty() ? "" : ",") + std::string((*a)->name) : std::string((*a)->signature);
        return s;
    };
    size_t methods = 0;
    for (GDBusMethodInfo **m = iface->methods; m && *m; ++m)
        ++methods;
    EXPECT_EQ(methods, 12u);
    for (const auto &e : expected) {
        GDBusMethodInfo *m = g_dbus_interface_info_lookup_method(iface, e.method);
        ASSERT_NE(m, nullptr) << e.method;
        EXPECT_EQ(sig(m->in_args, false), e.in) << e.method;
        EXPECT_EQ(sig(m->in_args, true), e.in_names) << e.method;
        EXPECT_EQ(sig(m->out_args, false), e.out) << e.method;
        EXPECT_EQ(sig(m->out_args, true), e.out_names) << e.method;
    }
    for (const char *p : {"FlashThreshold", "FlashDuration", "YvLogLevel"}) {
        GDBusPropertyInfo *pi = g_dbus_interface_info_lookup_property(iface, p);
        ASSERT_NE(pi, nullptr) << p;
        EXPECT_STREQ(pi->signature, "u");
        EXPECT_EQ(pi->flags, G_DBUS_PROPERTY_INFO_FLAGS_READABLE | G_DBUS_PROPERTY_INFO_FLAGS_WRITABLE);
    }
}

TEST_F(AppAgentService, ListShowsLibrariesAndPluginsWithContainersInRegistryOrder)
{
    plugin("demo", "", std::make_unique<FakeContainer>(true, 4242));
    plugin("libq", "", nullptr);
    plugin("nocont", "", nullptr);
    plugin("vend", "needGwVendor: 1\n", std::make_unique<FakeContainer>(false, 0));
    EXPECT_EQ(answer("List", nullptr),
              "({'demo': <('demo_arm', '1.4', uint32 1, 4242)>, 'libq': <('libq_arm', '1.4')>, "
              "'vend': <('vend_arm', '1.4', uint32 0, -1)>},)");
    reg_.clear();
    EXPECT_EQ(answer("List", nullptr), "(@a{sv} {},)");
}

TEST_F(AppAgentService, GetStatusByInstalledKindAndContainer)
{
    plugin("run", "", std::make_unique<FakeContainer>(true, 7));
    plugin("stopped", "", std::make_unique<FakeContainer>(false, 0));
    plugin("libq", "", nullptr);
    plugin("bare", "", nullptr);
    plugin("gone", "", std::make_unique<FakeContainer>(true, 7), false);
    const std::pair<const char *, const char *> cases[] = {
        {"run", "('RUNNING',)"}, {"stopped", "('STOPPED',)"}, {"libq", "('RUNNING',)"}, {"bare", "('EAGAIN',)"},
        {"gone", "('EEXIST',)"}, {"libnone", "('EEXIST',)"},  {"../x", "('EEXIST',)"},
    };
    for (const auto &[name, want] : cases)
        EXPECT_EQ(answer("GetStatus", g_variant_new("(s)", name)), want) << name;
}

TEST_F(AppAgentService, InstQueryFollowsTheTaskOfItsPackageElseTheInstalledTest)
{
    plugin("libq", "", nullptr);
    EXPECT_EQ(answer("InstQuery", g_variant_new("(s)", "foo")), "('FAILED', 100)");
    EXPECT_EQ(answer("InstQuery", g_variant_new("(s)", "libq")), "('SUCCESS', 100)");
    const std::pair<int, const char *> states[] = {
        {plughost::kInstallIdle, "('FAILED', 100)"},
        {plughost::kInstallStarted, "('DOWNLOADING', 0)"},
        {plughost::kInstallDownloading, "('DOWNLOADING', 0)"},
        {plughost::kInstallDownloadFailed, "('DOWNLOADERROR', 0)"},
        {plughost::kInstalling, "('INSTALLING', 95)"},
        {plughost::kInstallSucceeded, "('SUCCESS', 100)"},
        {plughost::kInstallFailed, "('FAILED', 100)"},
    };
    for (const auto &[state, want] : states) {
        plughost::set_install_progress(state, "foo_1.0_arm.ipk");
        EXPECT_EQ(answer("InstQuery", g_variant_new("(s)", "foo")), want) << state;
    }
    plughost::set_install_progress(plughost::kInstalling, "foo_1.0_arm.ipk");
    EXPECT_EQ(answer("InstQuery", g_variant_new("(s)", "fo")), "('FAILED', 100)");
    plughost::set_install_progress(plughost::kInstalling, "libq_2_arm.ipk");
    EXPECT_EQ(answer("InstQuery", g_variant_new("(s)", "libq")), "('INSTALLING', 95)");
    EXPECT_EQ(answer("InstQuery", g_variant_new("(s)", "")), "('FAILED', 100)");
}

TEST_F(AppAgentService, FlashPropertiesStoreAndTheDeprecatedOneChangesNothing)
{
    auto get = [&](const char *p) {
        Reply r = call("Get", g_variant_new("(ss)", plughost::kServiceInterface, p), "org.freedesktop.DBus.Properties");
        EXPECT_FALSE(r.error) << p << ": " << gw::error_text(r.error);
        return printed(r.value);
    };
    auto set = [&](const char *p, uint32_t v) {
        Reply r = call("Set", g_variant_new("(ssv)", plughost::kServiceInterface, p, g_variant_new_uint32(v)),
                       "org.freedesktop.DBus.Properties");
        EXPECT_FALSE(r.error) << p << ": " << gw::error_text(r.error);
    };
    set("FlashThreshold", 0);
    set("FlashDuration", 0);
    EXPECT_EQ(get("FlashThreshold"), "(<uint32 0>,)");
    set("FlashThreshold", 70);
    set("FlashDuration", 24);
    EXPECT_EQ(get("FlashThreshold"), "(<uint32 70>,)");
    EXPECT_EQ(get("FlashDuration"), "(<uint32 24>,)");
    EXPECT_EQ(plughost::flash_threshold(), 70u);
    logs.clear();
    set("YvLogLevel", 7);
    EXPECT_EQ(get("YvLogLevel"), "(<uint32 0>,)");
    EXPECT_EQ(logs.count("This property has been deprecated!"), 2u);
    Reply bad =
        call("Get", g_variant_new("(ss)", plughost::kServiceInterface, "Nope"), "org.freedesktop.DBus.Properties");
    EXPECT_TRUE(bad.error);
}

// What the install pool's worker was given, in order.
std::mutex g_tasks_mu;
std::vector<std::string> g_tasks;
void record_task(const std::string &url, bool upgrade)
{
    std::lock_guard<std::mutex> l(g_tasks_mu);
    g_tasks.push_back(std::string(upgrade ? "upgrade " : "install ") + url);
}

TEST_F(AppAgentService, InstallAndUpgradeCheckTheUrlAndQueueInOrderWithoutWaiting)
{
    plughost::set_install_runner(record_task);
    const struct {
        const char *method, *url, *reply;
    } cases[] = {
        {"Install", "file:///tmp/x.ipk", "(-2,)"},
        {"Install", "", "(-2,)"},
        {"Upgrade", "tmp/x.ipk", "(-2,)"},
        {"Install", "httpx://h/x.ipk", "(-2,)"},
        {"Install", "/tmp/missing_1_arm.ipk", "(0,)"},
        {"Upgrade", "http://h/a_1_arm.ipk", "(0,)"},
        {"Install", "ftp://h/b_1_arm.ipk", "(0,)"},
        {"Upgrade", "https://h/c_1_arm.ipk", "(0,)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(answer(c.method, g_variant_new("(s)", c.url)), c.reply) << c.method << " " << c.url;
    const std::vector<std::string> expected = {"install /tmp/missing_1_arm.ipk", "upgrade http://h/a_1_arm.ipk",
                                               "install ftp://h/b_1_arm.ipk", "upgrade https://h/c_1_arm.ipk"};
    EXPECT_TRUE(gwtest::wait_until(
        [&] {
            std::lock_guard<std::mutex> l(g_tasks_mu);
            return g_tasks.size() >= expected.size();
        },
        std::chrono::milliseconds(5000)));
    {
        std::lock_guard<std::mutex> l(g_tasks_mu);
        EXPECT_EQ(g_tasks, expected);
    }
    EXPECT_TRUE(logs.contains("install url is invalid, file:///tmp/x.ipk"));
    EXPECT_TRUE(logs.contains("upgrade url is invalid, tmp/x.ipk"));
    plughost::set_install_runner(nullptr);
}

// A plug-in's management service on its own connection and thread: answers Stop, Restore and Reload
// with (i) 0 and PostMsg with "echo:<message>", and notes every call.
class FakePlugin {
public:
    explicit FakePlugin(const std::string &bus_name) : name_(bus_name)
    {
        thread_ = std::thread([this] { run(); });
        std::unique_lock<std::mutex> l(mu_);
        ready_cv_.wait_for(l, std::chrono::seconds(5), [this] { return ready_; });
    }
    ~FakePlugin()
    {
        g_main_loop_quit(loop_);
        thread_.join();
    }
    std::vector<std::string> calls()
    {
        std::lock_guard<std::mutex> l(mu_);
        return calls_;
    }

private:
    static void on_call(GDBusConnection *, const char *, const char *, const char *, const char *method,
                        GVariant *params, GDBusMethodInvocation *inv, gpointer self)
    {
        auto *p = static_cast<FakePlugin *>(self);
        std::lock_guard<std::mutex> l(p->mu_);
        p->calls_.push_back(method);
        if (std::strcmp(method, "PostMsg") == 0) {
            const char *m = nullptr;
            g_variant_get(params, "(&s)", &m);
            g_dbus_method_invocation_return_value(inv, g_variant_new("(s)", ("echo:" + std::string(m)).c_str()));
        } else {
            g_dbus_method_invocation_return_value(inv, g_variant_new("(i)", 0));
        }
    }

    void run()
    {
        gw::MainContextPtr ctx(g_main_context_new());
        g_main_context_push_thread_default(ctx.get());
        loop_ = g_main_loop_new(ctx.get(), FALSE);
        gw::ErrorPtr err;
        gw::ConnectionPtr conn(g_dbus_connection_new_for_address_sync(
            gwtest::PrivateBus::instance().address().c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, gw::ErrorOut(err)));
        const std::string xml = "<node><interface name='" + name_ +
                                ".management'><method name='Stop'><arg type='i' direction='out'/></method>"
                                "<method name='Restore'><arg type='i' direction='out'/></method>"
                                "<method name='Reload'><arg type='i' direction='out'/></method>"
                                "<method name='PostMsg'><arg type='s' direction='in'/>"
                                "<arg type='s' direction='out'/></method></interface></node>";
        gw::NodeInfoPtr node(g_dbus_node_info_new_for_xml(xml.c_str(), nullptr));
        static const GDBusInterfaceVTable vtable = {on_call, nullptr, nullptr, {nullptr}};
        std::string path = "/" + name_;  // "com.<vendor>.<name><n>": three parts
        std::replace(path.begin(), path.end(), '.', '/');
        unsigned id = conn ? g_dbus_connection_register_object(conn.get(), path.c_str(), node->interfaces[0], &vtable,
                                                               this, nullptr, nullptr)
                           : 0;
        gw::VariantPtr owned(conn ? g_dbus_connection_call_sync(conn.get(), "org.freedesktop.DBus",
                                                                "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                                                "RequestName", g_variant_new("(su)", name_.c_str(), 4u),
                                                                nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr)
                                  : nullptr);
        {
            std::lock_guard<std::mutex> l(mu_);
            ready_ = true;
        }
        ready_cv_.notify_all();
        if (id && owned)
            g_main_loop_run(loop_);
        if (id)
            g_dbus_connection_unregister_object(conn.get(), id);
        g_main_loop_unref(loop_);
        g_main_context_pop_thread_default(ctx.get());
    }

    std::string name_;
    std::thread thread_;
    GMainLoop *loop_ = nullptr;
    std::mutex mu_;
    std::condition_variable ready_cv_;
    bool ready_ = false;
    std::vector<std::string> calls_;
};

TEST_F(AppAgentService, LifecycleCallsAndPostMsgReachTheRunningPluginsManagementInterface)
{
    FakePlugin echo("com.acme.echo1");
    plugin("echo", "", std::make_unique<FakeContainer>(true, 4321));
    EXPECT_EQ(answer("Reload", g_variant_new("(s)", "echo")), "(0,)");
    EXPECT_EQ(answer("Restore", g_variant_new("(s)", "echo")), "(0,)");
    EXPECT_EQ(answer("PostMsg", g_variant_new("(ss)", "echo", "hello")), "('echo:hello',)");
    EXPECT_EQ(answer("Stop", g_variant_new("(s)", "echo")), "(0,)");
    EXPECT_EQ(echo.calls(), (std::vector<std::string>{"Reload", "Restore", "PostMsg", "Stop"}));
    EXPECT_TRUE(plughost::stop_marked("echo")) << "a stopped plug-in does not start at boot";
}

// Calls on what is not installed, a library, a stopped plug-in or one silent on the bus.
TEST_F(AppAgentService, CallsOnWhatCannotRunAnswerTheirCodesAndASilentPluginIsGivenUpOn)
{
    plugin("libz", "", nullptr);
    plugin("idle", "", std::make_unique<FakeContainer>(false, 0));
    plugin("mute", "", std::make_unique<FakeContainer>(true, 99));  // no service on the bus
    const struct {
        const char *method, *name, *reply;
    } cases[] = {
        {"Stop", "idle", "(-17,)"},        {"Run", "ghost", "(-13,)"},    {"Run", "libz", "(0,)"},
        {"Stop", "ghost", "(-13,)"},       {"Stop", "libz", "(0,)"},      {"Uninstall", "ghost", "(-13,)"},
        {"Uninstall", "../etc", "(-13,)"}, {"Reload", "ghost", "(-13,)"}, {"Restore", "libz", "(0,)"},
        {"Reload", "idle", "(-17,)"},      {"Reload", "mute", "(-20,)"},  {"Restore", "mute", "(-20,)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(answer(c.method, g_variant_new("(s)", c.name)), c.reply) << c.method << " " << c.name;
    EXPECT_TRUE(call("GetStatus", g_variant_new("(i)", 1)).error) << "a bad signature is an error";
    const struct {
        const char *name, *log;
    } posts[] = {
        {"ghost", nullptr},
        {"libz", "library plugin, can not PostMsg"},
        {"idle", "plugin idle is not running."},
        {"mute", "call PostMsg error : no answer, try 5 times."},
    };
    for (const auto &p : posts) {
        EXPECT_EQ(answer("PostMsg", g_variant_new("(ss)", p.name, "m")), "('',)") << p.name;
        if (p.log) {
            EXPECT_TRUE(logs.contains(p.log)) << p.log;
        }
    }
    EXPECT_EQ(logs.count("call PostMsg error : no answer, try"), 5u);
}

TEST_F(AppAgentService, KernelModulesOnlyByDeclaredNameAndOptionsWithoutShellText)
{
    const std::string tool = gwtest::build_dir() + "/tests/plughost/fake_modtool";
    plughost::plughost_set_module_programs(tool.c_str(), tool.c_str());
    const std::string log = root_.path("/modtool.log");
    setenv("FAKE_MODTOOL_LOG", log.c_str(), 1);
    plugin("drv", "KernelModules: m1 m2\n", std::make_unique<FakeContainer>(true, 5));
    g_mkdir_with_parents(root_.path("/opt/apps/drv/data").c_str(), 0755);
    const struct {
        const char *package, *module, *options, *reply;
        bool load;
    } cases[] = {
        {"drv", "m1;reboot", "", "(-11,)", true},
        {"drv", "m1", "x=$(reboot)", "(-1,)", true},
        {"drv", "m1", "a=1`id`", "(-1,)", true},
        {"drv;rm", "m1", "", "(-1,)", true},
        {"ghost", "m1", "", "(-13,)", true},
        {"drv", "m3", "", "(-11,)", true},
        {"drv", "m2", "debug=1 mode=a,b", "(0,)", true},
        {"drv", "m2", "", "(0,)", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(answer("HandleKernelMod", g_variant_new("(sbss)", c.package, c.load, c.module, c.options)), c.reply)
            << c.package << " " << c.module << " " << c.options;
    // Only the two accepted calls reached the module tool, each option its own argument.
    EXPECT_EQ(root_.read("/modtool.log"), root_.path("/opt/apps/drv/files/m2") + " debug=1 mode=a,b\nm2\n");
    unsetenv("FAKE_MODTOOL_LOG");
    plughost::plughost_set_module_programs(nullptr, nullptr);
}

}  // namespace
