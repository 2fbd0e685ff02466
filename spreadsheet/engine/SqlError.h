// A statement the workbook engine cannot run: malformed, naming something that
// does not exist, beyond the worksheet's limits, or a workbook that cannot be
// read or written. what() is GBK text, ready to hand to the caller as the
// driver's message.
#pragma once

#include <stdexcept>
#include <string>

namespace sqlengine {

class SqlError : public std::runtime_error {
 public:
  explicit SqlError(const std::string& gbkMessage) : std::runtime_error(gbkMessage) {}
};

}  // namespace sqlengine
