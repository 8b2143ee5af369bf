// Client sockets over loopback, base64 as libubox encodes it, and the bus client without a daemon.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <gw/ubus.h>

#include "gwtest.hpp"

namespace {

struct Listener {
    int fd = -1;
    int port = 0;
    Listener(int family, int type)
    {
        fd = socket(family, type, 0);
        EXPECT_GE(fd, 0);
        sockaddr_storage ss{};
        socklen_t len;
        if (family == AF_INET) {
            auto *a = reinterpret_cast<sockaddr_in *>(&ss);
            a->sin_family = AF_INET;
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            len = sizeof *a;
        } else {
            auto *a = reinterpret_cast<sockaddr_in6 *>(&ss);
            a->sin6_family = AF_INET6;
            a->sin6_addr = in6addr_loopback;
            len = sizeof *a;
        }
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&ss), len), 0);
        if (type == SOCK_STREAM) {
            EXPECT_EQ(listen(fd, 4), 0);
        }
        len = sizeof ss;
        getsockname(fd, reinterpret_cast<sockaddr *>(&ss), &len);
        port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in *>(&ss)->sin_port
                                       : reinterpret_cast<sockaddr_in6 *>(&ss)->sin6_port);
    }
    ~Listener() { close(fd); }
};

bool ipv6_loopback_works()
{
    int fd = socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    bool ok = bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// Non-blocking connect, then the accepted side sees the client's bytes.
void connect_and_talk(int family, const char *host)
{
    Listener l(family, SOCK_STREAM);
    const std::string port = std::to_string(l.port);
    int c = usock(USOCK_TCP | USOCK_NONBLOCK | USOCK_NUMERIC, host, port.c_str());
    ASSERT_GE(c, 0);
    EXPECT_TRUE(fcntl(c, F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(fcntl(c, F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(usock_wait_ready(c, 2000), 0);
    int s = accept(l.fd, nullptr, nullptr);
    ASSERT_GE(s, 0);
    ASSERT_EQ(write(c, "ping", 4), 4);
    pollfd pfd{s, POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 2000), 1);
    char buf[8]{};
    EXPECT_EQ(read(s, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "ping");
    close(s);
    close(c);
}

TEST(Usock, NonBlockingTcpClientOverIpv4Loopback) { connect_and_talk(AF_INET, "127.0.0.1"); }

TEST(Usock, NonBlockingTcpClientOverIpv6Loopback)
{
    if (!ipv6_loopback_works())
        GTEST_SKIP() << "no IPv6 loopback here";
    connect_and_talk(AF_INET6, "::1");
}

TEST(Usock, UdpClientSendsDatagramsToItsPeer)
{
    Listener l(AF_INET, SOCK_DGRAM);
    const std::string port = std::to_string(l.port);
    int c = usock(USOCK_UDP | USOCK_NONBLOCK | USOCK_NUMERIC, "127.0.0.1", port.c_str());
    ASSERT_GE(c, 0);
    ASSERT_EQ(send(c, "dgram", 5, 0), 5);
    pollfd pfd{l.fd, POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 2000), 1);
    char buf[16]{};
    EXPECT_EQ(recv(l.fd, buf, sizeof buf, 0), 5);
    EXPECT_STREQ(buf, "dgram");
    close(c);
}

TEST(Usock, RefusedPortReportsAnErrorNotReadiness)
{
    int port;
    {
        Listener l(AF_INET, SOCK_STREAM);
        port = l.port;
    }
    const std::string service = std::to_string(port);
    int c = usock(USOCK_TCP | USOCK_NONBLOCK | USOCK_NUMERIC, "127.0.0.1", service.c_str());
    if (c < 0)
        return;  // refused at once: as good as later
    EXPECT_NE(usock_wait_ready(c, 2000), 0);
    close(c);
}

TEST(Usock, NumericFlagRefusesNames) { EXPECT_LT(usock(USOCK_TCP | USOCK_NUMERIC, "localhost.invalid", "80"), 0); }

struct Vector {
    const char *plain;
    const char *encoded;
};
// RFC 4648 section 10.
const Vector kVectors[] = {{"", ""},
                           {"f", "Zg=="},
                           {"fo", "Zm8="},
                           {"foo", "Zm9v"},
                           {"foob", "Zm9vYg=="},
                           {"fooba", "Zm9vYmE="},
                           {"foobar", "Zm9vYmFy"}};

TEST(Base64, EncodesAndDecodesTheStandardVectors)
{
    for (const Vector &v : kVectors) {
        char out[32];
        int n = b64_encode(v.plain, strlen(v.plain), out, sizeof out);
        EXPECT_EQ(n, static_cast<int>(strlen(v.encoded))) << v.plain;
        EXPECT_STREQ(out, v.encoded);
        char back[32];
        n = b64_decode(v.encoded, back, sizeof back);
        ASSERT_EQ(n, static_cast<int>(strlen(v.plain))) << v.encoded;
        EXPECT_EQ(std::string(back, static_cast<size_t>(n)), v.plain);
    }
}

TEST(Base64, BinaryBytesRoundTrip)
{
    unsigned char in[256];
    for (int i = 0; i < 256; ++i)
        in[i] = static_cast<unsigned char>(255 - i);
    char enc[B64_ENCODE_LEN(256)];
    int n = b64_encode(in, sizeof in, enc, sizeof enc);
    ASSERT_GT(n, 0);
    unsigned char dec[B64_DECODE_LEN(sizeof enc)];
    ASSERT_EQ(b64_decode(enc, dec, sizeof dec), 256);
    EXPECT_EQ(memcmp(in, dec, 256), 0);
}

struct Decoding {
    const char *text;
    size_t dest_len;
    int result;  // byte count, or -1
};
// Padding is required and ends the text; whitespace is skipped, other characters refused; the padded-away bits must be
// zero; a destination of exactly the decoded size is enough.
const Decoding kDecodings[] = {
    {"Zm9vYg==", 4, 4},     {"Zm9vYg==", 3, -1},  {"Zm9vYg", 16, -1},     {"Zm9vYg=", 16, -1},
    {"Zm9vYg==xx", 16, -1}, {"Zg==Zg==", 16, -1}, {"Zm9vYg== \n", 16, 4}, {"Zm9v\nYmFy", 6, 6},
    {"Zm9vYh==", 16, -1},   {"Zm9vYmF=", 16, -1}, {"Zm9vYmE=", 5, 5},     {"Z===", 16, -1},
    {"Zm9vY", 16, -1},      {"", 4, 0},           {"Zm9v!mFy", 16, -1},   {"Zm9vYmFy", 3, -1},
};

TEST(Base64, DecodingAcceptsOnlyWholePaddedGroups)
{
    for (const Decoding &d : kDecodings) {
        unsigned char out[16];
        memset(out, 0xaa, sizeof out);
        EXPECT_EQ(b64_decode(d.text, out, d.dest_len), d.result) << d.text << " into " << d.dest_len;
        if (d.result < 0)
            continue;
        // The terminator is written when it fits, and nothing beyond the destination.
        const int after = static_cast<size_t>(d.result) < d.dest_len ? 0 : 0xaa;
        EXPECT_EQ(out[d.result], after) << d.text << " into " << d.dest_len;
    }
}

TEST(Base64, EncodingNeedsRoomForTheTerminator)
{
    char small[4];
    EXPECT_EQ(b64_encode("foo", 3, small, sizeof small), -1);
}

TEST(Ubus, ConnectWithoutADaemonFailsCleanly)
{
    gwtest::TempRoot root;
    EXPECT_EQ(ubus_connect(root.path("/var/run/ubus/ubus.sock").c_str()), nullptr);
    EXPECT_EQ(ubus_connect("/nonexistent/ubus.sock"), nullptr);
}

}  // namespace
