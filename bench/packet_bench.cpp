// Packet build and read at the sizes the platform sends (a heartbeat, a typical answer, the largest
// frame), beside the work they cannot avoid: MD5 of the text and AES-256-ECB encryption and decryption
// of the same padded bytes. The ratio is what the packet layer adds (copies, key choice, header).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "core/holders.hpp"
#include "gwbus/log.h"
#include "platform/packet.h"

namespace {

constexpr int kSizes[] = {64, 1024, 16000};

std::string text_of(size_t n)
{
    std::string s = "{\"RPCMethod\":\"Hb\",\"Data\":\"";
    while (s.size() + 2 < n)
        s += 'x';
    return s + "\"}";
}

// Packs and unpacks one text as the plugin server's two directions do; false on any failure.
bool pack_unpack(const std::string &text)
{
    unsigned char *pkt = nullptr;
    const int n = packMessage(text.c_str(), static_cast<int>(text.size()), &pkt, 1);
    if (n < 0)
        return false;
    // A received packet has the short header: drop the fields only the sender's header carries.
    const int skip = PACKET_OUT_HEADER_LEN - PACKET_IN_HEADER_LEN;
    char *out = nullptr;
    const int m = unpackMessage(pkt + skip, n - skip, &out, 1);
    std::free(pkt);
    std::free(out);
    return m == static_cast<int>(text.size()) + 1;
}

// The bare work of the same round: MD5 hex of the text, then AES-256-ECB over digest + text
// zero-padded to the block size, encrypted and decrypted once.
class RawCrypto {
public:
    explicit RawCrypto(const std::string &text)
        : text_(text), n_((PACKET_DIGEST_LEN + text.size() + 15) / 16 * 16), plain_(n_, 0), mid_(n_ + 16),
          out_(n_ + 16), ctx_(EVP_CIPHER_CTX_new())
    {
    }

    bool run()
    {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int md_len = 0;
        if (EVP_Digest(text_.data(), text_.size(), md, &md_len, EVP_md5(), nullptr) != 1)
            return false;
        static const char hex[] = "0123456789abcdef";
        for (unsigned i = 0; i < md_len && 2 * i + 1 < PACKET_DIGEST_LEN; ++i) {
            plain_[2 * i] = static_cast<unsigned char>(hex[md[i] >> 4]);
            plain_[2 * i + 1] = static_cast<unsigned char>(hex[md[i] & 15]);
        }
        std::copy(text_.begin(), text_.end(), plain_.begin() + PACKET_DIGEST_LEN);
        int len = 0;
        EVP_CIPHER_CTX *c = ctx_.get();
        const int n = static_cast<int>(n_);
        return EVP_EncryptInit_ex(c, EVP_aes_256_ecb(), nullptr, key_, nullptr) == 1 &&
               EVP_CIPHER_CTX_set_padding(c, 0) == 1 &&
               EVP_EncryptUpdate(c, mid_.data(), &len, plain_.data(), n) == 1 &&
               EVP_DecryptInit_ex(c, EVP_aes_256_ecb(), nullptr, key_, nullptr) == 1 &&
               EVP_CIPHER_CTX_set_padding(c, 0) == 1 && EVP_DecryptUpdate(c, out_.data(), &len, mid_.data(), n) == 1;
    }

private:
    std::string text_;
    size_t n_;
    std::vector<unsigned char> plain_, mid_, out_;
    gwagent::EvpCtxPtr ctx_;
    unsigned char key_[32] = {'0', '1', '2', '3'};
};

void BM_PackUnpack(benchmark::State &state)
{
    const std::string text = text_of(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        if (!pack_unpack(text)) {
            state.SkipWithError("pack or unpack failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_RawMd5Aes256Ecb(benchmark::State &state)
{
    RawCrypto raw(text_of(static_cast<size_t>(state.range(0))));
    for (auto _ : state) {
        if (!raw.run()) {
            state.SkipWithError("raw crypto failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

struct Pair {
    double packet_us = 0;
    double raw_us = 0;
};
std::map<int, Pair> g_pairs;

// Both in turn within one run, so that the ratio compares like with like.
void BM_PacketToRawRatio(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    const int size = static_cast<int>(state.range(0));
    const std::string text = text_of(static_cast<size_t>(size));
    RawCrypto raw(text);
    Clock::duration packet{}, bare{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool ok_packet = pack_unpack(text);
        const auto t1 = Clock::now();
        const bool ok_raw = raw.run();
        const auto t2 = Clock::now();
        if (!ok_packet || !ok_raw) {
            state.SkipWithError("packet or raw crypto failed");
            break;
        }
        packet += t1 - t0;
        bare += t2 - t1;
    }
    const double n = static_cast<double>(state.iterations());
    if (n == 0 || bare.count() == 0)
        return;
    using Us = std::chrono::duration<double, std::micro>;
    state.counters["packet_us"] = Us(packet).count() / n;
    state.counters["raw_us"] = Us(bare).count() / n;
    state.counters["ratio"] = static_cast<double>(packet.count()) / static_cast<double>(bare.count());
    g_pairs[size] = {Us(packet).count() / n, Us(bare).count() / n};
}

void sizes(benchmark::internal::Benchmark *b)
{
    for (int s : kSizes)
        b->Arg(s);
}

BENCHMARK(BM_RawMd5Aes256Ecb)->Apply(sizes);
BENCHMARK(BM_PackUnpack)->Apply(sizes);
BENCHMARK(BM_PacketToRawRatio)->Apply(sizes);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // The library's threshold when none is configured: the key's debug line is filtered, not formatted.
    g_logLevel = LOG_LVL_ERR;
    benchmark::RunSpecifiedBenchmarks();
    for (const auto &[size, p] : g_pairs)
        gwbench::print_ratio("pack+unpack/md5+aes256ecb@" + std::to_string(size), p.packet_us, "packet", p.raw_us,
                             "raw");
    benchmark::Shutdown();
    return 0;
}
