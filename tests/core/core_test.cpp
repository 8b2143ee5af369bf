// The agent core: start-up steps in-process and in the real binary, the ciphers and digests, and the
// outgoing queue.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "agentio_util.hpp"
#include "core/agent.h"
#include "core/crypto.h"
#include "core/fifo_buffer.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "gwbus/util.h"
#include "gwtest.hpp"
#include "igd1_sim.hpp"
#include "platform/records.h"

namespace {

// The device files are 3DES-ECB of the text, zero-padded to whole blocks.
std::string encrypt_device_text(const std::string &plain)
{
    std::string padded = plain;
    padded.resize((plain.size() + 7) / 8 * 8, '\0');
    std::string out(padded.size(), '\0');
    key_3des_ecb();
    EXPECT_EQ(en_3des_ecb(reinterpret_cast<const unsigned char *>(padded.data()),
                          reinterpret_cast<unsigned char *>(&out[0]), static_cast<int>(padded.size())),
              0);
    return out;
}

std::string uci(const char *pkg, const char *sec, const char *opt)
{
    char buf[4096] = {};
    return uci_config_get(pkg, sec, opt, buf) == 0 ? std::string(buf) : std::string("<none>");
}

}  // namespace

// Start-up steps driven in-process: the relogin back-off, the log-level timer, the device files.
namespace core {

namespace {

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

}  // namespace core

// The real gwagent binary in a private root on the private bus: what it leaves in UCI and files,
// its log lines, and its exit on SIGTERM.
namespace startup {

namespace {

using namespace std::chrono_literals;

// One agent process; its log lines go to a file through GW_LOG_STDERR.
class Agent {
public:
    explicit Agent(const gwtest::TempRoot &root) : log_path_(root.path("/hgutmp/agent-stderr.log"))
    {
        const std::string bin = gwtest::build_dir() + "/gwagent/gwagent";
        child_ = gwtest::Child({bin},
                               {{"GW_ROOT", root.dir()},
                                {"GW_LOG_STDERR", "1"},
                                {"DBUS_SYSTEM_BUS_ADDRESS", gwtest::PrivateBus::instance().address()}},
                               false, log_path_);
    }
    std::string log() const
    {
        std::ifstream f(log_path_);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    bool log_has(const std::string &needle) const { return log().find(needle) != std::string::npos; }
    // The last start-up step announces the log level; the loop runs after it.
    bool started()
    {
        return gwtest::wait_until([this] { return log_has("change log duration from"); }, 20s);
    }
    gwtest::Child &child() { return child_; }

private:
    std::string log_path_;
    gwtest::Child child_;
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override { gwtest::PrivateBus::instance(); }
    gwtest::TempRoot root;
};

}  // namespace

// Without any configuration: the default endpoint, errors-only logging, the pid and the resolver file;
// then SIGUSR1 is ignored and SIGTERM ends the agent cleanly.
TEST_F(Startup, BareRootGivesDefaultsAndSignalsEndItCleanly)
{
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    for (const char *line : {"======== gwagent start ========", "fopen YvMngPlat.txt failed.", "get log_debug failed!",
                             "=== Start connect the distribute platform use udp ==="})
        EXPECT_TRUE(agent.log_has(line)) << line;
    if (agenttest::uci_available()) {
        EXPECT_EQ(uci("gwagent", "distri", "port"), "7686");
        EXPECT_EQ(uci("gwagent", "distri", "address"), "127.0.0.1");
        EXPECT_EQ(uci("gwagent", "global", "pid"), std::to_string(agent.child().pid()));
        EXPECT_EQ(uci("log", "temp", "log_level"), "err");
        EXPECT_EQ(uci("log", "temp", "log_duration"), "0");
        struct stat st {};
        ASSERT_EQ(stat(root.path("/tmp/resolv.conf").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0444, 0444u);
        EXPECT_NE(root.read("/hgutmp/zepsrv.log").find("gwagent start"), std::string::npos);
    }
    ASSERT_EQ(kill(agent.child().pid(), SIGUSR1), 0);
    // A bounded stop: SIGTERM, then SIGKILL if the agent is still there after five seconds (the
    // agent itself pauses half a second; sanitizer builds add their exit checks).
    const int status = agent.child().stop(5000ms);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status << "\n" << agent.log();
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Startup, ChangedServerResetsRegistrationStatus)
{
    GW_REQUIRE_UCI();
    ASSERT_EQ(uci_config_set("gwagent", "global", "status", "1", 1), 0);
    ASSERT_EQ(uci_config_set("gwagent", "distri", "address", "127.0.0.9", 1), 0);
    root.write("/opt/info/YvMngPlat.txt", encrypt_device_text("127.0.0.5:9001"));
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    EXPECT_TRUE(agent.log_has("test URL[127.0.0.5] Port[9001]."));
    EXPECT_EQ(uci("gwagent", "distri", "address"), "127.0.0.5");
    EXPECT_EQ(uci("gwagent", "distri", "port"), "9001");
    EXPECT_EQ(uci("gwagent", "global", "status"), "0");
}

TEST_F(Startup, SigtermDuringStartUpIsNotLost)
{
    Agent agent(root);
    ASSERT_TRUE(gwtest::wait_until([&] { return agent.log_has("======== gwagent start ========"); }, 20s))
        << agent.log();
    ASSERT_EQ(kill(agent.child().pid(), SIGTERM), 0);
    // Start-up goes on to the loop, which must see the earlier signal.
    ASSERT_TRUE(gwtest::wait_until([&] { return !agent.child().running(); }, 10s)) << agent.log();
    EXPECT_TRUE(agent.log_has("change log duration from"));
}

TEST_F(Startup, ReadsTheServiceForResolverFileAndWanAddress)
{
    GW_REQUIRE_UCI();
    ASSERT_TRUE(gwtest::Igd1Sim::fresh().ready());
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    EXPECT_EQ(root.read("/tmp/resolv.conf"),
              "nameserver 61.139.2.69\nnameserver 218.6.200.139\nnameserver 2001:db8::53\n");
    EXPECT_EQ(uci("system", "dnsserver", "v4dns1"), "61.139.2.69");
    EXPECT_EQ(uci("gwagent", "global", "WANIPAddr"), "100.64.12.34");
    EXPECT_TRUE(agent.log_has("wan v4ip 100.64.12.34 connected."));
    EXPECT_TRUE(agent.log_has("DeviceInfo.DevWiFi[2]"));
}

}  // namespace startup

// Cipher, digest and hex helpers against vectors from the openssl command line.
namespace crypto {

using agentio::Bytes;
using agentio::from_hex;
using agentio::to_hex;

namespace {

const unsigned char kKey[] = "0123456789abcdef0123456789abcdef";

Bytes aes_enc(const Bytes &in)
{
    unsigned char *out = nullptr;
    int n = 0;
    EXPECT_EQ(0, en_aes256_ecb(kKey, in.data(), static_cast<int>(in.size()), &out, &n));
    Bytes r(out, out + n);
    free(out);
    return r;
}

std::string field_key_text() { return "YVCT120123456789ABCDEF0123456789ABCDEF"; }

}  // namespace

TEST(Aes256Ecb, MatchesKnownAnswerWithZeroPaddingAndNoExtraBlock)
{
    // printf 'hello\0\0\0\0\0\0\0\0\0\0\0' | openssl enc -aes-256-ecb -nopad
    //   -K 3031323334353637383961626364656630313233343536373839616263646566 | xxd -p
    EXPECT_EQ("11177dea3777287204c2de6387ab13a2", to_hex(aes_enc(Bytes{'h', 'e', 'l', 'l', 'o'})));
    const std::pair<size_t, size_t> lengths[] = {{0, 0}, {1, 16}, {16, 16}, {17, 32}};
    for (const auto &[len, out] : lengths)
        EXPECT_EQ(out, aes_enc(Bytes(len, 'x')).size()) << len;
}

TEST(Aes256Ecb, AgreesWithOpensslOnLongInput)
{
    Bytes plain;
    for (int i = 0; i < 1000; ++i)
        plain.push_back(static_cast<unsigned char>(i * 7 + 3));
    Bytes padded = plain;
    padded.resize(1008, 0);
    auto ref = agentio::openssl({"enc", "-aes-256-ecb", "-nopad", "-K", to_hex(kKey, 32)}, padded);
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(to_hex(*ref), to_hex(aes_enc(plain)));
}

TEST(Aes256Ecb, DecryptRoundTripsAndRejectsPartialBlocks)
{
    const Bytes cipher = from_hex("11177dea3777287204c2de6387ab13a2");
    unsigned char *out = nullptr;
    int n = 0;
    ASSERT_EQ(0, de_aes256_ecb(kKey, cipher.data(), 16, &out, &n));
    ASSERT_EQ(16, n);
    EXPECT_EQ(0, memcmp(out, "hello\0\0\0\0\0\0\0\0\0\0\0", 16));
    free(out);

    out = nullptr;
    EXPECT_EQ(-1, de_aes256_ecb(kKey, cipher.data(), 15, &out, &n));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(-1, de_aes256_ecb(nullptr, cipher.data(), 16, &out, &n));
    EXPECT_EQ(-1, en_aes256_ecb(nullptr, cipher.data(), 16, &out, &n));
    EXPECT_EQ(-1, en_aes256_ecb(kKey, cipher.data(), -1, &out, &n));
}

TEST(Md5, HexDigestMatchesOpensslWithoutTerminator)
{
    // printf 'abc' | openssl md5 ; printf '' | openssl md5
    char out[34];
    memset(out, '#', sizeof out);
    ASSERT_EQ(0, comm_md5sum("abc", out));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72#", std::string(out, 33));
    ASSERT_EQ(0, comm_md5sum("", out));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", std::string(out, 32));
    EXPECT_EQ(-1, comm_md5sum(nullptr, out));
}

TEST(TripleDes, DecryptsKnownAnswerWithFixedKeyIgnoringATrailingPartialBlock)
{
    // printf 'ACME01:vendorkey' | openssl enc -des-ede3 -nopad
    //   -K 516d3723744c7732405a7239264b703421587638244e6433 | xxd -p
    Bytes cipher = from_hex("54767725c53d00f7d5694f8f7d9331a0");
    cipher.insert(cipher.end(), {1, 2, 3, 4, 5});
    unsigned char out[24];
    memset(out, 0xEE, sizeof out);
    ASSERT_EQ(0, de_3des_ecb(cipher.data(), out, static_cast<int>(cipher.size())));
    EXPECT_EQ(0, memcmp(out, "ACME01:vendorkey\xEE", 17));
}

TEST(TripleDes, EncryptAgreesWithOpenssl)
{
    Bytes plain(40, 0);
    memcpy(plain.data(), "platform.example.test:7686", 26);
    Bytes ours(40, 0);
    ASSERT_EQ(0, en_3des_ecb(plain.data(), ours.data(), 40));
    auto ref = agentio::openssl(
        {"enc", "-des-ede3", "-nopad", "-K", "516d3723744c7732405a7239264b703421587638244e6433"}, plain);
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(to_hex(*ref), to_hex(ours));
}

TEST(FieldCipher, EncryptsKnownAnswer)
{
    // K=$(printf 'YVCT120123456789ABCDEF0123456789ABCDEF' | openssl md5 | awk '{print $2}' | xxd -p -c 64)
    // printf 'secret\0\0\0\0\0\0\0\0\0\0' | openssl enc -aes-256-ecb -nopad -K $K | xxd -p
    char out[1025];
    ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), "secret", out, sizeof out));
    EXPECT_STREQ("d24259312c5572d0e63f9e9858fdb7f8", out);
}

TEST(FieldCipher, LengthsFollowWholeBlocksUpTo511Characters)
{
    char out[1025];
    const std::pair<size_t, size_t> lengths[] = {{1, 32}, {15, 32}, {16, 32}, {17, 64}, {32, 64}, {600, 1024}};
    for (const auto &[len, hex] : lengths) {
        ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), std::string(len, 'p').c_str(), out, sizeof out));
        EXPECT_EQ(hex, strlen(out)) << len;
    }
}

TEST(FieldCipher, RoundTripsAcceptingUpperCaseHexAndIgnoringATrailingPartialBlock)
{
    char hex[1025];
    ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), "exactly16chars!!", hex, sizeof hex));
    for (char *p = hex; *p; ++p)
        *p = static_cast<char>(toupper(*p));
    char plain[513] = {0};
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), hex, plain, sizeof plain));
    EXPECT_STREQ("exactly16chars!!", plain);
    memset(plain, 'X', sizeof plain);
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), "d24259312c5572d0e63f9e9858fdb7f8abcdef", plain, 64));
    EXPECT_STREQ("secret", plain);
}

TEST(FieldCipher, DecryptRejectsBadDigitsAndNeverOverflows)
{
    char plain[64] = {0};
    EXPECT_EQ(-1, de_aes256_ecb1(field_key_text().c_str(), "zz4259312c5572d0e63f9e9858fdb7f8", plain, sizeof plain));
    // A 16-character plain text fills its block; an output of 16 bytes leaves no room for it.
    char hex[1025];
    ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), "exactly16chars!!", hex, sizeof hex));
    char small[17];
    memset(small, 'X', sizeof small);
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), hex, small, 16));
    EXPECT_STREQ("", small);
    EXPECT_EQ('X', small[16]);
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), hex, small, 17));
    EXPECT_STREQ("exactly16chars!!", small);
    // Encrypting into a too small area fails instead of writing past it.
    char tiny[32];
    EXPECT_EQ(-1, en_aes256_ecb1(field_key_text().c_str(), "secret", tiny, sizeof tiny));
}

TEST(HexHelpers, ConvertDigitsOfEitherCaseAndStopAtTheFirstBadOne)
{
    const std::pair<char, int> digits[] = {{'0', 0}, {'a', 10}, {'F', 15}, {'g', -1}, {'\0', -1}};
    for (const auto &[c, v] : digits)
        EXPECT_EQ(v, hex2num(c)) << c;
    EXPECT_EQ(0xaB, hex2byte("aB"));
    EXPECT_EQ(-1, hex2byte("a"));
    EXPECT_EQ(-1, hex2byte("x1"));
    unsigned char buf[4] = {0, 0, 0, 0};
    EXPECT_EQ(-1, hexstr2bin("0102zz04", buf, 4));
    EXPECT_EQ(to_hex(buf, 4), "01020000") << "earlier bytes are kept";
    EXPECT_EQ(0, hexstr2bin("deadBEEF", buf, 4));
    EXPECT_EQ(to_hex(buf, 4), "deadbeef");
    const unsigned char in[] = {0x00, 0xab, 0x7f};
    char out[8];
    memset(out, '#', sizeof out);
    AsciiToHex(3, in, out);
    EXPECT_EQ("00AB7F#", std::string(out, 7)) << "upper case without terminator";
    char low[7];
    APP_ChangeNByteToHexDig(3, in, low);
    EXPECT_STREQ("00ab7f", low);
}

TEST(RandomIds, BytesAreLowHalvesOfRandLowByteFirst)
{
    srand(1234);
    unsigned expect[3];
    for (auto &e : expect)
        e = static_cast<unsigned>(rand()) & 0xffff;
    srand(1234);
    unsigned char buf[5];
    APP_GetNByteRandom(5, buf);
    EXPECT_EQ(expect[0] & 0xff, buf[0]);
    EXPECT_EQ(expect[0] >> 8, buf[1]);
    EXPECT_EQ(expect[1] & 0xff, buf[2]);
    EXPECT_EQ(expect[1] >> 8, buf[3]);
    EXPECT_EQ(expect[2] & 0xff, buf[4]);
}

TEST(RandomIds, MessageIdAndDevRndAreLowerHex)
{
    char mid[14];
    memset(mid, '#', sizeof mid);
    ASSERT_EQ(0, getMessageID(mid));
    EXPECT_EQ(12u, strlen(mid));
    EXPECT_EQ(strspn(mid, "0123456789abcdef"), 12u);
    EXPECT_EQ(-1, getMessageID(nullptr));
    char rnd[33];
    ASSERT_EQ(0, getDevRND(rnd));
    EXPECT_EQ(32u, strlen(rnd));
    EXPECT_EQ(strspn(rnd, "0123456789abcdef"), 32u);
}

}  // namespace crypto

// The outgoing queue: capacity, ownership and order, also under two threads.
namespace fifo {

namespace {

char *text(const std::string &s) { return strdup(s.c_str()); }

class Fifo : public ::testing::Test {
protected:
    void SetUp() override { fifo_buffer_init(&q, 10); }
    void TearDown() override { fifo_buffer_destroy(&q); }
    std::string take()
    {
        void *d = nullptr;
        uint32_t len = 0;
        if (fifo_buffer_get(&q, &d, &len) != 0)
            return "<empty>";
        std::string s(static_cast<char *>(d));
        free(d);
        return s;
    }
    fifo_buffer q;
};

}  // namespace

TEST_F(Fifo, EleventhPutIsRefusedAndCallerKeepsData)
{
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(0, fifo_buffer_put(&q, text("m" + std::to_string(i)), 2));
    gwtest::LogCapture log;
    char *extra = text("m10");
    EXPECT_EQ(-1, fifo_buffer_put(&q, extra, 3));
    EXPECT_TRUE(log.contains("fifo buffer is full."));
    free(extra);
    EXPECT_EQ(10, fifo_buffer_get_num(&q));
    EXPECT_EQ("m0", take());
}

TEST_F(Fifo, EntriesLeaveInOrderWithTheirLength)
{
    ASSERT_EQ(0, fifo_buffer_put(&q, text("first"), 5));
    ASSERT_EQ(0, fifo_buffer_put(&q, text("second"), 6));
    void *d = nullptr;
    uint32_t len = 0;
    ASSERT_EQ(0, fifo_buffer_get_head(&q, &d, &len));
    EXPECT_STREQ("first", static_cast<char *>(d));
    EXPECT_EQ(5u, len);
    EXPECT_EQ(2, fifo_buffer_get_num(&q));
    ASSERT_EQ(0, fifo_buffer_get(&q, &d, nullptr));
    EXPECT_STREQ("first", static_cast<char *>(d));
    free(d);
    EXPECT_EQ("second", take());
    EXPECT_EQ("<empty>", take());
    EXPECT_EQ(-1, fifo_buffer_get_head(&q, &d, &len));
    // Both ends are empty again: a new entry is first and last.
    ASSERT_EQ(0, fifo_buffer_put(&q, text("again"), 5));
    EXPECT_EQ("again", take());
}

TEST_F(Fifo, EvictingPutKeepsTheTenNewest)
{
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(0, fifo_buffer_put_evict(&q, text("r" + std::to_string(i)), 2));
    EXPECT_EQ(10, fifo_buffer_get_num(&q));
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ("r" + std::to_string(i), take());
}

TEST_F(Fifo, ClearReleasesEveryEntry)
{
    ASSERT_EQ(0, fifo_buffer_put(&q, text("only"), 4));
    EXPECT_EQ(0, fifo_buffer_clear(&q));
    EXPECT_EQ(0, fifo_buffer_get_num(&q));
    EXPECT_EQ("<empty>", take());
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(0, fifo_buffer_put(&q, text("x"), 1));
    EXPECT_EQ(0, fifo_buffer_clear(&q));
    ASSERT_EQ(0, fifo_buffer_put(&q, text("after"), 5));
    EXPECT_EQ("after", take());
}

TEST_F(Fifo, ConcurrentProducersNeverExceedCapacity)
{
    std::vector<std::thread> producers;
    std::atomic<int> accepted{0};
    for (int t = 0; t < 4; ++t)
        producers.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                char *d = text(std::to_string(t * 1000 + i));
                if (fifo_buffer_put(&q, d, 4) == 0)
                    accepted++;
                else
                    free(d);
                if (i % 3 == 0) {
                    void *got = nullptr;
                    if (fifo_buffer_get(&q, &got, nullptr) == 0) {
                        free(got);
                        accepted--;
                    }
                }
            }
        });
    for (auto &p : producers)
        p.join();
    EXPECT_LE(fifo_buffer_get_num(&q), 10);
    EXPECT_EQ(accepted.load(), fifo_buffer_get_num(&q));
}

}  // namespace fifo
