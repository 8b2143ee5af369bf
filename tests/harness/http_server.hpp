// A minimal HTTP/1.0 server on 127.0.0.1 for download tests: fixed bodies per path, request counts.
#ifndef GWTEST_HTTP_SERVER_HPP
#define GWTEST_HTTP_SERVER_HPP

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace gwtest {

class HttpServer {
public:
    // Listens on an ephemeral loopback port; the serving thread stops with the object.
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // GET `path` answers `status` with `body`; unknown paths answer 404 with "not found".
    void serve(const std::string &path, const std::string &body, int status = 200);
    // GET `path` makes the server close the connection without an answer.
    void hang_up(const std::string &path);

    int port() const { return port_; }
    std::string url(const std::string &path) const;
    // Requests received for `path` so far.
    int requests(const std::string &path) const;

private:
    struct Route {
        std::string body;
        int status = 200;
        bool hang_up = false;
    };
    void run();
    void handle(int fd);

    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mu_;
    std::map<std::string, Route> routes_;
    std::map<std::string, int> counts_;
    std::thread thread_;
};

}  // namespace gwtest

#endif
