#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>

#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "layout/svg.h"
#include "order/covers.h"
#include "support/plain_drawing.h"
#include "support/random_context.h"
#include "support/recorder.h"

namespace quorlan {
namespace {

using testing::context_from_rows;

Lattice diamond() { return NextClosure().compute(context_from_rows({"X.", ".X"}, 2)); }
Lattice chain() { return FCbO().compute(context_from_rows({"X.", "XX", ".."}, 2)); }
Lattice single() { return NextClosure().compute(context_from_rows({}, 0)); }

constexpr LayoutConfig kStandard{80.0, 80.0, 24};

TEST(Sugiyama, DiamondAndChain) {
  const LatticeLayout d = sugiyama_layout(diamond(), kStandard);
  ASSERT_EQ(d.nodes.size(), 4u);
  const double expected[4][2] = {{0, 0}, {-40, 80}, {40, 80}, {0, 160}};
  for (std::uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(d.nodes[i].id, i);
    EXPECT_EQ(d.nodes[i].x, expected[i][0]);
    EXPECT_EQ(d.nodes[i].y, expected[i][1]);
  }
  ASSERT_EQ(d.edges.size(), 4u);
  const std::uint32_t edges[4][2] = {{0, 1}, {0, 2}, {1, 3}, {2, 3}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(d.edges[k].from, edges[k][0]);
    EXPECT_EQ(d.edges[k].to, edges[k][1]);
  }
  EXPECT_EQ(d.width, 80.0);
  EXPECT_EQ(d.height, 160.0);

  const LatticeLayout c = sugiyama_layout(chain(), kStandard);
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(c.nodes[i].x, 0.0);
    EXPECT_EQ(c.nodes[i].y, 80.0 * i);
  }
  EXPECT_EQ(c.width, 0.0);
  EXPECT_EQ(c.height, 160.0);
  const Lattice empty(0, 0);
  const LatticeLayout e = sugiyama_layout(empty, kStandard);
  EXPECT_TRUE(e.nodes.empty() && e.edges.empty());
  EXPECT_EQ(e.width, 0.0);
}

TEST(Sugiyama, LongestPathLayers) {
  // A chain top > {0,1,2} > {0,1} > {0} beside top > {3}; the bottom concept is covered by {0}
  // (layer 3) and by {3} (layer 1), and lies in layer 4.
  const Lattice l = FCbO().compute(context_from_rows({"XXX.", "XX..", "X...", "...X"}, 4));
  const LatticeLayout layout = sugiyama_layout(l, kStandard);
  for (std::size_t i = 0; i < l.size(); ++i) {
    const std::size_t size = l.extents().count(i);
    if (size == 0) {
      EXPECT_EQ(layout.nodes[i].y, 4 * 80.0);
    }
    if (size == 1 && l.concept_at(i).extent.contains(3)) {
      EXPECT_EQ(layout.nodes[i].y, 80.0);
    }
    if (size == 1 && l.concept_at(i).extent.contains(0)) {
      EXPECT_EQ(layout.nodes[i].y, 3 * 80.0);
    }
  }
}

TEST(Sugiyama, InvariantsOnRandomLattices) {
  for (std::uint64_t k = 0; k < 120; ++k) {
    const Lattice l = FCbO().compute(testing::sweep_context(k, 8));
    const LatticeLayout layout = sugiyama_layout(l, kStandard);
    const std::vector<CoverPair> covers = compute_covers(l);
    ASSERT_EQ(layout.nodes.size(), l.size());
    ASSERT_EQ(layout.edges.size(), covers.size());
    std::map<double, std::vector<double>> rows;
    for (std::size_t i = 0; i < l.size(); ++i) {
      ASSERT_EQ(layout.nodes[i].id, i);
      rows[layout.nodes[i].y].push_back(layout.nodes[i].x);
    }
    for (const auto& [y, xs] : rows) {
      double sum = 0;
      for (double x : xs) sum += x;
      EXPECT_EQ(sum, 0.0) << "layer at " << y << " is not centred";
    }
    for (std::size_t e = 0; e < layout.edges.size(); ++e) {
      EXPECT_EQ(layout.edges[e].from, covers[e].second);
      EXPECT_EQ(layout.edges[e].to, covers[e].first);
      EXPECT_LT(layout.nodes[layout.edges[e].from].y, layout.nodes[layout.edges[e].to].y);
    }
  }
}

// The layout against the plain procedure (every sweep run, neighbours filtered in each step) on
// lattices of many shapes, for sweep counts even and odd, short and long: the sweeps that are
// skipped once a pair of them changes nothing must not change the result.
TEST(Sugiyama, SameLayoutAsThePlainSweeps) {
  std::vector<Lattice> lattices;
  for (std::uint64_t k = 0; k < 150; ++k) {
    lattices.push_back(FCbO().compute(testing::sweep_context(k, 8)));
  }
  for (std::uint64_t k = 0; k < 6; ++k) {
    lattices.push_back(NextClosure().compute(
        testing::random_context(k, 30 + 10 * k, 10, 0.2 + 0.1 * static_cast<double>(k))));
  }
  std::size_t stopped_early = 0, ran_all = 0;
  for (const Lattice& l : lattices) {
    for (std::uint64_t sweeps : {0, 1, 2, 3, 4, 5, 24, 25}) {
      const LayoutConfig config{80.0, 80.0, sweeps};
      const std::vector<CoverPair> covers = compute_covers(l);
      const LatticeLayout want = reference::plain_layout(l, covers, config);
      const Layering layering = layered_order(l, covers, config);
      const LatticeLayout got = sugiyama_layout(l, covers, layering, config);
      ASSERT_EQ(got.nodes.size(), want.nodes.size());
      for (std::size_t i = 0; i < want.nodes.size(); ++i) {
        ASSERT_EQ(got.nodes[i].id, want.nodes[i].id);
        ASSERT_EQ(got.nodes[i].x, want.nodes[i].x) << "node " << i << ", " << sweeps << " sweeps";
        ASSERT_EQ(got.nodes[i].y, want.nodes[i].y) << "node " << i << ", " << sweeps << " sweeps";
      }
      ASSERT_EQ(got.edges.size(), want.edges.size());
      for (std::size_t e = 0; e < want.edges.size(); ++e) {
        ASSERT_EQ(got.edges[e].from, want.edges[e].from);
        ASSERT_EQ(got.edges[e].to, want.edges[e].to);
      }
      ASSERT_EQ(got.width, want.width);
      ASSERT_EQ(got.height, want.height);
      if (layering.layer_size.size() > 1 && sweeps > 3) {
        (layering.sweeps_run < sweeps ? stopped_early : ran_all) += 1;
      }
    }
  }
  // Both ways were taken.
  EXPECT_GT(stopped_early, 0u);
  EXPECT_GT(ran_all, 0u);
}

TEST(Sugiyama, EventFields) {
  testing::Recorder recorder;
  diagnostics::set_subscriber(&recorder);
  sugiyama_layout(Lattice(0, 0), kStandard);
  const std::size_t after_empty = recorder.at("quorlan_layout::sugiyama").size();
  sugiyama_layout(single(), kStandard);
  diagnostics::set_subscriber(nullptr);
  EXPECT_EQ(after_empty, 0u);
  const auto events = recorder.at("quorlan_layout::sugiyama");
  ASSERT_EQ(events.size(), 1u);
  const auto& e = events[0];
  EXPECT_EQ(e.level, diagnostics::Level::kDebug);
  EXPECT_EQ(e.fields,
            (std::vector<std::string>{"message", "nodes", "edges", "layers", "crossing_iters"}));
  EXPECT_EQ(std::get<std::string_view>(e.values[0]), "sugiyama layout complete");
  EXPECT_EQ(std::get<std::uint64_t>(e.values[1]), 1u);
  EXPECT_EQ(std::get<std::uint64_t>(e.values[2]), 0u);
  EXPECT_EQ(std::get<std::uint64_t>(e.values[3]), 1u);
  EXPECT_EQ(std::get<std::uint64_t>(e.values[4]), 24u);
}

TEST(Svg, Numbers) {
  const std::pair<double, const char*> one[] = {
      {30, "30.0"}, {0.25, "0.2"}, {0.35, "0.3"},  {-40, "-40.0"},
      {2.5, "2.5"}, {0.05, "0.1"}, {-0.0, "-0.0"}, {1e21, "1000000000000000000000.0"}};
  for (auto [v, s] : one) {
    std::string out;
    append_one_decimal(out, v);
    EXPECT_EQ(out, s) << v;
  }
  const std::pair<double, const char*> shortest[] = {
      {1.5, "1.5"}, {2.0, "2"}, {0.1, "0.1"}, {1e-7, "0.0000001"}};
  for (auto [v, s] : shortest) {
    std::string out;
    append_shortest(out, v);
    EXPECT_EQ(out, s) << v;
  }
  // The longest forms a double has: 309 digits before the point, 1074 after it.
  std::string huge, tiny;
  append_one_decimal(huge, -1.7976931348623157e308);
  append_shortest(tiny, 4.9406564584124654e-324);
  EXPECT_EQ(huge.size(), 1 + 309 + 2u);
  EXPECT_EQ(tiny.size(), 2 + 324u);
  EXPECT_EQ(tiny.substr(tiny.size() - 2), "05");
}

TEST(Svg, MissingAndDuplicateIds) {
  LatticeLayout layout;
  layout.nodes = {{0, 0, 0}, {10, 0, 1}, {20, 0, 1}};
  layout.edges = {{0, 1}, {0, 7}, {1, 0}};
  const std::string svg = render_svg(layout, SvgStyle{30.0, 6.0, 1.5});
  EXPECT_NE(svg.find("<line x1=\"30.0\" y1=\"30.0\" x2=\"40.0\" y2=\"30.0\" />\n"
                     "    <line x1=\"40.0\" y1=\"30.0\" x2=\"30.0\" y2=\"30.0\" />"),
            std::string::npos)
      << svg;
  EXPECT_EQ(svg.find("50.0\" y2"), std::string::npos);
}

// Layouts of every kind the writer may get: coordinates whole or not, negative, -0.0, huge or
// tiny, ids out of order, repeated or missing, edges to missing ids; and styles of any value.
TEST(Svg, SameTextAsThePlainWriter) {
  std::mt19937_64 rng(11);
  const double specials[] = {0.0,   -0.0,   0.05, 0.25,   0.35,   -2.5,   1e15,
                             -1e15, 9.5e14, 1e21, -1e300, 1e-300, 4e-320, 123456789.25};
  const auto coordinate = [&]() -> double {
    switch (rng() % 4) {
      case 0:
        return specials[rng() % std::size(specials)];
      case 1:
        return static_cast<double>(static_cast<std::int64_t>(rng() % 4001) - 2000) * 40.0;
      case 2:
        return std::ldexp(static_cast<double>(rng() % 1000000), -static_cast<int>(rng() % 40));
      default:
        return static_cast<double>(static_cast<std::int64_t>(rng() % 200001) - 100000) / 7.0;
    }
  };
  for (int k = 0; k < 400; ++k) {
    LatticeLayout layout;
    const std::size_t n = rng() % 12;
    const bool identity = k % 2 == 0;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t id =
          identity ? static_cast<std::uint32_t>(i) : static_cast<std::uint32_t>(rng() % (n + 3));
      layout.nodes.push_back({coordinate(), coordinate(), id});
    }
    for (std::size_t e = rng() % 20; e > 0; --e) {
      layout.edges.push_back({static_cast<std::uint32_t>(rng() % (n + 2)),
                              static_cast<std::uint32_t>(rng() % (n + 2))});
    }
    layout.width = std::abs(coordinate());
    layout.height = std::abs(coordinate());
    const SvgStyle style{coordinate(), coordinate(), k % 3 == 0 ? 1.5 : std::abs(coordinate())};
    ASSERT_EQ(render_svg(layout, style), reference::plain_svg(layout, style)) << "case " << k;
  }
}

// A lattice drawn again from its kept layered order: the same document and the same fragment as
// a drawing from scratch, and one layout event per drawing, as before.
TEST(Svg, DrawingsFromTheKeptOrderRepeatTheFirst) {
  const Lattice l = FCbO().compute(testing::random_context(5, 40, 12, 0.35));
  const std::string svg = lattice_svg(l);
  const std::string html = lattice_html(l);
  testing::Recorder recorder;
  diagnostics::set_subscriber(&recorder);
  LatticeCache cache;
  const std::string first = lattice_svg(l, cache);
  EXPECT_TRUE(cache.filled());
  const std::string again = lattice_svg(l, cache);
  const std::string fragment = lattice_html(l, cache);
  diagnostics::set_subscriber(nullptr);
  EXPECT_EQ(first, svg);
  EXPECT_EQ(again, svg);
  EXPECT_EQ(fragment, html);
  const std::string caption =
      "Lattice \xE2\x80\x94 " + std::to_string(l.size()) + " concepts</div>";
  EXPECT_EQ(html.substr(html.find(caption) + caption.size()), svg + "</div>");
  const auto events = recorder.at("quorlan_layout::sugiyama");
  ASSERT_EQ(events.size(), 3u);
  for (const auto& e : events) {
    EXPECT_EQ(std::get<std::uint64_t>(e.values[1]), l.size());
    EXPECT_EQ(std::get<std::uint64_t>(e.values[2]), compute_covers(l).size());
    EXPECT_EQ(std::get<std::uint64_t>(e.values[4]), 24u);
  }
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Shows the first differing line, so a mismatch is readable.
std::string first_difference(const std::string& want, const std::string& got) {
  std::istringstream a(want), b(got);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool ha = static_cast<bool>(std::getline(a, la));
    const bool hb = static_cast<bool>(std::getline(b, lb));
    if (!ha && !hb) return "documents differ only in line ends";
    if (la != lb || ha != hb) {
      return "line " + std::to_string(line) + ":\n  expected: " + (ha ? la : "<end>") +
             "\n  actual:   " + (hb ? lb : "<end>");
    }
  }
}

TEST(Svg, GoldenDocuments) {
  const std::pair<const char*, std::string> docs[] = {
      {"empty.svg", lattice_svg(Lattice(0, 0))}, {"one.svg", lattice_svg(single())},
      {"chain.svg", lattice_svg(chain())},       {"diamond.svg", lattice_svg(diamond())},
      {"diamond.html", lattice_html(diamond())}, {"one.html", lattice_html(single())},
  };
  const bool update = std::getenv("QUORLAN_UPDATE_GOLDEN") != nullptr;
  for (const auto& [name, got] : docs) {
    const std::string path = std::string(QUORLAN_TEST_DATA) + "/golden/" + name;
    if (update) {
      std::ofstream(path, std::ios::binary) << got;
      continue;
    }
    const std::string want = read_file(path);
    EXPECT_EQ(want, got) << name << ": " << first_difference(want, got);
  }
}

}  // namespace
}  // namespace quorlan
