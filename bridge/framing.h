// The browsers' native messaging frames: a 32-bit length in the machine's byte order, then that
// many bytes of UTF-8 JSON. The reader takes its bytes from any source, so that the program's
// standard input, the tests and the fuzz target read frames the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace norvex::bridge {

// Largest message either way: the browsers refuse a larger one from a host, and we take no
// larger one from them.
inline constexpr uint32_t kMaxMessageBytes = 1024 * 1024;

enum class FrameStatus {
  kMessage,    // a whole message was read
  kEnd,        // the input ended between two messages: the normal end
  kBadLength,  // a length of 0 or over kMaxMessageBytes: nothing of the body was read
  kTruncated,  // the input ended inside the length or inside the body
};

// Reads up to `size` bytes into `buffer`; returns how many were read, 0 at the end of input.
// A source may return fewer bytes than asked before its end.
using ByteSource = std::function<size_t(char* buffer, size_t size)>;

class FrameReader {
 public:
  explicit FrameReader(ByteSource source) : source_(std::move(source)) {}

  // The next message into `message`. After any status but kMessage the reader is done: a bad
  // length leaves the stream out of step, so nothing after it can be trusted.
  FrameStatus Next(std::string& message);

  // The length of the last frame whose length was read (for the error of a bad length).
  uint32_t lastLength() const { return lastLength_; }

 private:
  // Reads exactly `size` bytes; false when the input ends first (`got` says how many came).
  bool ReadExactly(char* buffer, size_t size, size_t& got);

  ByteSource source_;
  uint32_t lastLength_ = 0;
};

// One frame: the length of `message` in the machine's byte order, then `message`. The caller
// keeps messages within kMaxMessageBytes.
std::string EncodeFrame(std::string_view message);

// The frame length's four bytes as the machine orders them.
uint32_t DecodeLength(const unsigned char bytes[4]);

}  // namespace norvex::bridge
