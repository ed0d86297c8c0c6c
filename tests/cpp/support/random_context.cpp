#include "support/random_context.h"

#include <random>

namespace quorlan::testing {

Context random_context(std::uint64_t seed, std::size_t n, std::size_t m, double density) {
  std::mt19937_64 rng(seed);
  std::bernoulli_distribution cell(density);
  std::vector<std::string> objects, attributes;
  for (std::size_t i = 0; i < n; ++i) objects.push_back("g" + std::to_string(i));
  for (std::size_t j = 0; j < m; ++j) attributes.push_back("m" + std::to_string(j));
  std::vector<std::vector<bool>> rows(n, std::vector<bool>(m));
  for (auto& r : rows) {
    for (std::size_t j = 0; j < m; ++j) r[j] = cell(rng);
  }
  return Context::create(objects, attributes, rows).value();
}

Context context_from_rows(const std::vector<std::string>& rows, std::size_t m) {
  std::vector<std::string> objects, attributes;
  std::vector<std::vector<bool>> incidence;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    objects.push_back("g" + std::to_string(i));
    std::vector<bool> r(m);
    for (std::size_t j = 0; j < m; ++j) r[j] = rows[i][j] == 'X';
    incidence.push_back(r);
  }
  for (std::size_t j = 0; j < m; ++j) attributes.push_back("m" + std::to_string(j));
  return Context::create(objects, attributes, incidence).value();
}

Context sweep_context(std::uint64_t k, std::size_t max_attributes) {
  std::mt19937_64 rng(k * 7919 + 17);
  const std::size_t n = std::uniform_int_distribution<std::size_t>(0, 40)(rng);
  const std::size_t m = std::uniform_int_distribution<std::size_t>(0, max_attributes)(rng);
  const double densities[] = {0.0, 0.05, 0.2, 0.4, 0.6, 0.85, 1.0};
  const double d = densities[k % 7];
  Context base = random_context(rng(), n, m, d);
  if (k % 5 != 0 || n == 0 || m == 0) return base;
  // Duplicate some rows and columns.
  std::vector<std::vector<bool>> rows;
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<bool> r(m + 1);
    for (std::size_t j = 0; j < m; ++j) r[j] = base.row(i).contains(static_cast<std::uint32_t>(j));
    r[m] = r[0];
    rows.push_back(r);
    if (i % 3 == 0) rows.push_back(r);
  }
  std::vector<std::string> objects, attributes;
  for (std::size_t i = 0; i < rows.size(); ++i) objects.push_back("g" + std::to_string(i));
  for (std::size_t j = 0; j <= m; ++j) attributes.push_back("m" + std::to_string(j));
  return Context::create(objects, attributes, rows).value();
}

}  // namespace quorlan::testing
