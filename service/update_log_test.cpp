// The update log through the system's files: appended line by line, never written through a
// link that someone put in its place or in place of its folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "service/file_replacement.h"
#include "service/http_download.h"
#include "service/platform_factory.h"
#include "service/tests/file_access.h"
#include "service/tests/service_fakes.h"
#include "service/update_pass.h"
#include "tests/test_support.h"

namespace norvex::service {
namespace {

namespace fs = std::filesystem;

class UpdateLog : public ::testing::Test {
 protected:
  UpdateLog() : files_(CreateNativeFileSystem()) {
    fs::create_directories(temp_.path() / "Temp");
    fs::create_directories(temp_.path() / "elsewhere");
    std::ofstream(Victim(), std::ios::binary) << "precious";
  }
  ~UpdateLog() override {
    // Links first: removing the folder must not follow them.
    for (const std::string& link : links_) testing::RemoveSymbolicLink(link);
  }
  bool Link(const fs::path& target, const fs::path& link) {
    links_.push_back(link.string());
    return testing::MakeSymbolicLink(target.string(), link.string());
  }
  std::string Log() const { return (temp_.path() / "Temp" / "LiveUpdateLog.txt").string(); }
  fs::path Victim() const { return temp_.path() / "elsewhere" / "victim.txt"; }

  test::TempFolder temp_;
  std::unique_ptr<ServiceFileSystem> files_;
  std::vector<std::string> links_;
};

TEST_F(UpdateLog, AppendsLinesToANewOrItsOwnFile) {
  std::string refusal = "none yet";
  EXPECT_TRUE(files_->AppendLogLine(Log(), "first\r\n", &refusal));
  EXPECT_EQ(refusal, "");
  EXPECT_TRUE(files_->AppendLogLine(Log(), "second\r\n", nullptr));
  const std::string text = test::ReadBytes(Log());
  EXPECT_EQ(text.find("first\r"), 0u) << text;
  EXPECT_NE(text.find("second\r"), std::string::npos) << text;
  EXPECT_EQ(text.back(), '\n');
}

TEST_F(UpdateLog, MissingFolderIsNotMade) {
  const std::string log = (temp_.path() / "none" / "LiveUpdateLog.txt").string();
  std::string refusal;
  EXPECT_FALSE(files_->AppendLogLine(log, "line\r\n", &refusal));
  EXPECT_EQ(refusal, "") << "no log is not a refused one";
  EXPECT_FALSE(fs::exists(temp_.path() / "none"));
}

TEST_F(UpdateLog, HardLinkToAnotherFileIsNotWritten) {
  fs::create_hard_link(Victim(), Log());
  std::string refusal;
  EXPECT_FALSE(files_->AppendLogLine(Log(), "line\r\n", &refusal));
  EXPECT_EQ(refusal, "it has more than one name (a hard link)");
  EXPECT_EQ(test::ReadBytes(Victim()), "precious");
}

TEST_F(UpdateLog, SymbolicLinkInPlaceOfTheLogIsNotFollowed) {
  ASSERT_TRUE(Link(Victim(), Log()));
  std::string refusal;
  EXPECT_FALSE(files_->AppendLogLine(Log(), "line\r\n", &refusal));
  EXPECT_NE(refusal, "");
  EXPECT_EQ(test::ReadBytes(Victim()), "precious");
  // Nor one that leads to a file still to be made.
  const fs::path made = temp_.path() / "elsewhere" / "made.txt";
  const fs::path log = temp_.path() / "Temp" / "Other.txt";
  std::ofstream(made) << "for the link to be seen";
  ASSERT_TRUE(Link(made, log));
  fs::remove(made);
  EXPECT_FALSE(files_->AppendLogLine(log.string(), "line\r\n", nullptr));
  EXPECT_FALSE(fs::exists(made));
}

TEST_F(UpdateLog, FolderThatIsALinkIsNotFollowed) {
  const fs::path linked = temp_.path() / "linked";
  ASSERT_TRUE(Link(temp_.path() / "elsewhere", linked));
  std::string refusal;
  EXPECT_FALSE(files_->AppendLogLine((linked / "victim.txt").string(), "line\r\n", &refusal));
  EXPECT_NE(refusal, "");
  EXPECT_FALSE(files_->AppendLogLine((linked / "new.txt").string(), "line\r\n", nullptr));
  EXPECT_EQ(test::ReadBytes(Victim()), "precious");
  EXPECT_FALSE(fs::exists(temp_.path() / "elsewhere" / "new.txt"));
}

// A user who puts a file of their own in the log's place turns the log off: the service says
// so through the system's log, once in each pass, and leaves the file alone.
TEST(UpdateLogRefusal, ReportedThroughTheSystemLogOncePerPass) {
  testing::ServiceFixture f;
  testing::EventLogHost host;
  f.platform.host = &host;
  const fs::path theirs = f.At("theirs.txt");
  std::ofstream(theirs, std::ios::binary) << "theirs";
  fs::create_hard_link(theirs, f.LogPath());
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files);
  FileReplacer replacer(files);
  UpdatePass pass(files, http, replacer, "http://127.0.0.1:9/toolbar/bin/liveupdate.ini");
  EXPECT_FALSE(pass.RunUpdatePass());  // the manifest is not found: several lines
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0].source, "LiveUpdateService");
  EXPECT_EQ(host.events[0].id, 0xC0020001u);
  EXPECT_EQ(host.events[0].strings,
            (std::vector<std::string>{"LiveUpdateService",
                                      "The update log " + f.LogPath() +
                                          " is not written: it has more than one name (a hard "
                                          "link). Remove it; the service makes its own."}));
  EXPECT_FALSE(pass.RunUpdatePass());
  EXPECT_EQ(host.events.size(), 2u);
  EXPECT_EQ(test::ReadBytes(theirs), "theirs");

  // Removed: the service makes its own log again, and reports nothing.
  fs::remove(f.LogPath());
  EXPECT_FALSE(pass.RunUpdatePass());
  EXPECT_EQ(host.events.size(), 2u);
  EXPECT_EQ(f.LogMessages().front(), "Start live update");
  // No folder for the log at all is no refusal either.
  fs::remove_all(f.At("log"));
  EXPECT_FALSE(pass.RunUpdatePass());
  EXPECT_EQ(host.events.size(), 2u);
}

}  // namespace
}  // namespace norvex::service
