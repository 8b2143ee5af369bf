#include "gwtest.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gio/gio.h>
#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"

namespace fs = std::filesystem;

namespace gwtest {

TempRoot::TempRoot()
{
    char tmpl[] = "/tmp/gwtest-XXXXXX";
    const char *d = mkdtemp(tmpl);
    if (!d)
        throw std::runtime_error("mkdtemp failed");
    dir_ = d;
    for (const char *sub :
         {"/etc/config", "/tmp/.uci", "/opt/info", "/rom", "/hgutmp", "/usr/lib/opkg/info", "/proc/1"})
        fs::create_directories(dir_ + sub);
    const char *old = std::getenv("GW_ROOT");
    had_root_ = old != nullptr;
    if (old)
        saved_root_ = old;
    setenv("GW_ROOT", dir_.c_str(), 1);
}

TempRoot::~TempRoot()
{
    if (had_root_)
        setenv("GW_ROOT", saved_root_.c_str(), 1);
    else
        unsetenv("GW_ROOT");
    if (!std::getenv("GW_KEEP_ROOT")) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
}

void TempRoot::write(const std::string &abs, const std::string &content) const
{
    fs::path p(path(abs));
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
}

std::string TempRoot::read(const std::string &abs) const
{
    std::ifstream in(path(abs), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool TempRoot::exists(const std::string &abs) const { return fs::exists(path(abs)); }

Child::Child(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env, bool capture_stdout,
             const std::string &stderr_path)
{
    int pipefd[2] = {-1, -1};
    if (capture_stdout && pipe2(pipefd, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (capture_stdout)
            dup2(pipefd[1], STDOUT_FILENO);
        if (!stderr_path.empty()) {
            const int fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || dup2(fd, STDERR_FILENO) < 0)
                _exit(126);
        }
        for (const auto &[k, v] : env)
            setenv(k.c_str(), v.c_str(), 1);
        std::vector<char *> args;
        for (const auto &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (capture_stdout) {
        close(pipefd[1]);
        out_fd_ = pipefd[0];
    }
}

Child::Child(Child &&o) noexcept
    : pid_(std::exchange(o.pid_, -1)), out_fd_(std::exchange(o.out_fd_, -1)), pending_(std::move(o.pending_)),
      status_(o.status_)
{
}

Child &Child::operator=(Child &&o) noexcept
{
    if (this != &o) {
        stop();
        pid_ = std::exchange(o.pid_, -1);
        out_fd_ = std::exchange(o.out_fd_, -1);
        pending_ = std::move(o.pending_);
        status_ = o.status_;
    }
    return *this;
}

Child::~Child() { stop(); }

bool Child::running()
{
    if (pid_ <= 0)
        return false;
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
        status_ = st;
        pid_ = -1;
        return false;
    }
    return true;
}

int Child::stop(std::chrono::milliseconds grace)
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        auto deadline = std::chrono::steady_clock::now() + grace;
        int st = 0;
        while (true) {
            pid_t r = waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                status_ = st;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                wait_child(pid_);
                status_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }
    if (out_fd_ >= 0) {
        close(out_fd_);
        out_fd_ = -1;
    }
    return status_;
}

bool Child::read_line(std::string &line, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return true;
        }
        if (out_fd_ < 0)
            return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{out_fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buf[4096];
        ssize_t n = ::read(out_fd_, buf, sizeof buf);
        if (n <= 0)
            return false;
        pending_.append(buf, static_cast<size_t>(n));
    }
}

std::string Child::read_all(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out_fd_ >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{out_fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::read(out_fd_, buf, sizeof buf);
        if (n <= 0)
            break;
        pending_.append(buf, static_cast<size_t>(n));
    }
    return std::exchange(pending_, std::string());
}

PrivateBus &PrivateBus::instance()
{
    static PrivateBus bus;
    return bus;
}

PrivateBus::PrivateBus()
{
    char tmpl[] = "/tmp/gwtest-bus-XXXXXX";
    const char *d = mkdtemp(tmpl);
    if (!d)
        throw std::runtime_error("mkdtemp failed");
    dir_ = d;
    std::string sock = dir_ + "/system_bus_socket";
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
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow receive_sender=\"*\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
    daemon_ =
        Child({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + dir_ + "/bus.conf", "--print-address=1"},
              {}, true);
    std::string line;
    if (!daemon_.read_line(line, std::chrono::milliseconds(10000)) || line.empty())
        throw std::runtime_error("dbus-daemon did not start");
    address_ = line;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    // Never fall back to the machine's own buses.
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateBus::~PrivateBus()
{
    // The process is exiting; the daemon dies with it (PR_SET_PDEATHSIG). Killing it here could make
    // GLib's shared connection raise SIGTERM on close before the exit code is reported.
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string PolicyBus::missing()
{
    if (geteuid() != 0)
        return "needs root (a bus in its own mount namespace)";
    for (const char *tool : {"/usr/bin/unshare", "/usr/bin/nsenter", "/usr/bin/dbus-daemon"})
        if (access(tool, X_OK) != 0)
            return std::string("no ") + tool;
    return "";
}

PolicyBus::PolicyBus(const std::string &root_dir)
{
    fs::create_directories(root_dir + "/var/run/dbus");
    fs::create_directories(root_dir + "/etc/dbus-1/system.d");
    const std::string conf = root_dir + "/var/run/dbus/bus.conf";
    std::ofstream(conf)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>system</type>\n"
           "  <listen>unix:path="
        << root_dir
        << "/var/run/dbus/system_bus_socket</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow user=\"*\"/>\n"
           "    <deny own=\"*\"/>\n"
           "    <deny send_type=\"method_call\"/>\n"
           "    <allow send_type=\"signal\"/>\n"
           "    <allow send_requested_reply=\"true\" send_type=\"method_return\"/>\n"
           "    <allow send_requested_reply=\"true\" send_type=\"error\"/>\n"
           "    <allow receive_type=\"method_call\"/>\n"
           "    <allow receive_type=\"method_return\"/>\n"
           "    <allow receive_type=\"error\"/>\n"
           "    <allow receive_type=\"signal\"/>\n"
           "    <allow send_destination=\"org.freedesktop.DBus\" send_interface=\"org.freedesktop.DBus\"/>\n"
           "  </policy>\n"
           "  <policy user=\"root\">\n"
           "    <allow own=\"*\"/>\n"
           "    <allow send_type=\"method_call\"/>\n"
           "  </policy>\n"
           "  <includedir>"
        << root_dir
        << "/etc/dbus-1/system.d</includedir>\n"
           "</busconfig>\n";
    daemon_ = Child({"/usr/bin/unshare", "--mount", "--propagation", "private", "/usr/bin/dbus-daemon", "--nofork",
                     "--nopidfile", "--config-file=" + conf, "--print-address=1"},
                    {}, true);
    std::string line;
    if (!daemon_.read_line(line, std::chrono::milliseconds(10000)) || line.empty())
        throw std::runtime_error("policy dbus-daemon did not start");
    address_ = line;
    // The daemon has loaded its libraries; from now on it reads users and groups through the root's "/etc".
    Child bind({"/usr/bin/nsenter", "--target", std::to_string(daemon_.pid()), "--mount", "/usr/bin/mount", "--bind",
                root_dir + "/etc", "/etc"});
    for (int i = 0; i < 500 && bind.running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int status = bind.stop();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("cannot bind the root's /etc in the bus's namespace");
    // Policies naming users of the root were read before the bind: read them again.
    kill(daemon_.pid(), SIGHUP);
}

LogCapture::LogCapture() { gw_log_set_sink(&LogCapture::sink, this); }
LogCapture::~LogCapture() { gw_log_set_sink(nullptr, nullptr); }

void LogCapture::sink(int, const char *line, void *user)
{
    auto *self = static_cast<LogCapture *>(user);
    std::lock_guard<std::mutex> lock(self->mu_);
    self->lines_.emplace_back(line ? line : "");
}

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return lines_;
}

bool LogCapture::contains(const std::string &needle) const { return count(needle) > 0; }

size_t LogCapture::count(const std::string &needle) const
{
    std::lock_guard<std::mutex> lock(mu_);
    size_t n = 0;
    for (const auto &l : lines_)
        if (l.find(needle) != std::string::npos)
            ++n;
    return n;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(mu_);
    lines_.clear();
}

bool name_has_owner(const std::string &name)
{
    gw::ConnectionPtr c(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr));
    if (!c)
        return false;
    gw::VariantPtr r(g_dbus_connection_call_sync(
        c.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr));
    gboolean owned = FALSE;
    if (r)
        g_variant_get(r.get(), "(b)", &owned);
    return owned == TRUE;
}

int wait_child(pid_t pid)
{
    int status = 0;
    pid_t r;
    do
        r = waitpid(pid, &status, 0);
    while (r < 0 && errno == EINTR);
    return r == pid ? status : -1;
}

int run_in_children(int n, const std::function<int(int)> &body)
{
    std::vector<pid_t> kids;
    for (int i = 0; i < n; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            alarm(30);
            _exit(body(i));
        }
        if (pid > 0)
            kids.push_back(pid);
    }
    int failed = n - static_cast<int>(kids.size());
    for (pid_t pid : kids) {
        const int status = wait_child(pid);
        failed += !(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    return failed;
}

bool wait_until(const std::function<bool()> &cond, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string build_dir() { return GWTEST_BUILD_DIR; }
std::string source_dir() { return GWTEST_SOURCE_DIR; }

}  // namespace gwtest
