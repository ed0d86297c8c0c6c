#include "engine/algorithm.h"

#include <string>

namespace quorlan {

const ConceptAlgorithm* algorithm_by_name(std::string_view name) {
  static const NextClosure next_closure;
  static const InClose5 in_close5;
  static const FCbO fcbo;
  struct Spelling {
    std::string_view text;
    const ConceptAlgorithm* algorithm;
  };
  static const Spelling spellings[] = {
      {"next-closure", &next_closure}, {"nc", &next_closure}, {"in-close-5", &in_close5},
      {"in-close5", &in_close5},       {"ic5", &in_close5},   {"fcbo", &fcbo},
  };
  if (name.empty()) return nullptr;
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const Spelling& s : spellings) {
    if (folded == s.text) return s.algorithm;
  }
  return nullptr;
}

}  // namespace quorlan
