#include "bridge/framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace norvex::bridge {
namespace {

// A source over fixed bytes that gives at most `chunk` bytes per call, as a pipe may.
ByteSource Bytes(std::string data, size_t chunk = SIZE_MAX) {
  auto state = std::make_shared<std::pair<std::string, size_t>>(std::move(data), 0);
  return [state, chunk](char* buffer, size_t size) {
    const size_t n = std::min({size, chunk, state->first.size() - state->second});
    std::memcpy(buffer, state->first.data() + state->second, n);
    state->second += n;
    return n;
  };
}

std::string Length(uint32_t length) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &length, 4);
  return bytes;
}

TEST(Framing, EncodesTheLengthInTheMachinesOrderBeforeTheMessage) {
  const std::string frame = EncodeFrame("{\"a\":1}");
  ASSERT_EQ(frame.size(), 11u);
  EXPECT_EQ(frame.substr(0, 4), Length(7));
  EXPECT_EQ(frame.substr(4), "{\"a\":1}");
  const unsigned char bytes[4] = {0x0A, 0x0D, 0x1A, 0x00};
  uint32_t expected = 0;
  std::memcpy(&expected, bytes, 4);
  EXPECT_EQ(DecodeLength(bytes), expected);
}

// Lengths whose bytes are the ones a text-mode stream would change (LF, CR, Ctrl+Z, 0xFF).
TEST(Framing, MessagesOfEveryAwkwardLengthComeBackWhole) {
  const std::vector<size_t> lengths = {
      1, 10, 13, 26, 255, 256 + 10, 13 * 256 + 10, 0x0A0D, kMaxMessageBytes};
  for (const size_t chunk : {size_t(1), size_t(3), size_t(SIZE_MAX)}) {
    std::string stream;
    std::vector<std::string> messages;
    for (const size_t length : lengths) {
      std::string message(length, 'x');
      for (size_t i = 0; i < length; i += 7) message[i] = static_cast<char>("\n\r\x1a\xff"[i % 4]);
      messages.push_back(message);
      stream += EncodeFrame(message);
    }
    if (chunk == 1) {
      // One byte per read for the small ones only: a mebibyte a byte at a time is slow.
      stream = EncodeFrame(messages[0]) + EncodeFrame(messages[1]) + EncodeFrame(messages[2]);
      messages.resize(3);
    }
    FrameReader reader(Bytes(stream, chunk));
    for (const std::string& expected : messages) {
      std::string message;
      ASSERT_EQ(reader.Next(message), FrameStatus::kMessage) << expected.size();
      EXPECT_EQ(message, expected);
    }
    std::string rest;
    EXPECT_EQ(reader.Next(rest), FrameStatus::kEnd);
  }
}

TEST(Framing, BadAndBrokenFramesAreTold) {
  struct Case {
    const char* name;
    std::string input;
    FrameStatus status;
    uint32_t length;
  };
  const Case cases[] = {
      {"nothing at all", "", FrameStatus::kEnd, 0},
      {"half a length", std::string("\x05\x00", 2), FrameStatus::kTruncated, 0},
      {"three bytes of a length", std::string("\x05\x00\x00", 3), FrameStatus::kTruncated, 0},
      {"a length of 0", Length(0) + "{}", FrameStatus::kBadLength, 0},
      {"one byte over the limit", Length(kMaxMessageBytes + 1), FrameStatus::kBadLength,
       kMaxMessageBytes + 1},
      {"the largest length", Length(0xFFFFFFFF), FrameStatus::kBadLength, 0xFFFFFFFF},
      {"a body cut short", Length(10) + "{\"a\":", FrameStatus::kTruncated, 10},
      {"a length without a body", Length(2), FrameStatus::kTruncated, 2},
  };
  for (const Case& c : cases) {
    FrameReader reader(Bytes(c.input));
    std::string message;
    EXPECT_EQ(reader.Next(message), c.status) << c.name;
    EXPECT_EQ(reader.lastLength(), c.length) << c.name;
  }
}

TEST(Framing, AMessageAfterAGoodOneIsStillRead) {
  FrameReader reader(Bytes(EncodeFrame("{}") + Length(3) + "[1"));
  std::string message;
  EXPECT_EQ(reader.Next(message), FrameStatus::kMessage);
  EXPECT_EQ(message, "{}");
  EXPECT_EQ(reader.Next(message), FrameStatus::kTruncated);
  EXPECT_EQ(message, "[1");
}

}  // namespace
}  // namespace norvex::bridge
