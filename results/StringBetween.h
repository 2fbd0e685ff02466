// Reads one value out of a log text by its surrounding markers.
#pragma once

#include <string>

namespace results {

// The text between the first sStartStr and the first sEndStr after it, with
// white space trimmed at both ends. An empty start marker means the start of
// the text, an empty end marker its end. A missing marker gives the text
// "sStartStr error" or "sEndStr error", which callers pass on like a value.
// Searches are byte-wise and never match on the second byte of a GBK
// character.
std::string GetStringBetween(std::string text, std::string sStartStr, std::string sEndStr);

}  // namespace results
