// The output of unwrap() written straight into the bytes object returned,
// so that a large text is not copied once more, nor its memory faulted in
// twice.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string>

#include "engine/io/blocks.h"

namespace parafold {

class BytesOutput {
public:
    // A bytes object with room for `expected` bytes, where most outputs fit;
    // what comes past them waits in a string. Needs the interpreter; throws
    // pybind11::error_already_set when there is no memory for it.
    explicit BytesOutput(std::size_t expected);
    ~BytesOutput();
    BytesOutput(const BytesOutput&) = delete;
    BytesOutput& operator=(const BytesOutput&) = delete;

    // The sink to write to; it needs no interpreter. It refers to this.
    BlockSink sink();

    // The bytes written, as the bytes object (a new reference). Needs the
    // interpreter; nullptr with a Python error set when memory ran out.
    PyObject* take();

private:
    PyObject* bytes_ = nullptr;
    char* data_ = nullptr;
    std::size_t room_ = 0;
    std::size_t size_ = 0;
    std::string past_;  // what did not fit
};

}  // namespace parafold
