// The interface file's text read into its YAML tree, by the reader of the plain form and by
// libyaml alone: bench/interface200.yaml, the 200 controls the instancing benchmark loads.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "yaml_tree.h"

namespace {

const std::string& fileText() {
  static const std::string text = [] {
    std::ifstream in(UI_BENCH_DIR "/interface200.yaml", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }();
  return text;
}

void readFile(benchmark::State& state, UIyamlDocument::Reader reader) {
  const std::string& text = fileText();
  for (auto _ : state) {
    UIyamlDocument doc;
    UIyamlError error;
    if (!doc.parse(text, UIyamlLimits(), &error, reader) || !doc.root()) {
      state.SkipWithError("the file did not read");
      return;
    }
    benchmark::DoNotOptimize(doc.root());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ReadInterface200PlainForm(benchmark::State& state) {
  readFile(state, UIyamlDocument::Reader::Fastest);
}
BENCHMARK(BM_ReadInterface200PlainForm)->Unit(benchmark::kMicrosecond);

void BM_ReadInterface200Libyaml(benchmark::State& state) {
  readFile(state, UIyamlDocument::Reader::LibraryOnly);
}
BENCHMARK(BM_ReadInterface200Libyaml)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
