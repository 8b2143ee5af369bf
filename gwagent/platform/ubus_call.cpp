// "ubus call" without a shell: the JSON argument is one argv entry, so no text from the platform or
// from a package can break out of it.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <gw/ubus.h>

#include "core/agent.h"
#include "gwbus/log.h"
#include "platform/conn.h"

extern char **environ;

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
    argv.insert(argv.end(), {call, const_cast<char *>(object), const_cast<char *>(method),
                             const_cast<char *>(json_arg), nullptr});
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, prog, nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "run ubus failed, %s", strerror(rc));
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
