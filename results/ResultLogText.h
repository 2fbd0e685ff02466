// The text of a unit's result log, built in memory with LF line ends (the
// file writer turns them into CR LF).
#pragma once

#include <string>
#include <vector>

#include "results/ResultStructrue.h"
#include "results/ResultRow.h"

namespace results {

// strComputerUser is "<computer name><one separator><7-byte user id>".
std::string ComputerNameOf(const std::string& strComputerUser);  // all but the last 8 bytes
std::string UserNameOf(const std::string& strComputerUser);      // the last 7 bytes

// "%-10s = %s": the key padded with blanks to 10 characters (never cut).
std::string HeadLine(const std::string& key, const std::string& value);

// From "FormatVersion" through "[BEGIN]" and one "item = result" line per row.
std::string BuildLogHeadAndItems(const ResultStructrue& record, const std::string& strSerialNumber,
                                 const std::string& strEndTime, const std::string& strResultValue,
                                 const std::vector<ResultRow>& rows);

// "MAC%d = %s," for each mapMac value whose key is the serial number, in map
// order, numbered from 0.
std::string BuildMacLines(const ResultStructrue& record, const std::string& strSerialNumber);

// The end of every log: no line end after it.
inline constexpr char kLogEnd[] = "[END]";
inline constexpr char kMacListLine[] = "[MACLIST]\n";

}  // namespace results
