// Times the concept engine, the cover relation, the canonical base and rendering on real and
// synthetic contexts. Usage: quorlan_bench [data-dir] [what...]: input names ("mushroom.dat",
// "chess.dat[:30]"), "base" for the canonical base, "plain" for the procedure the canonical base
// had before its tree walk (Ganter's successor search), "covers" for the cover relation of the
// large sparse inputs. Files that are absent are skipped. Peak memory is the process's maximum
// resident set size so far.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "formats/read.h"
#include "layout/svg.h"
#include "measure.h"
#ifdef QUORLAN_BENCH_PLAIN
#include "support/ganter_base.h"
#endif

namespace {

using quorlan::Context;

struct Input {
  const char* file;
  bool concepts, base, render;
  std::size_t first_attributes = 0;  // keep only the first so many attributes (0: all)
};

using quorlan::bench::peak_mb;
using quorlan::bench::wall_seconds;

void row(const std::string& name, const char* step, std::size_t result, double s) {
  std::printf("%-34s %-13s %10zu %9.3f %9.1f\n", name.c_str(), step, result, s, peak_mb());
  std::fflush(stdout);
}

bool wants(const std::vector<std::string>& what, const std::string& k) {
  if (what.empty()) return true;
  for (const auto& w : what) {
    if (w == k) return true;
  }
  return false;
}

// The same context with only its first k attributes.
Context first_attributes(const Context& ctx, std::size_t k) {
  quorlan::IncidenceBuilder rows;
  for (std::size_t i = 0; i < ctx.rows().size(); ++i) {
    ctx.rows().for_each(i, [&](std::uint32_t j) {
      if (j < k) rows.add(j);
    });
    rows.end_row(k);
  }
  quorlan::NameList attributes;
  for (std::size_t j = 0; j < k; ++j) attributes.push_back(ctx.attributes()[j]);
  return std::move(rows).build(ctx.objects(), std::move(attributes)).value();
}

std::optional<Context> load(const std::string& dir, const Input& in, const std::string& name) {
  const std::optional<std::string> read = quorlan::bench::file_bytes(dir + "/" + in.file);
  if (!read) {
    std::printf("%-34s skipped (absent)\n", in.file);
    return std::nullopt;
  }
  const std::string& bytes = *read;
  std::optional<quorlan::ContextResult> parsed;
  const double tp = wall_seconds([&] { parsed.emplace(quorlan::read_context(bytes, in.file)); });
  if (!parsed->has_value()) {
    std::printf("%-34s parse failed: %s\n", name.c_str(), parsed->error().display().c_str());
    return std::nullopt;
  }
  Context ctx = std::move(*parsed).value();
  if (in.first_attributes != 0) ctx = first_attributes(ctx, in.first_attributes);
  std::printf("%-34s %-13s %4zux%-5zu %9.3f %9.1f\n", name.c_str(), "parse", ctx.n_objects(),
              ctx.n_attributes(), tp, peak_mb());
  return ctx;
}

void concepts(const Context& ctx, const std::string& name) {
  for (const char* algo : {"fcbo", "in-close-5", "next-closure"}) {
    std::size_t count = 0;
    const double t =
        wall_seconds([&] { count = quorlan::algorithm_by_name(algo)->compute(ctx).size(); });
    row(name, algo, count, t);
  }
}

void covers_and_svg(const Context& ctx, const std::string& name, bool svg) {
  const quorlan::Lattice lattice = quorlan::FCbO().compute(ctx);
  std::size_t covers = 0, bytes = 0;
  quorlan::LatticeCache cache;
  row(name, "covers", covers, wall_seconds([&] { covers = cache.order.covers(lattice).size(); }));
  if (svg) {
    // The drawing after the covers, which it takes from the cache.
    row(name, "svg (again)", bytes,
        wall_seconds([&] { bytes = quorlan::lattice_svg(lattice, cache).size(); }));
  }
}

void base(const Context& ctx, const std::string& name, bool plain) {
  std::size_t count = 0;
  const double t = wall_seconds([&] { count = quorlan::canonical_base(ctx).implications.size(); });
  row(name, "canonical", count, t);
#ifdef QUORLAN_BENCH_PLAIN
  if (plain) {
    std::size_t before = 0;
    const double tp =
        wall_seconds([&] { before = quorlan::reference::ganter_base(ctx).implications.size(); });
    std::printf("%-34s %-13s %10zu %9.3f %9.1f  (%.1fx the time)\n", name.c_str(), "plain base",
                before, tp, peak_mb(), tp / t);
    std::fflush(stdout);
  }
#else
  (void)plain;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "../shared/data";
  const std::vector<std::string> what(argv + std::min(argc, 2), argv + argc);
  const Input inputs[] = {
      {"cxt-concepts/bob-ross.cxt", true, true, true},
      {"cxt-concepts/segments.cxt", true, true, true},
      {"cxt/tealady.cxt", true, true, true},
      {"fimi/mushroom.dat", true, true, true},
      {"fimi/chess.dat", false, true, false, /*first_attributes=*/30},
      {"synthetic/rand_1000x100_d10.dat", true, true, true},
      {"synthetic/rand_1000x100_d20.dat", true, true, false},
      {"fimi/T10I4D100K.dat", true, false, false},
      {"fimi/retail.dat", true, false, false},
  };
  std::printf("%-34s %-13s %10s %9s %9s\n", "input", "step", "result", "seconds", "peak MB");
  for (const Input& in : inputs) {
    std::string name = std::string(in.file).substr(std::string(in.file).rfind('/') + 1);
    if (in.first_attributes != 0) name += "[:" + std::to_string(in.first_attributes) + "]";
    if (!what.empty() && !wants(what, name)) continue;
    const std::optional<Context> ctx = load(dir, in, name);
    if (!ctx) continue;
    if (in.concepts) concepts(*ctx, name);
    if (in.render) covers_and_svg(*ctx, name, /*svg=*/true);
    // Large lattices: the cover relation alone, when asked for ("covers" among the names).
    if (!in.render && !what.empty() && wants(what, "covers")) covers_and_svg(*ctx, name, false);
    if (in.base && wants(what, "base")) base(*ctx, name, wants(what, "plain"));
  }
  return 0;
}
