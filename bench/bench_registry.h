// The figures a benchmark run produces, printed after Google Benchmark's
// table: plain figures, and targets with their limits.
#pragma once

#include <string>

// A figure that is reported without a limit.
void figure_report(const std::string &name, double value, const std::string &note);
// A figure that must stay at or below `limit`.
void target_report(const std::string &name, double value, double limit,
                   const std::string &note);
// A figure that must reach at least `limit` (a speed-up).
void target_report_at_least(const std::string &name, double value, double limit,
                            const std::string &note);
// A target whose figure could not be measured in this build; it prints as
// MISS with the reason.
void target_pending(const std::string &name, double limit, const std::string &why);
// A self-check: failing ones make the program exit non-zero.
void check_report(const std::string &name, bool ok, const std::string &detail);

// Prints the ratios and the target lines; returns the number of failed
// self-checks.
int figures_print();
