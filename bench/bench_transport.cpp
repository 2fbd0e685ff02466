// Transport-level benchmark: posts a SOAP-sized request twice (or more) on one
// kept-alive connection through CSoapHttpTransportT, with and without TCP_NODELAY, and
// prints the time of the first and of the second exchange. The transport sends
// head and body in one write, so neither has to wait for the server's delayed
// acknowledgement of the other, with or without the option.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "mes/SoapHttpTransport.h"
#include "tests/support/LoopbackServer.h"

using testsupport::CLoopbackServer;
using testsupport::LoopbackReply;

namespace {

using Clock = std::chrono::steady_clock;

int g_exchanges = 2;
const char kAction[] = "SOAPAction: \"RO_dErodo/IO_UpData_Common\"\r\n";

struct Figures {
  std::vector<double> first;
  std::vector<double> second;
  int failures = 0;
  int connections = 0;  // opened by the server during the run
  int rounds = 0;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Mean(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

double Max(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

Figures Run(CLoopbackServer& server, const std::string& envelope, bool noDelay, int rounds) {
  Figures f;
  f.rounds = rounds;
  const int connectionsBefore = server.ConnectionCount();
  for (int i = 0; i < rounds; ++i) {
    mes::CSoapHttpTransport transport(server.Url("/querysn/cs_querysn.asmx"));
    transport.GetHttpClient().GetSocket().SetNoDelay(noDelay);
    for (int exchange = 0; exchange < g_exchanges; ++exchange) {
      transport.CleanupClient();
      transport.GetWriteStream().Write(envelope);
      const auto start = Clock::now();
      const mes::SoapStatus status = transport.SendRequest(kAction);
      const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
      if (mes::SoapFailed(status)) ++f.failures;
      (exchange == 0 ? f.first : f.second).push_back(us);
    }
  }
  f.connections = server.ConnectionCount() - connectionsBefore;
  return f;
}

void Print(const char* label, const Figures& f) {
  std::printf("%-22s exchange 1: median %9.1f us  mean %9.1f us  max %9.1f us\n", label, Median(f.first), Mean(f.first),
              Max(f.first));
  // Only one connection per round means the later exchanges really reused it.
  const bool keptAlive = f.connections == f.rounds;
  std::printf("%-22s later ones: median %9.1f us  mean %9.1f us  max %9.1f us  (%s)%s\n", "", Median(f.second),
              Mean(f.second), Max(f.second), keptAlive ? "kept-alive" : "RECONNECTED", f.failures ? "  FAILURES" : "");
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  if (argc > 2) g_exchanges = std::max(2, std::atoi(argv[2]));
  const std::string replyBody =
      "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
      "<IO_UpData_CommonResponse xmlns=\"RO_dErodo\"><IO_UpData_CommonResult>OK</IO_UpData_CommonResult>"
      "</IO_UpData_CommonResponse></soap:Body></soap:Envelope>";
  // The length must be exact: bytes past it would make the client drop the connection.
  const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
                            std::to_string(replyBody.size()) + "\r\n\r\n" + replyBody;
  CLoopbackServer server;
  server.SetHandler([&](const std::string&) { return LoopbackReply::Bytes(reply); });

  std::printf(
      "SOAP transport over loopback: %d connections, %d exchanges on each (usage: bench_transport [connections] [exchanges])\n",
      rounds, g_exchanges);
  for (std::size_t size : {std::size_t(3000), std::size_t(20000)}) {
    const std::string envelope(size, 'e');
    std::printf("request body %zu bytes (head and body in one write)\n", size);
    Print("TCP_NODELAY on", Run(server, envelope, true, rounds));
    Print("TCP_NODELAY off", Run(server, envelope, false, rounds));
  }
  return 0;
}
