#include "engine/filter_files.h"

#include "engine/failure_text.h"
#include "engine/file_identity.h"

namespace parafold {

using failure_text::say;

std::FILE* open_filter_input(const char* input_path, const char* mode, const char* output_path,
                             std::FILE* messages) {
    std::FILE* input = std::fopen(input_path, mode);
    if (!input) {
        say(messages, failure_text::cant_find_input);
        return nullptr;
    }
    if (same_file(input_path, output_path)) {
        std::fclose(input);
        say(messages, failure_text::output_is_input);
        return nullptr;
    }
    std::setvbuf(input, nullptr, _IONBF, 0);
    return input;
}

std::FILE* create_filter_output(const char* output_path, std::FILE* input, std::FILE* messages) {
    std::FILE* output = std::fopen(output_path, "w+b");
    if (!output) {
        std::fclose(input);
        say(messages, failure_text::cant_create_output);
        return nullptr;
    }
    std::setvbuf(output, nullptr, _IONBF, 0);
    return output;
}

int close_filter_files(std::FILE* input, std::FILE* output, int status, std::FILE* messages) {
    std::fclose(input);
    if (std::fclose(output) != 0 && status == 0) {
        say(messages, failure_text::cant_write_output);
        return 1;
    }
    return status;
}

}  // namespace parafold
