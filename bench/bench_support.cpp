#include "bench_support.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include <glib.h>

#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwbus/raii.hpp"
#include "platform/records.h"

namespace fs = std::filesystem;

namespace gwbench {

std::string source_dir() { return GWBENCH_SOURCE_DIR; }
std::string build_dir() { return GWBENCH_BUILD_DIR; }

namespace {

std::string make_temp_dir(const char *prefix)
{
    std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    return tmpl;
}

}  // namespace

TempRoot::TempRoot() : dir_(make_temp_dir("gwbench"))
{
    for (const char *sub :
         {"/etc/config", "/tmp/.uci", "/opt/info", "/rom", "/hgutmp", "/usr/lib/opkg/info", "/proc/1"})
        fs::create_directories(dir_ + sub);
    setenv("GW_ROOT", dir_.c_str(), 1);
}

TempRoot::~TempRoot()
{
    unsetenv("GW_ROOT");
    if (!std::getenv("GW_KEEP_ROOT")) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
}

void TempRoot::write(const std::string &abs, const std::string &content) const
{
    fs::path p(dir_ + abs);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
}

Child::Child(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env, bool capture_stdout,
             bool pipe_stdin)
{
    int out[2] = {-1, -1}, in[2] = {-1, -1};
    if (capture_stdout && pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (pipe_stdin && pipe2(in, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    // Built before fork: the child only execs (other threads may hold locks setenv would need).
    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env_text;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('='))))
            env_text.push_back(entry);
    }
    for (const auto &[k, v] : env)
        env_text.push_back(k + "=" + v);
    std::vector<char *> envp;
    for (auto &e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (capture_stdout)
            dup2(out[1], STDOUT_FILENO);
        if (pipe_stdin)
            dup2(in[0], STDIN_FILENO);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (capture_stdout) {
        close(out[1]);
        out_fd_ = out[0];
    }
    if (pipe_stdin) {
        close(in[0]);
        in_fd_ = in[1];
    }
}

Child::Child(Child &&o) noexcept
    : pid_(std::exchange(o.pid_, -1)), out_fd_(std::exchange(o.out_fd_, -1)), in_fd_(std::exchange(o.in_fd_, -1)),
      pending_(std::move(o.pending_))
{
}

Child &Child::operator=(Child &&o) noexcept
{
    if (this != &o) {
        stop();
        pid_ = std::exchange(o.pid_, -1);
        out_fd_ = std::exchange(o.out_fd_, -1);
        in_fd_ = std::exchange(o.in_fd_, -1);
        pending_ = std::move(o.pending_);
    }
    return *this;
}

Child::~Child() { stop(); }

void Child::stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        int st = 0;
        while (waitpid(pid_, &st, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &st, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }
    for (int *fd : {&out_fd_, &in_fd_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

int Child::wait_exit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

bool Child::read_line(std::string &line, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return true;
        }
        if (out_fd_ < 0)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{out_fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buf[4096];
        const ssize_t n = ::read(out_fd_, buf, sizeof buf);
        if (n <= 0)
            return false;
        pending_.append(buf, static_cast<size_t>(n));
    }
}

bool Child::write(const std::string &text)
{
    return in_fd_ >= 0 && ::write(in_fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

PrivateBus &PrivateBus::instance()
{
    static PrivateBus bus;
    return bus;
}

PrivateBus::PrivateBus() : dir_(make_temp_dir("gwbench-bus"))
{
    const std::string sock = dir_ + "/system_bus_socket";
    std::ofstream(dir_ + "/bus.conf")
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>system</type>\n"
           "  <listen>unix:path="
        << sock
        << "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow user=\"*\"/>\n"
           "    <allow own=\"*\"/>\n"
           "    <allow send_destination=\"*\"/>\n"
           "    <allow receive_sender=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
    daemon_ =
        Child({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + dir_ + "/bus.conf", "--print-address=1"},
              {}, true);
    std::string line;
    if (!daemon_.read_line(line, std::chrono::seconds(10)) || line.empty())
        throw std::runtime_error("dbus-daemon did not start");
    address_ = line;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateBus::~PrivateBus()
{
    // The daemon dies with the process; stopping it here could make GLib's shared connection raise
    // SIGTERM on close.
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

ConfigSim::ConfigSim(const std::vector<std::string> &extra)
{
    std::vector<std::string> argv{"/usr/bin/python3", source_dir() + "/sim/igd1/igd1sim.py", "--address",
                                  PrivateBus::instance().address()};
    if (const char *root = std::getenv("GW_ROOT")) {
        argv.push_back("--root");
        argv.push_back(root);
    }
    argv.insert(argv.end(), extra.begin(), extra.end());
    child_ = Child(argv, {}, true);
    std::string line;
    ready_ = child_.read_line(line, std::chrono::seconds(20)) && line == "READY";
}

gwagent::JsonPtr post_message(int id, const std::string &command)
{
    gw::GCharPtr param(g_base64_encode(reinterpret_cast<const guchar *>(command.data()), command.size()));
    gwagent::JsonPtr m(json_object());
    json_object_set_new(m.get(), "RPCMethod", json_string("Post"));
    json_object_set_new(m.get(), "ID", json_integer(id));
    json_object_set_new(m.get(), "PluginName", json_string("ZEP"));
    json_object_set_new(m.get(), "Parameter", json_string(param.get()));
    return m;
}

int dispatch(json_t *msg)
{
    json_t *method = json_object_get(msg, "RPCMethod");
    return handle_server_rpc_message(msg, json_is_string(method) ? json_string_value(method) : nullptr);
}

std::vector<std::string> drain_plugin_queue()
{
    std::vector<std::string> out;
    void *data = nullptr;
    uint32_t len = 0;
    while (fifo_buffer_get(&socket_plug_tx_header, &data, &len) == 0) {
        out.emplace_back(static_cast<const char *>(data), len);
        free(data);
    }
    return out;
}

void print_ratio(const std::string &name, double num, const std::string &num_label, double den,
                 const std::string &den_label, const char *unit)
{
    if (den <= 0)
        std::printf("RATIO %s n/a (%s %.3f %s / %s not measured)\n", name.c_str(), num_label.c_str(), num, unit,
                    den_label.c_str());
    else
        std::printf("RATIO %s %.2f (%s %.3f %s / %s %.3f %s)\n", name.c_str(), num / den, num_label.c_str(), num, unit,
                    den_label.c_str(), den, unit);
    std::fflush(stdout);
}

}  // namespace gwbench
