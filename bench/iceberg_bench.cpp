// quorlan_iceberg: one iceberg in a fresh process, parse included, for whole-process timing beside
// LCM and eclat (bench/iceberg_peers.py). Usage: quorlan_iceberg FILE SUPPORT [ALGORITHM]
// [count]: SUPPORT is a count of objects; "count" counts without keeping the concepts. Prints
// the number of concepts on stdout.
#include <cstdio>
#include <optional>
#include <string>

#include "engine/algorithm.h"
#include "formats/read.h"
#include "measure.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: quorlan_iceberg FILE SUPPORT [ALGORITHM] [count]\n");
    return 2;
  }
  const std::optional<std::string> bytes = quorlan::bench::file_bytes(argv[1]);
  if (!bytes) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  const quorlan::ContextResult parsed = quorlan::read_context(*bytes, argv[1]);
  if (!parsed.has_value()) {
    std::fprintf(stderr, "%s\n", parsed.error().display().c_str());
    return 1;
  }
  const quorlan::ConceptAlgorithm* algorithm =
      quorlan::algorithm_by_name(argc > 3 ? argv[3] : "fcbo");
  if (algorithm == nullptr) return 2;
  quorlan::EnumerationLimits limits;
  limits.min_support = std::stoul(argv[2]);
  limits.count_only = argc > 4 && std::string(argv[4]) == "count";
  const quorlan::EnumerationResult r = algorithm->compute(parsed.value(), limits);
  std::printf("%llu\n", static_cast<unsigned long long>(r.count));
  return 0;
}
