// The update log on POSIX: a file that another user made, or a FIFO, in its place is not
// written (and does not hold the service up).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "service/platform_factory.h"
#include "tests/test_support.h"

namespace norvex::service {
namespace {

namespace fs = std::filesystem;

TEST(UpdateLogPosix, FileOfAnotherUserOrAFifoIsNotWritten) {
  test::TempFolder temp;
  auto files = CreateNativeFileSystem();
  const fs::path fifo = temp.path() / "fifo.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  std::string refusal;
  EXPECT_FALSE(files->AppendLogLine(fifo.string(), "line\r\n", &refusal));
  EXPECT_EQ(refusal, "it is not a plain file");

  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const fs::path foreign = temp.path() / "foreign.txt";
  std::ofstream(foreign) << "theirs";
  ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
  EXPECT_FALSE(files->AppendLogLine(foreign.string(), "line\r\n", &refusal));
  EXPECT_EQ(refusal, "it belongs to user 65534");
  std::ifstream in(foreign);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "theirs");
}

}  // namespace
}  // namespace norvex::service
