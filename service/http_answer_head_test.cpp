#include "service/http_answer_head.h"

#include <gtest/gtest.h>

#include <vector>

namespace norvex::service {
namespace {

AnswerHead Read(const std::vector<std::string>& lines) {
  AnswerHead head;
  for (const std::string& line : lines) ReadAnswerHeadLine(line, &head);
  return head;
}

struct FramingCase {
  const char* what;
  std::vector<std::string> lines;
  std::optional<uint64_t> length;
  bool chunked;
};

TEST(AnswerHead, FramingOfTheBody) {
  const std::vector<FramingCase> cases = {
      {"length", {"HTTP/1.0 200 OK\r\n", "Content-Length: 1234\r\n", "\r\n"}, 1234, false},
      {"length, any case and blanks", {"HTTP/1.1 200 OK", "content-LENGTH:\t 77 \r\n"}, 77, false},
      {"length repeated alike", {"HTTP/1.1 200 OK", "Content-Length: 5", "Content-Length: 5, 5"}, 5, false},
      {"lengths that differ", {"HTTP/1.1 200 OK", "Content-Length: 5", "Content-Length: 6"}, std::nullopt, false},
      {"length not a number", {"HTTP/1.1 200 OK", "Content-Length: 12a"}, std::nullopt, false},
      {"length negative", {"HTTP/1.1 200 OK", "Content-Length: -1"}, std::nullopt, false},
      {"length empty", {"HTTP/1.1 200 OK", "Content-Length:"}, std::nullopt, false},
      {"length too large", {"HTTP/1.1 200 OK", "Content-Length: 99999999999999999999999"}, std::nullopt, false},
      {"largest length", {"HTTP/1.1 200 OK", "Content-Length: 18446744073709551610"}, 18446744073709551610u, false},
      {"no length", {"HTTP/1.0 200 OK", "Connection: close"}, std::nullopt, false},
      {"chunked", {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}, std::nullopt, true},
      {"chunked, any case", {"HTTP/1.1 200 OK", "TRANSFER-encoding:  Chunked "}, std::nullopt, true},
      {"chunked after gzip", {"HTTP/1.1 200 OK", "Transfer-Encoding: gzip, chunked"}, std::nullopt, true},
      {"chunked over two headers", {"HTTP/1.1 200 OK", "Transfer-Encoding: gzip", "Transfer-Encoding: chunked"}, std::nullopt, true},
      {"gzip after chunked", {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked, gzip"}, std::nullopt, false},
      {"chunked overrides a length", {"HTTP/1.1 200 OK", "Content-Length: 10", "Transfer-Encoding: chunked"}, std::nullopt, true},
      {"other coding, length", {"HTTP/1.1 200 OK", "Content-Length: 10", "Transfer-Encoding: gzip"}, std::nullopt, false},
      {"chunked in an HTTP/1.0 answer", {"HTTP/1.0 200 OK", "Transfer-Encoding: chunked"}, std::nullopt, false},
      {"chunked in an HTTP/1.0 answer with a length", {"HTTP/1.0 200 OK", "Transfer-Encoding: chunked", "Content-Length: 3"}, std::nullopt, false},
      {"folded length", {"HTTP/1.1 200 OK", "Content-Length: 10", " 0"}, std::nullopt, false},
      {"folded coding", {"HTTP/1.1 200 OK", "Transfer-Encoding: gzip,", "\tchunked"}, std::nullopt, false},
      {"interim answer first", {"HTTP/1.1 100 Continue", "Content-Length: 3", "", "HTTP/1.1 200 OK", "Content-Length: 9"}, 9, false},
      {"interim answer's framing forgotten", {"HTTP/1.1 100 Continue", "Transfer-Encoding: chunked", "", "HTTP/1.1 200 OK"}, std::nullopt, false},
      {"header without colon", {"HTTP/1.1 200 OK", "Content-Length 10"}, std::nullopt, false},
      {"name with blank before the colon", {"HTTP/1.1 200 OK", "Content-Length : 10"}, std::nullopt, false},
  };
  for (const FramingCase& c : cases) {
    const BodyFraming framing = FramingOf(Read(c.lines));
    EXPECT_EQ(framing.length, c.length) << c.what;
    EXPECT_EQ(framing.chunked, c.chunked) << c.what;
  }
}

TEST(AnswerHead, StatusLines) {
  struct Case {
    std::string line;
    long status;
    bool http11;
  };
  const std::vector<Case> cases = {
      {"HTTP/1.0 200 OK\r\n", 200, false},
      {"HTTP/1.1 302 Found", 302, true},
      {"HTTP/1.1 404", 404, true},
      {"HTTP/2 200", 200, true},
      {"HTTP/1.1 200OK", 0, false},
      {"HTTP/1.1 20 OK", 0, false},
      {"http/1.1 200 OK", 0, false},
      {"HTTP/ 200 OK", 0, false},
      {"HTTP/1. 200 OK", 0, false},
      {"Status: 200", 0, false},
  };
  for (const Case& c : cases) {
    const AnswerHead head = Read({c.line});
    EXPECT_EQ(head.status, c.status) << c.line;
    EXPECT_EQ(head.http11, c.http11) << c.line;
  }
}

TEST(AnswerHead, Location) {
  EXPECT_EQ(Read({"HTTP/1.1 302 Found", "Location:  /new/a.zip \r\n"}).location, "/new/a.zip");
  EXPECT_EQ(Read({"HTTP/1.1 301 Moved", "LOCATION:http://h/x?y=1"}).location, "http://h/x?y=1");
  EXPECT_EQ(Read({"HTTP/1.1 301 Moved", "Location: http://h/a", " b"}).location, "http://h/a b");
  EXPECT_EQ(Read({"HTTP/1.1 301 Moved", "Location: /first", "Location: /second"}).location, "/second");
  EXPECT_EQ(Read({"HTTP/1.1 301 Moved", "Location: /a", "", "HTTP/1.1 200 OK"}).location, "");
  EXPECT_EQ(Read({"HTTP/1.1 301 Moved", "Content-Location: /c"}).location, "");
}

}  // namespace
}  // namespace norvex::service
