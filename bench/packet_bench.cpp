// Packet build and read at the sizes the platform sends (a heartbeat, a typical answer, the largest
// frame), beside raw AES-256-ECB of the same sizes: the ratio is the packet layer's own cost.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <vector>

#include <cstdlib>
#include <string>

#include "platform/packet.h"

namespace {

std::string text_of(size_t n)
{
    std::string s = "{\"RPCMethod\":\"Hb\",\"Data\":\"";
    while (s.size() + 2 < n)
        s += 'x';
    return s + "\"}";
}

void BM_PackMessage(benchmark::State &state)
{
    const std::string text = text_of(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        unsigned char *pkt = nullptr;
        int n = packMessage(text.c_str(), static_cast<int>(text.size()), &pkt, 1);
        benchmark::DoNotOptimize(n);
        std::free(pkt);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_UnpackMessage(benchmark::State &state)
{
    const std::string text = text_of(static_cast<size_t>(state.range(0)));
    unsigned char *pkt = nullptr;
    int n = packMessage(text.c_str(), static_cast<int>(text.size()), &pkt, 1);
    if (n < 0) {
        state.SkipWithError("packMessage failed");
        return;
    }
    // A received packet has the short header: drop the fields only the sender's header carries.
    const int skip = PACKET_OUT_HEADER_LEN - PACKET_IN_HEADER_LEN;
    for (auto _ : state) {
        char *out = nullptr;
        int m = unpackMessage(pkt + skip, n - skip, &out, 1);
        benchmark::DoNotOptimize(m);
        std::free(out);
    }
    std::free(pkt);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Encrypt then decrypt the zero-padded text once, as packing and unpacking each do.
void BM_RawEvpAes256Ecb(benchmark::State &state)
{
    const size_t n = (static_cast<size_t>(state.range(0)) + 32 + 15) / 16 * 16;
    std::vector<unsigned char> in(n, 'x'), mid(n + 16), out(n + 16);
    const unsigned char key[32] = {1, 2, 3};
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        int len = 0;
        EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_EncryptUpdate(ctx, mid.data(), &len, in.data(), static_cast<int>(n));
        EVP_DecryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_DecryptUpdate(ctx, out.data(), &len, mid.data(), static_cast<int>(n));
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_RawEvpAes256Ecb)->Arg(64)->Arg(1024)->Arg(16000);
BENCHMARK(BM_PackMessage)->Arg(64)->Arg(1024)->Arg(16000);
BENCHMARK(BM_UnpackMessage)->Arg(64)->Arg(1024)->Arg(16000);
BENCHMARK_MAIN();
