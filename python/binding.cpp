// parafold._parafold: the pipeline for Python, with failures as values.
//
// The package's Python layer (parafold/__init__.py) checks the options,
// turns paths and texts into bytes, and raises its exceptions from the
// failures returned here; this file only hands requests to the pipeline.
// Every call that runs the pipeline lets other Python threads run
// meanwhile: what it reads of Python objects it takes before letting go of
// the interpreter, and what it gives back it builds after taking it again.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "engine/io/blocks.h"
#include "engine/io/failure.h"
#include "engine/io/filter_files.h"
#include "engine/io/learn.h"
#include "engine/io/text_form.h"
#include "engine/smart/unwrap.h"
#include "ui/output_path.h"
#include "ui/pipeline.h"
#include "python/bytes_output.h"

namespace py = pybind11;

namespace parafold {
namespace {

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

// Whether a file run that a signal interrupted goes on: not once a Python
// handler raised (Ctrl-C's KeyboardInterrupt, an alarm's timeout), which
// the run then leaves to the interpreter. Handlers run on the main thread.
bool python_goes_on() {
    py::gil_scoped_acquire held;
    return !PyErr_Occurred() && PyErr_CheckSignals() == 0;
}

py::tuple run_file(const std::string& input, const std::string& output,
                   const UnwrapOptions& options) {
    const ProcessRequest request{input, output, options};
    ProcessOutcome outcome;
    {
        py::gil_scoped_release unlocked;
        outcome = run_request(request, nullptr);
    }
    // A handler raised while the run waited on a pipe: its exception, not
    // the failure the cut-short call made.
    if (PyErr_Occurred()) throw py::error_already_set();
    return py::make_tuple(outcome.failure, outcome.breaks_kept);
}

// Room for the output of unwrap(): as much as the text, which the output
// of a join rarely passes, and with the e-reader options (five blanks more
// for each joined line) a quarter more and a little, which mostly suffices.
// Memory not written to costs nothing, and is given back at the end.
std::size_t expected_output(std::size_t text, const UnwrapOptions& options) {
    constexpr std::size_t spare = 64 << 10;
    return text + (options.two_lines || options.indent ? text / 4 : 0) + spare;
}

// With `explain`, the bytes returned are the report.
py::tuple run_text(py::handle text, const UnwrapOptions& options) {
    const HeldBytes held(text);
    BytesOutput joined(expected_output(held.bytes().size(), options));
    ProcessOutcome outcome;
    {
        py::gil_scoped_release unlocked;
        BlockSource source = memory_source(held.bytes());
        BlockSink sink = joined.sink();
        try {
            // The bytes object is memory that any thread may fill.
            outcome = unwrap_between(source, sink, options, OutputThreads::any);
        } catch (const std::bad_alloc&) {
            outcome.failure = Failure::out_of_memory;
        }
    }
    py::object result = py::none();
    if (outcome.failure == Failure::none) result = py::reinterpret_steal<py::object>(joined.take());
    if (!result) throw py::error_already_set();
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

// What the reading-quality unwrap learns of `text` before its first
// output, read as the pipeline reads it (in its own form: UTF-16 as UTF-8,
// old Mac line ends as LF).
Failure learn_layout(std::string_view text, std::int32_t columns, TextLayout& layout) {
    BlockSource raw = memory_source(text);
    TextReading reading;
    Failure failure = read_text(raw, reading);
    if (failure != Failure::none) return failure;
    SmartUnwrap unwrap;
    unwrap.options.columns = columns;
    Learner learner = smart_learner(unwrap);
    LearntText learnt;
    failure = learn_then_stream(reading.text, learner, learnt);
    if (failure != Failure::none) return failure;
    BlockSink nowhere{[](const char*, std::size_t) { return true; }, {}};
    smart_joining(unwrap, nowhere);  // ends the learning
    layout = unwrap.layout;
    return Failure::none;
}

// (failure, the layout as a dict or None).
py::tuple layout_of(py::handle text, std::int32_t columns) {
    const HeldBytes held(text);
    TextLayout layout;
    Failure failure = Failure::out_of_memory;
    {
        py::gil_scoped_release unlocked;
        try {
            failure = learn_layout(held.bytes(), columns, layout);
        } catch (const std::bad_alloc&) {
        }
    }
    if (failure != Failure::none) return py::make_tuple(failure, py::none());
    return py::make_tuple(failure, layout_dict(layout));
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
        case Failure::output_busy: return "output_busy";
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
    set_signal_check(python_goes_on);
    m.doc() = "The pipeline of parafold for the package's Python layer; use `parafold` instead.";
    m.attr("__version__") = PARAFOLD_VERSION;

    py::enum_<Failure> failures(m, "Failure", "Why a run failed.");
    for (int value = 0; const char* name = name_of(static_cast<Failure>(value)); ++value) {
        failures.value(name, static_cast<Failure>(value));
    }

    py::enum_<WidthRule>(m, "WidthRule", "How the width of a run is decided.")
        .value("given", WidthRule::given)
        .value("mean", WidthRule::mean)
        .value("most_common_less_6", WidthRule::most_common_less_6)
        .value("learned", WidthRule::learned);
    py::class_<Width>(m, "Width", "The wrap column as asked for.")
        .def(py::init([](WidthRule rule, std::int32_t columns) { return Width{rule, columns}; }),
             py::arg("rule"), py::arg("columns") = 0)
        .def_readwrite("rule", &Width::rule)
        .def_readwrite("columns", &Width::columns);
    py::class_<UnwrapOptions>(m, "UnwrapOptions", "What to do to a text, checked by the caller.")
        .def(py::init<>())
        .def_readwrite("width", &UnwrapOptions::width)
        .def_readwrite("two_lines", &UnwrapOptions::two_lines)
        .def_readwrite("indent", &UnwrapOptions::indent)
        .def_readwrite("smart", &UnwrapOptions::smart)
        .def_readwrite("dehyphenate", &UnwrapOptions::dehyphenate)
        .def_readwrite("explain", &UnwrapOptions::explain);

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
          "What the reading-quality unwrap learns of a text: (failure, dict or None).");
}
