#include "paired_timer.h"

#include <algorithm>
#include <chrono>

double time_seconds(const std::function<void()> &fn) {
  const auto t0 = std::chrono::steady_clock::now();
  fn();
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(t1 - t0).count();
}

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

PairFigures time_pair(benchmark::State &state, const Side &a, const Side &b,
                      const char *a_label, const char *b_label) {
  std::vector<double> ta, tb, ratios;
  for (auto _ : state) {
    double sa = 0.0, sb = 0.0;
    const bool a_first = ta.size() % 2 == 0;
    for (int k = 0; k < 2; ++k) {
      const Side &side = (k == 0) == a_first ? a : b;
      if (side.prepare) side.prepare();
      const double s = time_seconds(side.run);
      ((k == 0) == a_first ? sa : sb) = s;
    }
    ta.push_back(sa);
    tb.push_back(sb);
    ratios.push_back(sb > 0.0 ? sa / sb : 0.0);
    state.SetIterationTime(sa + sb);
  }
  PairFigures f{median(ta) * 1e3, median(tb) * 1e3, median(ratios)};
  state.counters[a_label] = f.a_ms;
  state.counters[b_label] = f.b_ms;
  state.counters["ratio"] = f.ratio;
  return f;
}
