#include "http_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace gwtest {

HttpServer::HttpServer()
{
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error("http server: socket failed");
    int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(listen_fd_, 16) != 0)
        throw std::runtime_error("http server: bind failed");
    socklen_t len = sizeof addr;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

HttpServer::~HttpServer()
{
    char c = 'q';
    (void)!::write(wake_[1], &c, 1);
    if (thread_.joinable())
        thread_.join();
    ::close(listen_fd_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void HttpServer::serve(const std::string &path, const std::string &body, int status)
{
    std::lock_guard<std::mutex> lock(mu_);
    const int delay_ms = routes_[path].delay_ms;
    routes_[path] = Route{body, status, false, delay_ms};
}

void HttpServer::hang_up(const std::string &path)
{
    std::lock_guard<std::mutex> lock(mu_);
    routes_[path] = Route{"", 0, true, 0};
}

void HttpServer::delay(const std::string &path, int ms)
{
    std::lock_guard<std::mutex> lock(mu_);
    routes_[path].delay_ms = ms;
}

std::string HttpServer::last_head(const std::string &path) const
{
    std::lock_guard<std::mutex> lock(mu_);
    auto it = last_.find(path);
    return it == last_.end() ? std::string() : it->second.first;
}

std::string HttpServer::last_body(const std::string &path) const
{
    std::lock_guard<std::mutex> lock(mu_);
    auto it = last_.find(path);
    return it == last_.end() ? std::string() : it->second.second;
}

std::string HttpServer::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int HttpServer::requests(const std::string &path) const
{
    std::lock_guard<std::mutex> lock(mu_);
    auto it = counts_.find(path);
    return it == counts_.end() ? 0 : it->second;
}

void HttpServer::run()
{
    while (true) {
        pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                handle(fd);
                ::close(fd);
            }
        }
    }
}

namespace {

// Reads more of the request into `data`; false when the client is gone or silent for 5 s.
bool read_more(int fd, std::string &data)
{
    char buf[8192];
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0)
        return false;
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0)
        return false;
    data.append(buf, static_cast<size_t>(n));
    return true;
}

std::string header_value(const std::string &head, const std::string &name)
{
    std::string lower_head = head;
    for (char &c : lower_head)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = lower_head.find("\r\n" + name + ":");
    if (at == std::string::npos)
        return "";
    at += name.size() + 3;
    const size_t end = head.find("\r\n", at);
    std::string v = head.substr(at, end - at);
    v.erase(0, v.find_first_not_of(' '));
    return v;
}

// The body after the head: by Content-Length, or by chunks; bounded at 16 MiB.
std::string read_body(int fd, const std::string &head, std::string rest)
{
    constexpr size_t kMax = 16u << 20;
    const std::string length = header_value(head, "content-length");
    if (!length.empty()) {
        const size_t want = std::min<size_t>(std::stoul(length), kMax);
        while (rest.size() < want && read_more(fd, rest)) {
        }
        return rest.substr(0, want);
    }
    if (header_value(head, "transfer-encoding").find("chunked") == std::string::npos)
        return "";
    std::string body;
    size_t pos = 0;
    while (body.size() < kMax) {
        size_t eol;
        while ((eol = rest.find("\r\n", pos)) == std::string::npos)
            if (!read_more(fd, rest))
                return body;
        const size_t size = std::stoul(rest.substr(pos, eol - pos), nullptr, 16);
        if (size == 0)
            return body;
        while (rest.size() < eol + 2 + size + 2)
            if (!read_more(fd, rest))
                return body;
        body.append(rest, eol + 2, size);
        pos = eol + 2 + size + 2;
    }
    return body;
}

}  // namespace

void HttpServer::handle(int fd)
{
    std::string request;
    // Bounded: a client that never finishes its request is dropped after 5 s.
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536)
        if (!read_more(fd, request))
            return;
    const size_t head_end = request.find("\r\n\r\n");
    const std::string head = request.substr(0, head_end);
    std::string path;
    size_t sp1 = request.find(' ');
    size_t sp2 = sp1 == std::string::npos ? sp1 : request.find(' ', sp1 + 1);
    if (sp2 != std::string::npos)
        path = request.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string body = read_body(fd, head, request.substr(head_end + 4));
    Route route{"not found", 404, false, 0};
    {
        std::lock_guard<std::mutex> lock(mu_);
        ++counts_[path];
        last_[path] = {head, body};
        auto it = routes_.find(path);
        if (it != routes_.end())
            route = it->second;
    }
    if (route.delay_ms > 0) {
        // Held back, but the server still stops at once when it is destroyed.
        pollfd p{wake_[0], POLLIN, 0};
        if (::poll(&p, 1, route.delay_ms) > 0)
            return;
    }
    if (route.hang_up)
        return;
    std::string answer =
        "HTTP/1.0 " + std::to_string(route.status) + " X\r\nContent-Type: application/octet-stream\r\n" +
        "Content-Length: " + std::to_string(route.body.size()) + "\r\nConnection: close\r\n\r\n" + route.body;
    size_t off = 0;
    while (off < answer.size()) {
        ssize_t n = ::send(fd, answer.data() + off, answer.size() - off, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        off += static_cast<size_t>(n);
    }
}

}  // namespace gwtest
