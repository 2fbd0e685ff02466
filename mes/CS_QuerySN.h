// Typed proxy of the MES web service (namespace "RO_dErodo"): IO_UpData_Common.
// Use: mes::CS_QuerySN::CCS_QuerySN proxy(url);  // url defaults to mes::CS_QuerySN::kDefaultMesUrl
//      SoapText result; SoapStatus s = proxy.IO_UpData_Common(..., &result);  // s >= 0: *result is the answer (may be null)
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string_view>

#include "mes/MesEndpoint.h"
#include "mes/SoapClientError.h"
#include "mes/SoapEnvelopeHandler.h"
#include "mes/SoapEnvelopeMap.h"
#include "mes/SoapEnvelopeValues.h"
#include "mes/SoapFaultReader.h"
#include "mes/SoapHttpTransport.h"
#include "platform/XmlReader.h"

namespace mes::CS_QuerySN {

using mes::SoapBlob;
using mes::SoapText;

inline constexpr std::string_view kServiceNamespace = "RO_dErodo";
inline constexpr std::string_view kIO_UpData_CommonAction = "SOAPAction: \"RO_dErodo/IO_UpData_Common\"\r\n";

// The operation's values in element order. The texts are copies of the
// caller's, the blobs point at the caller's bytes; the result is the only
// "out" value.
struct IO_UpData_CommonParams {
  SoapText OrderNo;
  SoapText SerialNumber;
  SoapText MacList;
  SoapText ComponentSnList;
  SoapText DealResult;
  SoapText BugType;
  SoapText BugReason;
  SoapBlob TempColumn1;
  SoapBlob TempColumn2;
  SoapBlob TempColumn3;
  SoapText WorkStation;
  SoapText ToolType;
  SoapText Recorder;
  std::int32_t SystemType = 0;
  SoapText Version;
  SoapText IO_UpData_CommonResult;
};

// The operation's description: element names, types, directions, record places.
const SoapMap& IO_UpData_CommonMap();

template <class TClient = CSoapHttpTransport>
class CCS_QuerySNT {
 public:
  // The URL is fixed for the proxy's life. A reader may be handed over; one
  // is created on the first call otherwise.
  explicit CCS_QuerySNT(std::string_view url = kDefaultMesUrl, std::unique_ptr<platform::CXmlReader> reader = nullptr)
      : m_client(url), m_reader(std::move(reader)) {
    m_handler.SetClient(true);
    if (m_reader) m_reader->SetContentHandler(&m_handler);
    m_client.SetFaultReader(
        [this](ISoapReadStream& body, SoapFault& fault) { return ParseSoapFault(body, m_reader.get(), fault); });
  }
  ~CCS_QuerySNT() {
    if (m_reader) m_reader->SetContentHandler(nullptr);
  }
  CCS_QuerySNT(const CCS_QuerySNT&) = delete;
  CCS_QuerySNT& operator=(const CCS_QuerySNT&) = delete;

  // Arguments in the operation's element order. Returns 0 on success, a
  // negative status otherwise (GetClientError() says which stage failed).
  // On success *IO_UpData_CommonResult receives the answer text, null when
  // the reply had none; on failure it is left untouched.
  SoapStatus IO_UpData_Common(const SoapText& OrderNo, const SoapText& SerialNumber, const SoapText& MacList,
                              const SoapText& ComponentSnList, const SoapText& DealResult, const SoapText& BugType,
                              const SoapText& BugReason, SoapBlob TempColumn1, SoapBlob TempColumn2,
                              SoapBlob TempColumn3, const SoapText& WorkStation, const SoapText& ToolType,
                              const SoapText& Recorder, std::int32_t SystemType, const SoapText& Version,
                              SoapText* IO_UpData_CommonResult);

  SoapClientError GetClientError() const { return m_client.GetClientError(); }
  const SoapFault& GetFault() const { return m_client.GetFault(); }
  TClient& GetClient() { return m_client; }

 private:
  SoapStatus Call(SoapText* result);
  void CleanupClientState() {
    m_handler.Reset();
    m_params = IO_UpData_CommonParams{};
    m_client.ReleaseReadStream();
  }

  TClient m_client;
  std::unique_ptr<platform::CXmlReader> m_reader;
  CSoapEnvelopeHandler m_handler;
  IO_UpData_CommonParams m_params;
};

using CCS_QuerySN = CCS_QuerySNT<>;

// ---- implementation ----

template <class TClient>
SoapStatus CCS_QuerySNT<TClient>::IO_UpData_Common(
    const SoapText& OrderNo, const SoapText& SerialNumber, const SoapText& MacList, const SoapText& ComponentSnList,
    const SoapText& DealResult, const SoapText& BugType, const SoapText& BugReason, SoapBlob TempColumn1,
    SoapBlob TempColumn2, SoapBlob TempColumn3, const SoapText& WorkStation, const SoapText& ToolType,
    const SoapText& Recorder, std::int32_t SystemType, const SoapText& Version, SoapText* IO_UpData_CommonResult) {
  if (!IO_UpData_CommonResult) return kSoapInvalidPointer;

  if (!m_reader) {
    try {
      m_reader = std::make_unique<platform::CXmlReader>();
    } catch (const std::bad_alloc&) {
      m_client.SetClientError(SoapClientError::InitializeError);
      return kSoapOutOfMemory;
    }
  }
  m_reader->SetContentHandler(&m_handler);
  m_client.CleanupClient();

  SoapStatus status = kSoapOk;
  try {
    m_params = IO_UpData_CommonParams{OrderNo,   SerialNumber, MacList,     ComponentSnList, DealResult,  BugType,
                                      BugReason, TempColumn1,  TempColumn2, TempColumn3,     WorkStation, ToolType,
                                      Recorder,  SystemType,   Version,     std::nullopt};
  } catch (const std::bad_alloc&) {
    m_client.SetClientError(SoapClientError::OutOfMemory);
    status = kSoapOutOfMemory;
  }
  if (SoapSucceeded(status)) status = Call(IO_UpData_CommonResult);
  CleanupClientState();
  return status;
}

template <class TClient>
SoapStatus CCS_QuerySNT<TClient>::Call(SoapText* result) {
  SoapStatus status = m_handler.BeginParse(IO_UpData_CommonMap(), &m_params);
  if (SoapFailed(status)) {
    m_client.SetClientError(SoapClientError::OutOfMemory);
    return status;
  }
  status = m_handler.WriteRequest(&m_client.GetWriteStream(), IO_UpData_CommonMap(), &m_params);
  if (SoapFailed(status)) {
    m_client.SetClientError(SoapClientError::GenerateError);
    return status;
  }
  status = m_client.SendRequest(kIO_UpData_CommonAction);
  if (SoapFailed(status)) return status;

  m_handler.FreeReadValues();
  status = m_handler.ParseReply(m_client.GetReadStream(), *m_reader);
  if (SoapFailed(status)) {
    m_client.SetClientError(SoapClientError::ParseError);
    m_handler.FreeReadValues();
    return status;
  }
  *result = std::move(m_params.IO_UpData_CommonResult);
  return kSoapOk;
}

}  // namespace mes::CS_QuerySN
