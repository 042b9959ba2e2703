// Whether the standard library has threads on this target: GCC's has them
// where the target has them, not, for one, with mingw-w64's win32 thread
// model. Where PARAFOLD_HAS_THREADS is defined, <thread>, <mutex> and
// <condition_variable> are there to use; elsewhere the work stays on the
// caller's thread.
#pragma once

#include <cstddef>  // any library header, for the library's own macros

#if defined(_GLIBCXX_HAS_GTHREADS) || (defined(_LIBCPP_VERSION) && !defined(_LIBCPP_HAS_NO_THREADS))
#define PARAFOLD_HAS_THREADS 1
#endif
