#include "results/MesUpload.h"

#include <exception>

#include "mes/CS_QuerySN.h"
#include "platform/TextCodec.h"

bool SendMesUpload(const MesUploadValues& values, const std::string& strMesUrl) {
  auto text = [](const std::string& gbk) -> SoapText { return platform::GbkToUtf16(gbk); };
  // The same two bytes go out as TempColumn1, 2 and 3.
  const SoapBlob tempColumn{static_cast<std::uint32_t>(values.strTempColumn.size()),
                            reinterpret_cast<const unsigned char*>(values.strTempColumn.data())};
  try {
    CS_QuerySN::CCS_QuerySN proxy(strMesUrl);  // a new client for every upload
    SoapText answer;                            // the service's text is not examined
    const SoapStatus status = proxy.IO_UpData_Common(
        text(values.strOrderNo), text(values.strSerialNumber), text(values.strMacList),
        text(values.strComponentSnList), text(values.strDealResult), text(values.strBugType),
        text(values.strBugReason), tempColumn, tempColumn, tempColumn, text(values.strWorkStation),
        text(values.strToolType), text(values.strRecorder), values.nSystemType, text(values.strVersion),
        &answer);
    return SoapSucceeded(status);
  } catch (const std::exception&) {
    // Nothing may escape into the host's save call; a client that cannot
    // even be built is a failed upload.
    return false;
  }
}
