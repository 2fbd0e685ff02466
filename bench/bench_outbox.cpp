// What the MES outbox adds to one save: the whole SaveResult of a 200-item
// monitor list against a loopback MES double, with the outbox off and on,
// alternating in the same run (medians), the upload step alone direct and
// through the outbox, and the outbox's own steps apart: the durable commit of
// a report (one fsync) and the marking of its outcome.
// The outbox file lies in the station folder (a temporary folder on the disk
// of /tmp, or the folder given as second argument): fsync costs what that
// disk makes it cost.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "monitor/MonitorDialog.h"
#include "results/ResultStructrue.h"
#include "platform/Application.h"
#include "platform/ExeDirectory.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"
#include "results/MesOutboxStore.h"
#include "results/MesOutboxSwitch.h"
#include "results/MesUpload.h"
#include "bench/BenchRecord.h"
#include "tests/MesDouble.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Two monitor windows, one without and one with the outbox, saving in turns.
void BenchSaveResult(const fs::path& station, int nItems, int nSaves) {
  results_test::MesDouble mes;
  platform::EnsureApplication();
  CMonitorDialog off, on;
  on.m_strMesOutbox = (station / "mes-outbox.db").string();
  const std::string item = platform::Gbk(u8"视频播放功能测试项");
  for (CMonitorDialog* dialog : {&off, &on}) {
    dialog->m_strMesUrl = mes.Url();
    if (!dialog->Create(CMonitorDialog::IDD)) {
      std::printf("SaveResult: the monitor window could not be created\n");
      return;
    }
    for (int i = 0; i < nItems; ++i) dialog->InsertItem(1, item + std::to_string(i), std::string("PASS"));
  }
  const std::string serial = "SN2603050003";
  ResultStructrue record = BenchRecord(serial);
  std::vector<double> offMs, onMs;
  int nOff = 0, nOn = 0;
  for (int i = -1; i < nSaves; ++i) {  // -1: warm-up of both
    for (CMonitorDialog* dialog : {&off, &on}) {
      dialog->SetSerialNumber(1, serial + "-" + std::to_string(i) + (dialog == &on ? "b" : "a"));
      const auto start = Clock::now();
      const int uploaded = dialog->SaveResult(1, &record);
      const double ms = MillisecondsSince(start);
      if (i < 0) continue;
      (dialog == &on ? onMs : offMs).push_back(ms);
      (dialog == &on ? nOn : nOff) += uploaded;
    }
  }
  const double offMedian = Median(offMs), onMedian = Median(onMs);
  std::printf(
      "whole SaveResult of a %d-item list against a loopback MES (median of %d each):\n"
      "  outbox off %.3f ms, outbox on %.3f ms: the outbox adds %.3f ms (%d and %d of %d uploaded)\n",
      nItems, nSaves, offMedian, onMedian, onMedian - offMedian, nOff, nOn, nSaves);
}

// The upload step alone, in turns: one direct call, and the same values
// through the outbox (commit, the attempt, its outcome).
void BenchUploadStep(const fs::path& station, int n) {
  results_test::MesDouble mes;
  MesOutboxSwitch outbox;
  const std::string file = (station / "upload-step.db").string();
  results::MesUploadValues v;
  v.strBugReason = std::string(6000, 'x');
  std::vector<double> directMs, outboxMs;
  int nDirect = 0, nOutbox = 0;
  for (int i = -1; i < n; ++i) {
    v.strSerialNumber = "SN" + std::to_string(i) + "a";
    auto start = Clock::now();
    const bool direct = results::SendMesUpload(v, mes.Url());
    const double directTime = MillisecondsSince(start);
    v.strSerialNumber = "SN" + std::to_string(i) + "b";
    start = Clock::now();
    const bool through = outbox.Upload(file, v, mes.Url());
    const double outboxTime = MillisecondsSince(start);
    if (i < 0) continue;  // warm-up; the outbox opens its file here
    directMs.push_back(directTime);
    outboxMs.push_back(outboxTime);
    nDirect += direct;
    nOutbox += through;
  }
  std::printf(
      "upload step alone (median of %d each): direct %.3f ms, through the outbox %.3f ms "
      "(%d and %d delivered)\n",
      n, Median(directMs), Median(outboxMs), nDirect, nOutbox);
}

// The floor any durable commit on this disk pays: appending 4 KiB to a file
// and flushing it with fdatasync, as SQLite flushes its WAL.
double BenchFlush(const fs::path& station, int n) {
  const fs::path file = station / "flush.bin";
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return 0;
  const std::string page(4096, 'x');
  std::vector<double> ms;
  for (int i = 0; i < n; ++i) {
    const auto start = Clock::now();
    if (::write(fd, page.data(), page.size()) != static_cast<ssize_t>(page.size()) || ::fdatasync(fd) != 0) break;
    ms.push_back(MillisecondsSince(start));
  }
  ::close(fd);
  return Median(ms);
}

// The same row committed without its flush (synchronous NORMAL, straight
// through SQLite): what the outbox costs apart from the disk's flush.
double BenchUnflushedCommit(const fs::path& station, int n, const std::string& bugReason) {
  { results::MesOutboxStore make(station / "unflushed.db"); }
  sqlite3* db = nullptr;
  if (sqlite3_open((station / "unflushed.db").c_str(), &db) != SQLITE_OK) return 0;
  sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO reports(created, endpoint, state, order_no, serial_number, mac_list,"
                     " component_sn_list, deal_result, bug_type, bug_reason, temp_column, work_station, tool_type,"
                     " recorder, system_type, version) VALUES(1, 'http://mes/', 0, x'', ?1, x'', x'', x'', x'', ?2,"
                     " x'', x'', x'', x'', 0, x'')",
                     -1, &insert, nullptr);
  std::vector<double> ms;
  for (int i = 0; i < n; ++i) {
    const std::string serial = "SN" + std::to_string(i);
    const auto start = Clock::now();
    sqlite3_bind_blob(insert, 1, serial.data(), static_cast<int>(serial.size()), SQLITE_STATIC);
    sqlite3_bind_blob(insert, 2, bugReason.data(), static_cast<int>(bugReason.size()), SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_reset(insert);
    ms.push_back(MillisecondsSince(start));
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return Median(ms);
}

// The outbox's own steps of one save, on a file of their own.
void BenchSteps(const fs::path& station, int n) {
  results::MesOutboxStore store(station / "steps.db");
  results::MesUploadValues v;
  v.strSerialNumber = "SN2603050004";
  v.strBugReason = std::string(6000, 'x');  // about the size of a 200-item summary
  std::vector<double> commitMs, markMs, pendingMs;
  for (int i = 0; i < n; ++i) {
    v.strSerialNumber = "SN" + std::to_string(i);
    auto start = Clock::now();
    const std::int64_t id = store.Add(v, "http://mes/querysn/cs_querysn.asmx", std::time(nullptr));
    commitMs.push_back(MillisecondsSince(start));
    start = Clock::now();
    store.OldestPending();
    pendingMs.push_back(MillisecondsSince(start));
    start = Clock::now();
    store.MarkDelivered(id, std::time(nullptr));
    markMs.push_back(MillisecondsSince(start));
  }
  const double flush = BenchFlush(station, n);
  const double unflushed = BenchUnflushedCommit(station, n, v.strBugReason);
  std::printf(
      "outbox steps (median of %d): commit %.3f ms (synchronous FULL), oldest pending %.3f ms, "
      "mark delivered %.3f ms (not flushed on its own)\n"
      "one 4 KiB append + fdatasync on the same disk: %.3f ms (the floor of a durable commit)\n"
      "the same row committed without a flush (synchronous NORMAL): %.3f ms\n",
      n, Median(commitMs), Median(pendingMs), Median(markMs), flush, unflushed);
}

}  // namespace

int main(int argc, char** argv) {
  const int nSaves = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  std::string base = argc > 2 ? argv[2] : "/tmp";
  std::string tmpl = base + "/bench-outbox-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) return 1;
  platform::ScopedExeDirectoryOverride station(tmpl);
  platform::SetMessageBoxHandler([](const std::string& text, unsigned) {
    std::fprintf(stderr, "message: %s\n", platform::GbkToUtf8(text).c_str());
    return platform::IDOK;
  });
  std::printf("outbox folder %s\n", tmpl.c_str());
  BenchSaveResult(tmpl, 200, nSaves);
  BenchUploadStep(tmpl, nSaves);
  BenchSteps(tmpl, nSaves);
  std::error_code ec;
  fs::remove_all(tmpl, ec);
  return 0;
}
