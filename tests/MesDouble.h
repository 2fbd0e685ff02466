// A stand-in for the factory MES service on 127.0.0.1: it decodes every
// IO_UpData_Common request it receives (SOAP 1.1 over HTTP) into the fifteen
// values and answers as told.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/LoopbackServer.h"

namespace results_test {

struct ReceivedUpload {
  std::string strSoapAction;  // the SOAPAction header's value
  // Element local name -> text converted to GBK; nullopt for a nil element.
  std::map<std::string, std::optional<std::string>> values;
  std::vector<std::string> order;  // element local names in arrival order
  std::string strError;            // what could not be decoded, if anything

  // A text value, "<nil>" for nil, "<absent>" when there was no element.
  std::string Text(const std::string& name) const;
  // A base64Binary value decoded to its bytes.
  std::string Bytes(const std::string& name) const;
};

class MesDouble {
 public:
  // Ok stores and answers. Silent stores and never answers. Fault500 and
  // Unavailable503 store nothing.
  enum class Answer { Ok, Fault500, Silent, Unavailable503 };

  MesDouble();
  std::string Url() const { return m_server.Url("/querysn/cs_querysn.asmx"); }
  void SetAnswer(Answer answer);
  std::vector<ReceivedUpload> Uploads() const;
  // Serial numbers of the uploads the service stored, in arrival order.
  std::vector<std::string> StoredSerials() const;

 private:
  testsupport::LoopbackReply Handle(const std::string& request);

  mutable std::mutex m_mutex;
  Answer m_answer = Answer::Ok;
  std::vector<ReceivedUpload> m_uploads;
  std::vector<std::string> m_stored;
  testsupport::CLoopbackServer m_server;  // last: its threads stop before the rest goes
};

}  // namespace results_test
