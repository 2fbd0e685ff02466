// The fifteen values one unit is reported to the MES with, as GBK texts
// (converted to UTF-16 when handed to the service client).
#pragma once

#include <cstdint>
#include <string>

namespace results {

struct MesUploadValues {
  std::string strOrderNo;  // first 7 bytes of the serial number
  std::string strSerialNumber;
  std::string strMacList;          // the web MAC value
  std::string strComponentSnList;  // always empty
  std::string strDealResult;       // "PASS", "FAIL" or ""
  std::string strBugType;          // fault codes
  std::string strBugReason;        // the whole second log text, LF line ends
  std::string strTempColumn;       // 2 bytes, sent as TempColumn1, 2 and 3
  std::string strWorkStation;
  std::string strToolType;  // the route step value
  std::string strRecorder;  // strComputerUser, whole
  int32_t nSystemType = 0;
  std::string strVersion;  // the software version value
};

}  // namespace results
