// One ECB pass through an OpenSSL cipher context, shared by the cipher units.
#ifndef GWAGENT_CORE_EVP_CTX_HPP
#define GWAGENT_CORE_EVP_CTX_HPP

#include <openssl/evp.h>

#include "core/holders.hpp"

namespace gw {

// One ECB pass without padding over whole blocks: `len` must be a multiple of the cipher's block.
// Returns false on any library failure.
inline bool evp_ecb_nopad(const EVP_CIPHER *cipher, const unsigned char *key, bool encrypt, const unsigned char *in,
                          int len, unsigned char *out)
{
    gwagent::EvpCtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return false;
    if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key, nullptr, encrypt ? 1 : 0) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    int n = 0;
    if (len > 0 && EVP_CipherUpdate(ctx.get(), out, &n, in, len) != 1)
        return false;
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx.get(), out + n, &tail) != 1)
        return false;
    return n + tail == len;
}

}  // namespace gw

#endif
