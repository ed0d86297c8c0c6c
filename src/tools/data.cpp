// Data in and out for quorlan_tools: the files other tools write (read natively, as quorlan
// reads its own), contexts made from index lists (DataFrames and arrays, without a text round
// trip), and a context's incidence as a matrix of bytes or of bits.
#include "formats/other.h"
#include "formats/text.h"
#include "tools/structure.h"

namespace quorlan::tools {
namespace {

Ref context_object(Context context) {
  return py::new_instance<py::ContextState>(context_class(),
                                            std::make_shared<const Context>(std::move(context)));
}

std::string_view bytes_of(const char* parameter, PyObject* object) {
  if (!PyBytes_Check(object)) py::conversion_error(parameter, object, "PyBytes");
  char* data = nullptr;
  Py_ssize_t size = 0;
  py::check_status(PyBytes_AsStringAndSize(object, &data, &size));
  return {data, static_cast<std::size_t>(size)};
}

NameList name_list(const char* parameter, PyObject* list) {
  if (!PyList_Check(list)) py::conversion_error(parameter, list, "list");
  NameList out;
  for (Py_ssize_t k = 0; k < PyList_Size(list); ++k) {
    out.push_back(py::text_argument(parameter, PyList_GetItem(list, k)));
  }
  return out;
}

}  // namespace

// read_other(content, format): "cex", "slf", "oal" or "conexp-csv".
PyObject* read_other(PyObject*, PyObject* args) {
  return py::guarded([&] {
    const auto [content_arg, format_arg] =
        py::bind_arguments("read_other", {"content", "format"}, 2, args, nullptr);
    std::string_view content = bytes_of("content", content_arg);
    const std::string format = py::text_argument("format", format_arg);
    if (!text::is_valid_utf8(content)) {
      py::raise_format_error(FormatError::io("stream did not contain valid UTF-8"));
    }
    if (content.substr(0, 3) == "\xEF\xBB\xBF" && format != "cex") content.remove_prefix(3);
    ContextResult r =
        format == "cex"   ? read_cex(content)
        : format == "slf" ? read_slf(content)
        : format == "oal" ? read_oal(content)
        : format == "conexp-csv"
            ? read_conexp_csv(content)
            : ContextResult(fail(FormatError::io("no reader for the format " + format)));
    if (!r.has_value()) py::raise_format_error(r.error());
    return context_object(std::move(r).value()).release();
  });
}

// context_from_rows(objects, attributes, items, starts): row g holds the attributes
// items[starts[g], starts[g + 1]) (uint32, ascending; starts uint64, one more than the rows).
PyObject* context_from_rows(PyObject*, PyObject* args) {
  return py::guarded([&] {
    const auto [objects_arg, attributes_arg, items_arg, starts_arg] = py::bind_arguments(
        "context_from_rows", {"objects", "attributes", "items", "starts"}, 4, args, nullptr);
    NameList objects = name_list("objects", objects_arg);
    NameList attributes = name_list("attributes", attributes_arg);
    const std::string_view items = bytes_of("items", items_arg);
    const std::string_view starts = bytes_of("starts", starts_arg);
    const std::size_t n = objects.size(), m = attributes.size();
    if (starts.size() != (n + 1) * sizeof(std::uint64_t)) panic("row starts of another count");
    const auto* item = reinterpret_cast<const std::uint32_t*>(items.data());
    const auto* start = reinterpret_cast<const std::uint64_t*>(starts.data());
    if (start[n] * sizeof(std::uint32_t) != items.size()) panic("row items of another count");
    IncidenceBuilder rows;
    for (std::size_t g = 0; g < n; ++g) {
      for (std::uint64_t k = start[g]; k < start[g + 1]; ++k) {
        if (item[k] >= m || (k > start[g] && item[k] <= item[k - 1])) panic("rows not ascending");
        rows.add(item[k]);
      }
      rows.end_row(m);
    }
    Result<Context, ContextError> built =
        std::move(rows).build(std::move(objects), std::move(attributes));
    if (!built.has_value()) {
      py::raise_format_error(FormatError::construction(std::move(built).error()));
    }
    return context_object(std::move(built).value()).release();
  });
}

// incidence(ctx): n * m bytes, row by row, 1 where the object has the attribute.
PyObject* incidence(PyObject*, PyObject* args) {
  return py::guarded([&] {
    const auto [ctx_arg] = py::bind_arguments("incidence", {"ctx"}, 1, args, nullptr);
    const Context& c = context_of_either("ctx", ctx_arg);
    const std::size_t m = c.n_attributes();
    Ref out = Ref::check(
        PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(c.n_objects() * m)));
    char* bytes = PyByteArray_AsString(out.get());
    std::fill(bytes, bytes + c.n_objects() * m, 0);
    for_polled(0, std::min(c.n_objects(), c.rows().size()), [&](std::size_t g) {
      c.rows().for_each(g, [&](std::uint32_t j) { bytes[g * m + j] = 1; });
    });
    return out.release();
  });
}

// rows_over(ctx_or_lat, objects, attributes): the incidence of those objects and attributes
// (ascending index lists) as bits, a row per object of the smallest whole number of bytes that
// is a multiple of three (so that rows stay whole in base64), bit j of a row in byte j / 8 at
// place j % 8.
PyObject* rows_over(PyObject*, PyObject* args) {
  return py::guarded([&] {
    const auto [ctx_arg, objects_arg, attributes_arg] =
        py::bind_arguments("rows_over", {"ctx", "objects", "attributes"}, 3, args, nullptr);
    const Context& c = context_of_either("ctx", ctx_arg);
    const IndexList objects = index_list_argument("objects", objects_arg, c.n_objects());
    const IndexList attributes =
        index_list_argument("attributes", attributes_arg, c.n_attributes());
    std::vector<std::int64_t> column(c.n_attributes(), -1);
    for (std::size_t j = 0; j < attributes.size(); ++j) column[attributes[j]] = std::int64_t(j);
    const std::size_t width = (attributes.size() + 23) / 24 * 3;
    const std::size_t total = objects.size() * width;
    Ref out = Ref::check(PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(total)));
    auto* bytes = reinterpret_cast<unsigned char*>(PyByteArray_AsString(out.get()));
    std::fill(bytes, bytes + total, 0);
    for_polled(0, objects.size(), [&](std::size_t r) {
      if (objects[r] >= c.rows().size()) return;
      c.rows().for_each(objects[r], [&](std::uint32_t a) {
        if (const std::int64_t j = column[a]; j >= 0) {
          bytes[r * width + std::size_t(j) / 8] |= static_cast<unsigned char>(1u << (j % 8));
        }
      });
    });
    return out.release();
  });
}

}  // namespace quorlan::tools
