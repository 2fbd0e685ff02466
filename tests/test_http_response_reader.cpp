// The response reader on canned byte streams: framing, header rules, interim
// replies and every way a malformed reply must fail cleanly.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "mes/HttpResponseReader.h"
#include "tests/support/MemoryByteSource.h"

using testsupport::CMemoryByteSource;

namespace {

struct Read {
  mes::CHttpResponseReader reader;
  mes::HttpReadResult result;
  std::string body;

  explicit Read(std::string bytes, std::size_t piece = SIZE_MAX, mes::CHttpResponseReader::Limits limits = {},
                bool failAtEnd = false) {
    CMemoryByteSource source(std::move(bytes), piece, failAtEnd);
    result = reader.ReadResponse(source, limits);
    body.assign(reader.GetBody(), reader.GetBodyLength());
  }
  std::string Header(const std::string& name) const {
    std::string v;
    return reader.GetHeader(name.c_str(), v) ? v : "<none>";
  }
};

const std::string k26 = "abcdefghijklmnopqrstuvwxyz";
const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n";

}  // namespace

TEST(HttpResponseReader, WellFormedRepliesInAnyPieceSize) {
  std::string large;  // outgrows the reader's inline buffer
  for (int i = 0; i < 30000; ++i) large += static_cast<char>('a' + i % 26);
  struct Case {
    std::string bytes, body;
    bool spent;                                                // the connection cannot carry another reply
    std::vector<std::pair<std::string, std::string>> headers;  // "<none>": absent
    int status = 200;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 26\r\nContent-Type: text/xml\r\n\r\n" + k26,
       k26,
       false,
       {{"content-type", "text/xml"}}},  // names compare without case
      {"HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n"
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
       "ok",
       false,
       {{"X-Interim", "<none>"}}},
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", "", false, {}, 404},
      {"HTTP/1.1 204 No Content\r\n\r\n", "", false, {}, 204},  // no body to wait for: the connection goes on
      {"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n<a>" + k26 + "</a>", "<a>" + k26 + "</a>", true, {}},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcEXTRA", "abc", true, {}},  // extra bytes are not body
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n1A\r\n" + k26 + "\r\n0\r\n\r\n", k26, false, {}},
      {kChunked + "\r\n3\r\nabc\r\na\r\n0123456789\r\n0\r\n\r\n", "abc0123456789", false, {}},
      // Trailer fields join the headers only when announced; either way the trailer is consumed whole.
      {kChunked + "Trailer: X-Sum\r\n\r\n2\r\nhi\r\n0\r\nX-Sum: 7\r\n\r\n", "hi", false, {{"X-Sum", "7"}}},
      {kChunked + "\r\n2\r\nhi\r\n0\r\nX-Sum: 7\r\n\r\n", "hi", false, {{"X-Sum", "<none>"}}},
      // Values of 1024 bytes and more are dropped, lines without a colon too; reading goes on.
      {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(1024, 'v') + "\r\nX-Under: " + std::string(1023, 'w') +
           "\r\nNoColonHere\r\nContent-Length: 3\r\n\r\nabc",
       "abc",
       false,
       {{"X-Long", "<none>"}, {"X-Under", std::string(1023, 'w')}, {"NoColonHere", "<none>"}}},
      {"HTTP/1.1 200 OK\r\nContent-Length: 30000\r\n\r\n" + large, large, false, {}},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {std::size_t(1), std::size_t(7), SIZE_MAX}) {
      Read r(c.bytes, piece);
      ASSERT_EQ(r.result, mes::HttpReadResult::Complete) << c.bytes << " / " << piece;
      EXPECT_EQ(r.reader.GetStatus(), c.status) << c.bytes;
      EXPECT_EQ(r.body, c.body) << c.bytes;
      // Bytes beyond the reply show only when they arrive with it.
      if (!c.spent || piece == SIZE_MAX) EXPECT_EQ(r.reader.ConnectionSpent(), c.spent) << c.bytes;
      for (const auto& [name, value] : c.headers) EXPECT_EQ(r.Header(name), value) << c.bytes;
    }
  }
  // A failing read (a time-out) ends a close-delimited body like the close does.
  Read timedOut("HTTP/1.1 200 OK\r\n\r\npartial", SIZE_MAX, {}, true);
  ASSERT_EQ(timedOut.result, mes::HttpReadResult::Complete);
  EXPECT_EQ(timedOut.body, "partial");
}

TEST(HttpResponseReader, MalformedRepliesFailCleanly) {
  const std::pair<std::string, mes::HttpReadResult> cases[] = {
      {"HTTP/1.1 OK\r\n\r\n", mes::HttpReadResult::StatusInvalid},
      {"HTTP/1.1 99999999999999 Big\r\n\r\n", mes::HttpReadResult::StatusInvalid},
      {"garbage garbage\r\n\r\n", mes::HttpReadResult::StatusInvalid},
      {"", mes::HttpReadResult::HeaderIncomplete},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n", mes::HttpReadResult::HeaderIncomplete},
      {"HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nabc", mes::HttpReadResult::BodyFailed},
      {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", mes::HttpReadResult::BodyFailed},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3, 3\r\n\r\nabc", mes::HttpReadResult::BodyFailed},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nabc", mes::HttpReadResult::BodyFailed},
      {kChunked + "\r\n1A;x=y\r\n" + k26, mes::HttpReadResult::ChunkedInvalid},        // chunk extension
      {kChunked + "\r\n1A\r\nabc", mes::HttpReadResult::ChunkedInvalid},               // data cut short
      {kChunked + "\r\n3\r\nabcX\r\n0\r\n\r\n", mes::HttpReadResult::ChunkedInvalid},  // no CR LF after the data
      {kChunked + "\r\nzz\r\n", mes::HttpReadResult::ChunkedInvalid},                  // not hexadecimal
      {kChunked + "\r\nFFFFFFFFFFFFFFFFFFFF\r\n" + k26, mes::HttpReadResult::ChunkedInvalid},  // overflowing size
      {kChunked + "\r\n7FFFFFFF\r\nabc", mes::HttpReadResult::ChunkedInvalid},                 // beyond the reply cap
  };
  for (const auto& [bytes, expected] : cases) {
    Read r(bytes);
    EXPECT_EQ(r.result, expected) << bytes;
    if (expected == mes::HttpReadResult::StatusInvalid) EXPECT_EQ(r.reader.GetStatus(), -1);
  }
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\n", SIZE_MAX, {}, true).result, mes::HttpReadResult::HeaderIncomplete);
  // A body shorter than announced fails, but the status and what arrived stay known.
  Read shortBody("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 100\r\n\r\n<partial");
  EXPECT_EQ(shortBody.result, mes::HttpReadResult::BodyFailed);
  EXPECT_EQ(shortBody.reader.GetStatus(), 500);
  EXPECT_EQ(shortBody.body, "<partial");
}

TEST(HttpResponseReader, RepliesOverTheCapFail) {
  mes::CHttpResponseReader::Limits small;
  small.maxResponseBytes = 10000;
  const struct {
    std::string bytes;
    std::size_t piece;
    mes::HttpReadResult result;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + std::string(20000, 'x'), SIZE_MAX,
       mes::HttpReadResult::BodyFailed},
      {"HTTP/1.1 200 OK\r\n\r\n" + std::string(20000, 'x'), 4096, mes::HttpReadResult::BodyFailed},
      {kChunked + "\r\n1F40\r\n" + std::string(8000, 'x') + "\r\n1F40\r\n" + std::string(8000, 'y') + "\r\n0\r\n\r\n",
       SIZE_MAX, mes::HttpReadResult::ChunkedInvalid},
      {"HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'h'), 512, mes::HttpReadResult::HeaderIncomplete},
      {"HTTP/1.1 200 OK\r\nContent-Length: 9000\r\n\r\n" + std::string(9000, 'x'), 1000, mes::HttpReadResult::Complete},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.bytes, c.piece, small).result, c.result) << c.bytes.substr(0, 40);
}

TEST(HttpResponseReader, ResetForgetsThePreviousResponse) {
  mes::CHttpResponseReader reader;
  CMemoryByteSource first("HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 1\r\n\r\nx");
  ASSERT_EQ(reader.ReadResponse(first, {}), mes::HttpReadResult::Complete);
  reader.Reset();
  EXPECT_EQ(std::tuple(reader.GetStatus(), reader.GetHeaders().size(), reader.GetBodyLength()),
            std::tuple(-1, std::size_t(0), std::size_t(0)));
}
