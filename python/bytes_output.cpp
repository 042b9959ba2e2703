#include "python/bytes_output.h"

#include <pybind11/pybind11.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace parafold {
namespace {

// The kernel's large pages: a buffer of many of them is faulted in 512
// times less often than in 4 KiB pages, which for a fresh output of
// hundreds of megabytes costs as much as the unwrap itself.
constexpr std::uintptr_t large_page_bytes = 2 << 20;

void ask_for_large_pages(char* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + large_page_bytes - 1) & ~(large_page_bytes - 1);
    const std::uintptr_t last = (start + size) & ~(large_page_bytes - 1);
    // Only advice: where the kernel declines, small pages serve.
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace

BytesOutput::BytesOutput(std::size_t expected) {
    bytes_ = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(expected));
    if (!bytes_) throw pybind11::error_already_set();
    data_ = PyBytes_AS_STRING(bytes_);
    room_ = expected;
    ask_for_large_pages(data_, room_);
}

BytesOutput::~BytesOutput() { Py_XDECREF(bytes_); }

BlockSink BytesOutput::sink() {
    return {[this](const char* data, std::size_t size) {
                const std::size_t here = std::min(size, room_ - size_);
                std::memcpy(data_ + size_, data, here);
                size_ += here;
                if (here < size) past_.append(data + here, size - here);
                return true;
            },
            {}};
}

PyObject* BytesOutput::take() {
    PyObject* bytes = bytes_;
    bytes_ = nullptr;
    if (past_.empty()) {
        // Shrinking gives back the room not used; on failure the object is gone.
        if (_PyBytes_Resize(&bytes, static_cast<Py_ssize_t>(size_)) != 0) return nullptr;
        return bytes;
    }
    PyObject* whole = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size_ + past_.size()));
    if (whole) {
        std::memcpy(PyBytes_AS_STRING(whole), data_, size_);
        std::memcpy(PyBytes_AS_STRING(whole) + size_, past_.data(), past_.size());
    }
    Py_DECREF(bytes);
    return whole;
}

}  // namespace parafold
