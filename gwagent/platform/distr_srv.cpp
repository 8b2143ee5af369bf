// The distribution server exchange over UDP: Boot, Register, heartbeats, pushes and the plugin
// server instruction.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gw/ubox.h>

#include "commands/cmd_json.h"
#include "core/agent.h"
#include "core/crypto.h"
#include "core/io/ucf_io.h"
#include "gwbus/api.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "gwbus/util.h"
#include "platform/conn.h"
#include "platform/packet.h"
#include "platform/records.h"

using gwagent::CharPtr;
using gwagent::JsonPtr;

namespace {

constexpr int kDatagramMax = 4096;
constexpr int kReplyMs = 10000;
constexpr int kHbReplyMs = 15000;
constexpr int kLongWaitMs = 9000000;
constexpr int kMinuteMs = 60000;
constexpr char kSharedXor = 0x50;

gw_domain_info &distr() { return app_domain_info[DOMAIN_DISTR]; }

gwagent_devinfo_fn g_devinfo_refresh = gwagent_devinfo_refresh;

char *dup_text(const std::string &s) { return strdup(s.c_str()); }

std::string fmt(const char *f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char *f, ...)
{
    va_list ap;
    va_start(ap, f);
    char *p = nullptr;
    const int n = vasprintf(&p, f, ap);
    va_end(ap);
    std::string r = n >= 0 ? std::string(p, static_cast<size_t>(n)) : std::string();
    free(p);
    return r;
}

void set_registered(char flag)
{
    g_dev_info.RegisteredFlag = static_cast<uint32_t>(flag);
    const char v[2] = {flag, '\0'};
    uci_config_set("gwagent", "global", "status", v, 1);
}

char registered_flag() { return g_dev_info.RegisteredFlag == '1' ? '1' : '0'; }

std::string xor_shared(const char *s)
{
    std::string r(s);
    for (char &c : r)
        c = static_cast<char>(c ^ kSharedXor);
    return r;
}

// Replies may carry two objects glued together ("}{"): only the first one counts.
JsonPtr parse_reply(const char *text, const char *what)
{
    json_error_t err;
    JsonPtr root(json_loads(text, 0, &err));
    if (root)
        return root;
    const char *glue = strstr(text, "}{");
    if (!glue) {
        GWLOG(LOG_LVL_WARN, "%s : parse json error %s", what, err.text);
        return nullptr;
    }
    std::string first(text, static_cast<size_t>(glue - text + 1));
    root.reset(json_loads(first.c_str(), 0, &err));
    if (!root)
        GWLOG(LOG_LVL_WARN, "%s : parse jsons error %s", what, err.text);
    return root;
}

// "Result" and a "MessageID" that matches the last request: 0, else -1.
int check_result_and_id(json_t *root, int *result)
{
    json_t *r = json_object_get(root, "Result");
    if (!json_is_integer(r)) {
        GWLOG(LOG_LVL_WARN, "get result id error.");
        return -1;
    }
    const char *mid = json_string_value(json_object_get(root, "MessageID"));
    if (!mid) {
        GWLOG(LOG_LVL_WARN, "get MessageID error.");
        return -1;
    }
    GWLOG(LOG_LVL_DEBUG, "t_MessageID: %s : %s", mid, g_dev_info.MessageID);
    if (strncmp(mid, g_dev_info.MessageID, 12) != 0) {
        GWLOG(LOG_LVL_WARN, "MessageID is not matched with the sented, %s : %s", mid, g_dev_info.MessageID);
        return -1;
    }
    *result = static_cast<int>(json_integer_value(r));
    return 0;
}

void fail_result(int *result, const char *what, int keep1, int keep2, int other)
{
    GWLOG(LOG_LVL_WARN, "%s failed, response result: %d", what, *result);
    if (*result != keep1 && *result != keep2)
        *result = other;
}

void send_at_once() { ucf_distr_fd_cb_write(); }

// The plugin server instruction of a heartbeat reply. 0 accepted (possibly refused by key), -1 bad.
int handle_instruction(json_t *root)
{
    gw_domain_info &d = distr();
    gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
    d.instruction_result = 0;
    const char *key = json_string_value(json_object_get(root, "Key"));
    if (!key) {
        GWLOG(LOG_LVL_WARN, "get Key error.");
        return -1;
    }
    char key_cut[48];
    copy_truncated(key_cut, key);
    if (strncmp(key_cut, g_dev_info.LastPluginKey, sizeof g_dev_info.LastPluginKey) != 0) {
        char expect[33] = {};
        calc_key_sn(expect, sizeof expect);
        GWLOG(LOG_LVL_DEBUG, "key %s, receive key %s, lastkey %s.\n", expect, key_cut, g_dev_info.LastPluginKey);
        if (!key_sn_match(key_cut)) {
            // The refusal answer names the instruction's MessageID: without it nothing could be
            // answered and the agent would wait on a server that waits on it.
            d.instruction_result = 0xFF;
            const char *refused = json_string_value(json_object_get(root, "MessageID"));
            if (refused && *refused)
                copy_truncated(g_dev_info.PluginMessageID, refused);
            return 0;
        }
        copy_truncated(g_dev_info.LastPluginKey, key_cut);
        GWLOG(LOG_LVL_DEBUG, "update lastkey: %s", g_dev_info.LastPluginKey);
        getDevRND(g_dev_info.DevRND);
    }
    const char *addr = json_string_value(json_object_get(root, "ServerAddr"));
    if (!addr)
        GWLOG(LOG_LVL_WARN, "get ServerAddr error.");
    const char *port = json_string_value(json_object_get(root, "ServerPort"));
    if (!port)
        GWLOG(LOG_LVL_WARN, "get ServerPort error.");
    const char *mid = json_string_value(json_object_get(root, "MessageID"));
    if (!mid)
        GWLOG(LOG_LVL_WARN, "get MessageID error.");
    if (!addr || !*addr || !port || !*port || !mid || !*mid) {
        GWLOG(LOG_LVL_WARN, "Addr or port or messageid is null.");
        return -1;
    }
    char port_cut[8];
    copy_truncated(port_cut, port);
    if (g_fd_plugin.fd < 0) {
        copy_truncated(p.server, addr);
        char *end = nullptr;
        const unsigned long v = strtoul(port_cut, &end, 10);
        p.port = (end && *end == '\0' && v <= 65535) ? static_cast<uint16_t>(v) : 0;
    }
    copy_truncated(g_dev_info.PluginMessageID, mid);
    return 0;
}

}  // namespace

extern "C" int ucf_connect_distr_srv(void)
{
    gw_domain_info &d = distr();
    GWLOG(LOG_LVL_INFO, "ipAddrCnt: %d, ipAddr: %s, %s, %s", d.addr_count, d.addrs[0], d.addrs[1], d.addrs[2]);
    const int count = d.addr_count ? d.addr_count : 1;
    d.addr_index = static_cast<uint8_t>(rand() % count);
    const char *host = d.addrs[d.addr_index][0] ? d.addrs[d.addr_index] : d.server;
    char port[8];
    snprintf(port, sizeof port, "%u", d.port);
    GWLOG(LOG_LVL_NOTICE, "connect to udp distri server %s:%s", host, port);
    if (g_fd_udp_distr.fd >= 0)
        ucf_close_uloop_fd(&g_fd_udp_distr);
    const int fd = usock(USOCK_UDP | USOCK_NONBLOCK | USOCK_NUMERIC, host, port);
    if (fd < 0) {
        d.status = DOMAIN_STATUS_FAILED;
        if (d.common_err < UINT8_MAX)
            ++d.common_err;
        const int n = d.common_err;
        if (n > 5) {
            GWLOG(LOG_LVL_ERR, "udp socket open failed, count: %d, relogin 10 minutes later.", n);
            gwagent_relogin_after(10 * kMinuteMs);
        } else {
            GWLOG(LOG_LVL_WARN, "udp socket open failed, count: %d, relogin %d minutes later.", n, n);
            gwagent_relogin_after(n * kMinuteMs);
        }
        copy_truncated(d.last_error, "socket open failed.");
        return -1;
    }
    g_fd_udp_distr.fd = fd;
    g_fd_udp_distr.cb = ucf_udp_distr_fd_cb;
    d.status = DOMAIN_STATUS_CONNECTED;
    d.stage = DOMAIN_STAGE_BOOT;
    d.common_err = 0;
    d.last_error[0] = '\0';
    uloop_timeout_cancel(&g_timeout_relogin);
    ucf_uloop_fd_add(&g_fd_udp_distr, ULOOP_READ);
    send_at_once();
    return 0;
}

extern "C" void ucf_distr_fd_cb_write(void)
{
    gw_domain_info &d = distr();
    GWLOG(LOG_LVL_DEBUG,
          "====== distr udp socket send call back, fd: %d, flag: %d, stage: %d ======", g_fd_udp_distr.fd,
          g_fd_udp_distr.flags, d.stage);
    GWLOG(LOG_LVL_DEBUG, "\033[34m[local ----> platform]: send packet!\033[0m");
    GWLOG(LOG_LVL_INFO, "[FIFO] register: %d, eof: %d, err: %d\n", g_fd_pushd.registered, g_fd_pushd.eof,
          g_fd_pushd.error);
    srv_json_req_fn build = nullptr;
    switch (d.stage) {
    case DOMAIN_STAGE_BOOT:
        uloop_timeout_set(&g_timeout_distr_boot0, kReplyMs);
        build = g_cc_stm.distr[DOMAIN_STAGE_BOOT].json_req;
        break;
    case DOMAIN_STAGE_REGISTER:
        uloop_timeout_set(&g_timeout_distr_register1, kReplyMs);
        build = g_cc_stm.distr[DOMAIN_STAGE_REGISTER].json_req;
        break;
    case DOMAIN_STAGE_RUNNING:
        if (d.send_answer) {
            d.send_answer = 0;
            build = g_cc_stm.distr[STAGE_ROW_CMD].json_req;
        } else if (d.send_hb) {
            d.send_hb = 0;
            uloop_timeout_set(&g_timeout_distr_hb_ack, kHbReplyMs);
            build = g_cc_stm.distr[STAGE_ROW_HB].json_req;
        }
        break;
    default:
        break;
    }
    if (!build)
        return;
    char *text = nullptr;
    if (build(&text) != 0 || !text) {
        GWLOG(LOG_LVL_WARN, "encapsulate the packet failed.");
        free(text);
        return;
    }
    CharPtr owned(text);
    unsigned char *pkt = nullptr;
    const int n = packMessage(text, static_cast<int>(strlen(text)), &pkt, 0);
    if (n <= 0) {
        GWLOG(LOG_LVL_ERR, "pack UDP packet error.");
        free(pkt);
        return;
    }
    gwagent_socket_write(&g_fd_udp_distr, pkt, n);
    free(pkt);
    GWLOG(LOG_LVL_INFO, "\033[34m[local ----> platform]: (%d)%s\033[0m", static_cast<int>(strlen(text)), text);
}

extern "C" void ucf_udp_distr_fd_cb(struct uloop_fd *fd, unsigned int events)
{
    GWLOG(LOG_LVL_DEBUG,
          "====== distr udp socket call back, fd: %d, event: %d, flag: %d, stage: %d ======", fd ? fd->fd : -1, events,
          g_fd_udp_distr.flags, distr().stage);
    if (!(events & ULOOP_READ) || !(g_fd_udp_distr.flags & ULOOP_READ))
        return;
    GWLOG(LOG_LVL_DEBUG, "\033[31m[platform ----> local]: receive packet!\033[0m");
    ucf_distr_fd_cb_read();
}

extern "C" void ucf_distr_fd_cb_read(void)
{
    unsigned char buf[kDatagramMax];
    const int n = ucf_read_socket_udp(g_fd_udp_distr.fd, buf, sizeof buf);
    if (n == 0) {
        GWLOG(LOG_LVL_DEBUG, "0B UDP packet received.");
        return;
    }
    if (n < 0) {
        GWLOG(LOG_LVL_ERR, "UDP socket error !");
        return;
    }
    char *text = nullptr;
    if (unpackMessage(buf, n, &text, 0) <= 0 || !text) {
        free(text);
        GWLOG(LOG_LVL_ERR, "UDP packet unpack error !");
        return;
    }
    CharPtr owned(text);
    GWLOG(LOG_LVL_INFO, "\033[31m[platform ----> local]: (%d)%s\033[0m", static_cast<int>(strlen(text)), text);
    int row;
    switch (distr().stage) {
    case DOMAIN_STAGE_BOOT:
        row = 0;
        break;
    case DOMAIN_STAGE_REGISTER:
        row = 1;
        break;
    case DOMAIN_STAGE_RUNNING:
        row = STAGE_ROW_HB;
        break;
    default:
        return;
    }
    GWLOG(LOG_LVL_DEBUG, "analyze the packet, funcId: %d", row);
    int result = 0;
    if (g_cc_stm.distr[row].rep_ack(text, &result) != 0) {
        GWLOG(LOG_LVL_DEBUG, "No match ack packet, return and wait timeout retry!");
        return;
    }
    g_cc_stm.distr[row].rep_chk(result);
}

extern "C" void gwagent_set_devinfo_refresh(gwagent_devinfo_fn fn)
{
    g_devinfo_refresh = fn ? fn : gwagent_devinfo_refresh;
}

extern "C" int distr_srv_boot_json_req(char **out)
{
    // Read afresh each time: a failed read at start-up or an address gained since must not stick. A
    // service that does not answer costs one call timeout, not one per value.
    gw::BusCallScope scope;
    g_devinfo_refresh();
    const gw_dev_info &g = g_dev_info;
    const bool ok_vendor = g.Vendor[0], ok_model = g.ProductClass[0], ok_mac = g.MAC[0];
    if (!ok_vendor || !ok_model || !ok_mac) {
        if (!ok_vendor)
            GWLOG(LOG_LVL_DEBUG, "The boot parameter vendor is null.");
        if (!ok_model)
            GWLOG(LOG_LVL_DEBUG, "The boot parameter Model is null.");
        if (!ok_mac)
            GWLOG(LOG_LVL_DEBUG, "The boot parameter MAC is null.");
        GWLOG(LOG_LVL_ERR, "igd server maybe down.");
        return -1;
    }
    getMessageID(g_dev_info.MessageID);
    char name[256] = {};
    if (api_getGatewayName(name, sizeof name) != 0) {
        GWLOG(LOG_LVL_WARN, "get DevName failed.");
        name[0] = '\0';
    }
    // The name is the user's text: escaped, so quotes in it cannot break the request.
    gwagent::JsonPtr name_json(json_string(name));
    gwagent::CharPtr quoted(name_json ? json_dumps(name_json.get(), JSON_ENCODE_ANY) : nullptr);
    std::string escaped = quoted ? std::string(quoted.get() + 1, strlen(quoted.get()) - 2) : std::string();
    const char *dev_name = escaped.c_str();
    *out = dup_text(fmt("{\"RPCMethod\":\"Boot\",\"MessageID\":\"%s\",\"Vendor\":\"%s\",\"Model\":\"%s\","
                        "\"FirmwareVer\":\"%s\",\"HardwareVer\":\"%s\",\"ZepVer\":\"%s\",\"IPAddr\":\"%s\","
                        "\"MAC\":\"%s\",\"GPONSN\":\"%s\",\"Province\":\"%s\",\"OS\":\"%s\",\"WiFiVer\":\"%d\","
                        "\"WiFiBand\":\"%d\",\"UPLink\":\"%d\",\"UPLinkType\":\"%d\",\"DevType\":\"%d\","
                        "\"WorkMode\":\"%d\",\"DevName\":\"%s\",\"KernelBit\":\"%d\",\"CpuArch\":\"%s\","
                        "\"Flag\":\"%c\"}",
                        g.MessageID, g.Vendor, g.ProductClass, g.SWVersion, g.HDVersion, g.FrameworkVersion,
                        g.WANIPAddr, g.MAC, g.GPONSN, g.Province[0] ? g.Province : "NULL", "OXA", g.WiFiVersion,
                        g.DevWiFi, g.UPLink, static_cast<int>(g.UPLinkType), g.DevType, g.WorkMode, dev_name,
                        static_cast<int>(g.KernelBit), g.CpuArch, registered_flag()));
    return *out ? 0 : -1;
}

extern "C" int distr_srv_boot_rep_ack(const char *text, int *result)
{
    GWLOG(LOG_LVL_DEBUG, "jsonStr: %s", text);
    json_error_t err;
    JsonPtr root(json_loads(text, 0, &err));
    if (!root) {
        GWLOG(LOG_LVL_WARN, "boot response json parse error, %s.", err.text);
        return -1;
    }
    if (check_result_and_id(root.get(), result) != 0)
        return -1;
    uloop_timeout_cancel(&g_timeout_distr_boot0);
    if (*result == 0) {
        const char *cc = json_string_value(json_object_get(root.get(), "ChallengeCode"));
        if (!cc) {
            GWLOG(LOG_LVL_WARN, "get ChallendgeCode error.");
            *result = -1;
        } else {
            copy_truncated(g_dev_info.ChallengeCode, cc);
            GWLOG(LOG_LVL_DEBUG, "challenge_code %s.", g_dev_info.ChallengeCode);
        }
        if (registered_flag() == '1') {
            char stored[256] = {};
            if (uci_config_get_n("gwagent", "global", "shared", stored, sizeof stored) != 0 || !stored[0]) {
                GWLOG(LOG_LVL_WARN, "SharedPasswd lose. need to Boot, get SharedPasswd again.");
                *result = -1;
            } else if (strlen(stored) != 32) {
                GWLOG(LOG_LVL_WARN, "SharedPasswd: %s, len is not 32.", stored);
                *result = -1;
            } else {
                copy_truncated(g_dev_info.SharedPasswd, xor_shared(stored).c_str());
                GWLOG(LOG_LVL_DEBUG, "SharedPasswd %s", g_dev_info.SharedPasswd);
            }
        } else {
            const char *sp = json_string_value(json_object_get(root.get(), "SharedPasswd"));
            if (!sp) {
                GWLOG(LOG_LVL_WARN, "get SharedPasswd error.");
                *result = -1;
            } else {
                copy_truncated(g_dev_info.SharedPasswd, sp);
                set_registered('1');
                if (strlen(sp) != 32) {
                    GWLOG(LOG_LVL_WARN, "SharedPasswd: %s, len is not 32.", sp);
                    *result = -1;
                } else {
                    uci_config_set("gwagent", "global", "shared", xor_shared(sp).c_str(), 1);
                }
            }
        }
    } else {
        fail_result(result, "boot", -1, -2, -1);
    }
    return 0;
}

extern "C" int distr_srv_boot_rep_chk(int result)
{
    gw_domain_info &d = distr();
    GWLOG(LOG_LVL_DEBUG, "boot response result : %d", result);
    if (result == 0) {
        GWLOG(LOG_LVL_NOTICE, "platform Boot success.");
        d.status = DOMAIN_STATUS_BOOTED;
        d.stage = DOMAIN_STAGE_REGISTER;
        d.boot_err = 0;
        d.last_error[0] = '\0';
        uloop_timeout_cancel(&g_timeout_relogin);
        send_at_once();
    } else if (result == -1) {
        GWLOG(LOG_LVL_DEBUG, "boot failed, reboot!");
        set_registered('0');
        copy_truncated(d.last_error, "boot failed");
        d.status = DOMAIN_STATUS_FAILED;
        ++d.boot_err;
        ucf_distr_err_process();
    } else if (result == -2) {
        const gw_dev_info &g = g_dev_info;
        GWLOG(LOG_LVL_ERR, "platform Boot failed, re-boot when hgu reboot or wanIP change or after 150 minutes...");
        GWLOG(LOG_LVL_ERR, "need to check information: Vendor<%s>, Model<%s>, IPAddr<%s>, MAC<%s>, Province<%s>",
              g.Vendor, g.ProductClass, g.WANIPAddr, g.MAC, g.Province);
        set_registered('0');
        copy_truncated(d.last_error, "boot check error");
        d.status = DOMAIN_STATUS_FAILED;
        gwagent_close();
        gwagent_relogin_after(kLongWaitMs);
    } else {
        GWLOG(LOG_LVL_ERR, "platform %d, stage %d, boot failed, result %d", 0, d.stage, result);
        copy_truncated(d.last_error, "unknow error");
        d.status = DOMAIN_STATUS_FAILED;
        ++d.boot_err;
        ucf_distr_err_process();
    }
    return 0;
}

extern "C" int distr_srv_register_json_req(char **out)
{
    GWLOG(LOG_LVL_DEBUG, "get registr json string.");
    if (!g_dev_info.MAC[0]) {
        GWLOG(LOG_LVL_DEBUG, "The boot parameter MAC is null.");
        GWLOG(LOG_LVL_ERR, "The register parameter check fail again.");
        return -1;
    }
    if (calc_check_sn(g_dev_info.CheckSN, sizeof g_dev_info.CheckSN) != 0)
        return -1;
    getDevRND(g_dev_info.DevRND);
    getMessageID(g_dev_info.MessageID);
    // Read at each request; the device report takes the stored LOID.
    gw::BusCallScope scope;
    hgu_PPPoEInfo_t pppoe{};
    if (getDefaultInternetPPPoEInfo(&pppoe) == 0) {
        copy_truncated(g_dev_info.PPPoEName, pppoe.PPPoEUserName);
    } else {
        GWLOG(LOG_LVL_WARN, "get internet PPPoEName failed.");
        g_dev_info.PPPoEName[0] = '\0';
    }
    if (api_getDeviceLOID(g_dev_info.LOID, sizeof g_dev_info.LOID) != 0) {
        GWLOG(LOG_LVL_WARN, "get loid failed.");
        g_dev_info.LOID[0] = '\0';
    }
    const std::string check(g_dev_info.CheckSN, strnlen(g_dev_info.CheckSN, sizeof g_dev_info.CheckSN));
    *out = dup_text(fmt("{\"RPCMethod\":\"Register\",\"DevRND\":\"%s\",\"MessageID\":\"%s\",\"MAC\":\"%s\","
                        "\"GPONSN\":\"%s\",\"VendorCode\":\"%s\",\"CheckSN\":\"%s\",\"PPPoEName\":\"%s\","
                        "\"LOID\":\"%s\"}",
                        g_dev_info.DevRND, g_dev_info.MessageID, g_dev_info.MAC, g_dev_info.GPONSN,
                        g_dev_info.VendorCode, check.c_str(), g_dev_info.PPPoEName, g_dev_info.LOID));
    return *out ? 0 : -1;
}

extern "C" int distr_srv_register_rep_ack(const char *text, int *result)
{
    GWLOG(LOG_LVL_DEBUG, "jsonStr : %s", text);
    JsonPtr root = parse_reply(text, "register");
    if (!root || check_result_and_id(root.get(), result) != 0)
        return -1;
    uloop_timeout_cancel(&g_timeout_distr_register1);
    if (*result != 2) {
        fail_result(result, "boot", -1, -2, -1);
        return 0;
    }
    json_t *iv = json_object_get(root.get(), "Interval");
    if (!json_is_integer(iv)) {
        GWLOG(LOG_LVL_WARN, "get Interval error.");
        *result = -1;
    } else {
        distr().hb_interval = static_cast<uint32_t>(json_integer_value(iv));
    }
    const char *ms = json_string_value(json_object_get(root.get(), "MessageServer"));
    if (ms) {
        const char *colon = strrchr(ms, ':');
        if (!colon) {
            GWLOG(LOG_LVL_WARN, "get MessageServer error.");
            *result = -1;
        } else {
            gw_domain_info &m = app_domain_info[DOMAIN_MSG];
            const std::string host(ms, static_cast<size_t>(colon - ms));
            copy_truncated(m.server, host.c_str());
            const unsigned long port = strtoul(colon + 1, nullptr, 10);
            m.port = port <= 65535 ? static_cast<uint16_t>(port) : 0;
            m.addr_count = 0;
            uci_config_set("gwagent", "message", "address", m.server, 1);
            uci_config_set("gwagent", "message", "port", colon + 1, 1);
        }
    }
    return 0;
}

extern "C" int distr_srv_register_rep_chk(int result)
{
    gw_domain_info &d = distr();
    GWLOG(LOG_LVL_DEBUG, "register response result : %d", result);
    if (result == 2) {
        GWLOG(LOG_LVL_DEBUG, "Register success.");
        uci_config_set("gwagent", "global", "DevRND", g_dev_info.DevRND, 1);
        d.status = DOMAIN_STATUS_REGISTERED;
        d.stage = DOMAIN_STAGE_RUNNING;
        d.send_hb = 1;
        d.register_err = 0;
        d.last_error[0] = '\0';
        uloop_timeout_cancel(&g_timeout_relogin);
        uloop_timeout_cancel(&g_timeout_distr_register1_retry);
        send_at_once();
    } else if (result == -2) {
        GWLOG(LOG_LVL_ERR, "Register failed, wait 150 mintues");
        copy_truncated(d.last_error, "register check error.");
        gwagent_close();
        d.status = DOMAIN_STATUS_FAILED;
        set_registered('0');
        gwagent_relogin_after(kLongWaitMs);
    } else {
        GWLOG(LOG_LVL_ERR, "platform %d, stage %d, register failed, result %d", 0, d.stage, result);
        copy_truncated(d.last_error, "unknow error");
        d.status = DOMAIN_STATUS_FAILED;
        ++d.register_err;
        ucf_distr_err_process();
    }
    return 0;
}

extern "C" int distr_srv_hb_json_req(char **out)
{
    getMessageID(g_dev_info.MessageID);
    if (g_cc_stm.addr_report) {
        g_dev_info.MessageID[0] = '0';
        *out =
            dup_text(fmt("{\"RPCMethod\":\"Hb\",\"MessageID\":\"%s\",\"IPAddr\":\"%s\",\"MAC\":\"%s\",\"Flag\":\"1\"}",
                         g_dev_info.MessageID, g_dev_info.WANIPAddr, g_dev_info.MAC));
        return *out ? 0 : -1;
    }
    void *head = nullptr;
    if (fifo_buffer_get_head(&socket_distr_tx_header, &head, nullptr) == 0 && head) {
        // Entries leave this queue only on the main thread, so the head stays valid here.
        GWLOG(LOG_LVL_DEBUG, "get push json string.");
        g_dev_info.MessageID[0] = '1';
        JsonPtr obj(json_object());
        json_object_set_new(obj.get(), "RPCMethod", json_string("MessagePush"));
        json_object_set_new(obj.get(), "MessageID", json_string(g_dev_info.MessageID));
        json_object_set_new(obj.get(), "MAC", json_string(g_dev_info.MAC));
        json_error_t err;
        json_t *data = json_loads(static_cast<const char *>(head), 0, &err);
        if (data)
            json_object_set_new(obj.get(), "Data", data);
        char *text = json_dumps(obj.get(), 0);
        *out = text;
        return text ? 0 : -1;
    }
    GWLOG(LOG_LVL_DEBUG, "get HB json string.");
    g_dev_info.MessageID[0] = '0';
    *out = dup_text(fmt("{\"RPCMethod\":\"Hb\",\"MessageID\":\"%s\",\"MAC\":\"%s\",\"Flag\":\"0\"}",
                        g_dev_info.MessageID, g_dev_info.MAC));
    return *out ? 0 : -1;
}

extern "C" int distr_srv_hb_rep_ack(const char *text, int *result)
{
    GWLOG(LOG_LVL_DEBUG, "jsonStr : %s", text);
    JsonPtr root = parse_reply(text, "hb");
    if (!root)
        return -1;
    json_t *res = json_object_get(root.get(), "Result");
    if (!res) {
        if (!json_object_get(root.get(), "RPCMethod")) {
            GWLOG(LOG_LVL_WARN, "get result id error.");
            return -1;
        }
        if (handle_instruction(root.get()) != 0)
            return -1;
        distr().cmd_err = 0;
        *result = -2;
        return 0;
    }
    if (!json_is_integer(res)) {
        GWLOG(LOG_LVL_WARN, "get result id error.");
        return -1;
    }
    const char *mid = json_string_value(json_object_get(root.get(), "MessageID"));
    if (!mid) {
        GWLOG(LOG_LVL_WARN, "get MessageID error.");
        return -1;
    }
    GWLOG(LOG_LVL_DEBUG, "t_MessageID: %s : %s", mid, g_dev_info.MessageID);
    *result = static_cast<int>(json_integer_value(res));
    if (g_dev_info.PluginMessageID[0] && strcmp(mid, g_dev_info.PluginMessageID) == 0)
        return 0;
    if (strncmp(mid, g_dev_info.MessageID, 12) != 0) {
        GWLOG(LOG_LVL_WARN, "MessageID is not matched with the sented");
        return -1;
    }
    g_cc_stm.HbRecvTime = gwagent_now();
    uloop_timeout_cancel(&g_timeout_distr_hb_ack);
    if (g_dev_info.MessageID[0] == '1') {
        void *done = nullptr;
        if (fifo_buffer_get(&socket_distr_tx_header, &done, nullptr) == 0)
            free(done);
        GWLOG(LOG_LVL_DEBUG, "socket_distr_tx_header num: %d", fifo_buffer_get_num(&socket_distr_tx_header));
    }
    json_t *up = json_object_get(root.get(), "UpdatePush");
    if (json_is_integer(up)) {
        const int minutes = static_cast<int>(json_integer_value(up));
        char cur[256] = {};
        const bool have = uci_config_get_n("pushd", "global", "interval", cur, sizeof cur) == 0;
        if (!have || atoi(cur) != minutes || !cur[0]) {
            char v[16];
            snprintf(v, sizeof v, "%d", minutes);
            uci_config_set("pushd", "global", "interval", v, 1);
            GWLOG(LOG_LVL_DEBUG, "update report: %d min", minutes);
        }
    }
    if (*result == 0) {
        json_t *iv = json_object_get(root.get(), "Interval");
        if (json_is_integer(iv) && json_integer_value(iv) > 9) {
            distr().hb_interval = static_cast<uint32_t>(json_integer_value(iv));
            GWLOG(LOG_LVL_DEBUG, "update hb interval to %d seconds.", static_cast<int>(distr().hb_interval));
        }
        json_t *ip = json_object_get(root.get(), "InfoPush");
        if (json_is_integer(ip) && json_integer_value(ip) == 1)
            msg_DEVICE_INFO_REP();
        json_t *chk = json_object_get(root.get(), "Check");
        const int check = json_is_integer(chk) ? static_cast<int>(json_integer_value(chk)) : 0;
        GWLOG(LOG_LVL_DEBUG, "hb reply, Check is %d", check);
        const char *cip = json_string_value(json_object_get(root.get(), "CheckIP"));
        if (check == 1 && cip && *cip) {
            char cut[128];
            copy_truncated(cut, cip);
            JsonPtr arg(json_object());
            json_object_set_new(arg.get(), "server", json_string(cut));
            CharPtr arg_text(json_dumps(arg.get(), JSON_COMPACT));
            if (arg_text) {
                GWLOG(LOG_LVL_DEBUG, "execute command: ubus call yvproxy task_request %s", arg_text.get());
                gwagent_ubus_call("yvproxy", "task_request", arg_text.get());
            }
        }
    } else if (*result != -3) {
        fail_result(result, "hb", -3, -3, -4);
    } else {
        GWLOG(LOG_LVL_WARN, "hb failed, response result: %d", *result);
    }
    return 0;
}

extern "C" int distr_srv_hb_rep_chk(int result)
{
    gw_domain_info &d = distr();
    gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
    switch (result) {
    case 0:
        GWLOG(LOG_LVL_DEBUG, "HB success.");
        if (g_cc_stm.addr_report) {
            msg_OXA_VER_REP();
            g_cc_stm.addr_report = 0;
        }
        d.status = DOMAIN_STATUS_HEARTBEAT;
        d.stage = DOMAIN_STAGE_RUNNING;
        d.hb_err = 0;
        uloop_timeout_set(&g_timeout_nexthb, static_cast<int>(d.hb_interval * 1000));
        break;
    case 1:
        GWLOG(LOG_LVL_DEBUG, "rpc success.");
        break;
    case -1:
        GWLOG(LOG_LVL_WARN, "distribution server rpc fail.");
        ++d.cmd_err;
        ucf_distr_cmd_err_process();
        break;
    case -2:
        GWLOG(LOG_LVL_DEBUG, "distribution server rpc request.");
        d.send_answer = 1;
        send_at_once();
        p.cmd_err = 0;
        if (g_fd_plugin.fd >= 0) {
            GWLOG(LOG_LVL_DEBUG, "Plugin server fd %d, running.", g_fd_plugin.fd);
        } else if (d.instruction_result == 0) {
            p.status = DOMAIN_STATUS_IDLE;
            p.stage = DOMAIN_STAGE_IDLE;
            if (p.server[0] && p.port)
                ucf_connect_plugin_srv();
        }
        break;
    case -3:
        GWLOG(LOG_LVL_WARN, "distribution server HB err.");
        copy_truncated(d.last_error, "distribution server HB err.");
        d.status = DOMAIN_STATUS_FAILED;
        d.stage = DOMAIN_STAGE_IDLE;
        ++d.hb_err;
        gwagent_relogin_after(10000);
        break;
    default:
        GWLOG(LOG_LVL_WARN, "distribution server HB fail.");
        copy_truncated(d.last_error, "distribution server HB fail.");
        ++d.hb_err;
        ucf_distr_err_process();
        break;
    }
    return 0;
}

extern "C" int distr_srv_rpc_json_req(char **out)
{
    GWLOG(LOG_LVL_DEBUG, "get rpc json string.");
    bool ok = true;
    if (!g_dev_info.PluginMessageID[0]) {
        GWLOG(LOG_LVL_WARN, "The register pMessageID is null.");
        ok = false;
    }
    if (!g_dev_info.DevRND[0]) {
        GWLOG(LOG_LVL_WARN, "The register parameter devRND is null.");
        ok = false;
    }
    if (!ok) {
        GWLOG(LOG_LVL_WARN, "The hb parameter check fail!");
        return -1;
    }
    int code = 0;
    if (distr().instruction_result == 0xFF) {
        GWLOG(LOG_LVL_WARN, "rpcResult is -1, reboot after 5s.");
        gwagent_relogin_after(5000);
        code = -1;
    }
    *out = dup_text(fmt("{\"Result\":%d,\"MessageID\":\"%s\",\"DevRND\":\"%s\"}", code, g_dev_info.PluginMessageID,
                        g_dev_info.DevRND));
    return *out ? 0 : -1;
}

extern "C" void ucf_timeout_distr_boot0_cb(struct uloop_timeout *)
{
    gw_domain_info &d = distr();
    ++d.boot_err;
    GWLOG(LOG_LVL_WARN, "distri boot reply timeout, ErrCnt = %d", d.boot_err);
    ucf_distr_err_process();
}

extern "C" void ucf_timeout_distr_register1_cb(struct uloop_timeout *)
{
    gw_domain_info &d = distr();
    ++d.register_err;
    GWLOG(LOG_LVL_WARN, "distri register reply timeout, ErrCnt = %d", d.register_err);
    ucf_distr_err_process();
}

extern "C" void ucf_timeout_distr_register1_retry_cb(struct uloop_timeout *)
{
    GWLOG(LOG_LVL_DEBUG, "server register retry.");
    send_at_once();
}

extern "C" void ucf_timeout_distr_hb_ack_cb(struct uloop_timeout *)
{
    gw_domain_info &d = distr();
    ++d.hb_err;
    GWLOG(LOG_LVL_WARN, "distri step3 hb/push timeout, hbErrCnt = %d", d.hb_err);
    ucf_distr_err_process();
}

extern "C" void ucf_timeout_nexthb_cb(struct uloop_timeout *)
{
    distr().send_hb = 1;
    send_at_once();
    g_cc_stm.HbSendTime = gwagent_now();
}
