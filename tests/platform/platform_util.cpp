#include "platform_util.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <gw/ubox.h>

#include "agentio_util.hpp"
#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"
#include "platform/conn.h"
#include "platform/packet.h"
#include "platform/records.h"

namespace plat {

namespace {

int bound_socket(int type, int &port)
{
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        return -1;
    socklen_t l = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &l);
    port = ntohs(a.sin_port);
    return fd;
}

bool readable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

}  // namespace

Bytes server_packet(const std::string &text)
{
    unsigned char *out = nullptr;
    const int n = packMessage(text.data(), static_cast<int>(text.size()), &out, 1);
    Bytes r;
    if (n > PACKET_OUT_HEADER_LEN) {
        const uint32_t len = htonl(static_cast<uint32_t>(n - PACKET_OUT_HEADER_LEN + 4));
        r.resize(4);
        memcpy(r.data(), &len, 4);
        r.insert(r.end(), out + 4, out + 8);
        r.insert(r.end(), out + PACKET_OUT_HEADER_LEN, out + n);
    }
    free(out);
    return r;
}

std::string agent_text(const Bytes &pkt)
{
    if (pkt.size() < PACKET_OUT_HEADER_LEN)
        return "";
    Bytes in(pkt.begin(), pkt.begin() + 8);
    in.insert(in.end(), pkt.begin() + PACKET_OUT_HEADER_LEN, pkt.end());
    char *text = nullptr;
    // The agent only sends the registration key with selector 0; decrypt with what the header says.
    const int n = unpackMessage(in.data(), static_cast<int>(in.size()), &text, pkt[6] == PACKET_KEY_DEFAULT);
    std::string r = (n > 0 && text) ? text : "";
    free(text);
    return r;
}

UdpPeer::UdpPeer() { fd_ = bound_socket(SOCK_DGRAM, port_); }
UdpPeer::~UdpPeer()
{
    if (fd_ >= 0)
        close(fd_);
}

std::string UdpPeer::recv_text(std::chrono::milliseconds timeout)
{
    if (!pump_until([&] { return readable(fd_, 0); }, timeout))
        return "";
    unsigned char buf[8192];
    sockaddr_in from{};
    socklen_t l = sizeof from;
    const ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &l);
    if (n <= 0)
        return "";
    peer_port_ = ntohs(from.sin_port);
    return agent_text(Bytes(buf, buf + n));
}

void UdpPeer::send_raw(const Bytes &b)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(peer_port_);
    sendto(fd_, b.data(), b.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
}

void UdpPeer::send_text(const std::string &text) { send_raw(server_packet(text)); }

TcpPeer::TcpPeer()
{
    lfd_ = bound_socket(SOCK_STREAM, port_);
    if (lfd_ >= 0)
        listen(lfd_, 4);
}

TcpPeer::~TcpPeer()
{
    if (cfd_ >= 0)
        close(cfd_);
    if (lfd_ >= 0)
        close(lfd_);
}

bool TcpPeer::accept_agent(std::chrono::milliseconds timeout)
{
    const bool ok = pump_until([&] { return readable(lfd_, 0); }, timeout);
    if (!ok)
        return false;
    if (cfd_ >= 0)
        close(cfd_);
    cfd_ = accept4(lfd_, nullptr, nullptr, SOCK_CLOEXEC);
    pending_.clear();
    return cfd_ >= 0;
}

Bytes TcpPeer::recv_frame(std::chrono::milliseconds timeout)
{
    auto whole = [&] {
        if (pending_.size() < 4)
            return false;
        uint32_t be;
        memcpy(&be, pending_.data(), 4);
        return pending_.size() >= 4 + static_cast<size_t>(ntohl(be));
    };
    pump_until(
        [&] {
            if (whole())
                return true;
            while (cfd_ >= 0 && readable(cfd_, 0)) {
                unsigned char buf[4096];
                const ssize_t n = read(cfd_, buf, sizeof buf);
                if (n <= 0)
                    break;
                pending_.insert(pending_.end(), buf, buf + n);
            }
            return whole();
        },
        timeout);
    if (!whole())
        return {};
    uint32_t be;
    memcpy(&be, pending_.data(), 4);
    const size_t total = 4 + ntohl(be);
    Bytes frame(pending_.begin(), pending_.begin() + static_cast<long>(total));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(total));
    return frame;
}

void TcpPeer::send_raw(const Bytes &b)
{
    if (cfd_ >= 0 && write(cfd_, b.data(), b.size()) != static_cast<ssize_t>(b.size()))
        ADD_FAILURE() << "short write to the agent";
}

void TcpPeer::hang_up()
{
    if (cfd_ >= 0)
        close(cfd_);
    cfd_ = -1;
}

bool TcpPeer::closed_by_agent(std::chrono::milliseconds timeout)
{
    return pump_until(
        [&] {
            if (cfd_ < 0 || !readable(cfd_, 0))
                return false;
            unsigned char buf[4096];
            const ssize_t n = read(cfd_, buf, sizeof buf);
            if (n > 0)
                pending_.insert(pending_.end(), buf, buf + n);
            return n == 0;
        },
        timeout);
}

int secs(struct uloop_timeout *t) { return static_cast<int>((uloop_timeout_remaining64(t) + 500) / 1000); }

bool pump_until(const std::function<bool()> &cond, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        uloop_run_timeout(10);
    }
    return true;
}

void ConnTest::SetUp()
{
    // The agent reads the gateway name from the configuration service: never the machine's own bus.
    gwtest::PrivateBus::instance();
    root_ = std::make_unique<gwtest::TempRoot>();
    for (const char *pkg : {"gwagent", "pushd", "log"})
        root_->write(std::string("/etc/config/") + pkg, "");
    uloop_init();
    gwagent_queues_init();
    fifo_buffer_clear(&socket_distr_tx_header);
    fifo_buffer_clear(&socket_plug_tx_header);
    fifo_buffer_clear(&g_msg_srv_fifo_buf);
    memset(app_domain_info, 0, sizeof app_domain_info);
    memset(&g_cc_stm, 0, sizeof g_cc_stm);
    for (auto &d : app_domain_info)
        d.stage = DOMAIN_STAGE_IDLE;
    app_domain_info[DOMAIN_DISTR].hb_interval = 60;
    agentio::set_known_dev_info();
    g_dev_info.RegisteredFlag = '0';
    copy_truncated(g_dev_info.Vendor, "ACME");
    copy_truncated(g_dev_info.ProductClass, "HG100");
    gwagent_conn_init();
    gwagent_set_msg_pause_us(0);
    // No configuration service here: the Boot takes the device values the test set.
    gwagent_set_devinfo_refresh([] { return 0; });
}

void ConnTest::TearDown()
{
    gwagent_close();
    gwagent_close_pushd();
    if (g_fd_message.fd >= 0)
        ucf_close_uloop_fd(&g_fd_message);
    uloop_timeout_cancel(&g_timeout_msg_ack);
    uloop_timeout_cancel(&g_timeout_pushd);
    fifo_buffer_clear(&g_msg_srv_fifo_buf);
    gwagent_msg_handoff_done();
    gwagent_set_clock(nullptr);
    gwagent_set_devinfo_refresh(nullptr);
    packet_set_stage_reader(nullptr);
    gwagent_set_conn_hooks(nullptr);
    uloop_done();
    root_.reset();
}

std::string ConnTest::uci(const std::string &pkg, const std::string &sec, const std::string &opt)
{
    char buf[512] = {};
    if (uci_config_get(pkg.c_str(), sec.c_str(), opt.c_str(), buf) != 0)
        return "<none>";
    return buf;
}

}  // namespace plat
