// Structured diagnostic events. Each emitting place owns one static EventSite (name, target,
// level, field names). Nothing is formatted unless the process-wide maximum level admits the
// site's level and the installed subscriber is interested; each site caches that interest.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

namespace quorlan::diagnostics {

enum class Level : int { kError = 1, kWarn = 2, kInfo = 3, kDebug = 4, kTrace = 5 };

// A subscriber's interest in a site, which the site caches after the first query (kUnknown
// until then).
enum class Interest : std::uint8_t { kUnknown = 0, kNever = 1, kSometimes = 2, kAlways = 3 };

using FieldValue = std::variant<std::string_view, std::uint64_t>;

struct EventSite {
  const char* name;    // "event <file>:<line>"
  const char* target;  // "quorlan_engine::fcbo"
  Level level;
  std::span<const char* const> fields;  // first is always "message"
  mutable std::atomic<std::uint8_t> interest{0};
};

class Subscriber {
 public:
  virtual ~Subscriber() = default;
  // Asked once per site; Sometimes means enabled() is asked for each event.
  virtual Interest register_site(const EventSite& site) = 0;
  virtual bool enabled(const EventSite& /*site*/) { return true; }
  // The most verbose level this subscriber wants.
  virtual Level max_level() const = 0;
  // values[k] belongs to site.fields[k].
  virtual void event(const EventSite& site, const FieldValue* values, std::size_t count) = 0;
};

namespace detail {
extern std::atomic<int> g_max_level;
bool deliver_enabled(const EventSite& site);
void deliver(const EventSite& site, const FieldValue* values, std::size_t count);
}  // namespace detail

// Installs (or with nullptr removes) the process-wide subscriber; resets every site's cached
// interest. Not meant to race with events in flight.
void set_subscriber(Subscriber* subscriber);

inline bool level_enabled(Level level) {
  return static_cast<int>(level) <= detail::g_max_level.load(std::memory_order_relaxed);
}

template <class... V>
void emit(const EventSite& site, V... values) {
  if (!level_enabled(site.level)) return;  // the only cost without a subscriber
  if (!detail::deliver_enabled(site)) return;
  const FieldValue vals[] = {FieldValue(values)...};
  detail::deliver(site, vals, sizeof...(V));
}

// A field value: text as it is, any count as an unsigned 64-bit integer.
template <class T>
FieldValue field(const T& value) {
  if constexpr (std::is_integral_v<T>) {
    return static_cast<std::uint64_t>(value);
  } else {
    return std::string_view(value);
  }
}

// The one way a computation reports that it finished: its completion event, the message first
// and then the values of the site's other fields in order. The site is declared with
// QUORLAN_COMPLETION_SITE.
template <class... V>
void completed(const EventSite& site, std::string_view message, const V&... values) {
  emit(site, FieldValue(message), field(values)...);
}

}  // namespace quorlan::diagnostics

#define QUORLAN_STR2(x) #x
#define QUORLAN_STR(x) QUORLAN_STR2(x)

// Defines the static site VAR; FIELDS names a static array of field names.
#define QUORLAN_EVENT_SITE(VAR, LEVEL, TARGET, FIELDS)                                         \
  static const ::quorlan::diagnostics::EventSite VAR {                                         \
    "event " __FILE__ ":" QUORLAN_STR(__LINE__), TARGET, ::quorlan::diagnostics::Level::LEVEL, \
        std::span<const char* const>(FIELDS), {}                                               \
  }

// The site of a computation's completion event, at level DEBUG; FIELDS names a static array of
// field names, "message" first.
#define QUORLAN_COMPLETION_SITE(VAR, TARGET, FIELDS) QUORLAN_EVENT_SITE(VAR, kDebug, TARGET, FIELDS)
