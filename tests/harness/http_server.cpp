#include "http_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    routes_[path] = Route{body, status, false};
}

void HttpServer::hang_up(const std::string &path)
{
    std::lock_guard<std::mutex> lock(mu_);
    routes_[path] = Route{"", 0, true};
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

void HttpServer::handle(int fd)
{
    std::string request;
    char buf[2048];
    // Bounded: a client that never finishes its request is dropped after 5 s.
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return;
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return;
        request.append(buf, static_cast<size_t>(n));
    }
    std::string path;
    size_t sp1 = request.find(' ');
    size_t sp2 = sp1 == std::string::npos ? sp1 : request.find(' ', sp1 + 1);
    if (sp2 != std::string::npos)
        path = request.substr(sp1 + 1, sp2 - sp1 - 1);
    Route route{"not found", 404, false};
    {
        std::lock_guard<std::mutex> lock(mu_);
        ++counts_[path];
        auto it = routes_.find(path);
        if (it != routes_.end())
            route = it->second;
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
