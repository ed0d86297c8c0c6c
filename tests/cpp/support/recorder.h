// A diagnostics subscriber that keeps every event it is sent, for tests of the completion events.
#pragma once

#include <string>
#include <vector>

#include "diagnostics/events.h"

namespace quorlan::testing {

class Recorder : public diagnostics::Subscriber {
 public:
  struct Event {
    std::string target;
    diagnostics::Level level;
    std::vector<std::string> fields;
    std::vector<diagnostics::FieldValue> values;
  };

  diagnostics::Interest register_site(const diagnostics::EventSite&) override {
    return diagnostics::Interest::kAlways;
  }
  diagnostics::Level max_level() const override { return diagnostics::Level::kDebug; }
  void event(const diagnostics::EventSite& site, const diagnostics::FieldValue* values,
             std::size_t count) override {
    Event e{site.target, site.level, {site.fields.begin(), site.fields.end()}, {}};
    e.values.assign(values, values + count);
    events.push_back(std::move(e));
  }
  // The events sent to one target, in order.
  std::vector<Event> at(const std::string& target) const {
    std::vector<Event> out;
    for (const Event& e : events) {
      if (e.target == target) out.push_back(e);
    }
    return out;
  }

  std::vector<Event> events;
};

}  // namespace quorlan::testing
