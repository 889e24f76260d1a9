// The sound chunks of a data file: "SOND", "AGRP" and "AUDO".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formpack/ByteBuffer.h"
#include "formpack/FormWriter.h"

namespace formpack {

Section WriteSounds(const std::vector<std::optional<Sound>>& sounds);
Section WriteAudioGroups(const std::vector<std::string>& groups);
// Each entry is its length word and the file image; offsets point at the length word.
Section WriteAudio(const std::vector<std::optional<std::vector<uint8_t>>>& audio);

}  // namespace formpack
