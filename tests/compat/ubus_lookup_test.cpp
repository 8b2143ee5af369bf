// Resolving an object id against a bus daemon that speaks the wire framing byte for byte. The same
// cases run against whichever libubus is linked (ours or the target's), so both read it alike.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gw/ubus.h>

#include "gwtest.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes &b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>(v >> s));
}

uint32_t get32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// One attribute: id and length (with its header) in one word, the payload padded to 4 bytes.
Bytes attr(unsigned id, const Bytes &payload)
{
    Bytes b;
    put32(b, uint32_t(id) << 24 | uint32_t(4 + payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    while (b.size() % 4)
        b.push_back(0);
    return b;
}

Bytes u32(uint32_t v)
{
    Bytes b;
    put32(b, v);
    return b;
}

Bytes text(const std::string &s)
{
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

Bytes message(uint8_t type, uint16_t seq, uint32_t peer, const std::vector<Bytes> &attrs)
{
    Bytes body;
    for (const Bytes &a : attrs)
        body.insert(body.end(), a.begin(), a.end());
    Bytes m = {0, type, uint8_t(seq >> 8), uint8_t(seq)};
    put32(m, peer);
    Bytes whole = attr(0, body);
    m.insert(m.end(), whole.begin(), whole.end());
    return m;
}

enum : uint8_t { kHello = 0, kStatus = 1, kData = 2, kLookup = 4 };
enum : unsigned { kAttrStatus = 1, kAttrPath = 2, kAttrId = 3 };

// A daemon for one client: greets (or not), reads one request and answers it from a table of objects.
class FakeDaemon {
public:
    struct Object {
        std::string path;
        uint32_t id;
    };

    FakeDaemon(const std::string &socket, bool greet_with_hello, std::vector<Object> objects)
        : greet_(greet_with_hello), objects_(std::move(objects))
    {
        listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un sa{};
        sa.sun_family = AF_UNIX;
        std::strncpy(sa.sun_path, socket.c_str(), sizeof sa.sun_path - 1);
        if (::bind(listen_fd_, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || ::listen(listen_fd_, 1) != 0)
            ADD_FAILURE() << "cannot listen on " << socket;
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeDaemon()
    {
        thread_.join();
        ::close(listen_fd_);
    }

    Bytes request;  // the client's request as received, header included

private:
    static bool read_full(int fd, uint8_t *p, size_t n)
    {
        while (n) {
            pollfd pf{fd, POLLIN, 0};
            if (::poll(&pf, 1, 5000) <= 0)
                return false;
            ssize_t k = ::read(fd, p, n);
            if (k <= 0)
                return false;
            p += k;
            n -= size_t(k);
        }
        return true;
    }
    static void send_all(int fd, const Bytes &b) { ASSERT_EQ(::write(fd, b.data(), b.size()), ssize_t(b.size())); }

    void serve()
    {
        pollfd pf{listen_fd_, POLLIN, 0};
        if (::poll(&pf, 1, 5000) <= 0)
            return;
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        send_all(fd, message(greet_ ? kHello : kStatus, 0, 0x1234, {}));
        uint8_t head[12];
        if (greet_ && read_full(fd, head, sizeof head)) {
            const uint32_t len = get32(head + 8) & 0xffffff;
            request.assign(head, head + sizeof head);
            request.resize(8 + ((len + 3) & ~3u));
            if (read_full(fd, request.data() + sizeof head, request.size() - sizeof head))
                answer(fd, uint16_t(head[2] << 8 | head[3]));
        }
        ::close(fd);
    }

    void answer(int fd, uint16_t seq)
    {
        const char *path = reinterpret_cast<const char *>(request.data() + 16);
        const std::string asked(path, strnlen(path, request.size() - 16));
        uint32_t status = UBUS_STATUS_NOT_FOUND;
        for (const Object &o : objects_) {
            if (o.path != asked)
                continue;
            send_all(fd, message(kData, seq, 0, {attr(kAttrPath, text(o.path)), attr(kAttrId, u32(o.id))}));
            status = UBUS_STATUS_OK;
        }
        // A stray message of another request first: the client must wait for its own sequence.
        send_all(fd, message(kStatus, uint16_t(seq + 100), 0, {attr(kAttrStatus, u32(UBUS_STATUS_TIMEOUT))}));
        send_all(fd, message(kStatus, seq, 0, {attr(kAttrStatus, u32(status))}));
    }

    bool greet_;
    std::vector<Object> objects_;
    int listen_fd_ = -1;
    std::thread thread_;
};

struct LookupCase {
    const char *name;
    const char *path;
    int status;
    uint32_t id;
};

TEST(UbusLookup, ResolvesRegisteredObjectsAndRefusesOthersWithTheDaemonsStatus)
{
    const LookupCase cases[] = {
        {"registered object", "yvtask", UBUS_STATUS_OK, 0x0a0b0c0d},
        {"second object", "yvproxy", UBUS_STATUS_OK, 77},
        {"unknown object", "yvnothing", UBUS_STATUS_NOT_FOUND, 0},
        {"path of a length that needs padding", "ab", UBUS_STATUS_NOT_FOUND, 0},
    };
    for (const LookupCase &c : cases) {
        SCOPED_TRACE(c.name);
        gwtest::TempRoot root;
        const std::string socket = root.path("/ubus.sock");
        FakeDaemon daemon(socket, true, {{"yvtask", 0x0a0b0c0d}, {"yvproxy", 77}});
        ubus_context *ctx = ubus_connect(socket.c_str());
        ASSERT_NE(ctx, nullptr);
        uint32_t id = 0;
        EXPECT_EQ(ubus_lookup_id(ctx, c.path, &id), c.status);
        EXPECT_EQ(id, c.id);
        ubus_free(ctx);

        // The request on the wire: version 0, type lookup, peer 0, one path attribute, NUL-terminated.
        Bytes expected = {0, kLookup, daemon.request.size() > 3 ? daemon.request[2] : uint8_t(0),
                          daemon.request.size() > 3 ? daemon.request[3] : uint8_t(0)};
        put32(expected, 0);
        Bytes body = attr(0, attr(kAttrPath, text(c.path)));
        expected.insert(expected.end(), body.begin(), body.end());
        EXPECT_EQ(daemon.request, expected);
    }
}

TEST(UbusLookup, ADaemonThatDoesNotGreetFirstIsNoBus)
{
    gwtest::TempRoot root;
    const std::string socket = root.path("/ubus.sock");
    FakeDaemon daemon(socket, false, {});
    EXPECT_EQ(ubus_connect(socket.c_str()), nullptr);
}

}  // namespace
