// Parse and encode throughput of the two messages that matter most on a
// call: a CRCX carrying a session description and an RQNT with nested
// requested events (messages per second, one core).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "mgcp/mgcp_codec.h"

namespace voxline {
namespace {

const std::string crcx_text =
    "CRCX 1302 dialdeck-lab-client-00/0 MGCP 1.0\r\nC: A3C47F21456789F0\r\n"
    "L: p: 20, a: G.729, e: on\r\nM: sendrecv\r\nX: 5\r\nR: L/hu(N)\r\n\r\nv=0\r\n"
    "c=IN IP4 10.0.0.5\r\nm=audio 4000 RTP/AVP 18\r\n";
const std::string rqnt_text =
    "RQNT 1202 dialdeck-lab-client-00/0 MGCP 1.0\r\nX: 0123456789AC\r\n"
    "R: L/hd(N, E(R(L/hu(N), L/hf(N)),S(L/dl))), L/oc(N)\r\nS: L/rg, L/ci(,5551234,Alice)\r\n";

void parse(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        auto m = parse_message(text.data(), text.size());
        benchmark::DoNotOptimize(m.get());
    }
    state.SetItemsProcessed(state.iterations());
}

void encode(benchmark::State& state, const std::string& text) {
    auto m = parse_message(text.data(), text.size());
    if (!m || m->kind == MGCP_UNPARSED) {
        state.SkipWithError("sample does not parse");
        return;
    }
    for (auto _ : state) {
        bool ok = encode_message(*m);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(m->text);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_parse_crcx_with_session(benchmark::State& state) {
    parse(state, crcx_text);
}
void BM_encode_crcx_with_session(benchmark::State& state) {
    encode(state, crcx_text);
}
void BM_parse_rqnt_nested(benchmark::State& state) {
    parse(state, rqnt_text);
}
void BM_encode_rqnt_nested(benchmark::State& state) {
    encode(state, rqnt_text);
}

BENCHMARK(BM_parse_crcx_with_session);
BENCHMARK(BM_encode_crcx_with_session);
BENCHMARK(BM_parse_rqnt_nested);
BENCHMARK(BM_encode_rqnt_nested);

}  // namespace
}  // namespace voxline

BENCHMARK_MAIN();
