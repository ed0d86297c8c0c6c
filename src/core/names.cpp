#include "core/names.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace quorlan {

NameList NameList::generated(char prefix, std::size_t count) {
  NameList out;
  out.prefix_ = prefix;
  out.count_ = count;
  return out;
}

NameList NameList::with_wide_ends_after(std::uint64_t bytes) {
  NameList out;
  out.narrow_limit_ = bytes;
  return out;
}

NameList NameList::of(const std::vector<std::string>& names) {
  NameList out;
  for (const std::string& n : names) out.push_back(n);
  return out;
}

void NameList::push_back(std::string_view name) {
  extend(name);
  end_name();
}

void NameList::adopt(std::string&& name) {
  constexpr std::size_t kKept = std::size_t{1} << 20;
  if (name.size() < kKept) {
    push_back(std::string_view(name));
    return;
  }
  kept_.emplace_back(size(), std::move(name));
  end_name();
}

void NameList::extend(std::string_view piece) { text_.append(piece.data(), piece.size()); }

std::string_view NameList::building() const {
  const std::uint64_t begin = size() == 0 ? 0 : end(size() - 1);
  return std::string_view(text_.data() + begin, text_.size() - begin);
}

void NameList::drop_building() { text_.truncate(size() == 0 ? 0 : end(size() - 1)); }

void NameList::end_name() {
  if (!wide_ && text_.size() > narrow_limit_) {
    wide_ = true;
    wide_ends_.reserve(ends_.size() + 1);
    for (std::size_t i = 0; i < ends_.size(); ++i) wide_ends_.push_back(ends_[i]);
    ends_ = GrowArray<std::uint32_t>();
  }
  if (wide_) {
    wide_ends_.push_back(text_.size());
  } else {
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
  }
}

std::string_view NameList::view(std::size_t i, NameBuffer& buffer) const {
  if (prefix_ != 0) {
    buffer[0] = prefix_;
    const auto r = std::to_chars(buffer.data() + 1, buffer.data() + buffer.size(), i);
    return std::string_view(buffer.data(), static_cast<std::size_t>(r.ptr - buffer.data()));
  }
  if (!kept_.empty()) {
    const auto k =
        std::lower_bound(kept_.begin(), kept_.end(), i,
                         [](const auto& e, std::size_t index) { return e.first < index; });
    if (k != kept_.end() && k->first == i) return k->second;
  }
  const std::uint64_t begin = i == 0 ? 0 : end(i - 1);
  return std::string_view(text_.data() + begin, end(i) - begin);
}

std::string NameList::operator[](std::size_t i) const {
  NameBuffer buffer;
  return std::string(view(i, buffer));
}

std::vector<std::string> NameList::to_vector() const {
  std::vector<std::string> out;
  out.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) out.push_back((*this)[i]);
  return out;
}

}  // namespace quorlan
