// The platform reply readers on arbitrary text: distribution Boot, Register and heartbeat replies
// (instructions included) and plugin Register and Hb replies. Each must accept or reject without
// crashing, and leave the records' texts terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/agent.h"
#include "platform/conn.h"
#include "platform/records.h"

namespace {

std::string g_dir;

void remove_dir() { std::filesystem::remove_all(g_dir); }

void init_once()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/gw-fuzz-bus", 1);
    char tmpl[] = "/tmp/gw-fuzz-replies-XXXXXX";
    if (const char *dir = mkdtemp(tmpl)) {
        g_dir = dir;
        atexit(remove_dir);
        setenv("GW_ROOT", dir, 1);
        // No "ubus" to find: a CheckIP in the input must not run anything.
        setenv("PATH", dir, 1);
    }
    gwagent_queues_init();
}

void check_terminated(const char *s, size_t n)
{
    if (memchr(s, '\0', n) == nullptr)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    init_once();
    const std::string text(reinterpret_cast<const char *>(data), size);
    memset(app_domain_info, 0, sizeof app_domain_info);
    memset(&g_dev_info, 0, sizeof g_dev_info);
    strcpy(g_dev_info.MessageID, "0a1b2c3d4e5f");
    strcpy(g_dev_info.MAC, "A1B2C3D4E5F6");
    strcpy(g_dev_info.VendorKey, "vk");
    g_dev_info.RegisteredFlag = (size & 1) ? '1' : '0';

    int result = 0;
    app_domain_info[DOMAIN_DISTR].stage = DOMAIN_STAGE_BOOT;
    distr_srv_boot_rep_ack(text.c_str(), &result);
    app_domain_info[DOMAIN_DISTR].stage = DOMAIN_STAGE_REGISTER;
    distr_srv_register_rep_ack(text.c_str(), &result);
    app_domain_info[DOMAIN_DISTR].stage = DOMAIN_STAGE_RUNNING;
    distr_srv_hb_rep_ack(text.c_str(), &result);
    rpc_srv_register_rep_ack(text.c_str(), &result);
    rpc_srv_hb_rep_ack(text.c_str(), &result);

    check_terminated(app_domain_info[DOMAIN_PLUGIN].server, sizeof app_domain_info[DOMAIN_PLUGIN].server);
    check_terminated(app_domain_info[DOMAIN_MSG].server, sizeof app_domain_info[DOMAIN_MSG].server);
    check_terminated(g_dev_info.PluginMessageID, sizeof g_dev_info.PluginMessageID);
    check_terminated(g_dev_info.ChallengeCode, sizeof g_dev_info.ChallengeCode);
    check_terminated(g_dev_info.SharedPasswd, sizeof g_dev_info.SharedPasswd);
    check_terminated(g_dev_info.LastPluginKey, sizeof g_dev_info.LastPluginKey);
    fifo_buffer_clear(&g_msg_srv_fifo_buf);
    return 0;
}
