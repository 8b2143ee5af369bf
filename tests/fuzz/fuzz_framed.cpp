// The framed reader fed an arbitrary stream in arbitrary chunks over a socketpair, checked against
// a model: every frame of at most 4,092 bytes arrives whole and in order, longer ones are skipped, and a
// length no peer could mean (over 1 MiB) breaks the stream as soon as its header is in.
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/dev_info.h"
#include "core/io/ucf_io.h"

__attribute__((weak)) gw_dev_info g_dev_info;

namespace {

constexpr int kCap = 4096;
constexpr uint64_t kBrokenAbove = 1024 * 1024;

std::vector<std::string> model(const std::string &stream, bool &broken)
{
    std::vector<std::string> frames;
    broken = false;
    size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        const auto *p = reinterpret_cast<const unsigned char *>(stream.data() + pos);
        const uint64_t len = (uint64_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        if (len > kBrokenAbove) {
            broken = true;
            break;
        }
        if (pos + 4 + len > stream.size())
            break;
        if (len <= kCap - 4)
            frames.push_back(stream.substr(pos, 4 + len));
        pos += 4 + len;
    }
    return frames;
}

int pending(int fd)
{
    int n = 0;
    ioctl(fd, FIONREAD, &n);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
        return 0;
    fcntl(sv[0], F_SETFL, O_NONBLOCK);
    ucf_clear_buf_swap(UCF_SLOT_PLUGIN);

    // Input: [chunk length - 1][chunk bytes]..., so chunks of 1 to 256 bytes.
    std::string stream;
    std::vector<std::string> got;
    static unsigned char buf[kCap];
    size_t i = 0;
    bool broken = false;
    while (i < size && !broken) {
        const size_t want = static_cast<size_t>(data[i]) + 1;
        const size_t avail = std::min(want, size - i - 1);
        if (avail == 0)
            break;
        const char *chunk = reinterpret_cast<const char *>(data + i + 1);
        stream.append(chunk, avail);
        if (write(sv[1], chunk, avail) != static_cast<ssize_t>(avail))
            abort();
        i += 1 + avail;
        for (int guard = 0; guard < 100000; ++guard) {
            const int r = ucf_read_socket_tcp(UCF_SLOT_PLUGIN, sv[0], buf, kCap);
            if (r < 0) {
                broken = true;
                break;
            }
            if (r == 1) {
                uint32_t len;
                memcpy(&len, buf, 4);
                len = ntohl(len);
                if (len > kCap - 4)
                    abort();
                got.emplace_back(reinterpret_cast<const char *>(buf), len + 4);
            }
            if (r == 0 && pending(sv[0]) == 0)
                break;
        }
    }
    close(sv[0]);
    close(sv[1]);
    ucf_clear_buf_swap(UCF_SLOT_PLUGIN);
    bool model_broken = false;
    if (got != model(stream, model_broken) || broken != model_broken)
        abort();
    return 0;
}
