// "ubus call" without a shell: the JSON argument is one argv entry, so no text from the platform or
// from a package can break out of it.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <gw/ubus.h>

#include "core/agent.h"
#include "gwbus/log.h"
#include "platform/conn.h"

extern char **environ;

namespace {

// The wait runs on the main loop: a hung ubus must not stall the agent.
constexpr int kWaitMs = 3000;
constexpr useconds_t kPollUs = 10 * 1000;

}  // namespace

extern "C" int gwagent_ubus_call(const char *object, const char *method, const char *json_arg)
{
    if (!object || !method || !json_arg)
        return -1;
    char prog[] = "ubus";
    char sopt[] = "-s";
    char call[] = "call";
    char socket[PATH_MAX];
    std::vector<char *> argv{prog};
    // The same socket the agent connects to; the tool's own default is left alone when it is that one.
    if (gwagent_ubus_socket(socket, sizeof socket) && strcmp(socket, UBUS_UNIX_SOCKET) != 0) {
        argv.push_back(sopt);
        argv.push_back(socket);
    }
    argv.insert(argv.end(),
                {call, const_cast<char *>(object), const_cast<char *>(method), const_cast<char *>(json_arg), nullptr});
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, prog, nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "run ubus failed, %s", strerror(rc));
        return -1;
    }
    int status = 0;
    for (int waited_ms = 0;; waited_ms += static_cast<int>(kPollUs / 1000)) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0 && errno != EINTR)
            return -1;
        if (waited_ms >= kWaitMs)
            break;
        usleep(kPollUs);
    }
    GWLOG(LOG_LVL_WARN, "ubus call %s %s did not end in %d ms, killed.", object, method, kWaitMs);
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
}
