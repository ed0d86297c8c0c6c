// The whole road on small inputs: parse, all three algorithms agree (FCbO and In-Close5 in the
// same order, NextClosure in lectic order, the same set), every concept is closed, the
// canonical base holds and closes like the context, then layout and SVG.
#include <algorithm>
#include <vector>

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "formats/read.h"
#include "fuzz_input.h"
#include "layout/svg.h"
#include "order/covers.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorlan;
  const fuzz::Input in = fuzz::split(data, size);
  const ContextResult r = read_context(in.content, in.name);
  if (!r.has_value()) return 0;
  const Context& ctx = r.value();
  if (ctx.n_objects() > 64 || ctx.n_attributes() > 12) return 0;

  const Lattice nc = NextClosure().compute(ctx);
  const Lattice fc = FCbO().compute(ctx);
  const Lattice ic = InClose5().compute(ctx);
  check(nc.size() == fc.size() && fc.size() == ic.size());
  std::vector<std::vector<std::uint32_t>> a, b;
  for (std::size_t i = 0; i < fc.size(); ++i) {
    const Concept x = fc.concept_at(i), y = ic.concept_at(i), z = nc.concept_at(i);
    check(x.extent == y.extent && x.intent == y.intent);
    check(ctx.intent(x.extent) == x.intent && ctx.extent(x.intent) == x.extent);
    a.push_back(x.intent.ones());
    b.push_back(z.intent.ones());
  }
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  check(a == b);

  const CanonicalBase base = canonical_base(ctx);
  for (const Implication& imp : base.implications) {
    check(imp.premise.is_subset(imp.conclusion));
    check(ctx.intent(ctx.extent(imp.premise)) == imp.conclusion);
    check(imp.support == ctx.extent(imp.premise).count());
  }
  const std::string svg = lattice_svg(fc);
  check(svg.size() > 0 && svg.back() == '\n');
  check(compute_covers(fc).size() == compute_covers(nc).size());
  return 0;
}
