// The text manifest the formpack command reads: one record a line, with the file's parts as
// keywords and their fields as name=value pairs. See ManifestHelp() for the format.
#pragma once

#include <string>

#include "formpack/FormWriter.h"

namespace formpack {

// Fills `file` from the manifest text. Files named in the manifest (PNG pages) are read
// relative to `folder`. False with a message naming the line on a mistake.
bool ParseManifest(const std::string& text, const std::string& folder, FormFile& file, std::string& error);

const char* ManifestHelp();

}  // namespace formpack
