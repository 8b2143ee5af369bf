// The hardware self-test: CHECK_HARDWARE_START asks the configuration service to run it, its result comes
// once as the CheckHardwareStatus signal, and CHECK_HARDWARE_STATUS answers from what arrived.
//
// The signal handler runs on the library's bus thread and the commands on the main thread: the state is
// behind one mutex.
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "commands/cmd_check_hardware.h"
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "platform/conn.h"

namespace {

constexpr char kSysPath[] = "/com/yvc/igd1/Orvane/System";
constexpr char kSysIface[] = "com.yvc.igd1.SysCmd";
constexpr char kSignal[] = "CheckHardwareStatus";
// A result is forgotten this long after it arrived.
constexpr uint32_t kResultLifeS = 900;
constexpr size_t kMaxLanResults = 32;

enum State { kNotStarted = 0, kTesting = 1, kFinished = 2, kFailed = 3 };

// The five fixed results, then the LAN port results (any number of "LAN..." keys), in the order the
// names are looked for.
constexpr const char *kNames[] = {"CPUStatus", "WIFIStatus", "LSWStatus", "CodecStatus", "OpticStatus", "LAN"};
constexpr size_t kFixed = 5;

struct HwCheck {
    int state = kNotStarted;
    uint32_t at = 0;
    char fixed[kFixed][8] = {};
    std::vector<std::pair<std::string, std::string>> lans;
    uint32_t error = 0;
    std::string error_text;
    long subscription = 0;
};

std::mutex g_mu;
HwCheck g_check;

void unsubscribe_locked()
{
    if (g_check.subscription > 0)
        h_dbus_UnSubscribeSignal(static_cast<unsigned>(g_check.subscription));
    g_check.subscription = 0;
}

// Keeps one result: each entry is matched by prefix against the names, from the last match on and
// wrapping around.
void store_results(GVariant *dict, HwCheck &c)
{
    GVariantIter it;
    g_variant_iter_init(&it, dict);
    const char *key = nullptr;
    GVariant *raw = nullptr;
    size_t from = 0;
    int index = 0;
    while (g_variant_iter_next(&it, "{&sv}", &key, &raw)) {
        gw::VariantPtr value(raw);
        const char *text =
            g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING) ? g_variant_get_string(value.get(), nullptr) : "";
        size_t match = std::size(kNames);
        for (size_t k = 0; k < std::size(kNames); ++k) {
            const size_t n = (from + k) % std::size(kNames);
            if (std::strncmp(key, kNames[n], std::strlen(kNames[n])) == 0) {
                match = n;
                break;
            }
        }
        if (match == std::size(kNames)) {
            GWLOG(LOG_LVL_WARN, "%d key string is not match key [%s].", index, key);
        } else if (match < kFixed) {
            copy_truncated_utf8(c.fixed[match], text);
            from = match;
        } else {
            if (c.lans.size() < kMaxLanResults) {
                char name[16], val[8];
                copy_truncated_utf8(name, key);
                copy_truncated_utf8(val, text);
                c.lans.emplace_back(name, val);
            }
            from = match;
        }
        ++index;
    }
}

}  // namespace

extern "C" void scb_CheckHardwareStatus(const char *, const char *, const char *, const char *, GVariant *parameters,
                                        void *)
{
    std::lock_guard<std::mutex> lock(g_mu);
    const long subscription = g_check.subscription;
    g_check = HwCheck{};
    g_check.subscription = subscription;
    g_check.at = gwagent_now();
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(a{sv}us)"))) {
        GWLOG(LOG_LVL_WARN, "CheckHardwareStatus has parameters of type %s.",
              parameters ? g_variant_get_type_string(parameters) : "none");
        g_check.state = kFailed;
    } else {
        gw::VariantPtr dict(g_variant_get_child_value(parameters, 0));
        const char *text = nullptr;
        g_variant_get_child(parameters, 1, "u", &g_check.error);
        g_variant_get_child(parameters, 2, "&s", &text);
        if (g_check.error == 0) {
            g_check.state = kFinished;
            store_results(dict.get(), g_check);
        } else {
            g_check.state = kFailed;
            if (text && *text)
                g_check.error_text = text;
            GWLOG(LOG_LVL_NOTICE, "CheckHardwareStatus : %u, %s", g_check.error, text ? text : "");
        }
    }
    // One result per check.
    unsubscribe_locked();
}

extern "C" int cmd_CHECK_HARDWARE_START(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    std::unique_lock<std::mutex> lock(g_mu);
    if (g_check.state == kTesting) {
        GWLOG(LOG_LVL_NOTICE, "Check HardwareStatus testing.");
        return r.ok();
    }
    g_check.state = kTesting;
    // The result may only be taken once the service has started the check; subscribing first would let
    // a signal of an earlier check in. The handler waits for the lock meanwhile.
    int status = 0;
    char *raw = nullptr;
    const int rc = mth_CheckHardwareStart(&status, &raw);
    gw::GCharPtr errmsg(raw);
    if (rc != 0 || status != 0) {
        g_check.state = kNotStarted;
        lock.unlock();
        return r.method_result("mth_CheckHardwareStart", rc, status, errmsg.get());
    }
    unsubscribe_locked();
    g_check.subscription =
        h_dbus_SubscribeSignal(nullptr, kSysPath, kSysIface, kSignal, scb_CheckHardwareStatus, nullptr);
    if (g_check.subscription <= 0) {
        GWLOG(LOG_LVL_WARN, "suabscribe CheckHardwareStatus signal failed.");
        g_check.subscription = 0;
        g_check.state = kNotStarted;
        lock.unlock();
        return r.fail("ERR_CHECK_TESTING");
    }
    lock.unlock();
    return r.ok();
}

extern "C" int cmd_CHECK_HARDWARE_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    std::unique_lock<std::mutex> lock(g_mu);
    const uint32_t now = gwagent_now();
    if (g_check.state == kNotStarted || (g_check.state != kTesting && now - g_check.at > kResultLifeS)) {
        g_check.state = kNotStarted;
        lock.unlock();
        GWLOG(LOG_LVL_NOTICE, "hardware check not start.");
        return r.fail("ERR_CHECK_NO_TEST");
    }
    if (g_check.state == kTesting) {
        lock.unlock();
        return r.fail("ERR_CHECK_TESTING");
    }
    if (g_check.state == kFailed) {
        const std::string text = g_check.error_text;
        const uint32_t code = g_check.error;
        lock.unlock();
        if (text.empty())
            return r.fail("ERR_CHECK_ERROR");
        GWLOG(LOG_LVL_WARN, "hardware check failed : %u, %s.", code, text.c_str());
        return r.fail(text.c_str());
    }
    const HwCheck c = g_check;
    lock.unlock();
    gwagent::JsonPtr answer = r.head();
    bool built = static_cast<bool>(answer);
    for (size_t i = 0; built && i < kFixed; ++i)
        built = json_object_set_new(answer.get(), kNames[i], json_string(c.fixed[i])) == 0;
    built =
        built && json_object_set_new(answer.get(), "LANNum", json_integer(static_cast<json_int_t>(c.lans.size()))) == 0;
    for (const auto &[name, value] : c.lans)
        if (built && !name.empty())
            built = json_object_set_new(answer.get(), name.c_str(), json_string(value.c_str())) == 0;
    return built ? r.answer(answer.get()) : r.fail("create_json_fail");
}

namespace gwagent {

void check_hardware_reset()
{
    std::lock_guard<std::mutex> lock(g_mu);
    unsubscribe_locked();
    g_check = HwCheck{};
}

}  // namespace gwagent
