// Any bytes under any detection path: a context or an error, never a crash; messages are valid
// UTF-8 (they reach Python as str).
#include "formats/read.h"
#include "formats/text.h"
#include "formats/xml/windows.h"
#include "fuzz_input.h"
#include "outcome.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const quorlan::fuzz::Input in = quorlan::fuzz::split(data, size);
  const quorlan::ContextResult r = quorlan::read_context(in.content, in.name);
  // FCA-XML in small windows reads as in one.
  if (in.name == "x.xml" && quorlan::text::is_valid_utf8(in.content)) {
    const std::size_t w = 1 + in.content.size() % 7;
    using quorlan::fuzz::outcome;
    if (outcome(quorlan::read_fca_xml(in.content, {w, w, w})) !=
        outcome(
            quorlan::read_fca_xml(in.content, {in.content.size() + 1, 1, in.content.size() + 1}))) {
      __builtin_trap();
    }
  }
  if (!r.has_value()) {
    if (!quorlan::text::is_valid_utf8(r.error().display())) __builtin_trap();
    return 0;
  }
  const quorlan::Context& c = r.value();
  if (c.rows().size() != c.n_objects() || c.rows().capacity() != c.n_attributes()) {
    __builtin_trap();
  }
  for (std::size_t i = 0; i < c.rows().size(); ++i) {
    c.rows().for_each(i, [&](std::uint32_t j) {
      if (j >= c.n_attributes()) __builtin_trap();
    });
  }
  quorlan::NameBuffer buffer;
  for (const quorlan::NameList* names : {&c.objects(), &c.attributes()}) {
    for (std::size_t i = 0; i < names->size(); ++i) {
      if (!quorlan::text::is_valid_utf8(names->view(i, buffer))) __builtin_trap();
    }
  }
  return 0;
}
