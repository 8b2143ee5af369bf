// The local message queue: the pipe, its reader on the main loop and the action of each word.
#include "bus/gwagent_mq.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "commands/cmd_json.h"
#include "core/agent.h"
#include "core/ftto_json.h"
#include "core/io/ucf_io.h"
#include "gwbus/api.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"
#include "platform/conn.h"
#include "platform/records.h"

const char *const g_mq_words[GWAGENT_MQ_WORDS] = {"MNG_PLAT_INFO_CHANGE", "NET_INFO_CHANGE", "FTTO_DEVICE_CHANGE",
                                                  "MOD_UPGRD_END"};

struct uloop_fd g_fd_mq_read = {nullptr, -1, false, false, false, 0};
struct uloop_timeout g_timeout_mod_upgrade = {};

namespace {

constexpr mode_t kFifoMode = 0600;
constexpr int kModUpgradeReportMs = 1000;
constexpr size_t kReportMax = 4096;

// Written from the bus thread, opened and closed on the main thread.
std::atomic<int> g_fd_mq_write{-1};
char g_mod_name[GWAGENT_MQ_NAME_MAX + 1] = {};

bool connection_exists() { return app_domain_info[DOMAIN_DISTR].status != DOMAIN_STATUS_IDLE; }

void reconnect()
{
    gwagent_close();
    gwagent_remote_run();
}

void mng_plat_changed()
{
    GWLOG(LOG_LVL_INFO, "handle MNG_PLAT_INFO_CHANGE message.");
    ccif_MngPlatInfo_t info{};
    if (ccif_MngPlatInfo_get(&info) != 0) {
        GWLOG(LOG_LVL_DEBUG, "ccif_MngPlatInfo_get failed.");
        return;
    }
    if (strcmp(info.Province, g_dev_info.Province) == 0)
        return;
    GWLOG(LOG_LVL_NOTICE, "Province changed from [%s] to [%s].", g_dev_info.Province, info.Province);
    copy_truncated(g_dev_info.Province, info.Province);
    if (connection_exists())
        reconnect();
}

void net_info_changed()
{
    GWLOG(LOG_LVL_INFO, "handle NET_INFO_CHANGE message.");
    ccif_NetworkInfo_t info{};
    if (ccif_NetworkInfo_get(&info) != 0) {
        GWLOG(LOG_LVL_DEBUG, "ccif_NetworkInfo_get failed.");
        return;
    }
    if (strcmp(info.WANIPAddr, g_dev_info.WANIPAddr) != 0) {
        copy_truncated(g_dev_info.WANIPAddr, info.WANIPAddr);
        g_cc_stm.addr_report = 1;
    }
    if (strcmp(info.WANConnectionStatus, g_dev_info.WANConnectionStatus) == 0)
        return;
    copy_truncated(g_dev_info.WANConnectionStatus, info.WANConnectionStatus);
    if (strcmp(info.WANConnectionStatus, "Connected") != 0)
        return;
    GWLOG(LOG_LVL_NOTICE, "WANConnectionStatus changed to %s", info.WANConnectionStatus);
    if (connection_exists() && g_cc_stm.addr_report != 1) {
        GWLOG(LOG_LVL_INFO, "platform status : %d, ignore Connected signal.", app_domain_info[DOMAIN_DISTR].status);
        return;
    }
    reconnect();
}

struct NtiRelease {
    void operator()(api_FTTONTI_t *nti) const { api_releaseFTTOMasterNTI(nti); }
};

void ftto_device_changed()
{
    GWLOG(LOG_LVL_INFO, "handle FTTO_DEVICE_CHANGE message.");
    api_FTTONTI_t nti{};
    const int rc = api_getFTTOMasterNTI(&nti);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "api_getFTTOMasterNTI failed, return %d.", rc);
        return;
    }
    std::unique_ptr<api_FTTONTI_t, NtiRelease> held(&nti);
    gwagent::JsonPtr rep(json_object());
    json_t *gateway = gwagent::ftto_node_json(nti.GateWay, gwagent::kFttoMasterGateWay);
    json_t *slaves = gwagent::ftto_slaves_json(nti, gwagent::kFttoMasterSlave);
    if (rep) {
        json_object_set_new(rep.get(), "CmdType", json_string("FTTO_MASTER_NTI_REP"));
        json_object_set_new(rep.get(), "DevType", json_integer(g_dev_info.DevType));
        json_object_set_new(rep.get(), "WorkMode", json_integer(g_dev_info.WorkMode));
    }
    // json_object_set_new takes the members even when the object is missing.
    json_object_set_new(rep.get(), "GateWay", gateway);
    json_object_set_new(rep.get(), "AllowSlaveNum", json_integer(nti.AllowSlaveNum));
    json_object_set_new(rep.get(), "SlaveNum", json_integer(nti.SlaveNum));
    json_object_set_new(rep.get(), "SlaveInfo", slaves);
    gwagent::CharPtr text(rep && gateway && slaves ? json_dumps(rep.get(), JSON_COMPACT | JSON_PRESERVE_ORDER)
                                                   : nullptr);
    if (!text) {
        GWLOG(LOG_LVL_ERR, "Can not access enough memory");
        return;
    }
    // The message server carries longer texts whole; a topology cut short would not be JSON.
    const size_t len = strlen(text.get());
    if (len > kReportMax)
        GWLOG(LOG_LVL_INFO, "FTTO topology report of %zu bytes.", len);
    gwagent_message_push(text.get(), static_cast<int>(len));
}

bool name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == '+';
}

// The module of the last "MOD_UPGRD_END,<name>" in the text. Words of other messages read together
// with it end the name, as does any character a package name cannot hold.
std::string upgraded_module(const char *text)
{
    const std::string s(text);
    const std::string prefix = std::string(g_mq_words[GWAGENT_MQ_MOD_UPGRADE]) + ",";
    const size_t at = s.rfind(prefix);
    if (at == std::string::npos)
        return "";
    std::string name = s.substr(at + prefix.size());
    size_t end = 0;
    while (end < name.size() && name_char(name[end]))
        ++end;
    name.resize(end);
    for (const char *word : g_mq_words) {
        const size_t w = name.find(word);
        if (w != std::string::npos)
            name.resize(w);
    }
    return name.substr(0, GWAGENT_MQ_NAME_MAX);
}

void module_upgraded(const char *text)
{
    GWLOG(LOG_LVL_INFO, "handle MOD_UPGRD_END message, [%s].", text);
    if (!strchr(text, ','))
        return;
    const std::string name = upgraded_module(text);
    if (name.empty() || name[0] == '.') {
        GWLOG(LOG_LVL_WARN, "invalid module name in [%s], ignored.", text);
        return;
    }
    copy_truncated(g_mod_name, name.c_str());
    g_timeout_mod_upgrade.cb = ucf_timeout_mod3_upgrade_cb;
    uloop_timeout_set(&g_timeout_mod_upgrade, kModUpgradeReportMs);
}

}  // namespace

extern "C" int gwagent_mq_open(void)
{
    gwagent_mq_close();
    const std::string path = gw::RootPath(GWAGENT_MQ_FIFO);
    unlink(path.c_str());
    // The mode is set again after mkfifo: the umask must not widen or narrow it.
    if (mkfifo(path.c_str(), kFifoMode) != 0 || chmod(path.c_str(), kFifoMode) != 0) {
        GWLOG(LOG_LVL_ERR, "Failed to create MQ fifo.");
        return -1;
    }
    const int rfd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int wfd = rfd >= 0 ? open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (rfd < 0 || wfd < 0) {
        GWLOG(LOG_LVL_WARN, "Failed to open MQ fifo.");
        if (rfd >= 0)
            close(rfd);
        return -1;
    }
    g_fd_mq_read.fd = rfd;
    g_fd_mq_read.cb = ucf_gwagentMQ_cb;
    g_fd_mq_write.store(wfd);
    ucf_uloop_fd_add(&g_fd_mq_read, ULOOP_READ);
    return 0;
}

extern "C" void gwagent_mq_close(void)
{
    uloop_timeout_cancel(&g_timeout_mod_upgrade);
    if (g_fd_mq_read.fd >= 0)
        ucf_close_uloop_fd(&g_fd_mq_read);
    const int wfd = g_fd_mq_write.exchange(-1);
    if (wfd >= 0)
        close(wfd);
    g_mod_name[0] = '\0';
}

extern "C" int gwagent_mq_write(const char *text, size_t len)
{
    const int fd = g_fd_mq_write.load();
    if (fd < 0 || !text)
        return -1;
    const ssize_t ignored = write(fd, text, len);
    (void)ignored;
    return 0;
}

extern "C" void gwagent_mq_handle(int index, const char *text)
{
    switch (index) {
    case GWAGENT_MQ_MNG_PLAT:
        mng_plat_changed();
        break;
    case GWAGENT_MQ_NET_INFO:
        net_info_changed();
        break;
    case GWAGENT_MQ_FTTO_DEVICE:
        ftto_device_changed();
        break;
    case GWAGENT_MQ_MOD_UPGRADE:
        module_upgraded(text ? text : "");
        break;
    default:
        GWLOG(LOG_LVL_WARN, "invalid MQ id : %d", index);
        break;
    }
}

extern "C" void gwagent_mq_dispatch(const char *text)
{
    GWLOG(LOG_LVL_DEBUG, "gwagent MQ<<< [%s]", text);
    for (int i = 0; i < GWAGENT_MQ_WORDS; ++i)
        if (strstr(text, g_mq_words[i]))
            gwagent_mq_handle(i, text);
}

extern "C" void ucf_gwagentMQ_cb(struct uloop_fd *fd, unsigned int events)
{
    GWLOG(LOG_LVL_DEBUG, "MQ events : %d.", static_cast<int>(events));
    if (!(events & ULOOP_READ))
        return;
    // One more byte than is read keeps the text terminated when a read fills the buffer.
    char buf[GWAGENT_MQ_READ_MAX + 1] = {};
    const int n = ucf_read_socket(fd, buf, GWAGENT_MQ_READ_MAX);
    if (n < 0) {
        GWLOG(LOG_LVL_WARN, "read MQ socket %d error.", fd->fd);
        return;
    }
    if (n == 0)
        return;
    buf[n] = '\0';
    gwagent_mq_dispatch(buf);
}

extern "C" void ucf_timeout_mod3_upgrade_cb(struct uloop_timeout *)
{
    if (msg_OXA_UPG_REP(g_mod_name, 0) != 0)
        GWLOG(LOG_LVL_WARN, "mod3 upgrade report failed!");
}

extern "C" const char *gwagent_mq_pending_module(void) { return g_mod_name; }
