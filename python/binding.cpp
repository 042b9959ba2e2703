// parafold._parafold: the pipeline for Python, with failures as values.
//
// The package's Python layer (parafold/__init__.py) checks the options,
// turns paths and texts into bytes, and raises its exceptions from the
// failures returned here; this file only hands requests to the pipeline.
// Every call that runs the pipeline lets other Python threads run
// meanwhile: what it reads of Python objects it takes before letting go of
// the interpreter, and what it gives back it builds after taking it again.
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/io/failure.h"
#include "engine/io/utf16.h"
#include "engine/smart/layout.h"
#include "ui/output_path.h"
#include "ui/pipeline.h"

namespace py = pybind11;

namespace parafold {
namespace {

// How the width of a run is decided, as the Python layer names it.
//   given        `columns` as it is
//   mean         the mean line length of the text joined
//   most-common  the most common line length less 6 (the e-reader road's)
//   learned      the reading-quality unwrap's own estimate
struct RunOptions {
    std::string width = "given";
    std::int32_t columns = 56;
    bool smart = false;
    bool dehyphenate = false;
    bool two_lines = false;
    bool indent = false;
};

// What the command line would ask of the same options: "most-common" is
// its -a, the mean on the plain road and the most common length less 6 on
// the e-reader road.
UnwrapOptions unwrap_options_of(const RunOptions& options) {
    UnwrapOptions how;
    how.smart = options.smart;
    how.dehyphenate = options.dehyphenate;
    how.two_lines = options.two_lines;
    how.indent = options.indent;
    const bool ereader = options.two_lines || options.indent;
    how.width = options.width == "given"         ? Width{WidthRule::given, options.columns}
                : options.width == "mean"        ? Width{WidthRule::mean, 0}
                : options.width == "most-common" ? Width{ereader ? WidthRule::most_common_less_6
                                                                 : WidthRule::mean,
                                                         0}
                                                 : Width{WidthRule::learned, 0};
    return how;
}

// A Python object's bytes, held for as long as this lives: bytes,
// bytearray, a contiguous memoryview or anything else with a buffer.
class HeldBytes {
public:
    explicit HeldBytes(py::handle object) {
        if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) {
            throw py::error_already_set();
        }
    }
    ~HeldBytes() { PyBuffer_Release(&view_); }
    HeldBytes(const HeldBytes&) = delete;
    HeldBytes& operator=(const HeldBytes&) = delete;

    std::string_view bytes() const {
        return {static_cast<const char*>(view_.buf), static_cast<std::size_t>(view_.len)};
    }

private:
    Py_buffer view_{};
};

py::tuple run_file(const std::string& input, const std::string& output,
                   const RunOptions& options) {
    const ProcessRequest request{input, output, unwrap_options_of(options)};
    ProcessOutcome outcome;
    {
        py::gil_scoped_release unlocked;
        outcome = run_request(request, nullptr);
    }
    return py::make_tuple(outcome.failure, outcome.breaks_kept);
}

py::tuple run_text(py::handle text, const RunOptions& options) {
    const HeldBytes held(text);
    ProcessOutcome outcome;
    std::string joined;
    {
        py::gil_scoped_release unlocked;
        outcome = unwrap_bytes(held.bytes(), joined, unwrap_options_of(options));
    }
    py::object result = py::none();
    if (outcome.failure == Failure::none) result = py::bytes(joined);
    return py::make_tuple(outcome.failure, result, outcome.breaks_kept);
}

py::dict layout_dict(const TextLayout& layout) {
    py::dict found;
    found["width"] = layout.width;
    found["body_indent"] = layout.body_indent;
    found["utf8"] = layout.utf8;
    found["wrapped"] = layout.wrapped;
    found["wrapped_lines"] = layout.wrapped_lines;
    found["wrap_floor"] = layout.wrap_floor;
    found["fit_per_mille"] = layout.fit_per_mille;
    found["wrapping"] = layout.wrapping == Wrapping::greedy          ? "greedy"
                        : layout.wrapping == Wrapping::nearly_greedy ? "nearly greedy"
                                                                     : "unfilled";
    found["print_style"] = layout.print_style;
    found["two_spaces"] = layout.two_spaces;
    found["bound_numbers"] = layout.bound_numbers;
    return found;
}

// The unwrap learns a text's layout from its first 8 MiB, as the file
// road reads it: a text with a UTF-16 mark as UTF-8.
constexpr std::size_t layout_sample_bytes = 8 << 20;

TextLayout learn_layout(std::string_view text, std::int32_t columns) {
    std::string decoded;
    ByteOrder order;
    if (utf16_mark(text, order)) {
        Utf16Decoder decoder{order};
        const std::string_view units = text.substr(utf16_mark_bytes);
        decode_utf16(decoder, units.data(), std::min(units.size(), 2 * layout_sample_bytes),
                     decoded);
        text = decoded;
    }
    text = text.substr(0, layout_sample_bytes);
    const SmartScanState scan = start_layout_scan(false);
    scan_layout(*scan, text.data(), text.size());
    return finish_layout(*scan, columns);
}

py::dict layout_of(py::handle text, std::int32_t columns) {
    const HeldBytes held(text);
    TextLayout layout;
    {
        py::gil_scoped_release unlocked;
        layout = learn_layout(held.bytes(), columns);
    }
    return layout_dict(layout);
}

// The report of --smart --explain on the text; (failure, report).
py::tuple explain_of(py::handle text, std::int32_t columns) {
    const HeldBytes held(text);
    RunOptions options;
    options.width = columns > 0 ? "given" : "learned";
    options.columns = columns;
    options.smart = true;
    UnwrapOptions how = unwrap_options_of(options);
    how.explain = true;
    ProcessOutcome outcome;
    std::string report;
    {
        py::gil_scoped_release unlocked;
        outcome = unwrap_bytes(held.bytes(), report, how);
    }
    return py::make_tuple(outcome.failure, py::bytes(report));
}

// The name Python knows a failure by; nullptr past the last. The compiler
// warns of a failure missing here.
const char* name_of(Failure failure) {
    switch (failure) {
        case Failure::none: return "none";
        case Failure::cant_find_input: return "cant_find_input";
        case Failure::cant_read_input: return "cant_read_input";
        case Failure::output_is_input: return "output_is_input";
        case Failure::cant_create_output: return "cant_create_output";
        case Failure::cant_write_output: return "cant_write_output";
        case Failure::cant_write_report: return "cant_write_report";
        case Failure::names_a_temp_file: return "names_a_temp_file";
        case Failure::cant_write_first_temp: return "cant_write_first_temp";
        case Failure::cant_read_second_temp: return "cant_read_second_temp";
        case Failure::temp_files_changed: return "temp_files_changed";
        case Failure::out_of_memory: return "out_of_memory";
        case Failure::reader_left: return "reader_left";
        case Failure::too_many_open_files: return "too_many_open_files";
        case Failure::output_taken: return "output_taken";
    }
    return nullptr;
}

std::string_view reason_of(Failure failure) {
    std::string_view text = text_of(failure);
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
}

}  // namespace
}  // namespace parafold

PYBIND11_MODULE(_parafold, m) {
    using namespace parafold;
    m.doc() = "The pipeline of parafold for the package's Python layer; use `parafold` instead.";
    m.attr("__version__") = PARAFOLD_VERSION;

    py::enum_<Failure> failures(m, "Failure", "Why a run failed.");
    for (int value = 0; const char* name = name_of(static_cast<Failure>(value)); ++value) {
        failures.value(name, static_cast<Failure>(value));
    }

    py::class_<RunOptions>(m, "RunOptions", "The options of a run, checked by the caller.")
        .def(py::init<>())
        .def_readwrite("width", &RunOptions::width)
        .def_readwrite("columns", &RunOptions::columns)
        .def_readwrite("smart", &RunOptions::smart)
        .def_readwrite("dehyphenate", &RunOptions::dehyphenate)
        .def_readwrite("two_lines", &RunOptions::two_lines)
        .def_readwrite("indent", &RunOptions::indent);

    m.def("reason", &reason_of, py::arg("failure"),
          "The text the command line prints for a failure, without its line end.");
    m.def(
        "derive_output_path",
        [](const py::bytes& input) {
            return py::bytes(derive_output_path(static_cast<std::string_view>(input)));
        },
        py::arg("input"), "The output path the command line derives from an input path.");
    m.def("run_file", &run_file, py::arg("input"), py::arg("output"), py::arg("options"),
          "Runs the pipeline from one file into another; returns (failure, breaks_kept).");
    m.def("run_text", &run_text, py::arg("text"), py::arg("options"),
          "Runs the pipeline on bytes; returns (failure, bytes or None, breaks_kept).");
    m.def("layout", &layout_of, py::arg("text"), py::arg("columns"),
          "What the reading-quality unwrap learns of a text, as a dict.");
    m.def("explain", &explain_of, py::arg("text"), py::arg("columns"),
          "The reading-quality unwrap's report on a text: (failure, report).");
}
