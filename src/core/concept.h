// Formal concepts and the lattice: the concept list in the order an algorithm produced it,
// held compactly (PackedSets). A lattice never changes once built; its order (the cover
// relation and what is answered from it) lives in order/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/packed_sets.h"
#include "core/sets.h"

namespace quorlan {

struct Concept {
  ObjectSet extent;
  AttributeSet intent;
};

// (lower, upper): the lower concept is a lower neighbour of the upper one.
using CoverPair = std::pair<std::uint32_t, std::uint32_t>;

class Lattice {
 public:
  Lattice(std::size_t n_objects, std::size_t n_attributes)
      : extents_(n_objects), intents_(n_attributes) {}

  Lattice(const Lattice&) = delete;
  Lattice& operator=(const Lattice&) = delete;
  Lattice(Lattice&&) = default;
  Lattice& operator=(Lattice&&) = default;

  std::size_t size() const { return extents_.size(); }
  std::size_t n_objects() const { return extents_.capacity(); }
  std::size_t n_attributes() const { return intents_.capacity(); }

  // Appends a concept: its extent as an ascending object list, its intent as bit words.
  void push(const std::uint32_t* extent, std::size_t extent_count, const Word* intent) {
    extents_.push_list(extent, extent_count);
    intents_.push_words(intent);
  }
  // Appends a concept whose extent, of extent_count objects, is given as bit words too.
  void push_words(const Word* extent, std::size_t extent_count, const Word* intent) {
    extents_.push_words(extent, extent_count);
    intents_.push_words(intent);
  }
  // Appends a concept given as two ascending index lists.
  void push_lists(const std::uint32_t* extent, std::size_t extent_count,
                  const std::uint32_t* intent, std::size_t intent_count) {
    extents_.push_list(extent, extent_count);
    intents_.push_list(intent, intent_count);
  }

  const PackedSets& extents() const { return extents_; }
  const PackedSets& intents() const { return intents_; }

  Concept concept_at(std::size_t i) const {
    return {extents_.materialize<ObjectTag>(i), intents_.materialize<AttributeTag>(i)};
  }
  std::vector<Concept> concepts() const;

 private:
  PackedSets extents_;
  PackedSets intents_;
};

}  // namespace quorlan
