// Packet build and read at the sizes the platform sends: a heartbeat, a typical answer, the largest frame.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK(BM_PackMessage)->Arg(64)->Arg(1024)->Arg(16000);
BENCHMARK(BM_UnpackMessage)->Arg(64)->Arg(1024)->Arg(16000);
BENCHMARK_MAIN();
