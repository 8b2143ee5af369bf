// One platform command through the agent's dispatch entry (envelope, table lookup, handler, one
// property read from the configuration service, answer formatting and queueing) beside the bare
// property read it rests on: the ratio is what the command layer adds to one bus round trip.
// Runs on its own dbus-daemon with the configuration simulator; never on the machine's buses.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include <gio/gio.h>

#include "bench_support.hpp"
#include "core/agent.h"
#include "core/dev_info.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "platform/records.h"

namespace {

constexpr const char *kCommand = R"({"CmdType":"GET_ONT_NAME","SequenceId":"00000001"})";
constexpr const char *kDevicePath = "/com/yvc/igd1/Info/Device";

// The read GET_ONT_NAME makes, written out with GDBus.
bool raw_get(GDBusConnection *conn)
{
    gw::VariantPtr r(g_dbus_connection_call_sync(conn, "com.yvc.igd1", kDevicePath, "com.yvc.igd1.Properties", "Get",
                                                 g_variant_new("(ss)", "com.yvc.igd1.DeviceInfo", "DevName"),
                                                 G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr,
                                                 nullptr));
    return r != nullptr;
}

// Dispatches once and takes the answer off the plugin queue, as the sender would.
bool dispatch_once(json_t *msg)
{
    const int rc = gwbench::dispatch(msg);
    return rc == 0 && gwbench::drain_plugin_queue().size() == 1;
}

struct Setup {
    gw::ConnectionPtr conn;
    gwagent::JsonPtr msg;
};
Setup *g_setup = nullptr;

// The last complete run of the paired benchmark, printed as the ratio line at the end.
struct Pair {
    double dispatch_us = 0;
    double raw_us = 0;
};
Pair g_pair;

void BM_DispatchGetOntName(benchmark::State &state)
{
    for (auto _ : state) {
        if (!dispatch_once(g_setup->msg.get())) {
            state.SkipWithError("dispatch gave no answer");
            break;
        }
    }
}

void BM_RawPropertyGet(benchmark::State &state)
{
    for (auto _ : state) {
        if (!raw_get(g_setup->conn.get())) {
            state.SkipWithError("property read failed");
            break;
        }
    }
}

// Both in turn within one run, so that the ratio compares like with like (same bus load, same moment).
void BM_DispatchToRawRatio(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    Clock::duration dispatch{}, raw{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool ok_dispatch = dispatch_once(g_setup->msg.get());
        const auto t1 = Clock::now();
        const bool ok_raw = raw_get(g_setup->conn.get());
        const auto t2 = Clock::now();
        if (!ok_dispatch || !ok_raw) {
            state.SkipWithError("dispatch or property read failed");
            break;
        }
        dispatch += t1 - t0;
        raw += t2 - t1;
    }
    const double n = static_cast<double>(state.iterations());
    if (n == 0 || raw.count() == 0)
        return;
    using Us = std::chrono::duration<double, std::micro>;
    state.counters["dispatch_us"] = Us(dispatch).count() / n;
    state.counters["raw_get_us"] = Us(raw).count() / n;
    state.counters["ratio"] = static_cast<double>(dispatch.count()) / static_cast<double>(raw.count());
    g_pair = {Us(dispatch).count() / n, Us(raw).count() / n};
}

BENCHMARK(BM_DispatchGetOntName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawPropertyGet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DispatchToRawRatio)->Unit(benchmark::kMicrosecond);

// The answer must carry the profile's gateway name before anything is timed.
bool answers_the_profile(json_t *msg)
{
    gwbench::dispatch(msg);
    const auto texts = gwbench::drain_plugin_queue();
    if (texts.size() != 1)
        return false;
    const std::string head = "\"return_Parameter\":\"";
    const size_t at = texts[0].find(head);
    const size_t end = texts[0].rfind("\"}");
    if (at == std::string::npos || end == std::string::npos || end < at + head.size())
        return false;
    const std::string b64 = texts[0].substr(at + head.size(), end - at - head.size());
    gsize len = 0;
    gw::GCharPtr raw(reinterpret_cast<char *>(g_base64_decode(b64.c_str(), &len)));
    const std::string answer(raw.get(), len);
    return answer.find("\"Name\":\"Living room gateway\"") != std::string::npos;
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Order matters: the root and the private bus exist before the first bus connection is made.
    gwbench::TempRoot root;
    gwbench::PrivateBus::instance();
    int rc = 1;
    {
        gwbench::ConfigSim sim;
        if (!sim.ready()) {
            std::fprintf(stderr, "configuration simulator did not start\n");
            return 1;
        }
        // The library's threshold when none is configured: debug lines are filtered, not formatted.
        g_logLevel = LOG_LVL_ERR;
        gwagent_queues_init();
        gwbench::drain_plugin_queue();
        // A full-featured gateway, so that no command is refused for a missing capability.
        g_dev_info.DevWiFi = 2;
        g_dev_info.POTSNum = 2;
        g_dev_info.DevType = 11;
        g_dev_info.DevUSB = 1;
        Setup setup;
        gw::ErrorPtr err;
        setup.conn.reset(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
        setup.msg = gwbench::post_message(21, kCommand);
        if (!setup.conn || !raw_get(setup.conn.get()) || !answers_the_profile(setup.msg.get())) {
            std::fprintf(stderr, "the command or the property read does not work: %s\n", gw::error_text(err));
        } else {
            g_setup = &setup;
            benchmark::RunSpecifiedBenchmarks();
            g_setup = nullptr;
            gwbench::print_ratio("dispatch/raw_get", g_pair.dispatch_us, "dispatch", g_pair.raw_us, "raw_get");
            rc = 0;
        }
        gwbench::drain_plugin_queue();
    }  // the simulator stops here; the bus daemon stops with the process
    benchmark::Shutdown();
    return rc;
}
