#include "agentio_util.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "core/dev_info.h"
#include "gwbus/strutil.h"
#include "gwtest.hpp"

// The agent's start-up code owns the real definition; these tests only need the storage.
__attribute__((weak)) gw_dev_info g_dev_info;

namespace agentio {

std::string to_hex(const unsigned char *p, size_t n)
{
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

Bytes from_hex(const std::string &hex)
{
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

int run_program(const std::vector<std::string> &argv, std::string *stdout_text)
{
    char tmpl[] = "/tmp/agentio-out-XXXXXX";
    int out_fd = mkstemp(tmpl);
    if (out_fd < 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_fd, 1);
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, 2);
        std::vector<char *> args;
        for (const auto &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out_fd);
    int status = -1;
    bool done = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            done = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (pid > 0 && !done) {
        kill(pid, SIGKILL);
        gwtest::wait_child(pid);
    }
    if (stdout_text) {
        std::ifstream in(tmpl, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        *stdout_text = ss.str();
    }
    unlink(tmpl);
    if (!done || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::optional<Bytes> openssl(const std::vector<std::string> &args, const Bytes &input)
{
    char dir_tmpl[] = "/tmp/agentio-ssl-XXXXXX";
    if (!mkdtemp(dir_tmpl))
        return std::nullopt;
    const std::string dir = dir_tmpl;
    const std::string in = dir + "/in", out = dir + "/out";
    {
        std::ofstream f(in, std::ios::binary);
        f.write(reinterpret_cast<const char *>(input.data()), static_cast<std::streamsize>(input.size()));
    }
    std::vector<std::string> argv{"openssl"};
    argv.insert(argv.end(), args.begin(), args.end());
    // Digest commands take the input file as an operand, ciphers as -in.
    if (args.empty() || args[0] != "dgst")
        argv.insert(argv.end(), {"-in", in, "-out", out});
    else
        argv.insert(argv.end(), {"-out", out, in});
    std::optional<Bytes> result;
    if (run_program(argv) == 0) {
        std::ifstream f(out, std::ios::binary);
        result = Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}

void set_known_dev_info()
{
    memset(&g_dev_info, 0, sizeof g_dev_info);
    copy_truncated(g_dev_info.MAC, "A1B2C3D4E5F6");
    copy_truncated(g_dev_info.GPONSN, "YVCT12345678");
    copy_truncated(g_dev_info.SNPrefix, "YVCT12");
    copy_truncated(g_dev_info.VendorCode, "ACME01");
    copy_truncated(g_dev_info.VendorKey, "vk-0123456789abc");
    copy_truncated(g_dev_info.ChallengeCode, "challenge-0001");
    copy_truncated(g_dev_info.SharedPasswd, "0123456789ABCDEF0123456789ABCDEF");
    copy_truncated(g_dev_info.DevRND, "00112233445566778899aabbccddeeff");
    copy_truncated(g_dev_info.MessageID, "0a1b2c3d4e5f");
}

}  // namespace agentio
