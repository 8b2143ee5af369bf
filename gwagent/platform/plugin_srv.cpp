// The plugin server exchange over TCP: Register, heartbeats, commands, queued answers, Disconnect.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gw/ubox.h>

#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"
#include "platform/conn.h"
#include "platform/packet.h"
#include "platform/records.h"

using gwagent::CharPtr;
using gwagent::JsonPtr;

namespace {

constexpr int kRegisterReplyMs = 20000;
constexpr int kHbReplyMs = 15000;
constexpr int kSenderMs = 200;
constexpr size_t kHbReplyBelow = 15;
constexpr size_t kCommandFrom = 30;

gw_domain_info &plugin() { return app_domain_info[DOMAIN_PLUGIN]; }

// The answer queue stays small, yet no answer may be lost: while it is full no further command is
// read. The rest waits in the socket (TCP holds the platform back) until the sender has made room.
bool g_reading_paused = false;

bool answers_full()
{
    return fifo_buffer_get_num(&socket_plug_tx_header) >= static_cast<int>(socket_plug_tx_header.capacity);
}

void pause_reading()
{
    if (!g_reading_paused)
        GWLOG(LOG_LVL_INFO, "answer queue full, stop reading the plugin server.");
    g_reading_paused = true;
    uloop_fd_delete(&g_fd_plugin);
}

void resume_reading()
{
    if (!g_reading_paused || answers_full() || g_fd_plugin.fd < 0)
        return;
    g_reading_paused = false;
    GWLOG(LOG_LVL_INFO, "answer queue has room, read the plugin server again.");
    // A pending write interest ends in a read interest after its request went out.
    if (!g_fd_plugin.registered)
        ucf_uloop_fd_add(&g_fd_plugin, ULOOP_READ);
}

char *format_text(const char *f, ...) __attribute__((format(printf, 1, 2)));
char *format_text(const char *f, ...)
{
    va_list ap;
    va_start(ap, f);
    char *p = nullptr;
    const int n = vasprintf(&p, f, ap);
    va_end(ap);
    return n >= 0 ? p : nullptr;
}

// A failing option ends the list: the connection is used anyway.
void set_keepalive(int fd)
{
    auto set = [fd](int level, int name, int value) { return setsockopt(fd, level, name, &value, sizeof value) == 0; };
    if (!set(SOL_SOCKET, SO_KEEPALIVE, 1)) {
        GWLOG(LOG_LVL_WARN, "set KEEPALIVE failed, %s", strerror(errno));
    } else if (!set(IPPROTO_TCP, TCP_KEEPIDLE, 60)) {
        GWLOG(LOG_LVL_WARN, "set TCP KEEPIDLE failed, %s", strerror(errno));
    } else if (!set(IPPROTO_TCP, TCP_KEEPINTVL, 10)) {
        GWLOG(LOG_LVL_WARN, "set TCP KEEPINTVL failed, %s", strerror(errno));
    } else if (!set(IPPROTO_TCP, TCP_KEEPCNT, 3)) {
        GWLOG(LOG_LVL_WARN, "set TCP KEEPCNT failed, %s", strerror(errno));
    }
}

// Packs with the default key and writes it whole. Bytes written, or -1.
int send_text(const char *text)
{
    unsigned char *pkt = nullptr;
    const int n = packMessage(text, static_cast<int>(strlen(text)), &pkt, 1);
    if (n <= 0) {
        free(pkt);
        GWLOG(LOG_LVL_WARN, "add length header to outMsg failed. ");
        return -1;
    }
    const int w = gwagent_socket_write(&g_fd_plugin, pkt, n);
    free(pkt);
    return w < 0 ? -1 : n;
}

void handle_disconnect_reply(const char *text)
{
    GWLOG(LOG_LVL_DEBUG, "disconnect reply : %s", text);
    json_error_t err;
    JsonPtr root(json_loads(text, 0, &err));
    json_t *id = root ? json_object_get(root.get(), "ID") : nullptr;
    if (json_is_integer(id) && static_cast<uint32_t>(json_integer_value(id)) == plugin().disconnect_id) {
        GWLOG(LOG_LVL_NOTICE, "plugin server received disconnect response, close plugin server.");
        gwagent_close_plugin();
        return;
    }
    GWLOG(LOG_LVL_WARN, "cmd json parse error.");
}

}  // namespace

extern "C" int ucf_connect_plugin_srv(void)
{
    gw_domain_info &p = plugin();
    char server[48];
    copy_truncated(server, p.server);
    const uint16_t port = p.port;
    if (g_fd_plugin.fd >= 0)
        gwagent_close_plugin();
    memset(&p, 0, sizeof p);
    copy_truncated(p.server, server);
    p.port = port;
    p.stage = DOMAIN_STAGE_IDLE;
    ucf_clear_buf_swap(UCF_SLOT_PLUGIN);
    g_reading_paused = false;

    const int found = ucf_dns_resolver(p.server, p.addrs);
    if (found <= 0) {
        p.stage = DOMAIN_STAGE_IDLE;
        copy_truncated(p.last_error, "plugin server dns resolv failed.");
        return -1;
    }
    p.addr_count = static_cast<uint8_t>(found > DOMAIN_ADDR_COUNT ? DOMAIN_ADDR_COUNT : found);
    p.addr_index = static_cast<uint8_t>(rand() % p.addr_count);
    char port_text[8];
    snprintf(port_text, sizeof port_text, "%u", p.port);
    GWLOG(LOG_LVL_NOTICE, "connecting plugin server %s(%d/%d):%s", p.addrs[p.addr_index], p.addr_index, p.addr_count,
          port_text);
    const int fd = usock(USOCK_TCP | USOCK_NONBLOCK | USOCK_NUMERIC, p.addrs[p.addr_index], port_text);
    if (fd < 0) {
        GWLOG(LOG_LVL_WARN, "failed to connect TCP %s:%s", p.addrs[p.addr_index], port_text);
        return -1;
    }
    set_keepalive(fd);
    g_fd_plugin.fd = fd;
    g_fd_plugin.cb = ucf_plugin_fd_cb;
    p.status = DOMAIN_STATUS_BOOTED;
    p.stage = DOMAIN_STAGE_REGISTER;
    ucf_uloop_fd_add(&g_fd_plugin, ULOOP_WRITE);
    return 0;
}

extern "C" void ucf_plugin_fd_cb(struct uloop_fd *fd, unsigned int events)
{
    gw_domain_info &p = plugin();
    GWLOG(LOG_LVL_DEBUG,
          "====== plugin tcp socket call back, fd: %d, event: %d, flag: %d, stage: %d ======", fd ? fd->fd : -1, events,
          g_fd_plugin.flags, p.stage);
    if (p.stage > DOMAIN_STAGE_RUNNING) {
        GWLOG(LOG_LVL_WARN, "plugin tcp stage error, close.");
        gwagent_close_plugin();
        return;
    }
    if ((events & ULOOP_WRITE) && (g_fd_plugin.flags & ULOOP_WRITE)) {
        ucf_plug_fd_cb_write2();
    } else if ((events & ULOOP_READ) && (g_fd_plugin.flags & ULOOP_READ)) {
        ucf_plug_fd_cb_read1();
    } else if ((g_fd_plugin.flags & ULOOP_EVENT_MASK) == 0) {
        GWLOG(LOG_LVL_WARN, "plugin tcp connection error, close.");
        gwagent_close_plugin();
    }
}

extern "C" void ucf_plug_fd_cb_write2(void)
{
    gw_domain_info &p = plugin();
    srv_json_req_fn build = nullptr;
    if (p.stage == DOMAIN_STAGE_REGISTER) {
        uloop_timeout_set(&g_timeout_plugin_ack, kRegisterReplyMs);
        build = g_cc_stm.plugin[DOMAIN_STAGE_REGISTER].json_req;
    } else if (p.stage == DOMAIN_STAGE_RUNNING) {
        uloop_timeout_set(&g_timeout_plugin_hb_ack, kHbReplyMs);
        build = g_cc_stm.plugin[STAGE_ROW_HB].json_req;
    } else {
        ucf_uloop_fd_add(&g_fd_plugin, ULOOP_READ);
        GWLOG(LOG_LVL_WARN, "step is illegal, return.");
        return;
    }
    char *text = nullptr;
    if (!build || build(&text) != 0 || !text) {
        free(text);
        GWLOG(LOG_LVL_WARN, "generate outMsg failed.");
    } else {
        CharPtr owned(text);
        const int n = send_text(text);
        if (n > 0)
            GWLOG(LOG_LVL_INFO, "\033[34m[local ----> plugin]: (%d)%s - [%d]\033[0m", static_cast<int>(strlen(text)),
                  text, n);
    }
    ucf_uloop_fd_add(&g_fd_plugin, ULOOP_READ);
}

extern "C" void ucf_plug_fd_cb_read1(void)
{
    unsigned char frame[UCF_SWAP_SIZE];
    for (;;) {
        if (plugin().stage == DOMAIN_STAGE_RUNNING && answers_full()) {
            pause_reading();
            return;
        }
        const int r = ucf_read_socket_tcp(UCF_SLOT_PLUGIN, g_fd_plugin.fd, frame, sizeof frame);
        if (r == 0) {
            GWLOG(LOG_LVL_DEBUG, "a partial message was received(%d).", r);
            return;
        }
        if (r < 0) {
            GWLOG(LOG_LVL_WARN, "the tcp connection maybe down(%d).", r);
            gwagent_close_plugin();
            return;
        }
        uint32_t flen = 0;
        memcpy(&flen, frame, sizeof flen);
        flen = ntohl(flen);
        char *text = nullptr;
        const int tlen = unpackMessage(frame, static_cast<int>(flen) + UCF_FRAME_HEADER, &text, 1);
        if (tlen <= 0 || !text) {
            free(text);
            GWLOG(LOG_LVL_WARN, "TCP packet unpack error !");
            continue;
        }
        CharPtr owned(text);
        GWLOG(LOG_LVL_INFO, "\033[31m[plugin ----> local]: (%d)%s\033[0m", static_cast<int>(strlen(text)), text);
        gw_domain_info &p = plugin();
        const size_t len = strlen(text);
        int result = 0;
        if (p.stage == DOMAIN_STAGE_REGISTER) {
            if (g_cc_stm.plugin[DOMAIN_STAGE_REGISTER].rep_ack(text, &result) == 0)
                g_cc_stm.plugin[DOMAIN_STAGE_REGISTER].rep_chk(result);
        } else if (p.stage == DOMAIN_STAGE_RUNNING && len < kHbReplyBelow) {
            if (g_cc_stm.plugin[STAGE_ROW_HB].rep_ack(text, &result) == 0)
                g_cc_stm.plugin[STAGE_ROW_HB].rep_chk(result);
        } else if (p.stage == DOMAIN_STAGE_RUNNING && len < kCommandFrom) {
            handle_disconnect_reply(text);
            if (g_fd_plugin.fd < 0)
                return;
            continue;
        } else if (p.stage == DOMAIN_STAGE_RUNNING) {
            if (p.keep_time)
                uloop_timeout_set(&g_timeout_plugin_disconnect, static_cast<int>(p.keep_time * 1000));
            GWLOG(LOG_LVL_DEBUG, "thread handle cmd: %s", text);
            g_cc_stm.plugin[STAGE_ROW_CMD].rep_ack(text, &result);
        } else {
            continue;
        }
        if (g_fd_plugin.fd < 0)
            return;
        if (!g_timeout_plugin_hb.pending)
            ucf_uloop_fd_add(&g_fd_plugin, ULOOP_WRITE);
    }
}

extern "C" int rpc_srv_register_json_req(char **out)
{
    if (!g_dev_info.MAC[0]) {
        GWLOG(LOG_LVL_WARN, "The register parameter MAC is null.");
        GWLOG(LOG_LVL_WARN, "The register parameter check fail again.");
        return -1;
    }
    char check[33] = {};
    if (calc_check_sn(check, sizeof check) != 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "check sn %s -> %s", g_dev_info.ChallengeCode, check);
    *out = format_text("{\"RPCMethod\":\"Register\",\"MAC\":\"%s\",\"GPONSN\":\"%s\",\"VendorCode\":\"%s\","
                       "\"CheckSN\":\"%s\"}",
                       g_dev_info.MAC, g_dev_info.GPONSN, g_dev_info.VendorCode, check);
    return *out ? 0 : -1;
}

extern "C" int rpc_srv_register_rep_ack(const char *text, int *result)
{
    json_error_t err;
    JsonPtr root(json_loads(text, 0, &err));
    if (!root) {
        GWLOG(LOG_LVL_WARN, "register : parse json error %s", err.text);
        return -1;
    }
    json_t *r = json_object_get(root.get(), "Result");
    if (!json_is_integer(r)) {
        GWLOG(LOG_LVL_WARN, "get result id error.");
        return -1;
    }
    uloop_timeout_cancel(&g_timeout_plugin_ack);
    *result = static_cast<int>(json_integer_value(r));
    if (*result != 0)
        return 0;
    gw_domain_info &p = plugin();
    json_t *hb = json_object_get(root.get(), "Hb");
    if (!json_is_integer(hb)) {
        GWLOG(LOG_LVL_WARN, "get Hb error.");
        *result = -1;
    } else {
        const json_int_t v = json_integer_value(hb);
        p.hb_interval = v < 31 ? 120 : static_cast<uint32_t>(v);
        GWLOG(LOG_LVL_DEBUG, "Hb: %d", static_cast<int>(p.hb_interval));
    }
    json_t *kt = json_object_get(root.get(), "ConectionKeepTime");
    if (!json_is_integer(kt)) {
        GWLOG(LOG_LVL_WARN, "get ConectionKeepTime error.");
        *result = -1;
    } else {
        const json_int_t v = json_integer_value(kt);
        p.keep_time = v < 61 ? 300 : static_cast<uint32_t>(v);
        GWLOG(LOG_LVL_DEBUG, "ConectionKeepTime: %d", static_cast<int>(p.keep_time));
    }
    return 0;
}

extern "C" int rpc_srv_register_rep_chk(int result)
{
    gw_domain_info &p = plugin();
    GWLOG(LOG_LVL_DEBUG, "rpc register response result : %d", result);
    if (result == 0) {
        GWLOG(LOG_LVL_NOTICE, "plugin platform register success.");
        p.register_err = 0;
        p.status = DOMAIN_STATUS_REGISTERED;
        p.stage = DOMAIN_STAGE_RUNNING;
        p.last_error[0] = '\0';
        uloop_timeout_set(&g_timeout_plugin_disconnect, static_cast<int>(p.keep_time * 1000));
        return 0;
    }
    if (result == -2) {
        GWLOG(LOG_LVL_WARN, "plugin platform register check error.");
        copy_truncated(p.last_error, "plugin server register check error.");
    } else {
        GWLOG(LOG_LVL_WARN, "plugin platform register unknow error.");
        copy_truncated(p.last_error, "unknow error");
    }
    gwagent_close_plugin();
    p.status = DOMAIN_STATUS_FAILED;
    return 0;
}

extern "C" int rpc_srv_hb_json_req(char **out)
{
    if (!g_dev_info.MAC[0]) {
        GWLOG(LOG_LVL_WARN, "The register parameter MAC is null.");
        GWLOG(LOG_LVL_WARN, "The hb parameter check fail again.");
        return -1;
    }
    *out = format_text("{\"RPCMethod\":\"Hb\",\"IPAddr\":\"%s\",\"MAC\":\"%s\",\"GPONSN\":\"%s\"}",
                       g_dev_info.WANIPAddr, g_dev_info.MAC, g_dev_info.GPONSN);
    return *out ? 0 : -1;
}

extern "C" int rpc_srv_hb_rep_ack(const char *text, int *result)
{
    json_error_t err;
    JsonPtr root(json_loads(text, 0, &err));
    if (!root) {
        GWLOG(LOG_LVL_WARN, "hb response json parse error, %s.", err.text);
        return -1;
    }
    json_t *r = json_object_get(root.get(), "Result");
    if (!json_is_integer(r)) {
        GWLOG(LOG_LVL_WARN, "get result id error.");
        return -1;
    }
    uloop_timeout_cancel(&g_timeout_plugin_hb_ack);
    *result = static_cast<int>(json_integer_value(r));
    return 0;
}

extern "C" int rpc_srv_hb_rep_chk(int result)
{
    gw_domain_info &p = plugin();
    GWLOG(LOG_LVL_DEBUG, "rpc hb response result : %d", result);
    if (result == 0) {
        GWLOG(LOG_LVL_NOTICE, "plugin platform hb success.");
        p.hb_err = 0;
        p.status = DOMAIN_STATUS_HEARTBEAT;
        p.stage = DOMAIN_STAGE_RUNNING;
        p.last_error[0] = '\0';
        ucf_uloop_fd_add(&g_fd_plugin, ULOOP_READ);
        uloop_timeout_set(&g_timeout_plugin_hb, static_cast<int>(p.hb_interval * 1000));
        uloop_timeout_set(&g_timeout_plugin_snd, kSenderMs);
        return 0;
    }
    GWLOG(LOG_LVL_WARN, "plugin platform hb fail.");
    ++p.hb_err;
    copy_truncated(p.last_error, "unknow error");
    ucf_rpc_err_process();
    return 0;
}

extern "C" int rpc_srv_cmd_req_ack(const char *text, int *)
{
    GWLOG(LOG_LVL_DEBUG, "CMD jsonStr : %s", text);
    json_error_t err;
    JsonPtr root(json_loads(text, 0, &err));
    if (!root) {
        GWLOG(LOG_LVL_WARN, "cmd json parse error, %s.", err.text);
        return -1;
    }
    const char *method = json_string_value(json_object_get(root.get(), "RPCMethod"));
    if (!method)
        return -1;
    return handle_server_rpc_message(root.get(), method);
}

extern "C" int rpc_srv_cmd_result(char **out)
{
    GWLOG(LOG_LVL_DEBUG, "plugin server CMD get json.");
    void *data = nullptr;
    if (fifo_buffer_get(&socket_plug_tx_header, &data, nullptr) != 0 || !data)
        return -1;
    *out = static_cast<char *>(data);
    return 0;
}

extern "C" void ucf_timeout_plugin_ack_cb(struct uloop_timeout *)
{
    gw_domain_info &p = plugin();
    ++p.register_err;
    GWLOG(LOG_LVL_WARN, "Reply timed out, stage: %d, errCnt: %d", p.stage, p.register_err);
    ucf_rpc_err_process();
}

extern "C" void ucf_timeout_plugin_hb_ack_cb(struct uloop_timeout *)
{
    gw_domain_info &p = plugin();
    ++p.hb_err;
    GWLOG(LOG_LVL_WARN, "Reply timed out, stage: %d, errCnt: %d", STAGE_ROW_HB, p.hb_err);
    ucf_rpc_err_process();
}

extern "C" void ucf_timeout_plugin_hb_cb(struct uloop_timeout *t)
{
    gw_domain_info &p = plugin();
    GWLOG(LOG_LVL_DEBUG, "set plugin HB to 1, plugin fd is %d, interval is %ds", g_fd_plugin.fd,
          static_cast<int>(p.hb_interval));
    uloop_timeout_set(t, static_cast<int>(p.hb_interval * 1000));
    if (g_fd_plugin.fd >= 0)
        ucf_uloop_fd_add(&g_fd_plugin, ULOOP_WRITE);
}

extern "C" void ucf_timeout_plugin_snd_cb(struct uloop_timeout *t)
{
    while (plugin().stage == DOMAIN_STAGE_RUNNING && g_fd_plugin.fd >= 0 &&
           fifo_buffer_get_num(&socket_plug_tx_header) > 0) {
        char *text = nullptr;
        if (g_cc_stm.plugin[STAGE_ROW_CMD].json_req(&text) != 0 || !text) {
            GWLOG(LOG_LVL_WARN, "generate outMsg failed.");
            break;
        }
        CharPtr owned(text);
        const int n = send_text(text);
        if (n > 0)
            GWLOG(LOG_LVL_INFO, "\033[34m[local ----> plugin]: %s(%d) - [%d]\033[0m", text,
                  static_cast<int>(strlen(text)), n);
    }
    resume_reading();
    uloop_timeout_set(t, kSenderMs);
}

extern "C" void ucf_timeout_plugin_disconnect_cb(struct uloop_timeout *)
{
    uloop_timeout_cancel(&g_timeout_plugin_hb);
    uloop_timeout_cancel(&g_timeout_plugin_hb_ack);
    gw_domain_info &p = plugin();
    p.disconnect_id = gwagent_now();
    char *text = format_text("{\"RPCMethod\":\"Disconnect\",\"ID\":%d}", static_cast<int>(p.disconnect_id));
    if (!text)
        return;
    if (fifo_buffer_put(&socket_plug_tx_header, text, static_cast<uint32_t>(strlen(text))) != 0) {
        free(text);
        GWLOG(LOG_LVL_WARN, "Failed to write to remote");
    }
}
