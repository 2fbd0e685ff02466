// The module takes GBK byte strings; scenarios are UTF-8.
#pragma once

#include <optional>
#include <string>

namespace station {

// nullopt when the text holds a character GBK cannot carry (or is not UTF-8).
std::optional<std::string> Utf8ToGbk(const std::string& utf8);

}  // namespace station
