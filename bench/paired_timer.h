// Timing two sides of a ratio side by side: every round runs both, in
// alternating order, so that a noisy neighbour slows both alike; the figures
// are medians over the rounds.  Times are the thread's CPU time.
#pragma once

#include <functional>
#include <vector>

#include <benchmark/benchmark.h>

struct Side {
  std::function<void()> prepare;  // untimed, before each run (may be empty)
  std::function<void()> run;      // timed
};

struct PairFigures {
  double a_ms;   // median time of side a
  double b_ms;   // median time of side b
  double ratio;  // median of the per-round ratios a / b
};

// CPU seconds this thread spends in fn(), the kernel's work for it (page
// faults) included.  Time the machine gives to other processes is not
// counted, which keeps the figures steady on a shared, busy machine.
double time_seconds(const std::function<void()> &fn);

// Runs one round per benchmark iteration (register the benchmark with
// UseManualTime() and Iterations(rounds)), then sets the counters a_label,
// b_label (milliseconds) and "ratio" on state.
PairFigures time_pair(benchmark::State &state, const Side &a, const Side &b,
                      const char *a_label = "ms", const char *b_label = "base_ms");

double median(std::vector<double> v);
