// Start-up steps driven in-process: the relogin back-off, the log-level timer, the device files.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "core/agent.h"
#include "core/crypto.h"
#include "core/io/ucf_io.h"
#include "device_text.hpp"
#include "gwbus/log.h"
#include "gwbus/util.h"
#include "gwtest.hpp"
#include "platform/records.h"

namespace {

using coretest::encrypt_device_text;
using coretest::uci;

int g_resolve_calls = 0;
bool g_resolve_ok = false;

int fake_gai(const char *, const char *, const struct addrinfo *, struct addrinfo **res)
{
    ++g_resolve_calls;
    if (!g_resolve_ok)
        return EAI_NONAME;
    auto *ai = static_cast<addrinfo *>(calloc(1, sizeof(addrinfo) + sizeof(sockaddr_in)));
    auto *sin = reinterpret_cast<sockaddr_in *>(ai + 1);
    sin->sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &sin->sin_addr);
    ai->ai_family = AF_INET;
    ai->ai_addr = reinterpret_cast<sockaddr *>(sin);
    ai->ai_addrlen = sizeof(sockaddr_in);
    *res = ai;
    return 0;
}
void fake_fai(struct addrinfo *ai) { free(ai); }

int g_connects = 0;
int g_closes = 0;
int count_connect() { return ++g_connects; }
void count_close() { ++g_closes; }

class Core : public ::testing::Test {
protected:
    void SetUp() override
    {
        gwtest::PrivateBus::instance();
        gwagent_queues_init();
        memset(app_domain_info, 0, sizeof app_domain_info);
        memset(&g_dev_info, 0, sizeof g_dev_info);
        copy_name("gw.invalid");
        g_resolve_calls = 0;
        g_resolve_ok = false;
        g_connects = g_closes = 0;
        ucf_set_resolver(fake_gai, fake_fai);
        const gwagent_conn_hooks hooks{count_connect, count_close};
        gwagent_set_conn_hooks(&hooks);
    }
    void TearDown() override
    {
        uloop_timeout_cancel(&g_timeout_relogin);
        uloop_timeout_cancel(&g_timeout_syslog);
        ucf_set_resolver(nullptr, nullptr);
        gwagent_set_conn_hooks(nullptr);
    }
    static void copy_name(const char *n) { strncpy(app_domain_info[DOMAIN_DISTR].server, n, 47); }
    gwtest::TempRoot root;
    gwtest::LogCapture log;
};

}  // namespace

TEST_F(Core, FailedResolutionBacksOffOneToFiveMinutesThenTen)
{
    gwagent_remote_run();
    for (int n = 1; n <= 7; ++n) {
        SCOPED_TRACE(n);
        const gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
        EXPECT_EQ(d.common_err, n);
        EXPECT_EQ(d.status, DOMAIN_STATUS_FAILED);
        EXPECT_STREQ(d.last_error, "platform dns name resolver failed.");
        ASSERT_TRUE(g_timeout_relogin.pending);
        const int want = n <= 5 ? n * 60000 : 600000;
        const int64_t left = uloop_timeout_remaining64(&g_timeout_relogin);
        EXPECT_LE(left, want);
        EXPECT_GT(left, want - 10000);
        const std::string minutes = std::to_string(n <= 5 ? n : 10);
        EXPECT_TRUE(
            log.contains("dns failed, count: " + std::to_string(n) + ", relogin " + minutes + " minutes later."));
        // Fire the timer instead of waiting for it.
        uloop_timeout_cancel(&g_timeout_relogin);
        ucf_timeout_relogin_cb(&g_timeout_relogin);
    }
    EXPECT_EQ(g_resolve_calls, 8);
    EXPECT_EQ(g_closes, 7);
    EXPECT_EQ(g_connects, 0);
    EXPECT_TRUE(log.contains("relogin, the error counter is common err: 7, boot err: 0"));
}

TEST_F(Core, ErrorCounterSaturatesInsteadOfWrapping)
{
    app_domain_info[DOMAIN_DISTR].common_err = 254;
    gwagent_remote_run();
    gwagent_remote_run();
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].common_err, 255);
    EXPECT_GT(uloop_timeout_remaining64(&g_timeout_relogin), 590000);
}

TEST_F(Core, SuccessfulResolutionCancelsReloginAndConnectsOnce)
{
    gwagent_remote_run();
    ASSERT_TRUE(g_timeout_relogin.pending);
    g_resolve_ok = true;
    ucf_timeout_relogin_cb(&g_timeout_relogin);
    const gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    EXPECT_FALSE(g_timeout_relogin.pending);
    EXPECT_EQ(d.common_err, 0);
    EXPECT_EQ(d.addr_count, 1);
    EXPECT_STREQ(d.addrs[0], "127.0.0.1");
    EXPECT_STREQ(d.last_error, "");
    EXPECT_EQ(d.stage, DOMAIN_STAGE_IDLE);
    EXPECT_EQ(d.hb_interval, 60u);
    EXPECT_EQ(g_connects, 1);

    // Known addresses are not resolved again.
    g_resolve_ok = false;
    gwagent_remote_run();
    EXPECT_EQ(g_resolve_calls, 2);
    EXPECT_EQ(g_connects, 2);
}

TEST_F(Core, RemoteRunEmptiesTheDistributionQueue)
{
    fifo_buffer_put(&socket_distr_tx_header, strdup("{}"), 2);
    gwagent_remote_run();
    EXPECT_EQ(fifo_buffer_get_num(&socket_distr_tx_header), 0);
}

TEST_F(Core, SyslogTimerRestoresErrorLevel)
{
    GW_REQUIRE_UCI();
    ASSERT_EQ(uci_config_set("log", "temp", "log_level", "debug", 0), 0);
    ASSERT_EQ(uci_config_set("log", "temp", "log_duration", "300", 0), 0);
    g_logLevel = 7;
    ucf_timeout_syslog_cb(&g_timeout_syslog);
    EXPECT_TRUE(log.contains("log config restore to default LOG_ERR!"));
    EXPECT_EQ(uci("log", "temp", "log_level"), "err");
    EXPECT_EQ(uci("log", "temp", "log_duration"), "0");
    EXPECT_EQ(g_logLevel, 3);
    EXPECT_FALSE(g_timeout_syslog.pending);
    g_logLevel = 7;
}

TEST_F(Core, LogInitRules)
{
    GW_REQUIRE_UCI();
    struct Case {
        const char *debug;
        const char *level;
        const char *duration;
        int want_level;
        const char *want_name;
        const char *want_duration;
        bool timer;
    };
    const Case cases[] = {
        {nullptr, "debug", "1", 7, "debug", "300", true},
        {"on", "info", "1", 7, "debug", "0", false},
        {"off", "debug", "0", 3, "err", "0", false},
        {nullptr, nullptr, nullptr, 3, "err", "0", false},
        // An unknown name falls back to errors rather than silencing the agent.
        {nullptr, "loud", "7", 3, "err", "0", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.level ? c.level : "-") + "/" + (c.duration ? c.duration : "-"));
        gwtest::TempRoot fresh;
        if (c.debug) {
            ASSERT_EQ(uci_config_set("log", "default", "log_debug", c.debug, 0), 0);
        }
        if (c.level) {
            ASSERT_EQ(uci_config_set("log", "temp", "log_level", c.level, 0), 0);
        }
        if (c.duration) {
            ASSERT_EQ(uci_config_set("log", "temp", "log_duration", c.duration, 0), 0);
        }
        uloop_timeout_cancel(&g_timeout_syslog);
        gwagent_log_init();
        EXPECT_EQ(g_logLevel, c.want_level);
        EXPECT_EQ(uci("log", "temp", "log_level"), c.want_name);
        EXPECT_EQ(uci("log", "temp", "log_duration"), c.want_duration);
        EXPECT_EQ(g_timeout_syslog.pending, c.timer);
        if (c.timer) {
            const int64_t left = uloop_timeout_remaining64(&g_timeout_syslog);
            EXPECT_LE(left, 300000);
            EXPECT_GT(left, 290000);
        }
    }
    g_logLevel = 7;
}

TEST_F(Core, VendorRegistrationFile)
{
    root.write("/rom/.register0", encrypt_device_text("ACME01:0123456789abcdefXYZ"));
    gwagent_vendor_register_init();
    EXPECT_STREQ(g_dev_info.VendorCode, "ACME01");
    // The key keeps 16 characters.
    EXPECT_STREQ(g_dev_info.VendorKey, "0123456789abcdef");

    memset(&g_dev_info, 0, sizeof g_dev_info);
    root.write("/rom/.register0", encrypt_device_text("nocolon"));
    gwagent_vendor_register_init();
    EXPECT_TRUE(log.contains("get Vendor registerinfo failed."));
    EXPECT_STREQ(g_dev_info.VendorCode, "");

    root.write("/rom/.register0", "");
    gwagent_vendor_register_init();
    EXPECT_TRUE(log.contains("  Vendor registerinfo file exists but is empty."));

    unlink(root.path("/rom/.register0").c_str());
    gwagent_vendor_register_init();
    EXPECT_TRUE(log.contains("fopen Vendor register file failed."));
}

TEST_F(Core, AddressFileSelectsTheEndpointAndAChangedServerResetsRegistration)
{
    GW_REQUIRE_UCI();
    ASSERT_EQ(uci_config_set("gwagent", "global", "status", "1", 0), 0);
    ASSERT_EQ(uci_config_set("gwagent", "distri", "address", "127.0.0.5", 0), 0);
    ASSERT_EQ(uci_config_set("gwagent", "distri", "port", "9001", 0), 0);
    g_dev_info.RegisteredFlag = '1';
    root.write("/opt/info/YvMngPlat.txt", encrypt_device_text("127.0.0.5:9001"));
    gwagent_distr_endpoint_init();
    EXPECT_STREQ(app_domain_info[DOMAIN_DISTR].server, "127.0.0.5");
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].port, 9001);
    EXPECT_TRUE(log.contains("test URL[127.0.0.5] Port[9001]."));
    // Same server: the registration stands.
    EXPECT_EQ(uci("gwagent", "global", "status"), "1");
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('1'));

    root.write("/opt/info/YvMngPlat.txt", encrypt_device_text("127.0.0.6:9002"));
    gwagent_distr_endpoint_init();
    EXPECT_EQ(uci("gwagent", "distri", "address"), "127.0.0.6");
    EXPECT_EQ(uci("gwagent", "distri", "port"), "9002");
    EXPECT_EQ(uci("gwagent", "global", "status"), "0");
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('0'));
}

TEST_F(Core, BadAddressFilesFallBackToTheDefaultEndpoint)
{
    GW_REQUIRE_UCI();
    const char *bad[] = {"no-colon-here", "127.0.0.5:", ":9001", "127.0.0.5:0", "127.0.0.5:70000", ""};
    for (const char *text : bad) {
        SCOPED_TRACE(text);
        memset(&app_domain_info[DOMAIN_DISTR], 0, sizeof app_domain_info[DOMAIN_DISTR]);
        root.write("/opt/info/YvMngPlat.txt", *text ? encrypt_device_text(text) : std::string());
        gwagent_distr_endpoint_init();
        EXPECT_STREQ(app_domain_info[DOMAIN_DISTR].server, gwagent_distr_default_addr());
        EXPECT_EQ(app_domain_info[DOMAIN_DISTR].port, GWAGENT_DISTR_DEFAULT_PORT);
        EXPECT_EQ(uci("gwagent", "distri", "port"), "7686");
    }
    EXPECT_TRUE(log.contains("File is empty."));
}
