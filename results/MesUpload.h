// One IO_UpData_Common call to the MES service with a unit's values.
#pragma once

#include <cstdint>
#include <string>

#include "mes/CS_QuerySN.h"
#include "platform/TextCodec.h"
#include "results/MesUploadValues.h"

namespace results {

// Makes a new service client for strMesUrl, sends the values (texts as
// UTF-16), discards the service's answer text and destroys the client.
// True when the call succeeded.
bool SendMesUpload(const MesUploadValues& values, const std::string& strMesUrl);

// The call itself, through any client of the operation (the save's own, or
// the outbox worker's stoppable one).
template <typename Proxy>
mes::SoapStatus CallIoUpDataCommon(Proxy& proxy, const MesUploadValues& values, mes::SoapText* pAnswer) {
  auto text = [](const std::string& gbk) -> mes::SoapText { return platform::GbkToUtf16(gbk); };
  // The same two bytes go out as TempColumn1, 2 and 3.
  const mes::SoapBlob tempColumn{static_cast<std::uint32_t>(values.strTempColumn.size()),
                                 reinterpret_cast<const unsigned char*>(values.strTempColumn.data())};
  return proxy.IO_UpData_Common(text(values.strOrderNo), text(values.strSerialNumber), text(values.strMacList),
                                text(values.strComponentSnList), text(values.strDealResult), text(values.strBugType),
                                text(values.strBugReason), tempColumn, tempColumn, tempColumn,
                                text(values.strWorkStation), text(values.strToolType), text(values.strRecorder),
                                values.nSystemType, text(values.strVersion), pAnswer);
}

}  // namespace results
