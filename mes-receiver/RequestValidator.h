// Checks a request body against the SOAP 1.1 envelope rules and the
// operation's XML Schema (libxml2), then reads its values out.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "mes-receiver/UploadCall.h"

namespace receiver {

struct RequestRefusal {
  std::string strMessage;  // why the request is not a valid call, for the Fault
};

class RequestValidator {
 public:
  RequestValidator();  // compiles the schema; throws std::runtime_error if it cannot
  ~RequestValidator();
  RequestValidator(const RequestValidator&) = delete;
  RequestValidator& operator=(const RequestValidator&) = delete;

  // Not safe for concurrent use: the caller serialises.
  std::variant<UploadCall, RequestRefusal> Check(std::string_view body);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace receiver
