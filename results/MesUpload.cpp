#include "results/MesUpload.h"

#include <exception>

namespace results {

bool SendMesUpload(const MesUploadValues& values, const std::string& strMesUrl) {
  try {
    mes::CS_QuerySN::CCS_QuerySN proxy(strMesUrl);  // a new client for every upload
    mes::SoapText answer;                           // the service's text is not examined
    return mes::SoapSucceeded(CallIoUpDataCommon(proxy, values, &answer));
  } catch (const std::exception&) {
    // Nothing may escape into the host's save call; a client that cannot
    // even be built is a failed upload.
    return false;
  }
}

}  // namespace results
