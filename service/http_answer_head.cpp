#include "service/http_answer_head.h"

#include <algorithm>

namespace norvex::service {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "HTTP/1.1 200 OK": the version's digits and three digits of status. False for anything else.
bool ReadStatusLine(std::string_view line, AnswerHead* head) {
  constexpr std::string_view kPrefix = "HTTP/";
  if (line.substr(0, kPrefix.size()) != kPrefix) return false;
  size_t at = kPrefix.size();
  unsigned major = 0, minor = 0;
  if (at >= line.size() || !IsDigit(line[at])) return false;
  while (at < line.size() && IsDigit(line[at])) major = std::min(major * 10 + (line[at++] - '0'), 1000u);
  if (at < line.size() && line[at] == '.') {
    ++at;
    if (at >= line.size() || !IsDigit(line[at])) return false;
    while (at < line.size() && IsDigit(line[at])) minor = std::min(minor * 10 + (line[at++] - '0'), 1000u);
  }
  if (at >= line.size() || line[at] != ' ') return false;
  ++at;
  if (line.size() - at < 3 || !IsDigit(line[at]) || !IsDigit(line[at + 1]) || !IsDigit(line[at + 2]) ||
      (line.size() - at > 3 && line[at + 3] != ' ')) {
    return false;
  }
  *head = AnswerHead{};
  head->status = (line[at] - '0') * 100 + (line[at + 1] - '0') * 10 + (line[at + 2] - '0');
  head->http11 = major > 1 || (major == 1 && minor >= 1);
  return true;
}

// A Content-Length value: one number, or a list of the same number repeated.
void ReadContentLength(std::string_view value, AnswerHead* head) {
  for (;;) {
    const size_t comma = value.find(',');
    const std::string_view item = TrimBlanks(value.substr(0, comma));
    uint64_t number = 0;
    bool valid = !item.empty();
    for (const char c : item) {
      const uint64_t digit = static_cast<uint64_t>(c - '0');
      if (!IsDigit(c) || number > (UINT64_MAX - digit) / 10) {
        valid = false;
        break;
      }
      number = number * 10 + digit;
    }
    if (!valid || (head->content_length && *head->content_length != number)) {
      head->length_invalid = true;
    } else {
      head->content_length = number;
    }
    if (comma == std::string_view::npos) return;
    value.remove_prefix(comma + 1);
  }
}

// A Transfer-Encoding value: a list of codings; only the last one decides whether the body
// comes in chunks (a coding may carry parameters after ";").
void ReadTransferEncoding(std::string_view value, AnswerHead* head) {
  head->transfer_encoding = true;
  const size_t comma = value.rfind(',');
  std::string_view last = comma == std::string_view::npos ? value : value.substr(comma + 1);
  last = TrimBlanks(last.substr(0, last.find(';')));
  if (last.empty()) return;  // "gzip," : the last coding is still gzip
  head->chunked = EqualsNoCase(last, "chunked");
}

}  // namespace

void ReadAnswerHeadLine(std::string_view line, AnswerHead* head) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty()) return;
  if (ReadStatusLine(line, head)) return;
  if (IsBlank(line.front())) {
    // A folded line goes on with the header before it: for the headers that frame the body
    // that is too unusual to trust; a folded Location is taken whole.
    if (head->last_header == 'C' || head->last_header == 'T') head->folded_framing = true;
    if (head->last_header == 'L') {
      const std::string_view more = TrimBlanks(line);
      if (!more.empty()) head->location += (head->location.empty() ? "" : " ") + std::string(more);
    }
    return;
  }
  head->last_header = 0;
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = line.substr(0, colon);
  const std::string_view value = TrimBlanks(line.substr(colon + 1));
  if (EqualsNoCase(name, "location")) {
    head->location = std::string(value);
    head->last_header = 'L';
  } else if (EqualsNoCase(name, "content-length")) {
    ReadContentLength(value, head);
    head->last_header = 'C';
  } else if (EqualsNoCase(name, "transfer-encoding")) {
    ReadTransferEncoding(value, head);
    head->last_header = 'T';
  }
}

BodyFraming FramingOf(const AnswerHead& head) {
  BodyFraming framing;
  if (head.folded_framing) return framing;
  if (head.transfer_encoding) {
    // Transfer codings override any length; an HTTP/1.0 answer cannot have them at all.
    framing.chunked = head.chunked && head.http11;
    return framing;
  }
  if (!head.length_invalid) framing.length = head.content_length;
  return framing;
}

}  // namespace norvex::service
