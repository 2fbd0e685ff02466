// Times the saving of one unit: the result log step for a 500-item unit
// (microseconds per save), and a 200-item unit saved against a loopback MES
// double: the whole SaveResult beside the same save with the MES refused,
// and its log step and upload apart (ms).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <time.h>

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
#include "results/MesUpload.h"
#include "results/ResultLog.h"
#include "results/ResultSummary.h"
#include "bench/BenchRecord.h"
#include "tests/MesDouble.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

results::ResultListSnapshot BenchList(const std::string& serial, int nItems) {
  results::ResultListSnapshot panel;
  panel.strSerialNumber = serial;
  const std::string item = platform::Gbk(u8"视频播放功能测试项");
  for (int i = 0; i < nItems; ++i) {
    panel.rows.push_back(results::ResultRow{item + std::to_string(i), i % 7 ? "PASS" : "12.5 dB, PASS", 1});
  }
  return panel;
}

void BenchLogStep(int nItems, int nSaves) {
  const std::string serial = "SN2603050001";
  const ResultStructrue record = BenchRecord(serial);
  results::ResultListSnapshot panel = BenchList(serial, nItems);
  results::WriteResultLog(panel, &record);  // warm-up: directories exist afterwards
  // Every save is a new unit, so every save creates a new file, as on a line.
  std::vector<std::string> serials;
  for (int i = 0; i < nSaves; ++i) serials.push_back(serial + "-" + std::to_string(i));
  const auto start = Clock::now();
  int nWritten = 0;
  for (int i = 0; i < nSaves; ++i) {
    panel.strSerialNumber = serials[i];
    nWritten += results::WriteResultLog(panel, &record);
  }
  const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  std::printf("result log step, %d items: %.1f us per save (%d saves, %d written)\n", nItems, us / nSaves, nSaves,
              nWritten);
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the calling thread: what the client itself spends, without
// the time it waits for the server.
double ThreadCpuMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
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
  results::ResultListSnapshot panel = BenchList(serial, nItems);
  std::vector<double> logMs;
  std::vector<double> uploadMs;
  int nUploaded = 0;
  for (int i = 0; i < nSaves; ++i) {
    panel.strSerialNumber = serial + "-" + std::to_string(i);
    const auto start = Clock::now();
    results::WriteResultLog(panel, &record);
    const auto uploadStart = Clock::now();
    logMs.push_back(std::chrono::duration<double, std::milli>(uploadStart - start).count());
    nUploaded += results::UploadResultSummary(panel, &record, mes.Url());
    uploadMs.push_back(MillisecondsSince(uploadStart));
  }
  std::printf(
      "steps of a %d-item save against a loopback MES (median): log step %.3f ms, "
      "summary and upload %.3f ms (%d of %d uploaded)\n",
      nItems, Median(logMs), Median(uploadMs), nUploaded, nSaves);
}

// A loopback port that refuses connections: bound, never listening, so no
// other program can take it while the benchmark runs.
class RefusingPort {
 public:
  RefusingPort() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      m_nPort = ntohs(addr.sin_port);
    }
  }
  ~RefusingPort() {
    if (m_fd >= 0) ::close(m_fd);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/querysn/cs_querysn.asmx"; }

 private:
  int m_fd = -1;
  unsigned short m_nPort = 0;
};

// The whole SaveResult on a list of a real (offscreen) monitor window,
// alternately reported to a loopback MES and to a refusing one (the logs
// alone and a refused connection), so that the upload's share shows.
void BenchSaveResult(int nItems, int nSaves) {
  results_test::MesDouble mes;
  RefusingPort refused;
  platform::EnsureApplication();
  CMonitorDialog dialog;
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
  int nRefusedUploaded = 0;
  std::vector<double> saveMs;
  std::vector<double> refusedMs;
  for (int i = 0; i < 2 * nSaves; ++i) {
    const bool toMes = i % 2 == 0;
    dialog.m_strMesUrl = toMes ? mes.Url() : refused.Url();
    dialog.SetSerialNumber(1, serial + "-" + std::to_string(i));
    const auto start = Clock::now();
    const int uploaded = dialog.SaveResult(1, &record);
    (toMes ? saveMs : refusedMs).push_back(MillisecondsSince(start));
    (toMes ? nUploaded : nRefusedUploaded) += uploaded;
  }
  const double withMes = Median(saveMs);
  const double logsOnly = Median(refusedMs);
  std::printf("SaveResult of a %d-item monitor list, median of %d saves each:\n", nItems, nSaves);
  std::printf("  reported to a loopback MES   %.3f ms (%d uploaded)\n", withMes, nUploaded);
  std::printf("  MES refused (logs only)      %.3f ms (%d uploaded)\n", logsOnly, nRefusedUploaded);
  std::printf("  upload's share               %.3f ms; ratio whole/logs-only %.2f\n", withMes - logsOnly,
              logsOnly > 0 ? withMes / logsOnly : 0.0);
}

// The upload alone, on values a save derived once: the whole SendMesUpload
// against the loopback MES double, and its conversion of the texts apart.
void BenchUploadAlone(int nItems, int nCalls) {
  results_test::MesDouble mes;
  const std::string serial = "SN2603050004";
  const ResultStructrue record = BenchRecord(serial);
  results::ResultListSnapshot panel = BenchList(serial, nItems);
  const std::optional<results::MesUploadValues> values = results::WriteResultSummary(panel, record);
  if (!values) {
    std::printf("upload alone: no values to send\n");
    return;
  }
  std::vector<double> sendMs;
  std::vector<double> sendCpuMs;
  std::vector<double> convertMs;
  int nUploaded = 0;
  std::size_t nConverted = 0;
  for (int i = 0; i < nCalls; ++i) {
    auto start = Clock::now();
    const double cpuStart = ThreadCpuMilliseconds();
    nUploaded += results::SendMesUpload(*values, mes.Url()) ? 1 : 0;
    sendCpuMs.push_back(ThreadCpuMilliseconds() - cpuStart);
    sendMs.push_back(MillisecondsSince(start));
    start = Clock::now();
    for (const std::string* text :
         {&values->strOrderNo, &values->strSerialNumber, &values->strMacList, &values->strComponentSnList,
          &values->strDealResult, &values->strBugType, &values->strBugReason, &values->strWorkStation,
          &values->strToolType, &values->strRecorder, &values->strVersion}) {
      nConverted += platform::GbkToUtf16(*text).size();
    }
    convertMs.push_back(MillisecondsSince(start));
  }
  std::printf(
      "upload alone (SendMesUpload, %zu bytes of log text): %.3f ms median (%d of %d uploaded); "
      "CPU time of the calling thread %.3f ms; its GBK to UTF-16 conversions %.3f ms\n",
      values->strBugReason.size(), Median(sendMs), nUploaded, nCalls, Median(sendCpuMs), Median(convertMs));

  // The same upload to a server that answers without reading the request:
  // what remains is the client's part and the loopback round trip.
  testsupport::CLoopbackServer canned;
  const std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><IO_UpData_CommonResponse "
      "xmlns=\"RO_dErodo\"><IO_UpData_CommonResult>OK</IO_UpData_CommonResult></IO_UpData_CommonResponse>"
      "</soap:Body></soap:Envelope>";
  const std::string reply =
      "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\n\r\n" + body;
  canned.SetHandler([reply](const std::string&) { return testsupport::LoopbackReply::Bytes(reply); });
  const std::string cannedUrl = canned.Url("/querysn/cs_querysn.asmx");
  std::vector<double> cannedMs;
  int nCanned = 0;
  for (int i = 0; i < nCalls; ++i) {
    const auto start = Clock::now();
    nCanned += results::SendMesUpload(*values, cannedUrl) ? 1 : 0;
    cannedMs.push_back(MillisecondsSince(start));
  }
  std::printf("upload alone to a server that does not decode: %.3f ms median (%d of %d uploaded)\n", Median(cannedMs),
              nCanned, nCalls);
}

// Creating one small new file in the folder, the part of every log that only
// the file system decides: a folder whose disk area saw many files deleted
// lately (a busy /tmp) can cost ten times more than a quiet one.
void BenchFileCreation(const std::string& folder, int nFiles) {
  std::vector<double> us;
  for (int i = 0; i < nFiles; ++i) {
    const std::string path = folder + "/create-" + std::to_string(i);
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0) {
      (void)!::write(fd, "x\r\n", 3);
      ::close(fd);
    }
    // Kept until the end: a deleted file would slow the next creations down.
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::printf("reference: creating one small file in %s: %.1f us (median); a save creates two\n", folder.c_str(),
              Median(us));
}

}  // namespace

// Usage: bench_save_result [saves] [folder]   (default 2000 saves; the station
// folder is made inside `folder`, by default the benchmark's own directory,
// as a station keeps its results below its executable)
int main(int argc, char** argv) {
  const int nSaves = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::string parent = argc > 2 ? argv[2] : fs::canonical("/proc/self/exe").parent_path().string();
  std::string tmpl = parent + "/bench-save-result-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) {
    std::fprintf(stderr, "cannot make a folder in %s\n", parent.c_str());
    return 1;
  }
  platform::ScopedExeDirectoryOverride station(tmpl);
  platform::SetMessageBoxHandler([](const std::string& text, unsigned) {
    std::fprintf(stderr, "message: %s\n", platform::GbkToUtf8(text).c_str());
    return platform::IDOK;
  });
  BenchFileCreation(tmpl, 200);
  BenchLogStep(500, nSaves);
  const int nUploads = nSaves / 10 > 0 ? nSaves / 10 : 1;
  BenchSaveResult(200, nUploads);
  BenchLogAndUpload(200, nUploads);
  BenchUploadAlone(200, nUploads);
  std::error_code ec;
  fs::remove_all(tmpl, ec);
  return 0;
}
