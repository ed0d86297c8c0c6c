#include "core/names.h"

#include <charconv>

namespace quorlan {

NameList NameList::generated(char prefix, std::size_t count) {
  NameList out;
  out.prefix_ = prefix;
  out.count_ = count;
  return out;
}

NameList NameList::of(const std::vector<std::string>& names) {
  NameList out;
  for (const std::string& n : names) out.push_back(n);
  return out;
}

void NameList::push_back(std::string_view name) {
  text_.append(name);
  ends_.push_back(text_.size());
}

std::string_view NameList::view(std::size_t i, NameBuffer& buffer) const {
  if (prefix_ != 0) {
    buffer[0] = prefix_;
    const auto r = std::to_chars(buffer.data() + 1, buffer.data() + buffer.size(), i);
    return std::string_view(buffer.data(), static_cast<std::size_t>(r.ptr - buffer.data()));
  }
  const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
  return std::string_view(text_).substr(begin, ends_[i] - begin);
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
