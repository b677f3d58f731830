#include "bench_registry.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

struct Figure {
  double value = NAN;
  double limit = NAN;  // NAN: no limit
  bool target = false;
  std::string note;
  bool at_least = false;  // the figure must reach the limit, not stay below it
};

struct Check {
  bool ok;
  std::string detail;
};

// Keyed by name so that a benchmark that happens to run twice keeps its last
// figure; the order of first report is kept for printing.
std::vector<std::string> &order() {
  static std::vector<std::string> o;
  return o;
}
std::map<std::string, Figure> &figures() {
  static std::map<std::string, Figure> f;
  return f;
}
std::vector<std::pair<std::string, Check>> &checks() {
  static std::vector<std::pair<std::string, Check>> c;
  return c;
}

void put(const std::string &name, const Figure &f) {
  if (!figures().count(name)) order().push_back(name);
  figures()[name] = f;
}

}  // namespace

void figure_report(const std::string &name, double value, const std::string &note) {
  put(name, Figure{value, NAN, false, note});
}

void target_report(const std::string &name, double value, double limit,
                   const std::string &note) {
  put(name, Figure{value, limit, true, note});
}

void target_report_at_least(const std::string &name, double value, double limit,
                            const std::string &note) {
  Figure f{value, limit, true, note};
  f.at_least = true;
  put(name, f);
}

void target_pending(const std::string &name, double limit, const std::string &why) {
  put(name, Figure{NAN, limit, true, why});
}

void check_report(const std::string &name, bool ok, const std::string &detail) {
  checks().push_back({name, Check{ok, detail}});
}

int figures_print() {
  std::printf("\nFigures (each ratio is the median of per-round ratios of thread CPU\n"
              "time, both sides interleaved in the same run):\n");
  for (const std::string &name : order()) {
    const Figure &f = figures()[name];
    if (std::isnan(f.value))
      std::printf("  %-36s %10s   %s\n", name.c_str(), "-", f.note.c_str());
    else
      std::printf("  %-36s %10.3f   %s\n", name.c_str(), f.value, f.note.c_str());
  }

  int failed = 0;
  if (!checks().empty()) {
    std::printf("\nSelf-checks:\n");
    for (const auto &c : checks()) {
      std::printf("  %-4s %s%s%s\n", c.second.ok ? "ok" : "FAIL", c.first.c_str(),
                  c.second.detail.empty() ? "" : ": ", c.second.detail.c_str());
      if (!c.second.ok) ++failed;
    }
  }

  std::printf("\n");
  for (const std::string &name : order()) {
    const Figure &f = figures()[name];
    if (!f.target) continue;
    const char *relation = f.at_least ? ">=" : "<=";
    if (std::isnan(f.value))
      std::printf("target %s - %s %.2f MISS (%s)\n", name.c_str(), relation, f.limit,
                  f.note.c_str());
    else
      std::printf("target %s %.3f %s %.2f %s\n", name.c_str(), f.value, relation, f.limit,
                  (f.at_least ? f.value >= f.limit : f.value <= f.limit) ? "ok" : "MISS");
  }
  return failed;
}
