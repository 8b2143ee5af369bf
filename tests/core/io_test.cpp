// Descriptor I/O over socketpairs driven by the real uloop: framed reads with reassembly and
// oversize discarding, plain and datagram reads, full writes, registration, closing, resolution.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/dev_info.h"
#include "core/io/ucf_io.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "gwtest.hpp"

namespace {

std::string frame(const std::string &body)
{
    const uint32_t len = htonl(static_cast<uint32_t>(body.size()));
    return std::string(reinterpret_cast<const char *>(&len), 4) + body;
}

void send_all(int fd, const std::string &s)
{
    size_t off = 0;
    while (off < s.size()) {
        const ssize_t w = write(fd, s.data() + off, s.size() - off);
        ASSERT_GT(w, 0);
        off += static_cast<size_t>(w);
    }
}

void set_nonblock(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

struct Pair {
    gw::UniqueFd local, peer;
    explicit Pair(int type = SOCK_STREAM)
    {
        int sv[2];
        if (socketpair(AF_UNIX, type, 0, sv) == 0) {
            local.reset(sv[0]);
            peer.reset(sv[1]);
            set_nonblock(sv[0]);
        }
    }
};

// One readable event of the plugin descriptor: the framed reader's result and the slot state after it.
struct Event {
    int result;
    uint32_t discard;
    uint32_t received;
    std::string frame;
};

std::vector<Event> *g_events;
size_t g_want;
unsigned char g_buf[UCF_SWAP_SIZE];

void on_plugin(struct uloop_fd *u, unsigned int events)
{
    if (!(events & ULOOP_READ))
        return;
    const int r = ucf_read_socket_tcp(UCF_SLOT_PLUGIN, u->fd, g_buf, sizeof g_buf);
    Event e{r, g_buf_swap[UCF_SLOT_PLUGIN].discard, g_buf_swap[UCF_SLOT_PLUGIN].received, {}};
    if (r == 1) {
        uint32_t len;
        memcpy(&len, g_buf, 4);
        e.frame.assign(reinterpret_cast<const char *>(g_buf), ntohl(len) + 4);
    }
    g_events->push_back(e);
    if (r < 0) {
        ucf_close_uloop_fd(u);
        uloop_end();
    } else if (g_events->size() >= g_want) {
        uloop_end();
    }
}

void on_guard(struct uloop_timeout *) { uloop_end(); }

class UloopIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        uloop_init();
        ucf_clear_buf_swap(UCF_SLOT_PLUGIN);
        g_events = &events;
        memset(&guard, 0, sizeof guard);
        guard.cb = on_guard;
    }
    void TearDown() override
    {
        if (g_fd_plugin.fd >= 0) {
            uloop_fd_delete(&g_fd_plugin);
            g_fd_plugin.fd = -1;
        }
        uloop_timeout_cancel(&guard);
        uloop_done();
        g_events = nullptr;
    }

    // Adopts the local end as g_fd_plugin, registered for reading.
    void watch(Pair &p)
    {
        g_fd_plugin.cb = on_plugin;
        g_fd_plugin.fd = p.local.release();
        ASSERT_EQ(0, ucf_uloop_fd_add(&g_fd_plugin, ULOOP_READ));
    }

    // Runs the loop until `n` events in total were seen (bounded by a guard timer).
    void run_until(size_t n)
    {
        g_want = n;
        if (events.size() >= n)
            return;
        uloop_timeout_set(&guard, 5000);
        uloop_run();
        uloop_timeout_cancel(&guard);
    }

    std::vector<Event> events;
    struct uloop_timeout guard;
};

}  // namespace

std::string length_only(uint32_t len)
{
    const uint32_t be = htonl(len);
    return std::string(reinterpret_cast<const char *>(&be), 4);
}

// Frames arriving in pieces (an empty piece: the peer closes): each readable event's result, the slot
// state after it and the frame delivered; a broken stream closes the descriptor.
TEST_F(UloopIo, FramedReadsReassembleSkipOversizeAndBreakOnImpossibleLengths)
{
    struct Expect {
        int result;
        uint32_t discard, received;
        std::string frame;
    };
    struct Piece {
        std::string bytes;
        std::vector<Expect> events;
    };
    constexpr uint32_t kAnyCount = UINT32_MAX;
    struct Case {
        const char *what;
        std::vector<Piece> pieces;
        std::vector<std::string> logs;
    };
    const std::string json = frame("{\"Result\":0}");
    const std::string big = frame(std::string(3000, 'm'));
    const std::string fits = frame(std::string(4092, 'a'));
    const std::string next = frame("{}");
    // A length far beyond any packet is a broken stream, not a frame to skip: skipping 2 GiB would
    // swallow every later packet.
    const std::vector<Expect> broken = {{-1, 0, 0, ""}};
    // clang-format off
    const Case cases[] = {
        {"length field split one and three", {{json.substr(0, 1), {{0, 0, 1, ""}}}, {json.substr(1, 3), {{0, 0, 4, ""}}},
                                              {json.substr(4, 5), {{0, 0, 9, ""}}}, {json.substr(9), {{1, 0, 0, json}}}}, {}},
        {"body in three pieces", {{big.substr(0, 1000), {{0, 0, 1000, ""}}}, {big.substr(1000, 1000), {{0, 0, 2000, ""}}},
                                  {big.substr(2000), {{1, 0, 0, big}}}}, {}},
        {"empty frame whole at once", {{frame("") + frame("x"), {{1, 0, 0, frame("")}, {1, 0, 0, frame("x")}}}}, {}},
        // The oversize frame costs one event for its length field and one for its body.
        {"4092 delivered, 4093 skipped", {{fits + frame(std::string(4093, 'b')) + next,
                                           {{1, 0, 0, fits}, {0, 4093, 0, ""}, {0, 0, 0, ""}, {1, 0, 0, next}}}}, {}},
        {"10000 skipped over three events", {{frame(std::string(10000, 'x')) + json,
                                              {{0, 10000, 0, ""}, {0, 5904, 0, ""}, {0, 1808, 0, ""}, {0, 0, 0, ""}, {1, 0, 0, json}}}},
         {"handle oversize packet begin(10000).", "handle oversize packet end(1808).", "handle oversize packet end(0)."}},
        {"2 GiB length", {{length_only(0x80000000u) + "$$\1\0" + next, broken}}, {"is not a packet, the stream is broken"}},
        {"1 MiB and one length", {{length_only(1024u * 1024u + 1u) + "$$\1\0" + next, broken}}, {}},
        // What the slot holds after the peer is gone is nobody's business.
        {"peer closes mid-frame", {{json.substr(0, 6), {{0, 0, 6, ""}}}, {"", {{-1, 0, kAnyCount, ""}}}},
         {"the tcp connection maybe down(", "[static_ucf_read_socket_tcp] end of stream"}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        ucf_clear_buf_swap(UCF_SLOT_PLUGIN);
        gwtest::LogCapture log;
        Pair p;
        watch(p);
        for (const Piece &piece : c.pieces) {
            const size_t first = events.size();
            if (piece.bytes.empty())
                p.peer.reset();
            else
                send_all(p.peer.get(), piece.bytes);
            run_until(first + piece.events.size());
            ASSERT_EQ(events.size(), first + piece.events.size());
            for (size_t i = 0; i < piece.events.size(); ++i) {
                const Event &got = events[first + i];
                const Expect &want = piece.events[i];
                EXPECT_EQ(got.result, want.result) << i;
                EXPECT_EQ(got.discard, want.discard) << i;
                if (want.received != kAnyCount) {
                    EXPECT_EQ(got.received, want.received) << i;
                }
                EXPECT_EQ(got.frame, want.frame) << i;
            }
        }
        for (const std::string &line : c.logs)
            EXPECT_TRUE(log.contains(line)) << line;
        if (events.back().result < 0) {
            EXPECT_EQ(-1, g_fd_plugin.fd);
            continue;
        }
        uloop_fd_delete(&g_fd_plugin);
        close(g_fd_plugin.fd);
        g_fd_plugin.fd = -1;
    }
}

TEST(FramedRead, NothingWaitingAndBadArgumentsAreDefined)
{
    Pair p;
    ucf_clear_buf_swap(UCF_SLOT_PUSHD);
    unsigned char buf[64];
    gwtest::LogCapture log;
    EXPECT_EQ(0, ucf_read_socket_tcp(UCF_SLOT_PUSHD, p.local.get(), buf, sizeof buf));
    EXPECT_TRUE(log.contains("no message was received("));
    EXPECT_EQ(-1, ucf_read_socket_tcp(0, p.local.get(), buf, sizeof buf));
    EXPECT_EQ(-1, ucf_read_socket_tcp(3, p.local.get(), buf, sizeof buf));
    EXPECT_EQ(-1, ucf_read_socket_tcp(UCF_SLOT_PUSHD, p.local.get(), buf, 4));
    // A small caller buffer lowers the frame limit: 61 > 64 - 4 is skipped.
    send_all(p.peer.get(), frame(std::string(61, 'q')) + frame(std::string(60, 'r')));
    EXPECT_EQ(0, ucf_read_socket_tcp(UCF_SLOT_PUSHD, p.local.get(), buf, sizeof buf));
    EXPECT_EQ(61u, g_buf_swap[UCF_SLOT_PUSHD].discard);
    EXPECT_EQ(0, ucf_read_socket_tcp(UCF_SLOT_PUSHD, p.local.get(), buf, sizeof buf));
    EXPECT_EQ(1, ucf_read_socket_tcp(UCF_SLOT_PUSHD, p.local.get(), buf, sizeof buf));
    EXPECT_EQ(frame(std::string(60, 'r')), std::string(reinterpret_cast<char *>(buf), 64));
    ucf_clear_buf_swap(UCF_SLOT_PUSHD);
}

TEST(SocketWrite, WouldBlockEndsTheWriteWithWhatWasWritten)
{
    Pair p;
    int small = 4096;
    setsockopt(p.local.get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    uloop_fd u{};
    u.fd = p.local.get();
    const std::string big(1 << 20, 'w');
    gwtest::LogCapture log;
    const int n = gwagent_socket_write(&u, big.data(), static_cast<int>(big.size()));
    EXPECT_GT(n, 0);
    EXPECT_LT(n, static_cast<int>(big.size()));
    EXPECT_TRUE(log.contains("gwagent socket write error : " + std::string(strerror(EAGAIN)) + " (" +
                             std::to_string(EAGAIN) + ")"));
    // What was reported written is exactly what the peer can read.
    std::string got;
    char buf[65536];
    for (;;) {
        set_nonblock(p.peer.get());
        const ssize_t r = read(p.peer.get(), buf, sizeof buf);
        if (r <= 0)
            break;
        got.append(buf, static_cast<size_t>(r));
    }
    EXPECT_EQ(static_cast<size_t>(n), got.size());
    EXPECT_EQ(big.substr(0, got.size()), got);
}

TEST(SocketWrite, WholeBufferGoesOutAndErrorsGiveMinusOne)
{
    Pair p;
    uloop_fd u{};
    u.fd = p.local.get();
    EXPECT_EQ(0, gwagent_socket_write(&u, "", 0));
    EXPECT_EQ(5, gwagent_socket_write(&u, "hello", 5));
    char buf[8] = {0};
    EXPECT_EQ(5, read(p.peer.get(), buf, sizeof buf));
    EXPECT_STREQ("hello", buf);
    // A vanished peer is EPIPE, not a signal that ends the process.
    p.peer.reset();
    EXPECT_EQ(-1, gwagent_socket_write(&u, "again", 5));
    uloop_fd bad{};
    bad.fd = -1;
    gwtest::LogCapture log;
    EXPECT_EQ(-1, gwagent_socket_write(&bad, "x", 1));
    EXPECT_TRUE(log.contains("gwagent socket write error : " + std::string(strerror(EBADF))));
}

TEST(SocketWrite, FifoWithoutSocketIsWrittenToo)
{
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    gw::UniqueFd r(fds[0]), w(fds[1]);
    uloop_fd u{};
    u.fd = w.get();
    EXPECT_EQ(3, gwagent_socket_write(&u, "abc", 3));
    char buf[4] = {0};
    EXPECT_EQ(3, read(r.get(), buf, 3));
    EXPECT_STREQ("abc", buf);
}

TEST(PlainRead, ReadsUntilWouldBlockOrCapacity)
{
    Pair p;
    uloop_fd u{};
    u.fd = p.local.get();
    char buf[16];
    EXPECT_EQ(0, ucf_read_socket(&u, buf, sizeof buf));
    send_all(p.peer.get(), "0123456789");
    EXPECT_EQ(10, ucf_read_socket(&u, buf, sizeof buf));
    EXPECT_EQ("0123456789", std::string(buf, 10));
    send_all(p.peer.get(), std::string(20, 'z'));
    EXPECT_EQ(16, ucf_read_socket(&u, buf, sizeof buf));
    EXPECT_EQ(4, ucf_read_socket(&u, buf, sizeof buf));
    send_all(p.peer.get(), "end");
    p.peer.reset();
    EXPECT_EQ(3, ucf_read_socket(&u, buf, sizeof buf));
    uloop_fd bad{};
    bad.fd = -1;
    gwtest::LogCapture log;
    EXPECT_EQ(0, ucf_read_socket(&bad, buf, sizeof buf));
    EXPECT_TRUE(log.contains("socket read error, " + std::string(strerror(EBADF))));
}

TEST(DatagramRead, OneDatagramPerCallTruncatedToCapacity)
{
    Pair p(SOCK_DGRAM);
    char buf[8];
    EXPECT_EQ(0, ucf_read_socket_udp(p.local.get(), buf, sizeof buf));
    send_all(p.peer.get(), "abc");
    send_all(p.peer.get(), "0123456789");
    EXPECT_EQ(3, ucf_read_socket_udp(p.local.get(), buf, sizeof buf));
    EXPECT_EQ("abc", std::string(buf, 3));
    EXPECT_EQ(8, ucf_read_socket_udp(p.local.get(), buf, sizeof buf));
    EXPECT_EQ("01234567", std::string(buf, 8));
    EXPECT_EQ(0, ucf_read_socket_udp(p.local.get(), buf, sizeof buf));
    EXPECT_EQ(-1, ucf_read_socket_udp(-1, buf, sizeof buf));
}

TEST(Descriptors, RegistrationLogsTheModeCloseResetsTheRecordAndGlobalsStartClosed)
{
    uloop_init();
    Pair p;
    uloop_fd u{};
    u.fd = p.local.release();
    const int fd = u.fd;
    gwtest::LogCapture log;
    EXPECT_EQ(0, ucf_uloop_fd_add(&u, ULOOP_READ));
    EXPECT_TRUE(log.contains("\033[33mset fd " + std::to_string(fd) + " to mode ULOOP_READ.\033[0m"));
    EXPECT_TRUE(log.contains("set fd " + std::to_string(fd) + " to mode 1 success."));
    EXPECT_EQ(0, ucf_uloop_fd_add(&u, ULOOP_WRITE));
    EXPECT_TRUE(log.contains("\033[33mset fd " + std::to_string(fd) + " to mode ULOOP_WRITE.\033[0m"));
    EXPECT_EQ(0, ucf_uloop_fd_add(&u, ULOOP_READ | ULOOP_ERROR_CB));
    EXPECT_TRUE(log.contains("\033[33mset fd " + std::to_string(fd) + " to mode 65.\033[0m"));
    EXPECT_TRUE(u.registered);

    EXPECT_EQ(0, ucf_close_uloop_fd(&u));
    EXPECT_EQ(-1, u.fd);
    EXPECT_FALSE(u.registered);
    EXPECT_TRUE(log.contains("fd " + std::to_string(fd) + " closed"));
    EXPECT_EQ(-1, fcntl(fd, F_GETFD));

    log.clear();
    EXPECT_EQ(0, ucf_close_uloop_fd(&u));
    EXPECT_TRUE(log.contains("close ufd failed : invalid ufd."));
    EXPECT_EQ(0, ucf_close_uloop_fd(nullptr));
    EXPECT_EQ(-1, ucf_uloop_fd_add(&u, ULOOP_READ));
    EXPECT_TRUE(log.contains("Failed to set fd -1 to mode 1, "));
    uloop_done();
    for (const uloop_fd *u : {&g_fd_udp_distr, &g_fd_plugin, &g_fd_message, &g_fd_pushd})
        EXPECT_EQ(-1, u->fd);
}

namespace {

std::vector<addrinfo *> g_fake_nodes;
int g_fake_count;
int g_seen_family = -1;

int fake_gai(const char *, const char *, const addrinfo *hints, addrinfo **res)
{
    g_seen_family = hints ? hints->ai_family : -1;
    if (g_fake_count < 0)
        return EAI_NONAME;
    addrinfo *head = nullptr, **tail = &head;
    for (int i = 0; i < g_fake_count; ++i) {
        auto *ai = new addrinfo{};
        if (i == 2) {
            auto *sa6 = new sockaddr_in6{};
            sa6->sin6_family = AF_INET6;
            inet_pton(AF_INET6, "2001:db8::7", &sa6->sin6_addr);
            ai->ai_family = AF_INET6;
            ai->ai_addr = reinterpret_cast<sockaddr *>(sa6);
        } else {
            auto *sa = new sockaddr_in{};
            sa->sin_family = AF_INET;
            sa->sin_addr.s_addr = htonl(0x0A000001u + static_cast<uint32_t>(i));
            ai->ai_family = AF_INET;
            ai->ai_addr = reinterpret_cast<sockaddr *>(sa);
        }
        *tail = ai;
        tail = &ai->ai_next;
    }
    *res = head;
    return 0;
}

void fake_free(addrinfo *res)
{
    while (res) {
        addrinfo *next = res->ai_next;
        if (res->ai_family == AF_INET6)
            delete reinterpret_cast<sockaddr_in6 *>(res->ai_addr);
        else
            delete reinterpret_cast<sockaddr_in *>(res->ai_addr);
        delete res;
        res = next;
    }
}

class Resolver : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(&g_dev_info, 0, sizeof g_dev_info);
        memset(addrs, 0, sizeof addrs);
        ucf_set_resolver(fake_gai, fake_free);
    }
    void TearDown() override { ucf_set_resolver(nullptr, nullptr); }
    char addrs[UCF_ADDR_COUNT][UCF_ADDR_LEN];
};

}  // namespace

TEST_F(Resolver, FiveAnswersYieldThreeEntries)
{
    g_fake_count = 5;
    gwtest::LogCapture log;
    EXPECT_EQ(3, ucf_dns_resolver("distr.test", addrs));
    EXPECT_STREQ("10.0.0.1", addrs[0]);
    EXPECT_STREQ("10.0.0.2", addrs[1]);
    EXPECT_STREQ("2001:db8::7", addrs[2]);
    EXPECT_TRUE(log.contains("distr.test[2] ==> 2001:db8::7"));
    EXPECT_FALSE(log.contains("distr.test[3]"));
}

TEST_F(Resolver, FamilyFollowsTheWanAddress)
{
    g_fake_count = 1;
    copy_truncated(g_dev_info.WANIPAddr, "192.0.2.10");
    gwtest::LogCapture log;
    EXPECT_EQ(1, ucf_dns_resolver("distr.test", addrs));
    EXPECT_EQ(AF_INET, g_seen_family);
    EXPECT_TRUE(log.contains("Start to resolv distr.test (192.0.2.10)"));
    copy_truncated(g_dev_info.WANIPAddr, "2001:db8::1");
    EXPECT_EQ(1, ucf_dns_resolver("distr.test", addrs));
    EXPECT_EQ(AF_UNSPEC, g_seen_family);
}

TEST_F(Resolver, FailureIsLoggedAndGivesMinusOne)
{
    g_fake_count = -1;
    gwtest::LogCapture log;
    EXPECT_EQ(-1, ucf_dns_resolver("nowhere.test", addrs));
    EXPECT_TRUE(log.contains("getaddrinfo failed: domain nowhere.test, err " + std::string(gai_strerror(EAI_NONAME))));
    EXPECT_EQ(-1, ucf_dns_resolver("", addrs));
    EXPECT_EQ(-1, ucf_dns_resolver(nullptr, addrs));
}

TEST(ResolverSystem, NumericAddressResolvesWithoutNetwork)
{
    memset(&g_dev_info, 0, sizeof g_dev_info);
    char addrs[UCF_ADDR_COUNT][UCF_ADDR_LEN] = {};
    EXPECT_EQ(1, ucf_dns_resolver("127.0.0.1", addrs));
    EXPECT_STREQ("127.0.0.1", addrs[0]);
}

namespace {
bool g_gave_up;
void raise_term(struct uloop_timeout *) { raise(SIGTERM); }
void give_up(struct uloop_timeout *)
{
    g_gave_up = true;
    uloop_end();
}
}  // namespace

TEST(LoopSignals, TermEndsTheLoopAndUsr1DoesNothing)
{
    struct sigaction sa {
    }, old_term{}, old_usr1{};
    sa.sa_handler = ucf_sig_handler;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, &old_term);
    sigaction(SIGUSR1, &sa, &old_usr1);
    uloop_init();
    g_ucf_terminate = 0;
    raise(SIGUSR1);
    EXPECT_EQ(0, g_ucf_terminate);

    g_gave_up = false;
    struct uloop_timeout t {
    }, guard{};
    t.cb = raise_term;
    guard.cb = give_up;
    uloop_timeout_set(&t, 1);
    uloop_timeout_set(&guard, 5000);
    uloop_run();
    EXPECT_EQ(1, g_ucf_terminate);
    EXPECT_FALSE(g_gave_up);
    uloop_timeout_cancel(&guard);
    uloop_done();
    sigaction(SIGTERM, &old_term, nullptr);
    sigaction(SIGUSR1, &old_usr1, nullptr);
}
