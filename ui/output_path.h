// The output path the dialog offers for a chosen input file.
#pragma once

#include <string>
#include <string_view>

namespace parafold {

// The input path with everything from its last '.' replaced by ".ncr.txt".
// The search runs over the whole path, folder names included, so a '.' in a
// folder counts when the file name has none; a path without any '.' gets
// ".ncr.txt" appended.
//
//   derive_output_path("C:\\texts\\book.txt")       == "C:\\texts\\book.ncr.txt"
//   derive_output_path("C:\\texts\\book.part2.txt") == "C:\\texts\\book.part2.ncr.txt"
//   derive_output_path("C:\\my.texts\\readme")      == "C:\\my.ncr.txt"
//   derive_output_path("C:\\texts\\readme")         == "C:\\texts\\readme.ncr.txt"
std::string derive_output_path(std::string_view input_path);

}  // namespace parafold
