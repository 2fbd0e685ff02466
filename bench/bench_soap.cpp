// Figures of the MES client's SOAP layer:
//  1. request envelope writing throughput for a 1 MB BugReason of Chinese text,
//     beside a plain copy of the same envelope bytes, and the same text
//     converted from GBK first, beside the conversion alone;
//  2. one whole IO_UpData_Common call against a loopback server, a new proxy
//     per call as the MES summary step does it, beside curl posting the same
//     request bytes to the same server.
// Usage: bench_soap [calls]   (default 300)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>

#include "mes/CS_QuerySN.h"
#include "platform/TextCodec.h"
#include "tests/support/LoopbackServer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

const unsigned char kBlob[] = {0x31, 0x2E};

std::u16string ChineseText(std::size_t bytes) {
  // Common characters of test reports, repeated: 2 bytes each in UTF-16 and GBK.
  const std::u16string pattern =
      u"\u7F51\u53E3\u6D4B\u8BD5\u5931\u8D25\u7535\u538B\u5F02\u5E38\u97F3\u9891\u89C6\u9891";
  std::u16string s;
  s.reserve(bytes / 2);
  while (s.size() < bytes / 2) s += pattern[s.size() % pattern.size()];
  return s;
}

// Runs f repeatedly for about a second; returns seconds per run.
template <class F>
double SecondsPerRun(F&& f) {
  f();  // warm-up
  int rounds = 0;
  const auto t0 = Clock::now();
  double elapsed = 0;
  while (elapsed < 1.0) {
    f();
    ++rounds;
    elapsed = Seconds(t0, Clock::now());
  }
  return elapsed / rounds;
}

void BenchEnvelope() {
  mes::CS_QuerySN::IO_UpData_CommonParams p;
  p.OrderNo = u"ABC1234";
  p.SerialNumber = u"ABC1234567";
  p.BugReason = ChineseText(1 << 20);
  p.TempColumn1 = p.TempColumn2 = p.TempColumn3 = mes::SoapBlob{2, kBlob};
  mes::CSoapEnvelopeHandler h;
  mes::CStringWriteStream out;
  const double envelope = SecondsPerRun([&] {
    out.Cleanup();
    if (mes::SoapFailed(h.WriteRequest(&out, mes::CS_QuerySN::IO_UpData_CommonMap(), &p))) {
      std::fprintf(stderr, "envelope writing failed\n");
      std::exit(1);
    }
  });
  const std::size_t outBytes = out.GetLength();
  // Reference: copying the finished envelope into a buffer reserved for it,
  // the least any writer of these bytes must do.
  std::string copy;
  copy.reserve(outBytes);
  const double memcpySeconds = SecondsPerRun([&] {
    copy.clear();
    copy.append(out.GetString());
  });
  const double mb = (1 << 20) / 1e6;
  std::printf("envelope: BugReason 1 MiB (%zu Chinese characters) -> %zu bytes of envelope\n", p.BugReason->size(),
              outBytes);
  std::printf("envelope: %.1f MB/s of input text, %.1f MB/s of envelope written (%.2f ms per envelope)\n",
              mb / envelope, outBytes / 1e6 / envelope, envelope * 1e3);
  std::printf("envelope: reference memcpy of the envelope bytes %.2f ms; writing/memcpy %.2f\n", memcpySeconds * 1e3,
              envelope / memcpySeconds);

  // The way a save sends it: the GBK log text converted to UTF-16, then
  // written; iconv's conversion alone is the reference.
  const std::string gbk = platform::Utf16ToGbk(*p.BugReason);
  const double convertAndWrite = SecondsPerRun([&] {
    p.BugReason = platform::GbkToUtf16(gbk);
    out.Cleanup();
    h.WriteRequest(&out, mes::CS_QuerySN::IO_UpData_CommonMap(), &p);
  });
  const double convertOnly = SecondsPerRun([&] { p.BugReason = platform::GbkToUtf16(gbk); });
  std::printf(
      "envelope from GBK: %.1f MB/s of GBK text (%.2f ms); GBK to UTF-16 alone %.2f ms (%.1f MB/s); "
      "whole/conversion %.2f\n",
      gbk.size() / 1e6 / convertAndWrite, convertAndWrite * 1e3, convertOnly * 1e3, gbk.size() / 1e6 / convertOnly,
      convertAndWrite / convertOnly);
}

std::string Reply() {
  std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
      "<soap:Body><IO_UpData_CommonResponse xmlns=\"RO_dErodo\"><IO_UpData_CommonResult>OK</IO_UpData_CommonResult>"
      "</IO_UpData_CommonResponse></soap:Body></soap:Envelope>";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

mes::SoapStatus OneCall(const std::string& url, const std::u16string& bugReason) {
  mes::CS_QuerySN::CCS_QuerySN proxy(url);
  mes::SoapText result;
  mes::SoapBlob blob{2, kBlob};
  return proxy.IO_UpData_Common(u"ABC1234", u"ABC1234567", u"00:11:22:33:44:55", std::nullopt, u"FAIL", u"E01",
                                bugReason, blob, blob, blob, u"ST-01", u"ATE", u"user", 0, u"V1.0.3", &result);
}

void BenchCall(int calls) {
  testsupport::CLoopbackServer server;
  const std::string reply = Reply();
  server.SetHandler([reply](const std::string&) { return testsupport::LoopbackReply::Bytes(reply, true); });
  const std::string url = server.Url("/querysn/cs_querysn.asmx");
  // A log-sized BugReason, as the MES summary sends the whole result log.
  const std::u16string bugReason = ChineseText(8 << 10);

  if (mes::SoapFailed(OneCall(url, bugReason))) {
    std::fprintf(stderr, "the call against the loopback server failed\n");
    std::exit(1);
  }
  auto t0 = Clock::now();
  for (int i = 0; i < calls; ++i) OneCall(url, bugReason);
  double proxyUs = Seconds(t0, Clock::now()) * 1e6 / calls;

  // The same request bytes for curl.
  std::string request = server.Requests()[0];
  std::string body = request.substr(request.find("\r\n\r\n") + 4);
  const std::string file = "/tmp/bench_soap_request_" + std::to_string(getpid()) + ".xml";
  std::ofstream(file, std::ios::binary) << body;
  const std::string curlArgs =
      " -s -o /dev/null -H 'Content-Type: text/xml; charset=utf-8'"
      " -H 'SOAPAction: \"RO_dErodo/IO_UpData_Common\"' -H 'Accept: text/xml' -H 'Expect:'"
      " --data-binary @" +
      file + " " + url;
  int curlCalls = calls < 100 ? calls : 100;
  auto t1 = Clock::now();
  bool curlOk = true;
  for (int i = 0; i < curlCalls && curlOk; ++i) curlOk = std::system(("curl" + curlArgs).c_str()) == 0;
  double curlUs = Seconds(t1, Clock::now()) * 1e6 / curlCalls;
  std::remove(file.c_str());

  std::printf("call: request %zu bytes, reply %zu bytes, %d calls\n", body.size(), reply.size(), calls);
  std::printf("call: proxy IO_UpData_Common  %8.1f us per call (new proxy and connection each)\n", proxyUs);
  if (curlOk)
    std::printf("call: curl POST same bytes    %8.1f us per call (one curl process each, %d calls)\n", curlUs,
                curlCalls);
  else
    std::printf("call: curl POST same bytes    failed (is curl installed?)\n");
}

}  // namespace

int main(int argc, char** argv) {
  int calls = argc > 1 ? std::atoi(argv[1]) : 300;
  if (calls <= 0) calls = 300;
  BenchEnvelope();
  BenchCall(calls);
  return 0;
}
