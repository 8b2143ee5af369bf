// Shared test fixtures: a private run-time root, a private system bus, child processes that die with
// the test, and captured log lines.
#ifndef GWTEST_HPP
#define GWTEST_HPP

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// A table row prints as its label in test listings and failure messages, where GoogleTest would
// otherwise dump its bytes. Place it in the row's own namespace so the lookup finds it.
#define GW_ROW_PRINTS_AS(Row, label)                                                                                   \
    inline void PrintTo(const Row &row, std::ostream *os) { *os << row.label; }

namespace gwtest {

// A fresh temporary directory exported as GW_ROOT for the lifetime of the object, with the
// directories the system expects (etc/config, tmp/.uci, opt/info, rom, hgutmp, usr/lib/opkg/info).
// Removed on destruction unless GW_KEEP_ROOT is set.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot &) = delete;
    TempRoot &operator=(const TempRoot &) = delete;

    const std::string &dir() const { return dir_; }
    // Absolute path below the root of a system path such as "/etc/config/log".
    std::string path(const std::string &abs) const { return dir_ + abs; }
    void write(const std::string &abs, const std::string &content) const;
    std::string read(const std::string &abs) const;
    bool exists(const std::string &abs) const;

private:
    std::string dir_;
    std::string saved_root_;
    bool had_root_ = false;
};

// A child process started with execvp. It is killed (SIGTERM, then SIGKILL) and reaped on destruction,
// and it is also killed by the kernel if the test process dies first.
class Child {
public:
    Child() = default;
    // `stderr_path`, when given, receives the child's standard error (truncated first).
    explicit Child(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env = {},
                   bool capture_stdout = false, const std::string &stderr_path = {});
    Child(Child &&o) noexcept;
    Child &operator=(Child &&o) noexcept;
    ~Child();

    pid_t pid() const { return pid_; }
    bool running();
    // Sends SIGTERM and waits up to `grace`; returns the exit status as from waitpid, or -1.
    int stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
    // Reads one line from the child's stdout (capture_stdout only), waiting at most `timeout`.
    bool read_line(std::string &line, std::chrono::milliseconds timeout);
    // Reads the child's stdout to its end (capture_stdout only), waiting at most `timeout` in all.
    std::string read_all(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    std::string pending_;
    int status_ = -1;
};

// One private dbus-daemon per test process, started on first use; DBUS_SYSTEM_BUS_ADDRESS points at
// it from then on. GLib's shared system-bus connection is a process-wide singleton, so the bus must
// outlive every test in the process.
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

// A dbus-daemon that enforces policies as the gateway's system bus does: deny by default, root may do
// anything, and the run-time root's "/etc/dbus-1/system.d" is included (the daemon reloads it when a file
// there changes). It listens where containers find the bus, "<root>/var/run/dbus/system_bus_socket", and
// runs in its own mount namespace with the root's "/etc" over the machine's, so it knows the users made
// under the root (it drops connections from unknown uids) while the machine's user database stays
// untouched. Needs root; `missing()` says why it cannot run otherwise.
class PolicyBus {
public:
    explicit PolicyBus(const std::string &root_dir);
    PolicyBus(const PolicyBus &) = delete;
    PolicyBus &operator=(const PolicyBus &) = delete;
    const std::string &address() const { return address_; }
    static std::string missing();

private:
    Child daemon_;
    std::string address_;
};

// Collects every log line the library emits while it lives (through gw_log_set_sink).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<std::string> lines() const;
    bool contains(const std::string &needle) const;
    size_t count(const std::string &needle) const;
    void clear();

private:
    static void sink(int level, const char *line, void *user);
    mutable std::mutex mu_;
    std::vector<std::string> lines_;
};

// Waits for a child through the signals that interrupt the wait (a test's event loop may have handlers
// installed); its status as waitpid gives it, or -1 when it cannot be waited for.
int wait_child(pid_t pid);

// Runs body(i) for i in [0, n) in n forked children at once (each killed after 30 s) and waits for all.
// Returns how many children did not exit with status 0; a child exits with body's result.
int run_in_children(int n, const std::function<int(int)> &body);

// Whether a connection on the system bus owns `name` (asked of the bus daemon; false when it cannot say).
bool name_has_owner(const std::string &name);

// Polls `cond` until it holds or `timeout` passes, iterating the default GLib main context in between.
bool wait_until(const std::function<bool()> &cond, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// Directory holding the build's programs (the simulators, the daemons); set by CMake.
std::string build_dir();
std::string source_dir();

}  // namespace gwtest

#endif
