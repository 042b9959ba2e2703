#include "ui/output_path.h"

namespace parafold {

std::string derive_output_path(std::string_view input_path) {
    std::string output(input_path.substr(0, input_path.rfind('.')));
    output += ".ncr.txt";
    return output;
}

}  // namespace parafold
