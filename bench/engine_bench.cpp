// Times the concept engine, the cover relation, the canonical base and rendering on real and
// synthetic contexts. Usage: quorlan_bench [data-dir] [what...]: file names, "base" for the
// canonical base, "plain" for its plain procedure, "covers" for the cover relation of the large
// sparse inputs. Files that are absent are skipped. Peak memory is the process's maximum
// resident set size so far.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "formats/read.h"
#include "layout/svg.h"
#ifdef QUORLAN_BENCH_PLAIN
#include "support/reference.h"
#endif

namespace {

double peak_mb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

template <class F>
double seconds(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool load(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

bool wants(const std::vector<std::string>& what, const std::string& k) {
  if (what.empty()) return true;
  for (const auto& w : what) {
    if (w == k) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "../shared/data";
  std::vector<std::string> what(argv + std::min(argc, 2), argv + argc);
  struct Input {
    std::string file;
    bool concepts, base, render;
  };
  const Input inputs[] = {
      {"cxt-concepts/bob-ross.cxt", true, true, true},
      {"cxt-concepts/segments.cxt", true, true, true},
      {"cxt/tealady.cxt", true, true, true},
      {"fimi/mushroom.dat", true, true, true},
      {"synthetic/rand_1000x100_d10.dat", true, true, true},
      {"synthetic/rand_1000x100_d20.dat", true, true, false},
      {"fimi/T10I4D100K.dat", true, false, false},
      {"fimi/retail.dat", true, false, false},
  };
  std::printf("%-34s %-13s %10s %9s %9s\n", "input", "step", "result", "seconds", "peak MB");
  for (const Input& in : inputs) {
    std::string bytes;
    if (!load(dir + "/" + in.file, bytes)) {
      std::printf("%-34s skipped (absent)\n", in.file.c_str());
      continue;
    }
    std::string name = in.file.substr(in.file.rfind('/') + 1);
    if (!wants(what, name) && !what.empty()) continue;
    quorlan::ContextResult parsed =
        quorlan::ContextResult(quorlan::fail(quorlan::FormatError::io("not read")));
    const double tp = seconds([&] { parsed = quorlan::read_context(bytes, in.file); });
    if (!parsed.has_value()) {
      std::printf("%-34s parse failed: %s\n", name.c_str(), parsed.error().display().c_str());
      continue;
    }
    const quorlan::Context& ctx = parsed.value();
    std::printf("%-34s %-13s %4zux%-5zu %9.3f %9.1f\n", name.c_str(), "parse", ctx.n_objects(),
                ctx.n_attributes(), tp, peak_mb());
    std::fflush(stdout);
    if (in.concepts) {
      for (const char* algo : {"fcbo", "in-close-5", "next-closure"}) {
        std::size_t count = 0;
        const double t =
            seconds([&] { count = quorlan::algorithm_by_name(algo)->compute(ctx).size(); });
        std::printf("%-34s %-13s %10zu %9.3f %9.1f\n", name.c_str(), algo, count, t, peak_mb());
        std::fflush(stdout);
      }
    }
    if (in.render) {
      quorlan::Lattice lattice = quorlan::FCbO().compute(ctx);
      std::size_t covers = 0, bytes_out = 0;
      const double tc = seconds([&] { covers = lattice.covers().size(); });
      std::printf("%-34s %-13s %10zu %9.3f %9.1f\n", name.c_str(), "covers", covers, tc, peak_mb());
      const double ts = seconds([&] { bytes_out = quorlan::lattice_svg(lattice).size(); });
      std::printf("%-34s %-13s %10zu %9.3f %9.1f\n", name.c_str(), "svg (again)", bytes_out, ts,
                  peak_mb());
      std::fflush(stdout);
    }
    if (!in.render && !what.empty() && wants(what, "covers")) {
      // Large lattices: the cover relation alone, when asked for ("covers" among the names).
      quorlan::Lattice lattice = quorlan::FCbO().compute(ctx);
      std::size_t covers = 0;
      const double tc = seconds([&] { covers = lattice.covers().size(); });
      std::printf("%-34s %-13s %10zu %9.3f %9.1f\n", name.c_str(), "covers", covers, tc, peak_mb());
      std::fflush(stdout);
    }
    if (in.base && wants(what, "base")) {
      std::size_t count = 0;
      const double t = seconds([&] { count = quorlan::canonical_base(ctx).implications.size(); });
      std::printf("%-34s %-13s %10zu %9.3f %9.1f\n", name.c_str(), "canonical", count, t,
                  peak_mb());
      std::fflush(stdout);
#ifdef QUORLAN_BENCH_PLAIN
      // The plain procedure: full passes over the list, derivations through the rows.
      if (wants(what, "plain")) {
        std::size_t plain = 0;
        const double tp2 =
            seconds([&] { plain = quorlan::reference::canonical_base(ctx).implications.size(); });
        std::printf("%-34s %-13s %10zu %9.3f %9.1f  (%.0fx slower)\n", name.c_str(), "plain base",
                    plain, tp2, peak_mb(), tp2 / t);
        std::fflush(stdout);
      }
#endif
    }
  }
  return 0;
}
