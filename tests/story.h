// A small hard-wrapped text for the pipeline and command-line tests: wrapped
// at 10 with CR LF line ends, two blank lines and a trailing space on its
// last line, so that every option changes what comes out.
#pragma once

#include <string>

namespace parafold::testing {

inline const std::string story =
    "Once upon a\r\ntime there\r\nwas a cat.\r\n\r\n\r\nThe end \r\n";

// What the plain road makes of it at width 10.
inline const std::string story_at_10 = "Once upon a time there was a cat.\n\n\nThe end \n";

}  // namespace parafold::testing
