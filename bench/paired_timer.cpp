#include "paired_timer.h"

#include <time.h>

#include <algorithm>

namespace {

double thread_cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

}  // namespace

double time_seconds(const std::function<void()> &fn) {
  const double t0 = thread_cpu_seconds();
  fn();
  return thread_cpu_seconds() - t0;
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
