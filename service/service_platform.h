// The seams through which the update service reaches its platform. The core holds every rule;
// an implementation of these interfaces only forwards to the system (Win32 or POSIX) and turns
// the system's failures into results. Paths are 8-bit strings; the core joins them with
// backslashes and the POSIX implementations read a backslash as a folder separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/file_names.h"
#include "service/crypto.h"

namespace norvex::service {

// Broken-down local time; fields that the platform could not give read -1 (second, minute,
// hour) or 0 (day, month, year).
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = -1, minute = -1, second = -1;
};

// A file being written from the front, closed when the object goes.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const char* data, size_t size) = 0;
  // Flushes and closes; false when anything written could not be stored.
  virtual bool Close() = 0;
};

class ServiceFileSystem {
 public:
  virtual ~ServiceFileSystem() = default;
  // Full path of the running program file; empty when the platform cannot tell.
  virtual std::string ProgramPath() = 0;
  virtual bool IsFolder(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Renames, replacing an existing target.
  virtual bool RenameReplacing(const std::string& from, const std::string& to) = 0;
  // Creates the file or cuts it to length 0; null when it cannot be opened.
  virtual std::unique_ptr<OutputFile> CreateOutput(const std::string& path) = 0;
  virtual bool ReadWhole(const std::string& path, std::string* bytes) = 0;
  // Appends one line of the update log as the platform's text streams write it. Refused
  // (false, nothing written, and *refusal saying why when refusal is given) when something
  // that is not the service's own log is in its place: the log or its folder is reached through
  // a link or reparse point, the log is not a plain file, has more than one name, is someone
  // else's or cannot be opened although it is there. False with *refusal empty when there is
  // no log to write (its folder is missing) or the write failed.
  virtual bool AppendLogLine(const std::string& path, const std::string& line,
                             std::string* refusal) = 0;
  // The first of folder, its files and its subfolders that someone other than an
  // administrator (on POSIX: than root and this user) can change; empty when there is none.
  virtual std::string FindChangeableByUsers(const std::string& folder) = 0;
  // The code page of the narrow paths that these functions take (Windows: the ANSI code page,
  // whose double-byte characters may end in the byte of "\\"); UTF-8 by default.
  virtual unsigned NarrowCodePage() { return kUtf8CodePage; }
};

// The platform's profile (INI) functions with their buffer rules.
class ProfileFiles {
 public:
  virtual ~ProfileFiles() = default;
  // Copies the value (or the default) into buffer, at most size - 1 characters and a NUL;
  // returns the number of characters copied.
  virtual size_t ReadString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback, char* buffer,
                            size_t size) = 0;
  // Copies the section names as NUL-terminated strings ended by an empty one; returns the
  // number of characters copied without the final NUL, size - 2 when the list was cut.
  virtual size_t ReadSectionNames(const std::string& file, char* buffer, size_t size) = 0;
  virtual bool WriteString(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& value) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // Milliseconds since the system started, 32 bits, wrapping.
  virtual uint32_t UptimeMs() = 0;
  // The system's clock: seconds since 1970-01-01 00:00:00 UTC.
  virtual int64_t UtcSeconds() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

// One HTTP GET request, already split into its parts by the core.
struct HttpRequest {
  bool secure = false;
  std::string host;
  uint16_t port = 80;
  std::string object;  // path with query
  std::string user_agent;
  std::string accept;
  uint32_t connect_timeout_ms = 30000;
  uint32_t stall_timeout_ms = 60000;  // no byte for this long ends the request as failed
  // The most body bytes handed to the sink: a longer body is cut off there, incomplete.
  uint64_t max_body_bytes = UINT64_MAX;
};

struct HttpResult {
  // Empty when the request procedure ran through; otherwise the step that failed
  // ("InternetConnect", "HttpOpenRequest", "HttpSendRequest", "HttpQueryInfo") and its code.
  std::string failed_step;
  long error_code = 0;
  long status = 0;
  // True when the body was read to its announced end (or to the end of the stream when the
  // server announced no length) without a transfer error or stall.
  bool body_complete = false;
  // True when the answer announced the length of its body (Content-Length).
  bool length_announced = false;
  // True when the body came in chunks (Transfer-Encoding: chunked) and ended with its last
  // chunk. Only a client that tells that from a chunked body cut off sets it (WinINet does
  // not: it ends both alike).
  bool last_chunk_seen = false;
  uint64_t body_bytes = 0;
  // The error code of every handle of the request that failed to close, in closing order.
  std::vector<long> close_errors;
  // The Location header of a redirect answer (3xx), as the server sent it; empty otherwise.
  std::string location;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Sends the request. With a sink and status 200 the body is streamed into it; a sink that
  // returns false ends the transfer as incomplete. Without a sink the body is not read.
  // Redirects are not followed (the caller decides whether to), no credentials of any kind
  // are sent (no automatic logon, no stored passwords) and no cookies are kept or sent.
  virtual HttpResult Get(const HttpRequest& request,
                         const std::function<bool(const char*, size_t)>* sink) = 0;
};

// Delayed moves and what the older platform family uses instead.
class FileMover {
 public:
  virtual ~FileMover() = default;
  // The platform identifier: 2 on the NT family (and on POSIX, which keeps a journal), 1 on the
  // older family, which alone takes the list file and run-once branch; 0 when unknown.
  virtual int PlatformId() = 0;
  // Records that source replaces destination at the next restart; false when refused.
  virtual bool MoveAtRestart(const std::string& source, const std::string& destination) = 0;
  // True when the platform can give the short form of path (so the file exists).
  virtual bool HasShortPath(const std::string& path, size_t buffer_size) = 0;
  // Sets the run-once value; false when the key could not be opened.
  virtual bool SetRunOnce(const std::string& value_name, const std::string& command) = 0;
};

// The archive library's six calls. A null handle (0) is a failed open.
class ArchiveLibrary {
 public:
  virtual ~ArchiveLibrary() = default;
  virtual int IsBusy() = 0;
  virtual uintptr_t Open(const std::string& archive_path, uint32_t mode) = 0;
  virtual int Close(uintptr_t archive) = 0;
  // 0 when an entry was found; its name is then stored in *name.
  virtual int FindFirst(uintptr_t archive, const std::string& wildcard, std::string* name) = 0;
  virtual int FindNext(uintptr_t archive, std::string* name) = 0;
  // 0 when the entry of the last find call was written below destination_folder.
  virtual int ExtractFound(uintptr_t archive, const std::string& file_name,
                           const std::string& destination_folder, uint32_t mode) = 0;
};

// Service states as the control manager numbers them.
enum ServiceState : uint32_t {
  kStopped = 1,
  kStartPending = 2,
  kStopPending = 3,
  kRunning = 4,
};

struct ServiceStatusRecord {
  uint32_t service_type = 0;
  uint32_t current_state = 0;
  uint32_t controls_accepted = 0;
  uint32_t win32_exit_code = 0;
  uint32_t service_exit_code = 0;
  uint32_t check_point = 0;
  uint32_t wait_hint = 0;
};

// An open service of the control manager; closed when the object goes.
class ManagedService {
 public:
  virtual ~ManagedService() = default;
  virtual bool SetDescription(const std::string& description) = 0;
  virtual bool QueryStatus(ServiceStatusRecord* status) = 0;
  virtual bool Start() = 0;
  // Sends the stop control; on success *status is the state that the service answered.
  virtual bool Stop(ServiceStatusRecord* status) = 0;
  virtual bool Delete() = 0;
};

enum class ServiceAccess : uint32_t {
  kAll = 0xF01FF,
  kExecute = 0x20000000,
  kDelete = 0x10000,
};

struct ServiceDefinition {
  std::string name, display_name;
  uint32_t type = 0x110;
  std::string command_line;  // program path as registered, quoted
};

// An open connection to the control manager; closed when the object goes.
class ServiceManagerSession {
 public:
  virtual ~ServiceManagerSession() = default;
  virtual std::unique_ptr<ManagedService> Create(const ServiceDefinition& definition) = 0;
  virtual std::unique_ptr<ManagedService> Open(const std::string& name, ServiceAccess access) = 0;
};

// The service side of the control manager: dispatcher, handler, status, event log.
class ServiceHost {
 public:
  virtual ~ServiceHost() = default;
  // Null when the manager cannot be reached.
  virtual std::unique_ptr<ServiceManagerSession> OpenManager() = 0;
  // Runs the dispatcher with one service; returns when the service has stopped. False, with
  // the platform's error code, when the process was not started by the manager.
  virtual bool RunDispatcher(const std::string& name, std::function<void()> service_main,
                             long* error_code) = 0;
  virtual bool RegisterControlHandler(const std::string& name,
                                      std::function<void(uint32_t control)> handler) = 0;
  virtual bool SetStatus(const ServiceStatusRecord& status) = 0;
  // Writes one error event with the given insertion strings; false when the source is missing.
  virtual bool ReportErrorEvent(const std::string& source, uint32_t event_id,
                                const std::vector<std::string>& strings) = 0;
  // The thread's last error code.
  virtual long LastError() = 0;
};

// Console output of the command line; the platform writes the bytes unchanged.
class Console {
 public:
  virtual ~Console() = default;
  virtual void Print(const std::string& text) = 0;
};

// Everything the service needs from its platform; the objects belong to the caller.
struct ServicePlatform {
  ServiceFileSystem* files = nullptr;
  ProfileFiles* profiles = nullptr;
  Clock* clock = nullptr;
  HttpClient* http = nullptr;
  FileMover* mover = nullptr;
  ArchiveLibrary* archive = nullptr;
  ServiceHost* host = nullptr;
  Console* console = nullptr;
  Crypto* crypto = nullptr;
};

}  // namespace norvex::service
