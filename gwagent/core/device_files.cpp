// The encrypted device files: the platform address file and the vendor registration file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/agent.h"
#include "core/crypto.h"
#include "core/holders.hpp"
#include "core/uci_text.hpp"
#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

namespace {

using gwagent::FilePtr;

constexpr const char *kPlatformFile = "/opt/info/YvMngPlat.txt";
constexpr const char *kVendorFile = "/rom/.register0";

// Reads up to `max` bytes; -1 when the file cannot be opened.
int read_device_file(const char *abs, unsigned char *buf, size_t max)
{
    FilePtr f(fopen(gw::RootPath(abs).c_str(), "rb"));
    if (!f)
        return -1;
    return static_cast<int>(fread(buf, 1, max, f.get()));
}

// Decrypts the whole 8-byte blocks of `in` into a terminated text.
std::string decrypt_device_text(const unsigned char *in, int len)
{
    unsigned char plain[136] = {};
    key_3des_ecb();
    if (de_3des_ecb(in, plain, len) != 0)
        return {};
    plain[sizeof plain - 1] = '\0';
    return reinterpret_cast<const char *>(plain);
}

// Chooses the endpoint from the platform address file; false means: use the default.
bool endpoint_from_file(char (&name)[48], int &port)
{
    unsigned char raw[128] = {};
    const int n = read_device_file(kPlatformFile, raw, 127);
    if (n < 0) {
        GWLOG(LOG_LVL_DEBUG, "fopen YvMngPlat.txt failed.");
        return false;
    }
    if (n == 0) {
        GWLOG(LOG_LVL_DEBUG, "File is empty.");
        return false;
    }
    const std::string text = decrypt_device_text(raw, n);
    char host[48] = {};
    char port_text[16] = {};
    if (sscanf(text.c_str(), "%47[^:]:%15[^ ]", host, port_text) != 2 || !host[0] || !port_text[0])
        return false;
    const int p = atoi(port_text);
    // Port 0 or one beyond 16 bits cannot be reached; such a file is as good as none.
    if (p <= 0 || p > 65535) {
        GWLOG(LOG_LVL_WARN, "YvMngPlat.txt port %s is invalid, use default.", port_text);
        return false;
    }
    copy_truncated(name, host);
    port = p;
    GWLOG(LOG_LVL_INFO, "test URL[%s] Port[%d].", name, port);
    return true;
}

}  // namespace

extern "C" int gwagent_platform_file_endpoint(char *host, size_t size, int *port)
{
    if (!host || size == 0 || !port)
        return 0;
    char name[48] = {};
    if (!endpoint_from_file(name, *port))
        return 0;
    copy_truncated(host, size, name);
    return 1;
}

extern "C" void gwagent_vendor_register_init(void)
{
    unsigned char raw[129] = {};
    const int n = read_device_file(kVendorFile, raw, 128);
    if (n < 0) {
        GWLOG(LOG_LVL_ERR, "fopen Vendor register file failed.");
        return;
    }
    if (n == 0) {
        GWLOG(LOG_LVL_ERR, " Vendor registerinfo file exists but is empty.");
        return;
    }
    const std::string text = decrypt_device_text(raw, n);
    char code[24] = {};
    char key[24] = {};
    if (sscanf(text.c_str(), "%23[^:]:%23[^ ]", code, key) != 2 || !code[0] || !key[0]) {
        GWLOG(LOG_LVL_ERR, "get Vendor registerinfo failed.");
        return;
    }
    copy_truncated(g_dev_info.VendorCode, code);
    copy_truncated(g_dev_info.VendorKey, key);
}
