// The head of an HTTP answer comes from whatever server an address (or a redirect) leads to.
// Whatever its lines: reading never fails, the framing it gives is one of length, chunked or
// none and never contradicts the head, and an answer read twice over (a second status line
// starts afresh) reads as once.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "service/http_answer_head.h"

using norvex::service::AnswerHead;
using norvex::service::BodyFraming;
using norvex::service::FramingOf;
using norvex::service::ReadAnswerHeadLine;

namespace {

// The lines as an HTTP library hands them over: each with its line end.
std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const size_t n = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, n));
    text.remove_prefix(n);
  }
  return lines;
}

bool Same(const AnswerHead& a, const AnswerHead& b) {
  return a.status == b.status && a.http11 == b.http11 && a.location == b.location &&
         a.content_length == b.content_length && a.length_invalid == b.length_invalid &&
         a.transfer_encoding == b.transfer_encoding && a.chunked == b.chunked &&
         a.folded_framing == b.folded_framing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> lines = LinesOf(text);
  AnswerHead head;
  for (const std::string_view line : lines) ReadAnswerHeadLine(line, &head);
  const BodyFraming framing = FramingOf(head);

  if (head.status < 0 || head.status > 999) std::abort();
  if (framing.length && framing.chunked) std::abort();
  if (framing.chunked && !(head.transfer_encoding && head.chunked && head.http11)) std::abort();
  if (framing.length &&
      (head.transfer_encoding || head.length_invalid || head.folded_framing ||
       framing.length != head.content_length)) {
    std::abort();
  }
  if (!head.location.empty() &&
      (head.location.front() == ' ' || head.location.back() == ' ' ||
       head.location.back() == '\n')) {
    std::abort();
  }

  // Read twice over: when the first line is a status line, the second answer replaces the
  // first entirely.
  AnswerHead first;
  if (!lines.empty()) ReadAnswerHeadLine(lines.front(), &first);
  if (first.status != 0) {
    AnswerHead twice;
    for (int round = 0; round < 2; ++round) {
      for (const std::string_view line : lines) ReadAnswerHeadLine(line, &twice);
      ReadAnswerHeadLine("\r\n", &twice);
    }
    if (!Same(twice, head)) std::abort();
  }
  return 0;
}
