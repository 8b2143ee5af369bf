// Datagram, framed and plain reads, and full writes on non-blocking descriptors.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/io/ucf_io.h"
#include "gwbus/log.h"

ucf_buf_swap g_buf_swap[UCF_SLOT_COUNT];

namespace {

bool would_block(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

// A frame a little over the buffer is skipped and the stream stays usable; a length this far beyond
// any packet is a broken stream (skipping it would swallow everything that follows).
constexpr uint32_t kSkipLengthMax = 1024 * 1024;

// Reads until `want` bytes are in, the descriptor would block (bytes so far), or the stream breaks (-1).
int read_stream(int fd, unsigned char *buf, uint32_t want)
{
    if (want == 0) {
        GWLOG(LOG_LVL_ERR, "buf size is 0!!!");
        return 0;
    }
    uint32_t got = 0;
    while (got < want) {
        const ssize_t r = read(fd, buf + got, want - got);
        if (r > 0) {
            got += static_cast<uint32_t>(r);
            continue;
        }
        if (r == 0) {
            GWLOG(LOG_LVL_ERR, "[static_ucf_read_socket_tcp] %s", "end of stream");
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (would_block(errno))
            break;
        GWLOG(LOG_LVL_ERR, "[static_ucf_read_socket_tcp] %s", strerror(errno));
        return -1;
    }
    return static_cast<int>(got);
}

}  // namespace

extern "C" void ucf_clear_buf_swap(int slot)
{
    if (slot <= 0 || slot >= UCF_SLOT_COUNT)
        return;
    g_buf_swap[slot].discard = 0;
    g_buf_swap[slot].received = 0;
}

extern "C" int ucf_read_socket_udp(int fd, void *buf, int cap)
{
    if (fd < 0 || !buf || cap <= 0)
        return -1;
    for (;;) {
        const ssize_t r = recv(fd, buf, static_cast<size_t>(cap), 0);
        if (r >= 0)
            return static_cast<int>(r);
        if (errno == EINTR)
            continue;
        return would_block(errno) ? 0 : -1;
    }
}

extern "C" int ucf_read_socket_tcp(int slot, int fd, void *buf_v, int cap_in)
{
    if (slot <= 0 || slot >= UCF_SLOT_COUNT || !buf_v || cap_in <= UCF_FRAME_HEADER) {
        GWLOG(LOG_LVL_ERR, "the tcp connection maybe down(%d).", fd);
        return -1;
    }
    ucf_buf_swap &s = g_buf_swap[slot];
    auto *buf = static_cast<unsigned char *>(buf_v);
    // The slot holds what a frame may be, so a larger caller buffer does not raise the limit.
    const uint32_t cap = static_cast<uint32_t>(std::min(cap_in, UCF_SWAP_SIZE));

    if (s.discard > 0) {
        GWLOG(LOG_LVL_DEBUG, "handle oversize packet begin(%d).", static_cast<int>(s.discard));
        const int n = read_stream(fd, buf, std::min<uint32_t>(s.discard, cap));
        if (n < 0) {
            GWLOG(LOG_LVL_ERR, "the tcp connection maybe down(%d).", fd);
            return -1;
        }
        if (n == 0) {
            GWLOG(LOG_LVL_DEBUG, "no message was received(%d).", fd);
            return 0;
        }
        s.discard -= static_cast<uint32_t>(n);
        if (s.discard == 0)
            ucf_clear_buf_swap(slot);
        GWLOG(LOG_LVL_DEBUG, "handle oversize packet end(%d).", static_cast<int>(s.discard));
        return 0;
    }

    uint32_t received = std::min(s.received, cap);
    memcpy(buf, s.data, received);

    if (received < UCF_FRAME_HEADER) {
        const int n = read_stream(fd, buf + received, UCF_FRAME_HEADER - received);
        if (n < 0) {
            GWLOG(LOG_LVL_ERR, "the tcp connection maybe down(%d).", fd);
            return -1;
        }
        if (n == 0) {
            GWLOG(LOG_LVL_DEBUG, "no message was received(%d).", fd);
            return 0;
        }
        received += static_cast<uint32_t>(n);
        memcpy(s.data, buf, received);
        s.received = received;
        if (received < UCF_FRAME_HEADER) {
            GWLOG(LOG_LVL_DEBUG, "a partial message was received(%d).", static_cast<int>(received));
            return 0;
        }
    }

    uint32_t len_be;
    memcpy(&len_be, buf, sizeof len_be);
    const uint32_t len = ntohl(len_be);
    if (len > kSkipLengthMax) {
        GWLOG(LOG_LVL_ERR, "frame length %u is not a packet, the stream is broken(%d).", len, fd);
        ucf_clear_buf_swap(slot);
        return -1;
    }
    if (len > cap - UCF_FRAME_HEADER) {
        GWLOG(LOG_LVL_WARN, "oversize packet(%u), discard it.", len);
        s.received = 0;
        s.discard = len;
        return 0;
    }

    const uint32_t missing = len + UCF_FRAME_HEADER - received;
    if (missing > 0) {
        const int n = read_stream(fd, buf + received, missing);
        if (n < 0) {
            GWLOG(LOG_LVL_ERR, "the tcp connection maybe down(%d).", fd);
            return -1;
        }
        if (n == 0) {
            GWLOG(LOG_LVL_DEBUG, "no message was received(%d).", fd);
            return 0;
        }
        received += static_cast<uint32_t>(n);
        if (static_cast<uint32_t>(n) < missing) {
            memcpy(s.data, buf, received);
            s.received = received;
            GWLOG(LOG_LVL_DEBUG, "a partial message was received(%d).", static_cast<int>(received));
            return 0;
        }
    }
    GWLOG(LOG_LVL_DEBUG, "a whole message was received(%d).", static_cast<int>(received));
    ucf_clear_buf_swap(slot);
    return 1;
}

extern "C" int ucf_read_socket(struct uloop_fd *ufd, void *buf_v, int cap)
{
    if (!ufd || !buf_v || cap < 0)
        return -1;
    auto *buf = static_cast<unsigned char *>(buf_v);
    int total = 0;
    while (total < cap) {
        const ssize_t r = read(ufd->fd, buf + total, static_cast<size_t>(cap - total));
        if (r > 0) {
            total += static_cast<int>(r);
            continue;
        }
        if (r == 0)
            break;
        if (errno == EINTR) {
            GWLOG(LOG_LVL_WARN, "socket read error, %s", strerror(errno));
            continue;
        }
        if (would_block(errno))
            break;
        GWLOG(LOG_LVL_ERR, "socket read error, %s", strerror(errno));
        if (errno == EBADF)
            break;
        return -1;
    }
    return total;
}

extern "C" int gwagent_socket_write(struct uloop_fd *ufd, const void *buf_v, int len)
{
    if (!ufd || len < 0 || (len > 0 && !buf_v))
        return -1;
    if (len == 0)
        return 0;
    const auto *buf = static_cast<const unsigned char *>(buf_v);
    bool is_socket = true;
    int done = 0;
    while (done < len) {
        const size_t want = static_cast<size_t>(len - done);
        // A peer that has gone away must give EPIPE, not a SIGPIPE that ends the agent.
        ssize_t r = is_socket ? send(ufd->fd, buf + done, want, MSG_NOSIGNAL) : write(ufd->fd, buf + done, want);
        if (r < 0 && is_socket && errno == ENOTSOCK) {
            is_socket = false;
            continue;
        }
        if (r > 0) {
            done += static_cast<int>(r);
            continue;
        }
        if (r == 0)
            break;
        const int err = errno;
        if (err == EINTR) {
            GWLOG(LOG_LVL_ERR, "gwagent socket write error : %s (%d)", strerror(err), err);
            continue;
        }
        if (would_block(err)) {
            GWLOG(LOG_LVL_DEBUG, "gwagent socket write error : %s (%d)", strerror(err), err);
            break;
        }
        GWLOG(LOG_LVL_ERR, "gwagent socket write error : %s (%d)", strerror(err), err);
        return -1;
    }
    return done;
}
