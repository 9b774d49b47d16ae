// The tags of an audio file that the program carries from its input to its output.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace marovex::cli {

// Text tags that pass from the input to the output where the container holds them.
struct AudioMetadata {
    std::vector<std::pair<int, std::string>> strings;  // libsndfile string type and text
    bool hasBroadcast = false;
    std::vector<uint8_t> broadcast;  // the broadcast (bext) record, when present
};

}  // namespace marovex::cli
