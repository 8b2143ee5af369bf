// unpackMessage on arbitrary bytes under both keys and every stage; packMessage round trip.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/dev_info.h"
#include "platform/packet.h"

__attribute__((weak)) gw_dev_info g_dev_info;

namespace {

uint8_t g_stage;
uint8_t read_stage() { return g_stage; }

void init_keys()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    memcpy(g_dev_info.VendorKey, "vk-0123456789abc", 16);
    memcpy(g_dev_info.VendorCode, "ACME01", 6);
    memcpy(g_dev_info.MAC, "A1B2C3D4E5F6", 12);
    memcpy(g_dev_info.CheckSN, "5e25ad5af57d42061bbfe6311edd4a2e", 32);
    packet_set_stage_reader(read_stage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    init_keys();
    if (size < 2)
        return 0;
    g_stage = (data[0] & 1) ? PACKET_STAGE_HEARTBEAT : data[0];
    const int force = data[1] & 1;
    g_dev_info.MessageID[0] = (data[1] & 2) ? '1' : '0';
    const uint8_t *pkt = data + 2;
    const int len = static_cast<int>(size - 2);

    char *text = nullptr;
    const int n = unpackMessage(pkt, len, &text, force);
    if (n > 0) {
        // The result is terminated and never longer than the plaintext after the digest.
        if (!text || strlen(text) + 1 != static_cast<size_t>(n) || n > len - 8 - 32 + 1)
            abort();
    } else if (text) {
        abort();
    }
    free(text);

    // Any text packs, and (with its identity field removed) unpacks to itself up to its first zero.
    unsigned char *out = nullptr;
    const int plen = packMessage(reinterpret_cast<const char *>(pkt), len, &out, 1);
    if (plen != (len + 32 + 15) / 16 * 16 + 20 || !out)
        abort();
    memmove(out + 8, out + 20, static_cast<size_t>(plen - 20));
    char *back = nullptr;
    const int blen = unpackMessage(out, plen - 12, &back, 1);
    const size_t expect = strnlen(reinterpret_cast<const char *>(pkt), static_cast<size_t>(len));
    if (blen != static_cast<int>(expect) + 1 || memcmp(back, pkt, expect) != 0)
        abort();
    free(back);
    free(out);
    return 0;
}
