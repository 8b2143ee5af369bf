// Fixtures of the platform connection tests: a fresh root and agent state, loopback peers that
// speak the packet format, and bounded pumping of the agent's event loop.
#ifndef PLATFORM_UTIL_HPP
#define PLATFORM_UTIL_HPP

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <gw/ubox.h>

#include "gwtest.hpp"

namespace plat {

using Bytes = std::vector<unsigned char>;

// The packet a server sends: an 8-byte header (length, "$$", default key selector, 0) and the
// ciphertext of the text, built with the agent's own packer.
Bytes server_packet(const std::string &text);
// The text of a packet the agent sent (20-byte header), or "" when it does not decrypt.
std::string agent_text(const Bytes &pkt);

class UdpPeer {
public:
    UdpPeer();
    ~UdpPeer();
    int port() const { return port_; }
    // Next datagram from the agent, decrypted; "" after the timeout.
    std::string recv_text(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    void send_text(const std::string &text);
    void send_raw(const Bytes &b);

private:
    int fd_ = -1;
    int port_ = 0;
    std::string peer_;
    unsigned short peer_port_ = 0;
};

class TcpPeer {
public:
    TcpPeer();
    ~TcpPeer();
    int port() const { return port_; }
    // Accepts the agent's connection while pumping the loop.
    bool accept_agent(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    // Next whole frame (length + body) from the agent while pumping; empty after the timeout.
    Bytes recv_frame(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    void send_raw(const Bytes &b);
    // Closes the accepted connection.
    void hang_up();
    // Whether the agent closed its end (reads end of stream) within the timeout.
    bool closed_by_agent(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

private:
    int lfd_ = -1;
    int cfd_ = -1;
    int port_ = 0;
    Bytes pending_;
};

// Remaining time of a pending timer, rounded to whole seconds.
int secs(struct uloop_timeout *t);

// Runs the agent's loop in short slices until cond holds or the timeout passes.
bool pump_until(const std::function<bool()> &cond, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

// A fresh run-time root, UCI packages, known device data, queues and the connection layer.
class ConnTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<gwtest::TempRoot> root_;
    gwtest::LogCapture log_;
    std::string uci(const std::string &pkg, const std::string &sec, const std::string &opt);
};

}  // namespace plat

#endif
