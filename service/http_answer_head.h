// What the head of an HTTP answer says about its status, a redirect's target and where its body
// ends, read line by line as an HTTP library hands the header lines over. Pure: the POSIX client
// feeds it libcurl's header lines, and the fuzz target feeds it anything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::service {

struct AnswerHead {
  long status = 0;            // of the last status line ("HTTP/1.1 200 OK"); 0 before one
  bool http11 = false;        // that status line names HTTP/1.1 or later
  std::string location;       // the Location header as sent, blanks around it cut
  // Content-Length: the value while every one given is the same number.
  std::optional<uint64_t> content_length;
  bool length_invalid = false;     // a Content-Length that is not a number, or two that differ
  bool transfer_encoding = false;  // a Transfer-Encoding header came
  bool chunked = false;            // ...and the last coding it names is "chunked"
  bool folded_framing = false;     // a framing header went on on a folded line
  char last_header = 0;            // the header the next folded line would go on: 'L', 'T', 'C'
};

// Takes one line of the head, with or without its line end. A status line starts a new answer
// (an interim 1xx answer may come before the real one) and forgets what the earlier one said.
// Header names are matched without regard to case; other headers and the empty line that ends
// the head change nothing.
void ReadAnswerHeadLine(std::string_view line, AnswerHead* head);

// How the body of the answer ends, as its head says.
struct BodyFraming {
  // The body is this many bytes: one Content-Length (or the same one repeated) and no
  // Transfer-Encoding, which would override it.
  std::optional<uint64_t> length;
  // The body comes in chunks and ends with the last chunk: Transfer-Encoding whose last coding
  // is "chunked", in an HTTP/1.1 answer (an HTTP/1.0 answer has no transfer codings).
  bool chunked = false;
};

// Neither length nor chunked: the body ends when the connection does, which a connection cut
// off looks like too; so also for a head whose framing headers contradict themselves.
BodyFraming FramingOf(const AnswerHead& head);

}  // namespace norvex::service
