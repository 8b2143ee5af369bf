// Three-key 3DES-ECB of the provisioned device files.
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/crypto.h"
#include "core/evp_ctx.hpp"

const char *Default_DES_KEY = "Qm7#tLw2@Zr9&Kp4!Xv8$Nd3";
unsigned char DES_KEY[24];

extern "C" void key_3des_ecb(void)
{
    memset(DES_KEY, 0, sizeof DES_KEY);
    memcpy(DES_KEY, Default_DES_KEY, strnlen(Default_DES_KEY, sizeof DES_KEY));
}

namespace {

// The EDE3 key is K1|K2|K3 in that order, as the three schedules of the device files expect;
// decryption is D(K1, E(K2, D(K3, block))).
int run_3des(const unsigned char *in, unsigned char *out, int len, bool encrypt, const char *fn)
{
    if (!in || !out || len < 0)
        return -1;
    key_3des_ecb();
    const int whole = len / 8 * 8;
    if (whole == 0)
        return 0;
    // Work area first, so a failure leaves the caller's output untouched.
    std::vector<unsigned char> work(static_cast<size_t>(whole));
    if (!gw::evp_ecb_nopad(EVP_des_ede3_ecb(), DES_KEY, encrypt, in, whole, work.data())) {
        printf(" %s malloc failed!\n", fn);
        return -1;
    }
    memcpy(out, work.data(), work.size());
    return 0;
}

}  // namespace

extern "C" int de_3des_ecb(const unsigned char *in, unsigned char *out, int len)
{
    return run_3des(in, out, len, false, "de_3des_ecb");
}

extern "C" int en_3des_ecb(const unsigned char *in, unsigned char *out, int len)
{
    return run_3des(in, out, len, true, "en_3des_ecb");
}
