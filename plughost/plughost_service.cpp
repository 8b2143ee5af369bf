#include "plughost_service.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "plughost_container.h"
#include "plughost_flash.h"
#include "plughost_install.h"

namespace plughost {

namespace {

// ---- install progress ------------------------------------------------------------------------------

std::mutex g_progress_mu;
int g_install_state = kInstallIdle;
std::string g_package_file;

struct Progress {
    int state;
    std::string package_file;
};

Progress progress()
{
    std::lock_guard<std::mutex> l(g_progress_mu);
    return {g_install_state, g_package_file};
}

// ---- install queue ---------------------------------------------------------------------------------

void no_pipeline(const std::string &url, bool)
{
    GWLOG(LOG_LVL_ERR, "no install pipeline for %s", url.c_str());
    set_install_progress(kInstallFailed, url.substr(url.rfind('/') + 1));
}

std::atomic<InstallRunner> g_runner{no_pipeline};
std::mutex g_pool_mu;
GThreadPool *g_pool = nullptr;

struct InstallTask {
    std::string url;
    bool upgrade;
};

void run_install_task(gpointer data, gpointer)
{
    std::unique_ptr<InstallTask> task(static_cast<InstallTask *>(data));
    g_runner.load()(task->url, task->upgrade);
}

bool queue_install(const std::string &url, bool upgrade)
{
    if (!install_pool_init())
        return false;
    auto task = std::make_unique<InstallTask>(InstallTask{url, upgrade});
    gw::ErrorPtr err;
    std::lock_guard<std::mutex> l(g_pool_mu);
    if (!g_thread_pool_push(g_pool, task.get(), gw::ErrorOut(err))) {
        GWLOG(LOG_LVL_ERR, "install task not queued: %s", gw::error_text(err));
        return false;
    }
    task.release();  // the worker owns it now
    return true;
}

// ---- properties ------------------------------------------------------------------------------------

std::atomic<uint32_t> g_flash_threshold{0};
std::atomic<uint32_t> g_flash_duration{0};

struct PropertyRow {
    const char *name;
    std::atomic<uint32_t> *value;  // null: deprecated, reads 0 and ignores writes
};

const PropertyRow kProperties[] = {
    {"FlashThreshold", &g_flash_threshold},
    {"FlashDuration", &g_flash_duration},
    {"YvLogLevel", nullptr},
};

// ---- method table ----------------------------------------------------------------------------------

// One incoming call: its arguments, its registry and its single reply.
class Call {
public:
    Call(const char *method, GVariant *params, GDBusMethodInvocation *inv, Registry &reg)
        : method(method), params(params), reg(reg), inv_(inv)
    {
    }
    ~Call()
    {
        if (inv_)  // a handler that forgot to answer still answers
            fail_unsupported();
    }
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

    void reply(GVariant *value, int code)
    {
        GWLOG(LOG_LVL_DEBUG, "plugin <<%s<< request, ret = %d", method, code);
        g_dbus_method_invocation_return_value(std::exchange(inv_, nullptr), value);
    }
    void fail_unsupported()
    {
        GWLOG(LOG_LVL_DEBUG, "plugin <<%s<< request, ret = %d", method, -1);
        g_dbus_method_invocation_return_error(std::exchange(inv_, nullptr), G_DBUS_ERROR, G_DBUS_ERROR_NOT_SUPPORTED,
                                              "%s is not available", method);
    }
    std::string arg_string(size_t i) const
    {
        gw::VariantPtr v(g_variant_get_child_value(params, i));
        return g_variant_get_string(v.get(), nullptr);
    }

    const char *method;
    GVariant *params;
    Registry &reg;

private:
    GDBusMethodInvocation *inv_;
};

void on_Install(Call &c);
void on_InstQuery(Call &c);
void on_GetStatus(Call &c);
void on_List(Call &c);
void on_Run(Call &c);
void on_Forward(Call &c);
void on_PostMsg(Call &c);
void on_HandleKernelMod(Call &c);
void on_Uninstall(Call &c);

struct MethodRow {
    const char *name;
    const char *in;  // "type name" pairs separated by ","
    const char *out;
    void (*handler)(Call &);  // null: answered as not supported until its pipeline exists
};

const MethodRow kMethods[] = {
    {"Install", "s url", "i response", on_Install},
    {"Upgrade", "s url", "i response", on_Install},
    {"Uninstall", "s name", "i response", on_Uninstall},
    {"Run", "s name", "i response", on_Run},
    {"InstQuery", "s name", "s response,i percent", on_InstQuery},
    {"GetStatus", "s name", "s response", on_GetStatus},
    {"Reload", "s name", "i response", on_Forward},
    {"Stop", "s name", "i response", on_Forward},
    {"Restore", "s name", "i response", on_Forward},
    {"PostMsg", "s name,s message", "s response", on_PostMsg},
    {"List", "", "a{sv} response", on_List},
    {"HandleKernelMod", "s pkgname,b install,s modname,s modopts", "i response", on_HandleKernelMod},
};

void append_args(std::string &xml, const char *spec, const char *direction)
{
    gw::StrvPtr args(g_strsplit(spec, ",", -1));
    for (char **a = args.get(); *a; ++a) {
        if (!**a)
            continue;
        const char *sp = strrchr(*a, ' ');
        xml += "      <arg type=\"" + std::string(*a, static_cast<size_t>(sp - *a)) + "\" name=\"" + (sp + 1) +
               "\" direction=\"" + direction + "\"/>\n";
    }
}

// ---- handlers --------------------------------------------------------------------------------------

// Absolute paths and the three download schemes; anything else never reaches the pipeline.
bool valid_install_url(const std::string &url)
{
    for (const char *prefix : {"/", "http://", "ftp://", "https://"})
        if (url.compare(0, strlen(prefix), prefix) == 0)
            return true;
    return false;
}

void on_Install(Call &c)
{
    const std::string url = c.arg_string(0);
    const bool upgrade = strcmp(c.method, "Upgrade") == 0;
    GWLOG(LOG_LVL_NOTICE, "plugin %s url : %s", upgrade ? "Upgrade" : "install", url.c_str());
    if (!valid_install_url(url)) {
        GWLOG(LOG_LVL_ERR, "%s url is invalid, %s", upgrade ? "upgrade" : "install", url.c_str());
        c.reply(g_variant_new("(i)", -2), -2);
        return;
    }
    const int code = queue_install(url, upgrade) ? 0 : -1;
    c.reply(g_variant_new("(i)", code), code);
}

void on_InstQuery(Call &c)
{
    const std::string name = c.arg_string(0);
    Progress p = progress();
    const char *word = nullptr;
    int percent = 100;
    if (!name.empty() && p.package_file.compare(0, name.size(), name) == 0 && p.package_file.size() > name.size() &&
        p.package_file[name.size()] == '_') {
        switch (p.state) {
        case kInstallStarted:
        case kInstallDownloading:
            word = "DOWNLOADING";
            percent = 0;
            break;
        case kInstallDownloadFailed:
            word = "DOWNLOADERROR";
            percent = 0;
            break;
        case kInstalling:
            word = "INSTALLING";
            percent = 95;
            break;
        case kInstallSucceeded:
            word = "SUCCESS";
            break;
        default:
            word = "FAILED";
            break;
        }
    } else {
        word = c.reg.installed(name) ? "SUCCESS" : "FAILED";
    }
    c.reply(g_variant_new("(si)", word, percent), 0);
}

void on_GetStatus(Call &c)
{
    const std::string name = c.arg_string(0);
    std::string state;
    if (!c.reg.installed(name)) {
        state = "EEXIST";
    } else if (is_library(name)) {
        state = "RUNNING";
    } else {
        Registry::Lock l = c.reg.lock();
        const PluginRecord *rec = c.reg.find(name);
        state = rec && rec->container ? rec->container->state() : "EAGAIN";
    }
    c.reply(g_variant_new("(s)", state.c_str()), 0);
}

// The gateway's vendor, for display names that carry it; empty when it cannot be read.
std::string gateway_vendor()
{
    GVariant *raw = nullptr;
    if (g_hgu_GetProperty("com.yvc.igd1", "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "Vendor", &raw) != 0)
        return {};
    gw::VariantPtr v(raw);
    if (!v || !g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING))
        return {};
    return g_variant_get_string(v.get(), nullptr);
}

struct ListRow {
    std::string name, package, arch, version;
    bool library, with_vendor, running;
    int pid;
};

void on_List(Call &c)
{
    // Copied out under the lock, so the vendor is read from the gateway without holding it.
    std::vector<ListRow> rows;
    {
        Registry::Lock l = c.reg.lock();
        for (const PluginRecord *rec : c.reg.records()) {
            if (!rec->control || rec->name().empty())
                continue;
            const CtrlInfo &ci = *rec->control;
            const bool library = is_library(ci.Package);
            if (!library && !rec->container)
                continue;
            rows.push_back({ci.Package, ci.Package, ci.Architecture, ci.Version, library, ci.needGwVendor != 0,
                            !library && rec->container->running(), library ? 0 : rec->container->init_pid()});
        }
    }
    bool vendor_read = false;
    std::string vendor;
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    for (const ListRow &r : rows) {
        std::string display = r.package + "_" + r.arch;
        if (r.with_vendor) {
            if (!vendor_read) {
                vendor = gateway_vendor();
                vendor_read = true;
            }
            if (!vendor.empty())
                display += "_" + vendor;
        }
        GVariant *value = r.library
                              ? g_variant_new("(ss)", display.c_str(), r.version.c_str())
                              : g_variant_new("(ssui)", display.c_str(), r.version.c_str(), r.running ? 1u : 0u, r.pid);
        g_variant_builder_add(&b, "{sv}", r.name.c_str(), value);
    }
    c.reply(g_variant_new("(a{sv})", &b), 0);
}

constexpr int kNotRunning = -17;
constexpr int kNoVendor = -19;
constexpr int kNoRecordForInstalled = -1002;
constexpr int kNoAnswer = -20;
constexpr int kModuleNotDeclared = -11;
constexpr int kStopTries = 5;
constexpr int kPostTries = 5;
constexpr unsigned kStopRetryMicros = 400 * 1000;

void reply_code(Call &c, int code)
{
    write_zep_log("plugin %s, ret = %d", c.method, code);
    c.reply(g_variant_new("(i)", code), code);
}

// Runs in the bus thread. While an install task runs it is refused rather than waited for: a task may
// take minutes (download) and the host must keep answering meanwhile.
void on_Uninstall(Call &c)
{
    const std::string name = c.arg_string(0);
    std::unique_lock<std::mutex> task = try_install_task_lock();
    if (!task.owns_lock()) {
        GWLOG(LOG_LVL_WARN, "uninstall %s refused: an install task is running", name.c_str());
        reply_code(c, -1);
        return;
    }
    reply_code(c, plughost_uninstall(name, c.reg));
}

void on_Run(Call &c)
{
    const std::string name = c.arg_string(0);
    write_zep_log("Run %s", name.c_str());
    if (is_library(name)) {
        GWLOG(LOG_LVL_DEBUG, "library plugin, need not run");
        reply_code(c, 0);
        return;
    }
    reply_code(c, plughost_start_plugin(name, c.reg));
}

// The plug-in's management object: bus name, "/<a>/<b>/<c>" of its first three parts, "<name>.management".
struct Management {
    std::string bus_name, path, iface;
};

bool management_of(const CtrlInfo &info, Management &out)
{
    out.bus_name = plughost_bus_name(info);
    if (out.bus_name.empty())
        return false;
    gw::StrvPtr parts(g_strsplit(out.bus_name.c_str(), ".", 4));
    out.path.clear();
    for (int i = 0; i < 3 && parts.get()[i]; ++i)
        out.path += "/" + std::string(parts.get()[i]).substr(0, 63);
    out.iface = out.bus_name + ".management";
    return g_variant_is_object_path(out.path.c_str());
}

// Texts of the refusals before a call reaches a plug-in: the lifecycle methods reply a code, PostMsg
// replies the empty string and logs its own words.
struct RefusalTexts {
    const char *no_record, *not_running, *no_vendor, *no_bus_name;
};
constexpr RefusalTexts kLifecycleTexts = {"failed to get plugin %s info.", "plugin %s is not running.",
                                          "plugin %s info invalid, missing vendor.",
                                          "handle %s, failed to get dbus name"};
constexpr RefusalTexts kPostTexts = {"PostMsg error, failed to get info of plugin %s", "plugin %s is not running.",
                                     "PostMsg error, plugin invalid (missing vendor or dbus_version)",
                                     "PostMsg error, failed to get dbus name"};

// A refusal text with the plug-in's name in place of its "%s".
std::string with_name(const char *text, const std::string &name)
{
    std::string out = text;
    const size_t at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, name);
    return out;
}

// The installed plug-in's management object, or the refusal's code (0 when there is a target).
int forward_target(Call &c, const std::string &name, const RefusalTexts &t, Management &m)
{
    Registry::Lock l = c.reg.lock();
    const PluginRecord *rec = c.reg.find(name);
    if (!rec) {
        GWLOG(LOG_LVL_WARN, "%s", with_name(t.no_record, name).c_str());
        return kNoRecordForInstalled;
    }
    if (!rec->container || !rec->container->running()) {
        GWLOG(LOG_LVL_WARN, "%s", with_name(t.not_running, name).c_str());
        return kNotRunning;
    }
    if (!rec->control || rec->control->Vendor.empty()) {
        GWLOG(LOG_LVL_WARN, "%s", with_name(t.no_vendor, name).c_str());
        return kNoVendor;
    }
    if (!management_of(*rec->control, m)) {
        GWLOG(LOG_LVL_WARN, "%s", with_name(t.no_bus_name, name).c_str());
        return -1;
    }
    return 0;
}

// Stop, Restore and Reload: the same-named call on the plug-in. Stop retries and stops the container
// whatever the plug-in answers; Restore and Reload try once.
void on_Forward(Call &c)
{
    const std::string name = c.arg_string(0);
    write_zep_log("%s %s", c.method, name.c_str());
    const bool stop = strcmp(c.method, "Stop") == 0;
    if (!c.reg.installed(name)) {
        reply_code(c, kStartNotInstalled);
        return;
    }
    if (is_library(name)) {
        write_zep_log("plugin %s, ret = %d", c.method, -12);
        c.reply(g_variant_new("(i)", 0), 0);
        return;
    }
    Management m;
    if (int refused = forward_target(c, name, kLifecycleTexts, m)) {
        reply_code(c, refused);
        return;
    }
    const int tries = stop ? kStopTries : 1;
    bool answered = false;
    for (int i = 0; i < tries && !answered; ++i) {
        GVariant *raw = nullptr;
        answered =
            g_hgu_CallMethod(m.bus_name.c_str(), m.path.c_str(), m.iface.c_str(), c.method, nullptr, &raw, -1) == 0;
        gw::VariantPtr answer(raw);  // the plug-in's own code is not passed on
        if (!answered && i + 1 < tries)
            g_usleep(kStopRetryMicros);
    }
    if (stop) {
        plughost_stop_plugin(name, c.reg);
        reply_code(c, 0);
        return;
    }
    if (!answered)
        GWLOG(LOG_LVL_ERR, "request plguin %s error : %s", name.c_str(), "no answer on its management interface");
    reply_code(c, answered ? 0 : kNoAnswer);
}

void on_PostMsg(Call &c)
{
    const std::string name = c.arg_string(0);
    const std::string message = c.arg_string(1);
    write_zep_log("PostMsg %s", name.c_str());
    auto refuse = [&c](int code) {
        write_zep_log("plugin %s, ret = %d", c.method, code);
        c.reply(g_variant_new("(s)", ""), code);
    };
    if (!c.reg.installed(name)) {
        refuse(kStartNotInstalled);
        return;
    }
    if (is_library(name)) {
        GWLOG(LOG_LVL_WARN, "library plugin, can not PostMsg");
        refuse(-12);
        return;
    }
    Management m;
    if (int refused = forward_target(c, name, kPostTexts, m)) {
        refuse(refused);
        return;
    }
    for (int i = 1; i <= kPostTries; ++i) {
        GVariant *raw = nullptr;
        if (g_hgu_CallMethod(m.bus_name.c_str(), m.path.c_str(), m.iface.c_str(), "PostMsg",
                             g_variant_new("(s)", message.c_str()), &raw, -1) == 0) {
            gw::VariantPtr answer(raw);
            const char *text = "";
            if (answer && g_variant_is_of_type(answer.get(), G_VARIANT_TYPE("(s)")))
                g_variant_get(answer.get(), "(&s)", &text);
            else
                GWLOG(LOG_LVL_WARN, "PostMsg answer of %s is not a string", name.c_str());
            write_zep_log("plugin %s, ret = %d", c.method, 0);
            c.reply(g_variant_new("(s)", text), 0);
            return;
        }
        GWLOG(LOG_LVL_WARN, "call PostMsg error : %s, try %d times.", "no answer", i);
        if (i < kPostTries)
            g_usleep(kStopRetryMicros);
    }
    refuse(-1);
}

// Module options reach insmod as separate arguments; only the characters module parameters use pass.
bool valid_module_options(const std::string &options)
{
    for (unsigned char ch : options)
        if (!g_ascii_isalnum(ch) && !strchr("_.,:=+- \t", ch))
            return false;
    return true;
}

void on_HandleKernelMod(Call &c)
{
    const std::string package = c.arg_string(0);
    gw::VariantPtr load_v(g_variant_get_child_value(c.params, 1));
    const bool load = g_variant_get_boolean(load_v.get());
    const std::string module = c.arg_string(2);
    const std::string options = c.arg_string(3);
    if (package.empty() || module.empty()) {
        reply_code(c, -1);
        return;
    }
    write_zep_log("%s HandleKernelMod %s", package.c_str(), module.c_str());
    if (!valid_package_name(package) || !valid_module_options(options)) {
        GWLOG(LOG_LVL_ERR, "HandleKernelMod of %s refused: bad package name or module options", module.c_str());
        reply_code(c, -1);
        return;
    }
    if (!c.reg.installed(package)) {
        reply_code(c, kStartNotInstalled);
        return;
    }
    // Only a module the package declares, by exact name; the list's items passed its pattern.
    const std::string control_path = gw::RootPath("/usr/lib/opkg/info/" + package + ".control");
    bool declared = false;
    for (const std::string &m : plughost_read_ctrl_list(control_path.c_str(), ListKey::KernelModules).items)
        declared = declared || m == module;
    if (!declared) {
        GWLOG(LOG_LVL_ERR, "kernel module %s is not declared by %s", module.c_str(), package.c_str());
        reply_code(c, kModuleNotDeclared);
        return;
    }
    std::string container_path;
    {
        Registry::Lock l = c.reg.lock();
        if (const PluginRecord *rec = c.reg.find(package))
            container_path = rec->container_path;
    }
    if (container_path.empty()) {
        GWLOG(LOG_LVL_ERR, "failed to get app info %s", package.c_str());
        reply_code(c, kNoRecordForInstalled);
        return;
    }
    reply_code(c, plughost_kernel_module(module, options, load, container_path));
}

// ---- GDBus vtable ----------------------------------------------------------------------------------

void method_call(GDBusConnection *, const char *, const char *, const char *, const char *method, GVariant *params,
                 GDBusMethodInvocation *inv, gpointer user)
{
    GWLOG(LOG_LVL_DEBUG, "plugin >>%s>> request", method);
    Call call(method, params, inv, *static_cast<Registry *>(user));
    for (const MethodRow &row : kMethods) {
        if (strcmp(row.name, method) == 0) {
            if (row.handler)
                row.handler(call);
            return;
        }
    }
}

const PropertyRow *find_property(const char *name)
{
    for (const PropertyRow &p : kProperties)
        if (strcmp(p.name, name) == 0)
            return &p;
    return nullptr;
}

GVariant *get_property(GDBusConnection *, const char *, const char *, const char *, const char *name, GError **error,
                       gpointer)
{
    const PropertyRow *p = find_property(name);
    if (!p) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_FAILED, "Unrecognized property %s", name);
        return nullptr;
    }
    if (!p->value) {
        GWLOG(LOG_LVL_ERR, "This property has been deprecated!");
        return g_variant_new_uint32(0);
    }
    return g_variant_new_uint32(p->value->load());
}

gboolean set_property(GDBusConnection *, const char *, const char *, const char *, const char *name, GVariant *value,
                      GError **error, gpointer reg)
{
    const PropertyRow *p = find_property(name);
    if (!p) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_FAILED, "Unrecognized property %s", name);
        return FALSE;
    }
    if (!p->value) {
        GWLOG(LOG_LVL_ERR, "This property has been deprecated!");
        return TRUE;
    }
    GWLOG(LOG_LVL_NOTICE, "dbus set %s", name);
    p->value->store(g_variant_get_uint32(value));
    if (g_flash_threshold.load() || g_flash_duration.load())
        start_flash_monitors(*static_cast<Registry *>(reg));
    return TRUE;
}

const GDBusInterfaceVTable kVTable = {method_call, get_property, set_property, {nullptr}};

}  // namespace

void set_install_progress(int state, const std::string &package_file)
{
    std::lock_guard<std::mutex> l(g_progress_mu);
    g_install_state = state;
    g_package_file = package_file.substr(0, 63);
}

void set_install_state(int state)
{
    std::lock_guard<std::mutex> l(g_progress_mu);
    g_install_state = state;
}

bool install_pool_init()
{
    std::lock_guard<std::mutex> l(g_pool_mu);
    if (g_pool)
        return true;
    gw::ErrorPtr err;
    // One worker, shared: tasks run one at a time, in queue order.
    g_pool = g_thread_pool_new(run_install_task, nullptr, 1, FALSE, gw::ErrorOut(err));
    if (!g_pool)
        GWLOG(LOG_LVL_ERR, "install pool not created: %s", gw::error_text(err));
    return g_pool != nullptr;
}

void set_install_runner(InstallRunner runner) { g_runner.store(runner ? runner : no_pipeline); }

uint32_t flash_threshold() { return g_flash_threshold.load(); }
uint32_t flash_duration() { return g_flash_duration.load(); }

std::string service_introspection_xml()
{
    std::string xml = "<node>\n  <interface name=\"" + std::string(kServiceInterface) + "\">\n";
    for (const MethodRow &m : kMethods) {
        xml += "    <method name=\"" + std::string(m.name) + "\">\n";
        append_args(xml, m.in, "in");
        append_args(xml, m.out, "out");
        xml += "    </method>\n";
    }
    for (const PropertyRow &p : kProperties)
        xml += "    <property type=\"u\" name=\"" + std::string(p.name) + "\" access=\"readwrite\"/>\n";
    xml += "  </interface>\n</node>\n";
    return xml;
}

unsigned service_register(GDBusConnection *connection, Registry &reg)
{
    static gw::NodeInfoPtr node;
    static std::once_flag parsed;
    std::call_once(parsed, [] {
        gw::ErrorPtr err;
        node.reset(g_dbus_node_info_new_for_xml(service_introspection_xml().c_str(), gw::ErrorOut(err)));
        if (!node)
            GWLOG(LOG_LVL_ERR, "dbus node info is null. %s", gw::error_text(err));
    });
    if (!node || !connection)
        return 0;
    gw::ErrorPtr err;
    unsigned id = g_dbus_connection_register_object(connection, kServicePath, node->interfaces[0], &kVTable, &reg,
                                                    nullptr, gw::ErrorOut(err));
    if (!id)
        GWLOG(LOG_LVL_ERR, "register appframework failed. %s", gw::error_text(err));
    return id;
}

}  // namespace plughost
