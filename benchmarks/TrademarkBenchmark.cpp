// Brand detection over the model strings of real drives (the shared knowledge fixture, some four
// thousand models): the time per model is the benchmark's time divided by the models per pass,
// shown as the "per_model" counter.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "knowledge/Trademarks.h"

namespace {

using Model = std::pair<std::string, bool>;  // model text, from NVMe

std::vector<Model> FixtureModels() {
    std::ifstream in(std::string(KORVANTE_SOURCE_DIR) + "/../shared/fixtures/knowledge/model-names.tsv");
    std::vector<Model> models;
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string model, interface;
        if (std::getline(fields, model, '\t') && std::getline(fields, interface, '\t'))
            models.emplace_back(model, interface == "NVMe");
    }
    return models;
}

void BM_DetectTrademark(benchmark::State& state) {
    static const std::vector<Model> models = FixtureModels();
    if (models.empty()) {
        state.SkipWithError("knowledge/model-names.tsv is not there");
        return;
    }
    for (auto _ : state)
        for (const Model& m : models) benchmark::DoNotOptimize(DetectTrademark(m.first, m.second));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * models.size()));
    state.counters["per_model"] = benchmark::Counter(static_cast<double>(models.size()),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_DetectTrademark)->Unit(benchmark::kMicrosecond);

}  // namespace
