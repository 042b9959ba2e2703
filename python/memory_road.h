// A request run on bytes in memory, for the module's unwrap().
#pragma once

#include <string>
#include <string_view>

#include "engine/io/failure.h"
#include "ui/pipeline.h"

namespace parafold {

struct TextOutcome {
    Failure failure = Failure::none;
    std::string text;  // the output, when failure is none
    bool breaks_kept = false;
};

// Runs `request` (its paths are not used) with `text` as the input and
// returns the output, the same bytes the file road would write; with
// `explain` set, the report goes there and no text is returned.
TextOutcome run_request_on_text(const ProcessRequest& request, std::string_view text);

}  // namespace parafold
