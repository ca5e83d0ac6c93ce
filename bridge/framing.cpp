#include "bridge/framing.h"

#include <cstring>

namespace norvex::bridge {

uint32_t DecodeLength(const unsigned char bytes[4]) {
  uint32_t length = 0;
  std::memcpy(&length, bytes, sizeof length);
  return length;
}

bool FrameReader::ReadExactly(char* buffer, size_t size, size_t& got) {
  got = 0;
  while (got < size) {
    const size_t n = source_(buffer + got, size - got);
    if (n == 0) return false;
    got += n;
  }
  return true;
}

FrameStatus FrameReader::Next(std::string& message) {
  message.clear();
  unsigned char header[4];
  size_t got = 0;
  if (!ReadExactly(reinterpret_cast<char*>(header), sizeof header, got)) {
    return got == 0 ? FrameStatus::kEnd : FrameStatus::kTruncated;
  }
  lastLength_ = DecodeLength(header);
  if (lastLength_ == 0 || lastLength_ > kMaxMessageBytes) return FrameStatus::kBadLength;
  message.resize(lastLength_);
  if (!ReadExactly(message.data(), message.size(), got)) {
    message.resize(got);
    return FrameStatus::kTruncated;
  }
  return FrameStatus::kMessage;
}

std::string EncodeFrame(std::string_view message) {
  const uint32_t length = static_cast<uint32_t>(message.size());
  std::string frame(sizeof length, '\0');
  std::memcpy(frame.data(), &length, sizeof length);
  frame.append(message);
  return frame;
}

}  // namespace norvex::bridge
