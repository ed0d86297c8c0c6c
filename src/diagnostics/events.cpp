#include "diagnostics/events.h"

#include <mutex>
#include <vector>

namespace quorlan::diagnostics {
namespace detail {

std::atomic<int> g_max_level{0};

namespace {
std::atomic<Subscriber*> g_subscriber{nullptr};
std::mutex g_sites_mutex;
std::vector<const EventSite*>& registered_sites() {
  static std::vector<const EventSite*> sites;
  return sites;
}
}  // namespace

bool deliver_enabled(const EventSite& site) {
  Subscriber* sub = g_subscriber.load(std::memory_order_acquire);
  if (sub == nullptr) return false;
  auto cached = static_cast<Interest>(site.interest.load(std::memory_order_acquire));
  if (cached == Interest::kUnknown) {
    cached = sub->register_site(site);
    if (cached == Interest::kUnknown) cached = Interest::kSometimes;
    std::lock_guard<std::mutex> lock(g_sites_mutex);
    registered_sites().push_back(&site);
    site.interest.store(static_cast<std::uint8_t>(cached), std::memory_order_release);
  }
  switch (cached) {
    case Interest::kNever:
      return false;
    case Interest::kAlways:
      return true;
    default:
      return sub->enabled(site);
  }
}

void deliver(const EventSite& site, const FieldValue* values, std::size_t count) {
  Subscriber* sub = g_subscriber.load(std::memory_order_acquire);
  if (sub != nullptr) sub->event(site, values, count);
}

}  // namespace detail

void set_subscriber(Subscriber* subscriber) {
  std::lock_guard<std::mutex> lock(detail::g_sites_mutex);
  for (const EventSite* site : detail::registered_sites()) site->interest.store(0);
  detail::registered_sites().clear();
  detail::g_subscriber.store(subscriber, std::memory_order_release);
  detail::g_max_level.store(subscriber ? static_cast<int>(subscriber->max_level()) : 0,
                            std::memory_order_release);
}

}  // namespace quorlan::diagnostics
