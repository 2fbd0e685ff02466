// The unit record the saving benchmarks save: a recorder of an NVR line.
#pragma once

#include <string>

#include "platform/TextCodec.h"
#include "results/ResultStructrue.h"

inline ResultStructrue BenchRecord(const std::string& serial) {
  ResultStructrue r;
  r.strLineNo = "L03";
  r.strStation = "ST-FT01";
  r.nFixtureNo = 4;
  r.strModel = "DS-7608NI";
  r.strVersion = "V4.1.0";
  r.strComputerUser = "PC-LINE03 A123456";
  r.strStartTime = "2026/03/05  14:01:22";
  r.strRouteStepName = platform::Gbk(u8"NVR_整机测试");
  r.nJudge = 1;
  r.mapMac[serial] = "00:11:22:33:44:55";
  return r;
}
