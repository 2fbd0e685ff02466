// bench_mes_receiver: what one stored upload costs the embedded MES receiver.
// The module's own client posts a unit's call (a 4 KB log as BugReason) to a
// receiver in this process; the call is validated against the schema and
// committed to SQLite (WAL, synchronous) before it is answered. Prints the
// median and mean microseconds per call, client included, and the same with
// the store's commits going to a tmpfs-like folder if one is given.
//
//   bench_mes_receiver [calls] [folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "mes-receiver/ReceiverServer.h"
#include "mes-receiver/UploadStore.h"
#include "mes/CS_QuerySN.h"

int main(int argc, char** argv) {
  const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
  const std::string db = folder + "/bench_mes_receiver.sqlite";
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);

  receiver::UploadStore store(db);
  receiver::ReceiverServer server(store);
  std::string error;
  const int port = server.Bind("127.0.0.1", 0, error);
  if (port < 0) {
    std::fprintf(stderr, "bench_mes_receiver: %s\n", error.c_str());
    return 1;
  }
  std::thread serving([&] { server.Run(); });
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/querysn/cs_querysn.asmx";

  std::u16string log = u"FormatVersion\t=\t1.0.0.0\n[HEAD]\n";
  while (log.size() < 4096) log += u"时间同步检测确认 = PASS\n";
  log += u"[END]";
  const unsigned char temp[2] = {'V', '4'};
  std::vector<double> micros;
  int failed = 0;
  for (int i = 0; i < calls; ++i) {
    const auto start = std::chrono::steady_clock::now();
    mes::CS_QuerySN::CCS_QuerySN proxy(url);  // a new client per call, as a save does
    mes::SoapText answer;
    const mes::SoapStatus s =
        proxy.IO_UpData_Common(u"NV2612A", u"NV2612A" + std::u16string(u"0001"), u"24:28:FD:3A:00:01", u"", u"PASS",
                               u"D0000;", log, mes::SoapBlob{2, temp}, mes::SoapBlob{2, temp}, mes::SoapBlob{2, temp},
                               u"整机测试工位03", u"NVR_整机测试", u"NVR-FT-PC03_1002345", 0, u"V4.0.2", &answer);
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    failed += !mes::SoapSucceeded(s);
  }
  server.Stop();
  serving.join();

  std::sort(micros.begin(), micros.end());
  const double mean = std::accumulate(micros.begin(), micros.end(), 0.0) / static_cast<double>(micros.size());
  std::printf("calls: %d (failed %d), database in %s\n", calls, failed, folder.c_str());
  std::printf("per stored call: median %.0f us, mean %.0f us, max %.0f us\n", micros[micros.size() / 2], mean,
              micros.back());
  std::printf("stored rows: %zu\n", store.All().size());
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
  return failed ? 1 : 0;
}
