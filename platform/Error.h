// The one failure type inside the module: every layer (files and archives,
// the .xls format, the statement engine, the workbook lock, the MES outbox)
// throws it, and only the places where the module meets its caller turn it
// into what that caller expects (a CDBException, a BOOL and an error text, an
// int for the host, a message box). what() is the message: GBK text or plain
// ASCII, ready to be shown or handed on as it is.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace platform
