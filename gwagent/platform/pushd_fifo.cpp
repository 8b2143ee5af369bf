// The pushd FIFO: framed JSON texts that ride to the distribution server as MessagePush.
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands/cmd_json.h"
#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "platform/conn.h"
#include "platform/records.h"

namespace {

constexpr int kRetryMs = 60000;
// How often the open FIFO is compared with its path: a removed or replaced one is made again.
constexpr int kCheckMs = 10000;
constexpr mode_t kFifoMode = 0620;
constexpr const char *kFifo = "/tmp/pushd_to_gwagent.fifo";

// Whether the path still names the FIFO the agent reads.
bool fifo_is_current(const std::string &path)
{
    struct stat on_path {
    }, opened{};
    if (stat(path.c_str(), &on_path) != 0 || fstat(g_fd_pushd.fd, &opened) != 0)
        return false;
    return on_path.st_dev == opened.st_dev && on_path.st_ino == opened.st_ino;
}

// Makes the FIFO with its mode whatever the umask; something else at the path is replaced.
bool make_fifo(const std::string &path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISFIFO(st.st_mode))
            return true;
        GWLOG(LOG_LVL_WARN, "[FIFO] %s is not a fifo, create it again.", path.c_str());
        unlink(path.c_str());
    }
    if (mkfifo(path.c_str(), kFifoMode) != 0 && errno != EEXIST)
        return false;
    return chmod(path.c_str(), kFifoMode) == 0;
}

void queue_text(const char *text)
{
    json_error_t err;
    gwagent::JsonPtr root(json_loads(text, 0, &err));
    const char *topic = root ? json_string_value(json_object_get(root.get(), "topic")) : nullptr;
    // Texts without a readable topic are queued like any other topic: the server decides.
    if (topic && strcmp(topic, "begin") == 0) {
        GWLOG(LOG_LVL_DEBUG, "receive begin topic, clear the send fifo buf.");
        fifo_buffer_clear(&socket_distr_tx_header);
        return;
    }
    GWLOG(LOG_LVL_DEBUG, "\033[31m[gwagent ----> local queue]: %s\033[0m", text);
    char *copy = strdup(text);
    if (!copy || fifo_buffer_put(&socket_distr_tx_header, copy, static_cast<uint32_t>(strlen(copy))) != 0) {
        free(copy);
        GWLOG(LOG_LVL_ERR, "socket_distr_tx_header is full, drop the package");
    }
    GWLOG(LOG_LVL_DEBUG, "socket_distr_tx_header num: %d", fifo_buffer_get_num(&socket_distr_tx_header));
}

// Queues every whole frame waiting in the pipe; false once the stream is broken or at its end.
bool drain_frames()
{
    unsigned char frame[UCF_SWAP_SIZE + 1];
    for (;;) {
        const int r = ucf_read_socket_tcp(UCF_SLOT_PUSHD, g_fd_pushd.fd, frame, UCF_SWAP_SIZE);
        if (r == 0) {
            GWLOG(LOG_LVL_DEBUG, "[FIFO] a partial message was received or no msg received(%d).", r);
            return true;
        }
        if (r < 0) {
            GWLOG(LOG_LVL_ERR, "[FIFO] the fifo connection maybe down(%d).", r);
            return false;
        }
        uint32_t be = 0;
        memcpy(&be, frame, 4);
        const uint32_t len = ntohl(be);
        frame[UCF_FRAME_HEADER + len] = '\0';
        queue_text(reinterpret_cast<const char *>(frame + UCF_FRAME_HEADER));
    }
}

}  // namespace

extern "C" int ucf_connect_pushd_srv(void)
{
    ucf_clear_buf_swap(UCF_SLOT_PUSHD);
    const std::string path = gw::RootPath(kFifo);
    if (!make_fifo(path)) {
        GWLOG(LOG_LVL_ERR, "create fifo file error!(%s)", strerror(errno));
        uloop_timeout_set(&g_timeout_pushd, kRetryMs);
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        GWLOG(LOG_LVL_ERR, "connect to fifo error!(%s)", strerror(errno));
        uloop_timeout_set(&g_timeout_pushd, kRetryMs);
        return -1;
    }
    GWLOG(LOG_LVL_NOTICE, "connect to fifo success!(pushd_to_gwagent)");
    g_fd_pushd.fd = fd;
    g_fd_pushd.cb = ucf_udp_pushd_fd_cb;
    ucf_uloop_fd_add(&g_fd_pushd, ULOOP_READ | ULOOP_ERROR_CB);
    uloop_timeout_set(&g_timeout_pushd, kCheckMs);
    return 0;
}

extern "C" void ucf_udp_pushd_fd_cb(struct uloop_fd *fd, unsigned int events)
{
    GWLOG(LOG_LVL_DEBUG,
          "====== pushd fifo socket call back, fd: %d, event: %d, flag: %d, stage: %d ======", fd ? fd->fd : -1, events,
          g_fd_pushd.flags, app_domain_info[DOMAIN_DISTR].stage);
    const bool readable = (events & ULOOP_READ) && (g_fd_pushd.flags & ULOOP_READ);
    if (readable && !g_fd_pushd.error && !g_fd_pushd.eof) {
        GWLOG(LOG_LVL_DEBUG, "\033[31m[pushd ----> local]: receive packet!\033[0m");
        ucf_pushd_fd_cb_read();
        return;
    }
    // A writer that wrote and left raises the hang-up together with its last frames: take them
    // first, and keep what is queued (a restarted pushd clears it with its "begin" topic).
    if (readable && g_fd_pushd.fd > 0)
        drain_frames();
    GWLOG(LOG_LVL_WARN, "[FIFO] the fifo connection maybe down, register again.");
    ucf_close_uloop_fd(&g_fd_pushd);
    ucf_connect_pushd_srv();
}

extern "C" void ucf_pushd_fd_cb_read(void)
{
    if (drain_frames())
        return;
    // A FIFO whose writer left stays readable at end of file: reopen it rather than spin.
    ucf_close_uloop_fd(&g_fd_pushd);
    ucf_connect_pushd_srv();
}

extern "C" void ucf_timeout_pushd_cb(struct uloop_timeout *t)
{
    // A writer opens the path: a FIFO removed or replaced under the agent would never be read again.
    if (g_fd_pushd.fd >= 0) {
        if (fifo_is_current(gw::RootPath(kFifo))) {
            uloop_timeout_set(t, kCheckMs);
            return;
        }
        GWLOG(LOG_LVL_WARN, "[FIFO] the fifo was removed or replaced, register again.");
        drain_frames();
        ucf_close_uloop_fd(&g_fd_pushd);
        ucf_connect_pushd_srv();
        return;
    }
    if (app_domain_info[DOMAIN_DISTR].stage == DOMAIN_STAGE_RUNNING)
        ucf_connect_pushd_srv();
}
