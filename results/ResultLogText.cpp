#include "results/ResultLogText.h"

namespace results {

std::string ComputerNameOf(const std::string& strComputerUser) {
  const std::size_t n = strComputerUser.size();
  return n < 8 ? std::string() : strComputerUser.substr(0, n - 8);
}

std::string UserNameOf(const std::string& strComputerUser) {
  const std::size_t n = strComputerUser.size();
  return n <= 7 ? strComputerUser : strComputerUser.substr(n - 7);
}

std::string HeadLine(const std::string& key, const std::string& value) {
  std::string line = key;
  if (line.size() < 10) line.append(10 - line.size(), ' ');
  line += " = ";
  line += value;
  line += '\n';
  return line;
}

std::string BuildLogHeadAndItems(const ResultStructrue& record, const std::string& strSerialNumber,
                                 const std::string& strEndTime, const std::string& strResultValue,
                                 const std::vector<ResultRow>& rows) {
  std::string text;
  std::size_t itemBytes = 0;
  for (const ResultRow& row : rows) itemBytes += row.strItem.size() + row.strResult.size() + 4;
  text.reserve(512 + itemBytes);
  text += "FormatVersion\t=\t1.0.0.0\n";
  text += "[HEAD]\n";
  text += HeadLine("LineNo", record.strLineNo);
  text += HeadLine("Station", record.strStation);
  text += HeadLine("RouteStepName", record.strRouteStepName);
  text += HeadLine("FixtureNo", std::to_string(record.nFixtureNo));
  text += HeadLine("Model", record.strModel);
  text += HeadLine("Version", record.strVersion);
  text += HeadLine("ComputerName", ComputerNameOf(record.strComputerUser));
  text += HeadLine("UserName", UserNameOf(record.strComputerUser));
  text += HeadLine("MfgId", strSerialNumber);
  text += HeadLine("StartTime", record.strStartTime);
  text += HeadLine("EndTime", strEndTime);
  text += HeadLine("Result", strResultValue);
  text += "[BEGIN]\n";
  for (const ResultRow& row : rows) {
    text += row.strItem;
    text += " = ";
    text += row.strResult;
    text += '\n';
  }
  return text;
}

std::string BuildMacLines(const ResultStructrue& record, const std::string& strSerialNumber) {
  std::string text;
  int nCounter = 0;
  // Keys are unique in the map; equal_range keeps this right for any lookup order.
  auto [first, last] = record.mapMac.equal_range(strSerialNumber);
  for (auto it = first; it != last; ++it) {
    text += "MAC" + std::to_string(nCounter++) + " = " + it->second + ",\n";
  }
  return text;
}

}  // namespace results
