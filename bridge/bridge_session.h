// The bridge's answers: one session per connection of a browser extension. Every request that
// concerns the toolbar runs on a headless toolbar built from the installation's files, the same
// `ToolbarWindow` that the browser band and the hosts run, so a command, a search or the page
// language ends exactly as on the toolbar. The protocol is docs/browsers.md.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/uninstall.h"

namespace norvex::bridge {

// The protocol versions this bridge speaks.
inline constexpr int kMinProtocol = 1;
inline constexpr int kMaxProtocol = 1;

// The error codes of docs/browsers.md.
namespace error {
inline constexpr char kBadJson[] = "bad-json";
inline constexpr char kBadRequest[] = "bad-request";
inline constexpr char kUnknownType[] = "unknown-type";
inline constexpr char kUnknownId[] = "unknown-id";
inline constexpr char kProtocol[] = "protocol";
inline constexpr char kTooLarge[] = "too-large";
inline constexpr char kFailed[] = "failed";
inline constexpr char kOrigin[] = "origin";
inline constexpr char kFrameLength[] = "frame-length";
inline constexpr char kTruncated[] = "truncated";
}  // namespace error

// An error answer without a request to refer to (framing errors, a refused origin).
std::string ErrorMessage(std::string_view code, std::string_view message);

class BridgeSession {
 public:
  // `starter` starts the programs that commands start (the uninstall program); `platform` is
  // what `hello` reports ("linux", "windows").
  BridgeSession(storage::ProgramStarter& starter, std::string platform);
  ~BridgeSession();
  BridgeSession(const BridgeSession&) = delete;
  BridgeSession& operator=(const BridgeSession&) = delete;

  // Answers one message (the JSON text of a frame): appends the answers, in order, each a JSON
  // text of at most kMaxMessageBytes. Bad content gets an error answer; nothing here ends the
  // session.
  void Handle(std::string_view message, std::vector<std::string>& answers);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvex::bridge
