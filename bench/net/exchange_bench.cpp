// Steps and wall time of one whole exchange on loopback (fresh TCP and TLS connection, request,
// reply until close) for replies of 1 KB, 100 KB and 1 MB. The program steps every 200 ms, so
// "steps" times 200 ms is how long the voter waits for the reply at that cadence.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "net/tls_channel.h"
#include "tests/net/channel_test_support.h"
#include "tests/net/tls_test_server.h"

namespace sorvimend::test {
namespace {

// pause: time between steps. Without one the loop spins and measures wall time; with 1 ms the
// socket fills between steps as it does at the program's 200 ms cadence, so the step count is
// the one the program sees.
void runExchanges(benchmark::State& state, std::chrono::microseconds pause) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  TlsTestServer server({{"", {pkiFile("server-voting.pem"), pkiFile("server-voting.key.pem")}}});
  server.setReply(std::string(size, 'r'));
  auto channel = makeChannel({server.port()}, {readFile(pkiFile("root-ca.pem"))}, 4 << 20);
  double steps = 0;
  for (auto _ : state) {
    channel->beginExchange(ServiceKind::VOTING, "{\"method\":\"bench\"}");
    ExchangeResult result;
    std::string reply;
    do {
      ++result.steps;
      result.code = channel->step(reply);
      if (pause.count() > 0 && result.code == TransportCode::Pending) std::this_thread::sleep_for(pause);
    } while (result.code == TransportCode::Pending);
    if (result.code != TransportCode::Done || reply.size() != size) {
      state.SkipWithError("exchange failed");
      break;
    }
    steps += result.steps;
  }
  state.counters["steps"] = benchmark::Counter(steps, benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_Exchange(benchmark::State& state) { runExchanges(state, std::chrono::microseconds(0)); }
void BM_ExchangePaced(benchmark::State& state) { runExchanges(state, std::chrono::milliseconds(1)); }

BENCHMARK(BM_Exchange)->Arg(1024)->Arg(100 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExchangePaced)->Arg(1024)->Arg(100 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorvimend::test

int main(int argc, char** argv) {
  setenv("SV_SOURCE_DIR", SV_DEFAULT_SOURCE_DIR, 0);
  setenv("SV_BUILD_DIR", SV_DEFAULT_BUILD_DIR, 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
