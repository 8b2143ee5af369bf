// The message server: signed MessagePush reports over a short-lived TCP connection, one at a time,
// each acknowledged before the next; and the hand-over of pushes made on other threads.
#include <arpa/inet.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <gw/ubox.h>

#include "commands/cmd_json.h"
#include "core/agent.h"
#include "core/crypto.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"
#include "platform/conn.h"
#include "platform/records.h"

namespace {

constexpr int kAckMs = 20000;
constexpr int kReadMax = 4096;
// Larger than the 4095 characters of the original area, so that long reports go out whole instead
// of being cut into invalid JSON.
constexpr size_t kTextMax = 16384;

unsigned g_pause_us = 100 * 1000;
pthread_t g_main_thread;
bool g_main_known = false;
struct uloop_fd g_handoff = {nullptr, -1, false, false, false, 0};

gw_domain_info &msgsrv() { return app_domain_info[DOMAIN_MSG]; }

bool on_main_thread() { return !g_main_known || pthread_equal(pthread_self(), g_main_thread); }

void handoff_cb(struct uloop_fd *fd, unsigned int)
{
    uint64_t v = 0;
    while (read(fd->fd, &v, sizeof v) == static_cast<ssize_t>(sizeof v)) {
    }
    if (fifo_buffer_get_num(&g_msg_srv_fifo_buf) > 0)
        ucf_connect_msgsrv();
}

void close_msg_fd()
{
    if (g_fd_message.fd >= 0)
        ucf_close_uloop_fd(&g_fd_message);
}

void drop_first()
{
    void *data = nullptr;
    if (fifo_buffer_get(&g_msg_srv_fifo_buf, &data, nullptr) == 0)
        free(data);
}

void send_one()
{
    void *data = nullptr;
    uint32_t len = 0;
    if (fifo_buffer_get_head(&g_msg_srv_fifo_buf, &data, &len) != 0 || !data) {
        GWLOG(LOG_LVL_WARN, "no msg to send.");
    } else {
        std::vector<char> text(kTextMax + 1, '\0');
        if (rpc_message_push(static_cast<const char *>(data), static_cast<int>(len), text.data(), text.size()) != 0) {
            // A report that cannot be signed or framed would block every later one at the head.
            GWLOG(LOG_LVL_WARN, "failed to generate out msg.");
            drop_first();
        } else {
            const uint32_t l = static_cast<uint32_t>(strlen(text.data()));
            std::vector<unsigned char> frame(l + 4);
            const uint32_t be = htonl(l);
            memcpy(frame.data(), &be, 4);
            memcpy(frame.data() + 4, text.data(), l);
            uloop_timeout_set(&g_timeout_msg_ack, kAckMs);
            if (gwagent_socket_write(&g_fd_message, frame.data(), static_cast<int>(frame.size())) == -1)
                GWLOG(LOG_LVL_WARN, "message push failed.");
            GWLOG(LOG_LVL_INFO, "\033[34m[local ----> msg]: (%d)%s\033[0m", static_cast<int>(l), text.data());
        }
    }
    if (g_pause_us)
        usleep(g_pause_us);
    ucf_uloop_fd_add(&g_fd_message, ULOOP_READ);
}

void receive_ack()
{
    unsigned char buf[kReadMax + 1];
    const int n = ucf_read_socket(&g_fd_message, buf, kReadMax);
    if (n < 5) {
        GWLOG(LOG_LVL_DEBUG, "read no messsage, return and wait!");
        return;
    }
    buf[n] = '\0';
    const char *text = reinterpret_cast<const char *>(buf + 4);
    GWLOG(LOG_LVL_INFO, "\033[31m[msg ----> local]: (%d)%s\033[0m", n - 4, text);
    msgsrv().reply_timeout_cnt = 0;
    uloop_timeout_cancel(&g_timeout_msg_ack);
    json_error_t err;
    gwagent::JsonPtr root(json_loads(text, 0, &err));
    if (root && !json_is_integer(json_object_get(root.get(), "Result")))
        GWLOG(LOG_LVL_WARN, "Failed to get result from message server.");
    drop_first();
    if (fifo_buffer_get_num(&g_msg_srv_fifo_buf) > 0) {
        GWLOG(LOG_LVL_DEBUG, "send remaining msgs in the queue");
        ucf_uloop_fd_add(&g_fd_message, ULOOP_WRITE);
    } else {
        close_msg_fd();
    }
}

}  // namespace

extern "C" int gwagent_on_main_thread(void) { return on_main_thread() ? 1 : 0; }

extern "C" void gwagent_set_msg_pause_us(unsigned us) { g_pause_us = us; }

extern "C" void gwagent_msg_handoff_init(void)
{
    g_main_thread = pthread_self();
    g_main_known = true;
    if (g_handoff.fd >= 0)
        return;
    const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        GWLOG(LOG_LVL_ERR, "create message hand-over failed, %s", strerror(errno));
        return;
    }
    g_handoff.fd = fd;
    g_handoff.cb = handoff_cb;
    uloop_fd_add(&g_handoff, ULOOP_READ);
}

extern "C" void gwagent_msg_handoff_done(void)
{
    if (g_handoff.fd >= 0)
        ucf_close_uloop_fd(&g_handoff);
    g_main_known = false;
}

extern "C" void gwagent_msg_time_text(const struct tm *tm, char out[15])
{
    char buf[64];
    snprintf(buf, sizeof buf, "%4d%02d%02d%02d%02d%02d", tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour,
             tm->tm_min, tm->tm_sec);
    for (char *p = buf; *p; ++p)
        if (*p == ' ')
            *p = '0';
    copy_truncated(out, 15, buf);
}

extern "C" int rpc_message_push(const char *msg, int len, char *out, size_t out_size)
{
    if (!msg || len < 0 || !out || out_size == 0)
        return -1;
    time_t now = time(nullptr);
    struct tm tm {};
    localtime_r(&now, &tm);
    char ts[15];
    gwagent_msg_time_text(&tm, ts);
    GWLOG(LOG_LVL_DEBUG, "current system time [%s]", ts);
    GWLOG(LOG_LVL_DEBUG, "message size(%d), msg : %s", len, msg);
    std::vector<char> b64(static_cast<size_t>(len) / 3 * 4 + 8, '\0');
    if (b64_encode(msg, static_cast<size_t>(len), b64.data(), b64.size()) < 0)
        return -1;
    const std::string sign =
        std::string(ts) + b64.data() + g_dev_info.MAC + g_dev_info.SNPrefix + g_dev_info.SharedPasswd;
    char md5[33] = {};
    if (comm_md5sum(sign.c_str(), md5) != 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "msg push: md5(%s) = [%s]", sign.c_str(), md5);
    const int n =
        snprintf(out, out_size,
                 "{\"RPCMethod\":\"MessagePush\",\"MAC\":\"%s\",\"time\":\"%s\",\"MD5\":\"%s\",\"Message\":\"%s\"}",
                 g_dev_info.MAC, ts, md5, b64.data());
    if (n < 0 || static_cast<size_t>(n) >= out_size) {
        GWLOG(LOG_LVL_WARN, "message push text of %d bytes is too long.", n);
        return -1;
    }
    GWLOG(LOG_LVL_DEBUG, "jsonStr [%s]", out);
    return 0;
}

extern "C" int gwagent_message_push(const char *msg, int len)
{
    if (!msg || len < 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "push message size(%d), msg : %s", len, msg);
    char *copy = static_cast<char *>(malloc(static_cast<size_t>(len) + 1));
    if (!copy)
        return -1;
    memcpy(copy, msg, static_cast<size_t>(len));
    copy[len] = '\0';
    if (fifo_buffer_get_num(&g_msg_srv_fifo_buf) >= g_msg_srv_fifo_buf.capacity)
        GWLOG(LOG_LVL_WARN, "message queue full, clear it.");
    if (fifo_buffer_put_evict(&g_msg_srv_fifo_buf, copy, static_cast<uint32_t>(len)) != 0) {
        free(copy);
        return -1;
    }
    int ret = 0;
    if (on_main_thread()) {
        ret = ucf_connect_msgsrv();
    } else if (g_handoff.fd >= 0) {
        const uint64_t one = 1;
        if (write(g_handoff.fd, &one, sizeof one) != static_cast<ssize_t>(sizeof one))
            GWLOG(LOG_LVL_WARN, "message hand-over failed, %s", strerror(errno));
    }
    GWLOG(LOG_LVL_DEBUG, "push message end, ret = %d", ret);
    return ret;
}

extern "C" int ucf_connect_msgsrv(void)
{
    gw_domain_info &m = msgsrv();
    if (g_fd_message.fd >= 0) {
        GWLOG(LOG_LVL_DEBUG, "msgSrv fd exist : %d", g_fd_message.fd);
        return 1;
    }
    if (!g_dev_info.WANIPAddr[0]) {
        GWLOG(LOG_LVL_INFO, "the Internet WAN IP is null.");
        return -1;
    }
    if (!m.server[0] && !m.addrs[m.addr_index][0]) {
        char addr[256] = {};
        if (uci_config_get_n("gwagent", "message", "address", addr, sizeof addr) != 0 || !addr[0]) {
            GWLOG(LOG_LVL_WARN, "the address of message server is null.");
            return -1;
        }
        copy_truncated(m.server, addr);
    }
    if (m.port == 0) {
        char port[256] = {};
        unsigned long v = 0;
        if (uci_config_get_n("gwagent", "message", "port", port, sizeof port) == 0)
            v = strtoul(port, nullptr, 10);
        m.port = v <= 65535 ? static_cast<uint16_t>(v) : 0;
        if (m.port == 0) {
            GWLOG(LOG_LVL_WARN, "the port of message server is invaild.");
            return -1;
        }
    }
    if (m.addr_count == 0) {
        const int found = ucf_dns_resolver(m.server, m.addrs);
        if (found <= 0) {
            GWLOG(LOG_LVL_ERR, "resolve address of message server failed.");
            return -1;
        }
        m.addr_count = static_cast<uint8_t>(found > DOMAIN_ADDR_COUNT ? DOMAIN_ADDR_COUNT : found);
        m.addr_index = 0;
    }
    char port[8];
    snprintf(port, sizeof port, "%u", m.port);
    const char *host = m.addrs[m.addr_index];
    GWLOG(LOG_LVL_DEBUG, "connecting message server %s:%s", host, port);
    const int fd = usock(USOCK_TCP | USOCK_NONBLOCK | USOCK_NUMERIC, host, port);
    int ret = 0;
    if (fd < 0) {
        GWLOG(LOG_LVL_WARN, "failed to connect TCP %s:%s", host, port);
        ret = -1;
    } else {
        g_fd_message.fd = fd;
        g_fd_message.cb = ucf_msg_srv_fd_cb;
        ucf_uloop_fd_add(&g_fd_message, ULOOP_WRITE);
    }
    GWLOG(LOG_LVL_DEBUG, "connect message server, ret = %d, %p", ret, static_cast<void *>(&g_fd_message));
    return ret;
}

extern "C" void ucf_msg_srv_fd_cb(struct uloop_fd *fd, unsigned int events)
{
    GWLOG(LOG_LVL_DEBUG, "====== msg tcp socket call back, fd: %d, event: %d, flag: %d ======", fd ? fd->fd : -1,
          events, g_fd_message.flags);
    if ((events & ULOOP_WRITE) && (g_fd_message.flags & ULOOP_WRITE) && !g_fd_message.error) {
        GWLOG(LOG_LVL_DEBUG, "\033[34m[local ----> msg]: send packet!\033[0m");
        send_one();
    } else if ((events & ULOOP_READ) && (g_fd_message.flags & ULOOP_READ) && !g_fd_message.error) {
        GWLOG(LOG_LVL_DEBUG, "\033[31m[msg ----> local]: receive packet!\033[0m");
        receive_ack();
    } else {
        GWLOG(LOG_LVL_WARN, "msg tcp socket error, close.");
        close_msg_fd();
    }
}

extern "C" void ucf_timeout_msg_ack_cb(struct uloop_timeout *)
{
    gw_domain_info &m = msgsrv();
    ++m.reply_timeout_cnt;
    GWLOG(LOG_LVL_WARN, "msg reply timeout cnt = %d", m.reply_timeout_cnt);
    if (m.reply_timeout_cnt <= 3) {
        GWLOG(LOG_LVL_DEBUG, "retry send the msg.");
        ucf_uloop_fd_add(&g_fd_message, ULOOP_WRITE);
    } else if (m.reply_timeout_cnt == 4) {
        GWLOG(LOG_LVL_DEBUG, "connect msg srv and resend.");
        close_msg_fd();
        ucf_connect_msgsrv();
    } else {
        m.reply_timeout_cnt = 0;
        drop_first();
        close_msg_fd();
        if (fifo_buffer_get_num(&g_msg_srv_fifo_buf) > 0) {
            GWLOG(LOG_LVL_DEBUG, "connect msg srv and send remaining msgs in the queue.");
            ucf_connect_msgsrv();
        }
    }
}
