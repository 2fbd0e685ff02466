// The response reader on canned byte streams: framing, header rules, interim
// replies and every way a malformed reply must fail cleanly.
#include <gtest/gtest.h>

#include <string>

#include "mes/HttpResponseReader.h"
#include "tests/support/MemoryByteSource.h"

using testsupport::CMemoryByteSource;

namespace {

struct Read {
  CHttpResponseReader reader;
  HttpReadResult result;
  std::string body;

  explicit Read(std::string bytes, std::size_t piece = SIZE_MAX, CHttpResponseReader::Limits limits = {}, bool failAtEnd = false) {
    CMemoryByteSource source(std::move(bytes), piece, failAtEnd);
    result = reader.ReadResponse(source, limits);
    body.assign(reader.GetBody(), reader.GetBodyLength());
  }
  std::string Header(const char* name) const {
    std::string v;
    return reader.GetHeader(name, v) ? v : "<none>";
  }
};

const std::string k26 = "abcdefghijklmnopqrstuvwxyz";

}  // namespace

TEST(HttpResponseReader, ContentLengthBodyArrivingOneByteAtATime) {
  for (std::size_t piece : {std::size_t(1), std::size_t(7), SIZE_MAX}) {
    Read r("HTTP/1.1 200 OK\r\nContent-Length: 26\r\nContent-Type: text/xml\r\n\r\n" + k26, piece);
    ASSERT_EQ(r.result, HttpReadResult::Complete) << piece;
    EXPECT_EQ(r.reader.GetStatus(), 200);
    EXPECT_EQ(r.body, k26);
    EXPECT_EQ(r.Header("content-type"), "text/xml");   // names compare without case
    EXPECT_FALSE(r.reader.ConnectionSpent());
  }
}

TEST(HttpResponseReader, InterimContinueRepliesArePassedOver) {
  Read r("HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n"
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_EQ(r.reader.GetStatus(), 200);
  EXPECT_EQ(r.body, "ok");
  EXPECT_EQ(r.Header("X-Interim"), "<none>");   // the interim reply's headers are forgotten
}

TEST(HttpResponseReader, ZeroContentLengthIsAnEmptyCompleteBody) {
  Read r("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_EQ(r.reader.GetBodyLength(), 0u);
}

TEST(HttpResponseReader, BodyWithoutLengthRunsToTheClose) {
  Read r("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n<a>" + k26 + "</a>", 5);
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_EQ(r.body, "<a>" + k26 + "</a>");
  EXPECT_TRUE(r.reader.ConnectionSpent());
  // A failing read (a time-out) ends such a body the same way.
  Read t("HTTP/1.1 200 OK\r\n\r\npartial", SIZE_MAX, {}, true);
  ASSERT_EQ(t.result, HttpReadResult::Complete);
  EXPECT_EQ(t.body, "partial");
}

TEST(HttpResponseReader, ChunkedBodyIsDecoded) {
  for (std::size_t piece : {std::size_t(1), std::size_t(3), SIZE_MAX}) {
    Read r("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n1A\r\n" + k26 + "\r\n0\r\n\r\n", piece);
    ASSERT_EQ(r.result, HttpReadResult::Complete) << piece;
    EXPECT_EQ(r.body, k26);
    EXPECT_FALSE(r.reader.ConnectionSpent());
    // The buffer holds the header block followed by the decoded data.
    const std::string all(r.reader.GetBuffer().Data(), r.reader.GetBuffer().Size());
    EXPECT_EQ(all, "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n" + k26);
  }
  Read several("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\na\r\n0123456789\r\n0\r\n\r\n");
  ASSERT_EQ(several.result, HttpReadResult::Complete);
  EXPECT_EQ(several.body, "abc0123456789");
}

TEST(HttpResponseReader, ChunkedTrailerFieldsJoinTheHeadersOnlyWhenAnnounced) {
  Read announced("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Sum\r\n\r\n2\r\nhi\r\n0\r\nX-Sum: 7\r\n\r\n");
  ASSERT_EQ(announced.result, HttpReadResult::Complete);
  EXPECT_EQ(announced.body, "hi");
  EXPECT_EQ(announced.Header("X-Sum"), "7");
  Read silent("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhi\r\n0\r\nX-Sum: 7\r\n\r\n");
  ASSERT_EQ(silent.result, HttpReadResult::Complete);
  EXPECT_EQ(silent.Header("X-Sum"), "<none>");
  EXPECT_FALSE(silent.reader.ConnectionSpent());   // the trailer was consumed whole
}

TEST(HttpResponseReader, MalformedChunkedBodiesFail) {
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const char* bodies[] = {
      "1A;x=y\r\n",                                   // chunk extension
      "1A\r\nabc",                                    // data cut short
      "3\r\nabcX\r\n0\r\n\r\n",                       // no CR LF after the data
      "\r\nabc\r\n0\r\n\r\n",                         // no size at all
      "zz\r\n",                                       // not hexadecimal
      "3\nabc\r\n0\r\n\r\n",                          // bare LF after the size
      "FFFFFFFFFFFFFFFFFFFF\r\n",                     // overflowing size
      "7FFFFFFF\r\nabc",                              // size beyond the reply cap
      "",                                             // closed before any chunk
  };
  for (const char* body : bodies) {
    Read r(head + body + std::string(k26));
    EXPECT_EQ(r.result, HttpReadResult::ChunkedInvalid) << body;
    EXPECT_EQ(r.reader.GetStatus(), 200);
  }
}

TEST(HttpResponseReader, RepeatedHeadersAreJoinedWithComma) {
  Read r("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Length: 0\r\nset-cookie: b=2\r\n\r\n");
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_EQ(r.Header("Set-Cookie"), "a=1,b=2");
  EXPECT_EQ(r.reader.GetHeaders().size(), 2u);
}

TEST(HttpResponseReader, OversizedNamesAndValuesAreDroppedAndReadingGoesOn) {
  const std::string longValue(1024, 'v');
  const std::string justUnder(1023, 'w');
  const std::string longName(1024, 'N');
  Read r("HTTP/1.1 200 OK\r\nX-Long: " + longValue + "\r\nX-Under: " + justUnder + "\r\n" + longName +
         ": 1\r\nNoColonHere\r\nContent-Length: 3\r\n\r\nabc");
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_EQ(r.Header("X-Long"), "<none>");
  EXPECT_EQ(r.Header("X-Under"), justUnder);
  EXPECT_EQ(r.Header(longName.c_str()), "<none>");
  EXPECT_EQ(r.body, "abc");
  EXPECT_EQ(r.reader.GetHeaders().size(), 2u);
}

TEST(HttpResponseReader, ContinuationLinesStayInTheValue) {
  Read r("HTTP/1.1 200 OK\r\nX-Folded:   first\r\n  second\r\n\tthird  \r\nContent-Length: 0\r\n\r\n");
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_EQ(r.Header("X-Folded"), "first\r\n  second\r\n\tthird  ");
}

TEST(HttpResponseReader, InvalidStatusLinesFail) {
  for (const char* reply : {"HTTP/1.1 OK\r\n\r\n", "HTTP/1.1\r\n\r\n", "HTTP/1.1 99999999999999 Big\r\n\r\n",
                            "\r\n\r\n", "garbage garbage\r\n\r\n"}) {
    Read r(reply);
    EXPECT_EQ(r.result, HttpReadResult::StatusInvalid) << reply;
    EXPECT_EQ(r.reader.GetStatus(), -1);
  }
}

TEST(HttpResponseReader, HeaderBlockCutOffFails) {
  Read closed("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n");
  EXPECT_EQ(closed.result, HttpReadResult::HeaderIncomplete);
  Read failed("HTTP/1.1 200 OK\r\n", SIZE_MAX, {}, true);
  EXPECT_EQ(failed.result, HttpReadResult::HeaderIncomplete);
  Read nothing("");
  EXPECT_EQ(nothing.result, HttpReadResult::HeaderIncomplete);
}

TEST(HttpResponseReader, BodyShorterThanAnnouncedFails) {
  Read r("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 100\r\n\r\n<partial");
  EXPECT_EQ(r.result, HttpReadResult::BodyFailed);
  EXPECT_EQ(r.reader.GetStatus(), 500);   // the status stays known
  EXPECT_EQ(r.body, "<partial");          // and so does what arrived
}

TEST(HttpResponseReader, UnreadableContentLengthFails) {
  for (const char* value : {"abc", "-5", "", "3, 3", "99999999999999999999999"}) {
    Read r(std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + value + "\r\n\r\nabc");
    EXPECT_EQ(r.result, HttpReadResult::BodyFailed) << value;
  }
}

TEST(HttpResponseReader, BytesBeyondTheAnnouncedLengthAreNotBody) {
  Read r("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcEXTRA");
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_EQ(r.body, "abc");
  EXPECT_TRUE(r.reader.ConnectionSpent());
}

TEST(HttpResponseReader, RepliesOverTheCapFail) {
  CHttpResponseReader::Limits small;
  small.maxResponseBytes = 10000;
  Read big("HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + std::string(20000, 'x'), SIZE_MAX, small);
  EXPECT_EQ(big.result, HttpReadResult::BodyFailed);
  Read close("HTTP/1.1 200 OK\r\n\r\n" + std::string(20000, 'x'), 4096, small);
  EXPECT_EQ(close.result, HttpReadResult::BodyFailed);
  Read chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string("1F40\r\n") +
               std::string(8000, 'x') + "\r\n1F40\r\n" + std::string(8000, 'y') + "\r\n0\r\n\r\n", SIZE_MAX, small);
  EXPECT_EQ(chunked.result, HttpReadResult::ChunkedInvalid);
  Read endless("HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'h'), 512, small);
  EXPECT_EQ(endless.result, HttpReadResult::HeaderIncomplete);
  Read fits("HTTP/1.1 200 OK\r\nContent-Length: 9000\r\n\r\n" + std::string(9000, 'x'), 1000, small);
  EXPECT_EQ(fits.result, HttpReadResult::Complete);
  EXPECT_EQ(fits.reader.GetBodyLength(), 9000u);
}

TEST(HttpResponseReader, LargeBodyMovesTheBufferToTheHeapIntact) {
  std::string body;
  for (int i = 0; i < 30000; ++i) body += static_cast<char>('a' + i % 26);
  Read r("HTTP/1.1 200 OK\r\nContent-Length: 30000\r\n\r\n" + body, 1500);
  ASSERT_EQ(r.result, HttpReadResult::Complete);
  EXPECT_TRUE(r.reader.GetBuffer().IsOnHeap());
  EXPECT_EQ(r.body, body);
  EXPECT_EQ(r.reader.GetBuffer().Data()[r.reader.GetBuffer().Size()], '\0');
  Read small("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi");
  EXPECT_FALSE(small.reader.GetBuffer().IsOnHeap());
}

TEST(HttpResponseReader, NoBodyStatusesDoNotWaitForOne) {
  for (const char* reply : {"HTTP/1.1 204 No Content\r\n\r\n", "HTTP/1.1 304 Not Modified\r\n\r\n"}) {
    CMemoryByteSource source(reply, SIZE_MAX, true);   // any further read would fail
    CHttpResponseReader reader;
    EXPECT_EQ(reader.ReadResponse(source, {}), HttpReadResult::Complete) << reply;
    EXPECT_EQ(reader.GetBodyLength(), 0u);
  }
}

TEST(HttpResponseReader, ResetForgetsThePreviousResponse) {
  CHttpResponseReader reader;
  CMemoryByteSource first("HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 1\r\n\r\nx");
  ASSERT_EQ(reader.ReadResponse(first, {}), HttpReadResult::Complete);
  reader.Reset();
  EXPECT_EQ(reader.GetStatus(), -1);
  EXPECT_TRUE(reader.GetHeaders().empty());
  EXPECT_EQ(reader.GetBodyLength(), 0u);
  CMemoryByteSource second("HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno");
  ASSERT_EQ(reader.ReadResponse(second, {}), HttpReadResult::Complete);
  EXPECT_EQ(reader.GetStatus(), 404);
  EXPECT_EQ(std::string(reader.GetBody(), reader.GetBodyLength()), "no");
}
