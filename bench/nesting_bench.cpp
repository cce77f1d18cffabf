// The description form of arrays nested N levels deep, built directly (past the
// reading limit) to show how the cost grows with the depth: the text itself
// grows with the square of the depth, its indentation being 4 spaces a level.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/Description.h"
#include "platform/Plist.h"

namespace {

brim::Plist nestedArrays(int levels) {
  brim::Plist root(plist_new_array());
  plist_t inner = root.get();
  for (int i = 1; i < levels; ++i) {
    plist_t next = plist_new_array();
    plist_array_append_item(inner, next);
    inner = next;
  }
  plist_array_append_item(inner, plist_new_uint(1));
  return root;
}

void describeNested(benchmark::State& state) {
  const brim::Plist value = nestedArrays(static_cast<int>(state.range(0)));
  size_t length = 0;
  for (auto _ : state) {
    const std::string text = brim::describe(value.get());
    length = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["bytes"] = static_cast<double>(length);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * length));
}
BENCHMARK(describeNested)->Arg(250)->Arg(1000)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
