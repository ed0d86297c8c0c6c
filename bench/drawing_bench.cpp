// Times the first drawing of a lattice phase by phase, as the module computes it now ("after")
// and as it did before the drawing was made fast ("before", the plain procedures the tests keep
// as their reference), in one run, on shapes that stress different parts: a real lattice of a
// quarter million concepts, wide contexts (few objects, many attributes), a chain, a Boolean
// lattice and a lattice of a million concepts. Every shape's two documents are compared byte by
// byte. Usage: quorlan_drawing_bench [data-dir] [shape...] [sides]; shapes whose file is absent
// are skipped; "sides" also times the cover relation taken from each side of the context (the
// side not taken can be slow: seconds on mushroom). Times are CPU seconds of this process; "x enum"
// divides by the enumeration of the same context (NextClosure, the module's default).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/algorithm.h"
#include "formats/read.h"
#include "layout/svg.h"
#include "measure.h"
#include "order/covers.h"
#include "support/plain_drawing.h"
#include "support/random_context.h"

namespace {

using quorlan::Context;
using quorlan::Lattice;

using quorlan::bench::cpu_seconds;
using quorlan::bench::peak_mb;

// The least time of repeated runs of `work`, each after an untimed `setup`: short steps are run
// until they have taken a few tenths of a second, long ones once.
template <class Setup, class Work>
double best_of(Setup&& setup, Work&& work) {
  double best = 1e300, spent = 0;
  for (int run = 0; run < 200 && spent < 0.3; ++run) {
    setup();
    const double t = cpu_seconds(work);
    best = std::min(best, t);
    spent += t;
  }
  return best;
}
template <class Work>
double best_of(Work&& work) {
  return best_of([] {}, work);
}

std::optional<Context> read_file(const std::string& path) {
  const std::optional<std::string> bytes = quorlan::bench::file_bytes(path);
  if (!bytes) return std::nullopt;
  quorlan::ContextResult parsed = quorlan::read_context(*bytes, path);
  if (!parsed.has_value()) return std::nullopt;
  return std::move(parsed).value();
}

// Object i has the attributes 0 .. i - 1: a chain of `length` concepts.
Context chain(std::size_t length) {
  std::vector<std::string> rows(length, std::string(length - 1, '.'));
  for (std::size_t i = 0; i < length; ++i) rows[i].replace(0, i, i, 'X');
  return quorlan::testing::context_from_rows(rows, length - 1);
}

// Object i has every attribute but i: the Boolean lattice of 2^m concepts.
Context boolean(std::size_t m) {
  std::vector<std::string> rows(m, std::string(m, 'X'));
  for (std::size_t i = 0; i < m; ++i) rows[i][i] = '.';
  return quorlan::testing::context_from_rows(rows, m);
}

struct Shape {
  const char* name;
  std::function<std::optional<Context>(const std::string& data)> make;
};

struct Phases {
  double covers = 0, layering = 0, sweeps = 0, coordinates = 0, text = 0;
  double total() const { return covers + layering + sweeps + coordinates + text; }
};

void print_phases(const char* name, const char* when, const Phases& p, double enumeration) {
  std::printf("%-16s %-7s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %7.1f %7.1f\n", name, when, p.covers,
              p.layering, p.sweeps, p.coordinates, p.text, p.total(), p.covers / enumeration,
              p.total() / enumeration);
}

void run(const Shape& shape, const Context& ctx, bool both_sides) {
  constexpr quorlan::LayoutConfig kLayout{80.0, 80.0, 24};
  constexpr quorlan::SvgStyle kStyle{30.0, 6.0, 1.5};
  std::optional<Lattice> lattice;
  const double enumeration = best_of([&] { lattice.reset(); },
                                     [&] { lattice.emplace(quorlan::NextClosure().compute(ctx)); });
  std::printf("%-16s %zu x %zu, %zu concepts, enumeration %.4f s\n", shape.name, ctx.n_objects(),
              ctx.n_attributes(), lattice->size(), enumeration);

  namespace plain = quorlan::reference;
  Phases before;
  std::vector<quorlan::CoverPair> covers;
  before.covers = best_of([&] { covers = plain::lindig_covers(*lattice); });
  plain::PlainLayers layers;
  before.layering = best_of([&] { layers = plain::plain_layering(*lattice, covers); });
  const plain::PlainLayers unordered = layers;
  before.sweeps = best_of([&] { layers = unordered; },
                          [&] { plain::plain_sweeps(layers, lattice->size(), covers, 24); });
  quorlan::LatticeLayout layout;
  before.coordinates = best_of([&] { layout = plain::plain_coordinates(layers, covers, kLayout); });
  std::string old_text;
  before.text = best_of([&] { old_text = plain::plain_svg(layout, kStyle); });
  layout = {};
  layers = {};

  Phases after;
  const auto covers_from = [&](quorlan::CoverSide side) {
    return best_of([&] { quorlan::compute_covers(*lattice, {side}); });
  };
  after.covers = covers_from(quorlan::CoverSide::kAuto);
  covers = quorlan::compute_covers(*lattice);
  const std::size_t pairs = covers.size();
  quorlan::Layering layering;
  after.layering = best_of([&] { layering = quorlan::longest_path_layering(*lattice, covers); });
  const quorlan::Layering initial = layering;
  after.sweeps = best_of([&] { layering = initial; },
                         [&] { quorlan::reduce_crossings(layering, *lattice, covers, 24); });
  after.coordinates =
      best_of([&] { layout = quorlan::sugiyama_layout(*lattice, covers, layering, kLayout); });
  std::string new_text;
  after.text = best_of([&] { new_text = quorlan::render_svg(layout, kStyle); });
  layout = {};

  quorlan::LatticeCache cache;
  quorlan::lattice_svg(*lattice, cache);
  std::string again;
  const double second = best_of([&] { again = quorlan::lattice_svg(*lattice, cache); });

  print_phases(shape.name, "before", before, enumeration);
  print_phases(shape.name, "after", after, enumeration);
  std::printf(
      "%-16s %zu cover pairs, %zu layers, %llu of 24 sweeps run, document %zu bytes %s,"
      " again %s; second drawing %.3f s (%.1f x enum); peak %.0f MB\n",
      shape.name, pairs, layering.layer_size.size(),
      static_cast<unsigned long long>(layering.sweeps_run), new_text.size(),
      new_text == old_text ? "identical" : "DIFFERENT",
      again == new_text ? "identical" : "DIFFERENT", second, second / enumeration, peak_mb());
  if (!both_sides) return;
  const bool attributes = lattice->n_attributes() <= lattice->n_objects();
  std::printf("%-16s covers from the attributes %.3f s, from the objects %.3f s (%s taken)\n",
              shape.name, covers_from(quorlan::CoverSide::kAttributes),
              covers_from(quorlan::CoverSide::kObjects), attributes ? "attributes" : "objects");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "../shared/data";
  std::vector<std::string> wanted(argv + std::min(argc, 2), argv + argc);
  const auto sides = std::find(wanted.begin(), wanted.end(), "sides");
  const bool both_sides = sides != wanted.end();
  if (both_sides) wanted.erase(sides);
  const auto file = [](const char* relative) {
    return [relative](const std::string& data) { return read_file(data + "/" + relative); };
  };
  const auto random = [](std::size_t n, std::size_t m, double d) {
    return [=](const std::string&) {
      return std::optional<Context>(quorlan::testing::random_context(7, n, m, d));
    };
  };
  const Shape shapes[] = {
      {"mushroom", file("fimi/mushroom.dat")},
      {"rand-20x1000", random(20, 1000, 0.3)},
      {"rand-20x2000", random(20, 2000, 0.3)},
      {"rand-100x50", random(100, 50, 0.3)},
      {"chain-200", [](const std::string&) { return std::optional<Context>(chain(200)); }},
      {"boolean-12", [](const std::string&) { return std::optional<Context>(boolean(12)); }},
      {"bob-ross", file("cxt-concepts/bob-ross.cxt")},
      {"rand-1000x100", file("synthetic/rand_1000x100_d20.dat")},
  };
  std::printf("%-16s %-7s %8s %8s %8s %8s %8s %8s %7s %7s\n", "shape", "", "covers", "layers",
              "sweeps", "coords", "text", "total", "cov/enum", "tot/enum");
  for (const Shape& shape : shapes) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), shape.name) == wanted.end()) {
      continue;
    }
    const std::optional<Context> ctx = shape.make(dir);
    if (!ctx) {
      std::printf("%-16s skipped (absent)\n", shape.name);
      continue;
    }
    run(shape, *ctx, both_sides);
  }
  return 0;
}
