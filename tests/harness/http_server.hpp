// A minimal HTTP/1.0 server on 127.0.0.1 for download and upload tests: fixed bodies per path, request
// counts, the last request body received per path, and answers held back on request.
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
    // Requests for `path` are answered only after `ms` milliseconds.
    void delay(const std::string &path, int ms);

    int port() const { return port_; }
    std::string url(const std::string &path) const;
    // Requests received for `path` so far.
    int requests(const std::string &path) const;
    // The head (request line and headers) and the body of the last request for `path` ("" when none);
    // a body is read by its Content-Length or its chunks.
    std::string last_head(const std::string &path) const;
    std::string last_body(const std::string &path) const;

private:
    struct Route {
        std::string body;
        int status = 200;
        bool hang_up = false;
        int delay_ms = 0;
    };
    void run();
    void handle(int fd);

    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mu_;
    std::map<std::string, Route> routes_;
    std::map<std::string, int> counts_;
    std::map<std::string, std::pair<std::string, std::string>> last_;
    std::thread thread_;
};

}  // namespace gwtest

#endif
