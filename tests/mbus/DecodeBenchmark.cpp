// Decoding speed: the recorded meter telegrams, loaded once, decoded by the pure function on
// one thread. Prints "N telegrams/s" after Google Benchmark's own report.
#include "HexFile.h"
#include "ReplyDecoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& telegrams()
{
    static std::vector<std::string> all;
    return all;
}

void DecodeMeterTelegrams(benchmark::State& state)
{
    const auto& all = telegrams();
    std::size_t records = 0;
    for (auto _ : state) {
        for (const std::string& t : all) {
            DecodedReply d = DecodeReply(t, false, '.');
            records += d.records.size();
            benchmark::DoNotOptimize(d);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
    benchmark::DoNotOptimize(records);
}
BENCHMARK(DecodeMeterTelegrams);

// Console output as usual, then the telegram rate of every run.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                rates_.push_back(it->second.value);
        }
    }
    const std::vector<double>& rates() const { return rates_; }

private:
    std::vector<double> rates_;
};

} // namespace

int main(int argc, char** argv)
{
    for (const auto& file : telegramFiles("meters"))
        telegrams().push_back(readHexFile(file));
    if (telegrams().size() != 76) {
        std::fprintf(stderr, "expected 76 meter telegrams in %s, found %zu\n",
                     (telegramDir() / "meters").c_str(), telegrams().size());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (double rate : reporter.rates())
        std::printf("%.0f telegrams/s\n", rate);
    return 0;
}
