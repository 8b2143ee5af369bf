// The real agent binary against the configuration and platform simulators, on a private bus in a
// temporary root. It measures, once per run:
//  - start to first Boot: from starting the agent until the platform receives its Boot;
//  - idle memory of the connected agent (RSS and private dirty, /proc/PID/smaps_rollup) against a bare
//    GDBus program linked with the same libraries, both after the same idle time;
//  - one command end to end (platform -> agent -> configuration service -> agent -> platform) against
//    the raw property read it rests on, with the wait for the agent's fixed sender tick (the mean of
//    commands sent at moments spread over one tick) and nearly without it (the fastest of them).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gio/gio.h>

#include "bench_support.hpp"
#include "gwbus/raii.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;
using namespace std::chrono_literals;

constexpr const char *kVendor = "ACME01";
constexpr const char *kVendorKey = "vk-0123456789abc";
constexpr auto kIdle = 2s;
// The agent's fixed interval between sends to the plugin server.
constexpr int kSenderTickMs = 200;

struct Memory {
    long rss_kb = -1;
    long private_dirty_kb = -1;
};

// Rss and Private_Dirty of a process, in kB.
Memory memory_of(pid_t pid)
{
    Memory m;
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string text;
    // The first line names the range; the rest are "Key:   value kB".
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        std::string key;
        long value = 0;
        if (!(fields >> key >> value))
            continue;
        if (key == "Rss:")
            m.rss_kb = value;
        else if (key == "Private_Dirty:")
            m.private_dirty_kb = value;
    }
    return m;
}

// Reads the platform's event lines until one starts with `word`; false at the deadline.
bool await_event(gwbench::Child &platform, const std::string &word, std::string &line, Clock::time_point deadline)
{
    while (Clock::now() < deadline) {
        if (!platform.read_line(line, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())))
            return false;
        if (line.compare(0, word.size() + 1, word + " ") == 0)
            return true;
    }
    return false;
}

int distr_port(const std::string &ready)
{
    std::istringstream in(ready);
    std::string word;
    while (in >> word)
        if (word.compare(0, 6, "distr=") == 0)
            return std::atoi(word.c_str() + 6);
    return 0;
}

double raw_get_us(int rounds)
{
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn)
        return -1;
    const auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        gw::VariantPtr r(g_dbus_connection_call_sync(
            conn.get(), "com.yvc.igd1", "/com/yvc/igd1/Info/Device", "com.yvc.igd1.Properties", "Get",
            g_variant_new("(ss)", "com.yvc.igd1.DeviceInfo", "DevName"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
            10000, nullptr, nullptr));
        if (!r)
            return -1;
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / rounds;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_agent_footprint [--commands N]\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    int commands = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--commands" && i + 1 < argc)
            commands = std::atoi(argv[++i]);
        else
            return usage();
    }
    if (commands < 1)
        return usage();

    gwbench::TempRoot root;
    const std::string bus = gwbench::PrivateBus::instance().address();
    gwbench::ConfigSim config;
    if (!config.ready()) {
        std::fprintf(stderr, "configuration simulator did not start\n");
        return 1;
    }
    gwbench::Child platform({"/usr/bin/python3", gwbench::source_dir() + "/sim/platform/platsim.py", "--vendor-code",
                             kVendor, "--vendor-key", kVendorKey, "--hb-interval", "5", "--root", root.dir()},
                            {}, true, true);
    std::string line;
    if (!platform.read_line(line, 15s) || line.compare(0, 6, "READY ") != 0) {
        std::fprintf(stderr, "platform simulator did not start: %s\n", line.c_str());
        return 1;
    }
    const int port = distr_port(line);
    gwbench::Child provision({gwbench::build_dir() + "/sim/tools/gwprovision", "--root", root.dir(), "--vendor",
                              kVendor, "--vendor-key", kVendorKey, "--server", "127.0.0.1", "--port",
                              std::to_string(port)},
                             {}, true);
    if (provision.wait_exit(20s) != 0) {
        std::fprintf(stderr, "gwprovision failed\n");
        return 1;
    }

    const std::map<std::string, std::string> env{{"GW_ROOT", root.dir()}, {"DBUS_SYSTEM_BUS_ADDRESS", bus}};
    const auto started = Clock::now();
    gwbench::Child agent({gwbench::build_dir() + "/gwagent/gwagent"}, env);
    if (!await_event(platform, "BOOT", line, started + 60s)) {
        std::fprintf(stderr, "no Boot from the agent\n");
        return 1;
    }
    const double to_boot_ms = Ms(Clock::now() - started).count();
    if (!await_event(platform, "PLUGIN-REGISTER", line, started + 60s)) {
        std::fprintf(stderr, "the agent did not register with the plugin server\n");
        return 1;
    }
    const double to_connected_ms = Ms(Clock::now() - started).count();

    // Commands one at a time, each waiting for its answer. Sent right after an answer, a command would
    // always wait a whole sender tick; the pause before each spreads the sending moments evenly over
    // one tick, so the mean holds the average wait and the fastest one almost none.
    double command_ms = 0;
    double fastest_ms = 1e9;
    for (int i = 1; i <= commands; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds((i - 1) * kSenderTickMs / commands));
        char seq[16];
        std::snprintf(seq, sizeof seq, "%08d", i);
        const auto t0 = Clock::now();
        if (!platform.write(std::string("SEND {\"CmdType\":\"GET_ONT_NAME\",\"SequenceId\":\"") + seq + "\"}\n") ||
            !await_event(platform, "ANSWER", line, t0 + 10s) || line.find(seq) == std::string::npos) {
            std::fprintf(stderr, "command %d got no answer: %s\n", i, line.c_str());
            return 1;
        }
        const double ms = Ms(Clock::now() - t0).count();
        command_ms += ms;
        fastest_ms = std::min(fastest_ms, ms);
    }
    command_ms /= commands;

    gwbench::Child bare({gwbench::build_dir() + "/bench/bench_bare_gdbus"}, env, true);
    if (!bare.read_line(line, 10s) || line != "READY") {
        std::fprintf(stderr, "the bare GDBus program did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(kIdle);
    const Memory agent_mem = memory_of(agent.pid());
    const Memory bare_mem = memory_of(bare.pid());
    if (agent_mem.rss_kb < 0 || bare_mem.rss_kb < 0) {
        std::fprintf(stderr, "cannot read /proc/PID/smaps_rollup\n");
        return 1;
    }
    const double raw_us = raw_get_us(100);

    std::printf("RESULT start_to_first_boot %.1f ms\n", to_boot_ms);
    std::printf("RESULT start_to_plugin_registered %.1f ms\n", to_connected_ms);
    gwbench::print_ratio("agent/bare_gdbus_rss", static_cast<double>(agent_mem.rss_kb), "agent",
                         static_cast<double>(bare_mem.rss_kb), "bare", "kB");
    gwbench::print_ratio("agent/bare_gdbus_private_dirty", static_cast<double>(agent_mem.private_dirty_kb), "agent",
                         static_cast<double>(bare_mem.private_dirty_kb), "bare", "kB");
    gwbench::print_ratio("e2e_command/raw_get", command_ms * 1000.0, "e2e_mean", raw_us, "raw_get");
    gwbench::print_ratio("e2e_command_fastest/raw_get", fastest_ms * 1000.0, "e2e_fastest", raw_us, "raw_get");
    platform.write("QUIT\n");
    return 0;
}
