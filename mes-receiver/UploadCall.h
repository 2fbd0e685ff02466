// The fifteen values of one IO_UpData_Common call as the receiver decoded them.
// A value sent as nil is nullopt, an empty one an empty text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace receiver {

using OptionalText = std::optional<std::string>;  // UTF-8; blobs hold raw bytes

// Element names in the order the operation declares them.
inline constexpr std::array<const char*, 15> kFieldNames = {
    "OrderNo",     "SerialNumber", "MacList",     "ComponentSnList", "DealResult",
    "BugType",     "BugReason",    "TempColumn1", "TempColumn2",     "TempColumn3",
    "WorkStation", "ToolType",     "Recorder",    "SystemType",      "Version"};

inline constexpr bool IsBlobField(std::size_t i) {
  return i >= 7 && i <= 9;
}
inline constexpr std::size_t kSystemTypeField = 13;

struct UploadCall {
  // Index as in kFieldNames; SystemType is kept in nSystemType, its slot empty.
  std::array<OptionalText, 15> values;
  std::int32_t nSystemType = 0;
};

}  // namespace receiver
