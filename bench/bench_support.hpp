// What the benchmarks stand on: a temporary run-time root, child processes that die with the
// benchmark, a private dbus-daemon, the configuration simulator, and the agent's plugin-server
// entry fed directly. Never the machine's own bus or root.
#ifndef GW_BENCH_SUPPORT_HPP
#define GW_BENCH_SUPPORT_HPP

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <jansson.h>

#include "commands/cmd_json.h"

namespace gwbench {

// The source and build trees, set by CMake.
std::string source_dir();
std::string build_dir();

// A fresh directory exported as GW_ROOT while the object lives, with the directories the agent expects.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot &) = delete;
    TempRoot &operator=(const TempRoot &) = delete;
    const std::string &dir() const { return dir_; }
    void write(const std::string &abs, const std::string &content) const;

private:
    std::string dir_;
};

// A child started with an argument vector; killed with the benchmark (PR_SET_PDEATHSIG) or on destruction.
class Child {
public:
    Child() = default;
    explicit Child(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env = {},
                   bool capture_stdout = false, bool pipe_stdin = false);
    Child(Child &&o) noexcept;
    Child &operator=(Child &&o) noexcept;
    ~Child();
    pid_t pid() const { return pid_; }
    void stop();
    // Waits for the child to exit by itself; its exit status, or -1 when it is still running at `timeout`.
    int wait_exit(std::chrono::milliseconds timeout);
    // One line of the child's stdout, waiting at most `timeout`.
    bool read_line(std::string &line, std::chrono::milliseconds timeout);
    // Writes to the child's stdin (pipe_stdin only).
    bool write(const std::string &text);

private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    int in_fd_ = -1;
    std::string pending_;
};

// One private dbus-daemon for the process, with its own configuration file. DBUS_SYSTEM_BUS_ADDRESS
// (and the session address, so nothing falls back to the machine's buses) point at it from then on.
// GLib's shared connection lives until exit, so the bus does too.
class PrivateBus {
public:
    static PrivateBus &instance();
    const std::string &address() const { return address_; }

private:
    PrivateBus();
    ~PrivateBus();
    Child daemon_;
    std::string dir_;
    std::string address_;
};

// The configuration simulator (sim/igd1/igd1sim.py) on the private bus with the default profile.
class ConfigSim {
public:
    // `extra`: further simulator options (e.g. "--no-plugin-host").
    explicit ConfigSim(const std::vector<std::string> &extra = {});
    bool ready() const { return ready_; }

private:
    Child child_;
    bool ready_ = false;
};

// One plugin-server message ({"RPCMethod","ID","PluginName","Parameter": base64(command)}).
gwagent::JsonPtr post_message(int id, const std::string &command);
// Feeds a message to the agent's plugin-server entry (handle_server_rpc_message).
int dispatch(json_t *msg);
// Takes every text waiting on the plugin server's queue.
std::vector<std::string> drain_plugin_queue();

// Prints one ratio line in the form every benchmark here uses, so that they can be grepped together:
// "RATIO <name> <value> (<numerator label> <x> <unit> / <denominator label> <y> <unit>)".
void print_ratio(const std::string &name, double num, const std::string &num_label, double den,
                 const std::string &den_label, const char *unit = "us");

}  // namespace gwbench

#endif
