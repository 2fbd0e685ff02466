// The record the host fills for one finished unit and passes to the savers.
// Texts are GBK bytes. Field order and types are part of the host interface.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct ResultStructrue {
  std::string strLineNo;         // production line
  std::string strStation;        // test station name
  int32_t nFixtureNo = 0;        // fixture number
  std::string strModel;          // product model; names the workbook sheet
  std::string strVersion;        // version text of the unit
  std::string strComputerUser;   // computer name, one separator, 7-byte user id
  std::string strStartTime;      // start time, formatted by the host
  int32_t nHostReserved = 0;     // the host's own; the module never reads it
  std::string strRouteStepName;  // route step that ran
  int32_t nJudge = 2;            // 0 fail, 1 pass, 2 no judgement
  // Unit serial number -> MAC address. std::string compares as unsigned bytes.
  std::map<std::string, std::string> mapMac;
};
