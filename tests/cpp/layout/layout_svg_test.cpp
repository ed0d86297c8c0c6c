#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "diagnostics/events.h"
#include "engine/algorithm.h"
#include "layout/svg.h"
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
    ASSERT_EQ(layout.nodes.size(), l.size());
    ASSERT_EQ(layout.edges.size(), l.covers().size());
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
      EXPECT_EQ(layout.edges[e].from, l.covers()[e].second);
      EXPECT_EQ(layout.edges[e].to, l.covers()[e].first);
      EXPECT_LT(layout.nodes[layout.edges[e].from].y, layout.nodes[layout.edges[e].to].y);
    }
  }
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
  const std::pair<double, const char*> one[] = {{30, "30.0"},   {0.25, "0.2"}, {0.35, "0.3"},
                                                {-40, "-40.0"}, {2.5, "2.5"},  {0.05, "0.1"}};
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
