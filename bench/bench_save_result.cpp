// Times the saving of one unit: the result log step for a 500-item unit
// (microseconds per save), and a 200-item unit saved against a loopback MES
// double: the whole SaveResult, and its log step and upload apart (ms).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "results/ResultStructrue.h"
#include "platform/Application.h"
#include "platform/ExeDirectory.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"
#include "results/ResultLog.h"
#include "results/ResultSummary.h"
#include "tests/MesDouble.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

ResultStructrue BenchRecord(const std::string& serial) {
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

ResultListSnapshot BenchList(const std::string& serial, int nItems) {
  ResultListSnapshot panel;
  panel.strSerialNumber = serial;
  const std::string item = platform::Gbk(u8"视频播放功能测试项");
  for (int i = 0; i < nItems; ++i) {
    panel.rows.push_back(ResultRow{item + std::to_string(i), i % 7 ? "PASS" : "12.5 dB, PASS", 1});
  }
  return panel;
}

void BenchLogStep(int nItems, int nSaves) {
  const std::string serial = "SN2603050001";
  const ResultStructrue record = BenchRecord(serial);
  ResultListSnapshot panel = BenchList(serial, nItems);
  WriteResultLog(panel, &record);  // warm-up: directories exist afterwards
  // Every save is a new unit, so every save creates a new file, as on a line.
  std::vector<std::string> serials;
  for (int i = 0; i < nSaves; ++i) serials.push_back(serial + "-" + std::to_string(i));
  const auto start = Clock::now();
  int nWritten = 0;
  for (int i = 0; i < nSaves; ++i) {
    panel.strSerialNumber = serials[i];
    nWritten += WriteResultLog(panel, &record);
  }
  const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  std::printf("result log step, %d items: %.1f us per save (%d saves, %d written)\n", nItems, us / nSaves,
              nSaves, nWritten);
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The machine is shared: the median says more than the mean.
double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BenchLogAndUpload(int nItems, int nSaves) {
  results_test::MesDouble mes;
  const std::string serial = "SN2603050002";
  const ResultStructrue record = BenchRecord(serial);
  ResultListSnapshot panel = BenchList(serial, nItems);
  std::vector<double> logMs;
  std::vector<double> uploadMs;
  int nUploaded = 0;
  for (int i = 0; i < nSaves; ++i) {
    panel.strSerialNumber = serial + "-" + std::to_string(i);
    const auto start = Clock::now();
    WriteResultLog(panel, &record);
    const auto uploadStart = Clock::now();
    logMs.push_back(std::chrono::duration<double, std::milli>(uploadStart - start).count());
    nUploaded += UploadResultSummary(panel, &record, mes.Url());
    uploadMs.push_back(MillisecondsSince(uploadStart));
  }
  std::printf("steps of a %d-item save against a loopback MES (median): log step %.3f ms, "
              "summary and upload %.3f ms (%d of %d uploaded)\n",
              nItems, Median(logMs), Median(uploadMs), nUploaded, nSaves);
}

// The whole SaveResult on a list of a real (offscreen) monitor window.
void BenchSaveResult(int nItems, int nSaves) {
  results_test::MesDouble mes;
  platform::EnsureApplication();
  CMonitorDialog dialog;
  dialog.m_strMesUrl = mes.Url();
  if (!dialog.Create(CMonitorDialog::IDD)) {
    std::printf("SaveResult: the monitor window could not be created\n");
    return;
  }
  const std::string serial = "SN2603050003";
  dialog.SetSerialNumber(1, serial);
  const std::string item = platform::Gbk(u8"视频播放功能测试项");
  for (int i = 0; i < nItems; ++i) dialog.InsertItem(1, item + std::to_string(i), std::string("PASS"));
  ResultStructrue record = BenchRecord(serial);
  int nUploaded = 0;
  std::vector<double> saveMs;
  for (int i = 0; i < nSaves; ++i) {
    dialog.SetSerialNumber(1, serial + "-" + std::to_string(i));
    const auto start = Clock::now();
    nUploaded += dialog.SaveResult(1, &record);
    saveMs.push_back(MillisecondsSince(start));
  }
  std::printf("whole SaveResult of a %d-item monitor list against a loopback MES: %.3f ms per save "
              "(median; %d of %d uploaded)\n",
              nItems, Median(saveMs), nUploaded, nSaves);
}

}  // namespace

int main(int argc, char** argv) {
  const int nSaves = argc > 1 ? std::atoi(argv[1]) : 2000;
  char tmpl[] = "/tmp/bench-save-result-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  platform::ScopedExeDirectoryOverride station(tmpl);
  platform::SetMessageBoxHandler([](const std::string& text, unsigned) {
    std::fprintf(stderr, "message: %s\n", platform::GbkToUtf8(text).c_str());
    return platform::IDOK;
  });
  BenchLogStep(500, nSaves);
  const int nUploads = nSaves / 10 > 0 ? nSaves / 10 : 1;
  BenchSaveResult(200, nUploads);
  BenchLogAndUpload(200, nUploads);
  std::error_code ec;
  fs::remove_all(tmpl, ec);
  return 0;
}
