#include "results/MesUpload.h"

#include <exception>

bool SendMesUpload(const MesUploadValues& values, const std::string& strMesUrl) {
  try {
    CS_QuerySN::CCS_QuerySN proxy(strMesUrl);  // a new client for every upload
    SoapText answer;                           // the service's text is not examined
    return SoapSucceeded(CallIoUpDataCommon(proxy, values, &answer));
  } catch (const std::exception&) {
    // Nothing may escape into the host's save call; a client that cannot
    // even be built is a failed upload.
    return false;
  }
}
