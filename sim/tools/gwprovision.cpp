// Writes (or shows) the two encrypted device files that the agent reads at start-up:
// "/rom/.register0" (VendorCode:vendor key) and "/opt/info/YvMngPlat.txt" (server:port), both
// 3DES-ECB with the agent's fixed key, zero-padded to whole blocks.
#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/crypto.h"
#include "gwbus/rootpath.h"

namespace {

constexpr const char *kRegisterFile = "/rom/.register0";
constexpr const char *kPlatformFile = "/opt/info/YvMngPlat.txt";
// The agent reads at most this much of each file and decrypts only whole blocks of it.
constexpr size_t kRegisterRead = 128;
constexpr size_t kPlatformRead = 127;

void usage(FILE *to)
{
    fprintf(to, "usage: gwprovision --root DIR [--vendor CODE --vendor-key KEY] [--server HOST --port N]\n"
                "       gwprovision --root DIR --show\n"
                "  --vendor CODE      VendorCode, 1 to 6 characters, no ':'\n"
                "  --vendor-key KEY   vendor key, 1 to 16 characters, no ':' or blank\n"
                "  --server HOST      distribution server, 1 to 47 characters, no ':' or blank\n"
                "  --port N           distribution server port, 1 to 65535\n"
                "  --show             print the decrypted content of the existing files\n");
}

bool valid_field(const std::string &v, size_t max, const char *what)
{
    if (v.empty() || v.size() > max || v.find_first_of(": \t\r\n") != std::string::npos) {
        fprintf(stderr, "gwprovision: %s must be 1 to %zu characters without ':' or blanks\n", what, max);
        return false;
    }
    return true;
}

// Plain text, at least one terminating zero, padded to whole 8-byte blocks.
bool write_encrypted(const std::string &abs, const std::string &plain, size_t read_limit)
{
    std::vector<unsigned char> buf(plain.begin(), plain.end());
    buf.resize((plain.size() + 1 + 7) / 8 * 8, 0);
    if (buf.size() > read_limit / 8 * 8) {
        fprintf(stderr, "gwprovision: content too long for %s\n", abs.c_str());
        return false;
    }
    std::vector<unsigned char> out(buf.size());
    if (en_3des_ecb(buf.data(), out.data(), static_cast<int>(buf.size())) != 0) {
        fprintf(stderr, "gwprovision: encryption failed\n");
        return false;
    }
    const std::string path = gw::RootPath(abs);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(out.data()), static_cast<std::streamsize>(out.size()));
    f.close();
    if (!f) {
        fprintf(stderr, "gwprovision: cannot write %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    chmod(path.c_str(), 0644);
    printf("wrote %s\n", path.c_str());
    return true;
}

// Reads and decrypts a file exactly as the agent does; false when it is missing or empty.
bool read_decrypted(const std::string &abs, size_t read_limit, std::string &plain)
{
    std::ifstream f(gw::RootPath(abs), std::ios::binary);
    if (!f)
        return false;
    std::vector<unsigned char> raw(read_limit);
    f.read(reinterpret_cast<char *>(raw.data()), static_cast<std::streamsize>(raw.size()));
    const size_t n = static_cast<size_t>(f.gcount());
    if (n == 0)
        return false;
    std::vector<unsigned char> out(read_limit + 1, 0);
    if (de_3des_ecb(raw.data(), out.data(), static_cast<int>(n)) != 0)
        return false;
    plain.assign(reinterpret_cast<const char *>(out.data()));
    return true;
}

int show()
{
    int rc = 0;
    std::string plain;
    if (read_decrypted(kRegisterFile, kRegisterRead, plain)) {
        char code[24] = {0}, key[24] = {0};
        if (sscanf(plain.c_str(), "%23[^:]:%23[^ ]", code, key) == 2)
            printf("vendor=%s vendor-key=%s\n", code, key);
        else
            printf("%s: unparsable content\n", kRegisterFile);
    } else {
        printf("%s: missing or empty\n", kRegisterFile);
        rc = 1;
    }
    if (read_decrypted(kPlatformFile, kPlatformRead, plain)) {
        char host[48] = {0}, port[16] = {0};
        if (sscanf(plain.c_str(), "%47[^:]:%15[^ ]", host, port) == 2)
            printf("server=%s port=%s\n", host, port);
        else
            printf("%s: unparsable content\n", kPlatformFile);
    } else {
        printf("%s: missing or empty\n", kPlatformFile);
        rc = 1;
    }
    return rc;
}

}  // namespace

int main(int argc, char **argv)
{
    static const option opts[] = {
        {"root", required_argument, nullptr, 'r'},
        {"vendor", required_argument, nullptr, 'v'},
        {"vendor-key", required_argument, nullptr, 'k'},
        {"server", required_argument, nullptr, 's'},
        {"port", required_argument, nullptr, 'p'},
        {"show", no_argument, nullptr, 'S'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    std::string root, vendor, vendor_key, server, port;
    bool have_vendor = false, have_key = false, have_server = false, have_port = false, do_show = false;
    int c;
    while ((c = getopt_long(argc, argv, "", opts, nullptr)) != -1) {
        switch (c) {
        case 'r':
            root = optarg;
            break;
        case 'v':
            vendor = optarg;
            have_vendor = true;
            break;
        case 'k':
            vendor_key = optarg;
            have_key = true;
            break;
        case 's':
            server = optarg;
            have_server = true;
            break;
        case 'p':
            port = optarg;
            have_port = true;
            break;
        case 'S':
            do_show = true;
            break;
        case 'h':
            usage(stdout);
            return 0;
        default:
            usage(stderr);
            return 2;
        }
    }
    if (root.empty() || optind != argc) {
        usage(stderr);
        return 2;
    }
    setenv("GW_ROOT", root.c_str(), 1);
    if (do_show)
        return show();

    if (have_vendor != have_key || have_server != have_port || (!have_vendor && !have_server)) {
        usage(stderr);
        return 2;
    }
    if (have_vendor) {
        if (!valid_field(vendor, 6, "--vendor") || !valid_field(vendor_key, 16, "--vendor-key"))
            return 2;
        if (!write_encrypted(kRegisterFile, vendor + ":" + vendor_key, kRegisterRead))
            return 1;
    }
    if (have_server) {
        if (!valid_field(server, 47, "--server"))
            return 2;
        char *end = nullptr;
        errno = 0;
        const long p = strtol(port.c_str(), &end, 10);
        if (port.empty() || errno != 0 || *end != '\0' || p < 1 || p > 65535) {
            fprintf(stderr, "gwprovision: --port must be a number from 1 to 65535\n");
            return 2;
        }
        if (!write_encrypted(kPlatformFile, server + ":" + std::to_string(p), kPlatformRead))
            return 1;
    }
    return 0;
}
