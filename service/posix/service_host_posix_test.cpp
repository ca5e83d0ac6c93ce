// The service-manager stand-in in folders that someone else prepared: a state or service folder
// that others may write, that belongs to someone else or that is a link is refused before
// anything in it is read or run, and links planted in a folder are never written through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "service/posix/folder_trust_posix.h"
#include "service/posix/service_host_posix.h"
#include "tests/test_support.h"

namespace norvex::service::posix {
namespace {

namespace fs = std::filesystem;

struct stat Stat(mode_t type_and_mode, uid_t owner = 0, gid_t group = 0) {
  struct stat info {};
  info.st_mode = type_and_mode;
  info.st_uid = owner;
  info.st_gid = group;
  return info;
}

TEST(StateFolderRule, OnlyAFolderOfRootsThatNoOneElseMayWrite) {
  const uid_t stranger = ::geteuid() == 65534 ? 65533 : 65534;
  const struct {
    struct stat info;
    bool taken;
  } cases[] = {
      {Stat(S_IFDIR | 0755), true},
      {Stat(S_IFDIR | 0700), true},
      {Stat(S_IFDIR | 0777), false},
      {Stat(S_IFDIR | 01777), false},  // sticky does not make it ours
      {Stat(S_IFDIR | 0775), false},   // even root's group
      {Stat(S_IFDIR | 0757), false},
      {Stat(S_IFDIR | 0755, stranger), false},
      {Stat(S_IFLNK | 0777), false},
      {Stat(S_IFREG | 0644), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StateFolderRefusal(c.info).empty(), c.taken)
        << std::oct << c.info.st_mode << " uid " << std::dec << c.info.st_uid;
  }
}

TEST(ParentFolderRule, NoOneElseMayReplaceAnEntry) {
  const uid_t stranger = ::geteuid() == 65534 ? 65533 : 65534;
  const gid_t other_group = ::getegid() == 4242 ? 4243 : 4242;
  const struct {
    struct stat info;
    bool replaceable;
  } cases[] = {
      {Stat(S_IFDIR | 0755), false},
      {Stat(S_IFDIR | 01777), false},  // /tmp: others keep to their own entries
      {Stat(S_IFDIR | 0777), true},
      {Stat(S_IFDIR | 0757), true},
      {Stat(S_IFDIR | 0775, 0, 0), false},
      {Stat(S_IFDIR | 0775, 0, other_group), true},
      {Stat(S_IFDIR | 0755, stranger), true},
      {Stat(S_IFDIR | 01777, stranger), true},
      {Stat(S_IFLNK | 0777), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LetsUsersReplaceEntries(c.info), c.replaceable)
        << std::oct << c.info.st_mode << " uid " << std::dec << c.info.st_uid << " gid "
        << c.info.st_gid;
  }
}

TEST(ParentFolderRule, FindsTheFirstReplaceableFolderAbove) {
  test::TempFolder temp;
  const fs::path deep = temp.path() / "a" / "b" / "c";
  fs::create_directories(deep);
  for (const fs::path& folder : {temp.path() / "a", temp.path() / "a" / "b", deep}) {
    fs::permissions(folder, fs::perms(0755));
  }
  EXPECT_EQ(FindReplaceableParent((deep / "quorvel").string()), "");
  fs::permissions(temp.path() / "a", fs::perms(0777));
  EXPECT_EQ(FindReplaceableParent((deep / "quorvel").string()), (temp.path() / "a").string());
  fs::permissions(temp.path() / "a", fs::perms(01777));
  EXPECT_EQ(FindReplaceableParent((deep / "quorvel").string()), "");
}

// A stand-in state folder in a temporary folder, and a program that leaves a mark when run.
class StandInFolders : public ::testing::Test {
 protected:
  StandInFolders() {
    ::umask(022);
    state_ = temp_.path() / "state";
    program_ = temp_.path() / "program.sh";
    mark_ = temp_.path() / "ran";
    std::ofstream(program_) << "#!/bin/sh\necho ran > '" << mark_.string() << "'\n";
    fs::permissions(program_, fs::perms(0755));
    victim_ = temp_.path() / "root-only.txt";
    std::ofstream(victim_) << "precious";
    fs::permissions(victim_, fs::perms(0600));
  }
  // What a user who came first leaves behind: the service's folder with a command line of theirs.
  void PrepareServiceFolder(const fs::path& folder) {
    fs::create_directories(folder);
    std::ofstream(folder / "config") << "\"" << program_.string() << "\"\nLiveUpdateService\n272\n";
  }
  // Runs what the administrator's "quorvel /start" runs; true when the manager took the folder.
  bool StartService(PosixServiceHost& host) {
    auto manager = host.OpenManager();
    if (!manager) return false;
    if (auto service = manager->Open("LiveUpdateService", ServiceAccess::kAll)) service->Start();
    return true;
  }
  // What "quorvel /install" does; true when the service was registered.
  bool Install(PosixServiceHost& host) {
    auto manager = host.OpenManager();
    if (!manager) return false;
    return manager->Create({"LiveUpdateService", "LiveUpdateService", 0x110, "\"/opt/q\""}) !=
           nullptr;
  }

  test::TempFolder temp_;
  fs::path state_, program_, mark_, victim_;
};

TEST_F(StandInFolders, StateFolderThatOthersPreparedIsRefused) {
  const bool root = ::geteuid() == 0;
  const struct {
    const char* what;
    std::function<void(const fs::path& state)> prepare;
  } cases[] = {
      {"state folder open to everyone (0777)",
       [&](const fs::path& state) {
         PrepareServiceFolder(state / "LiveUpdateService");
         fs::permissions(state, fs::perms(0777));
       }},
      {"state folder that its group may write (0775)",
       [&](const fs::path& state) {
         PrepareServiceFolder(state / "LiveUpdateService");
         fs::permissions(state, fs::perms(0775));
       }},
      {"state folder that is a link to a folder of the user's",
       [&](const fs::path& state) {
         const fs::path theirs = temp_.path() / "theirs";
         PrepareServiceFolder(theirs / "LiveUpdateService");
         fs::create_directory_symlink(theirs, state);
       }},
      {"service folder open to everyone inside a good state folder",
       [&](const fs::path& state) {
         PrepareServiceFolder(state / "LiveUpdateService");
         fs::permissions(state / "LiveUpdateService", fs::perms(0777));
       }},
      {"service folder that is a link to a folder of the user's",
       [&](const fs::path& state) {
         fs::create_directories(state);
         const fs::path theirs = temp_.path() / "theirs";
         PrepareServiceFolder(theirs);
         fs::create_directory_symlink(theirs, state / "LiveUpdateService");
       }},
      {"state folder of another user (root only)",
       [&](const fs::path& state) {
         PrepareServiceFolder(state / "LiveUpdateService");
         if (root) {
           ASSERT_EQ(::chown(state.c_str(), 65534, 65534), 0);
         }
       }},
      {"service folder of another user (root only)",
       [&](const fs::path& state) {
         PrepareServiceFolder(state / "LiveUpdateService");
         if (root) {
           ASSERT_EQ(::chown((state / "LiveUpdateService").c_str(), 65534, 65534), 0);
         }
       }},
  };
  for (const auto& c : cases) {
    if (!root && std::string(c.what).find("root only") != std::string::npos) continue;
    test::TempFolder place;
    const fs::path state = place.path() / "state";
    c.prepare(state);
    PosixServiceHost host(state.string());
    StartService(host);
    EXPECT_FALSE(fs::exists(mark_)) << c.what << ": the user's command line ran";
    fs::remove(mark_);
    // Nor does an installation write into it.
    const std::string config = test::ReadBytes(state / "LiveUpdateService" / "config");
    EXPECT_FALSE(Install(host)) << c.what;
    EXPECT_EQ(test::ReadBytes(state / "LiveUpdateService" / "config"), config) << c.what;
  }
}

TEST_F(StandInFolders, FolderAboveTheStateThatUsersCanReplaceIsRefused) {
  const fs::path above = temp_.path() / "var";
  fs::create_directories(above / "state");
  fs::permissions(above, fs::perms(0777));
  PosixServiceHost host((above / "state").string());
  EXPECT_FALSE(Install(host));
  EXPECT_FALSE(fs::exists(above / "state" / "LiveUpdateService"));
}

TEST_F(StandInFolders, MissingStateFolderIsMadeForRootAlone) {
  PosixServiceHost host(state_.string());
  ASSERT_TRUE(Install(host));
  struct stat info;
  ASSERT_EQ(::lstat(state_.c_str(), &info), 0);
  EXPECT_TRUE(StateFolderRefusal(info).empty()) << std::oct << info.st_mode;
  EXPECT_EQ(test::ReadBytes(state_ / "LiveUpdateService" / "config"), "\"/opt/q\"\nLiveUpdateService\n272\n");
}

TEST_F(StandInFolders, LinksPlantedInTheFoldersAreNotWrittenThrough) {
  PosixServiceHost host(state_.string());
  auto manager = host.OpenManager();
  ASSERT_TRUE(manager);
  auto service = manager->Create(
      {"LiveUpdateService", "LiveUpdateService", 0x110, "\"" + program_.string() + "\""});
  ASSERT_TRUE(service);
  const fs::path folder = state_ / "LiveUpdateService";
  for (const char* name : {"status.new", "description.new", "pid.new", "control.new", "pid"}) {
    fs::create_symlink(victim_, folder / name);
  }
  EXPECT_TRUE(service->SetDescription("Liveupdate Service, Norvex Toolbar"));
  EXPECT_EQ(test::ReadBytes(folder / "description"), "Liveupdate Service, Norvex Toolbar");

  // The service's side: its dispatcher writes its pid and status into the same folder.
  std::ofstream(folder / "status") << "272 1 0 0 0 0 0\n";
  ::setenv("QUORVEL_SERVICE_FOLDER", folder.c_str(), 1);
  long error = 0;
  ServiceStatusRecord running{0x110, kRunning, 1, 0, 0, 0, 0};
  EXPECT_TRUE(host.RunDispatcher(
      "LiveUpdateService", [&] { EXPECT_TRUE(host.SetStatus(running)); }, &error));
  EXPECT_EQ(test::ReadBytes(folder / "status"), "272 4 1 0 0 0 0\n");
  EXPECT_EQ(test::ReadBytes(victim_), "precious");
  for (const char* name : {"status.new", "description.new", "control.new"}) {
    EXPECT_TRUE(fs::is_symlink(folder / name)) << name;
  }
}

TEST_F(StandInFolders, DispatcherRefusesAServiceFolderThatOthersMayWrite) {
  const fs::path folder = state_ / "LiveUpdateService";
  fs::create_directories(folder);
  std::ofstream(folder / "status") << "272 2 0 0 0 1 0\n";
  fs::permissions(folder, fs::perms(0777));
  ::setenv("QUORVEL_SERVICE_FOLDER", folder.c_str(), 1);
  PosixServiceHost host(state_.string());
  long error = 0;
  bool ran = false;
  EXPECT_FALSE(host.RunDispatcher(
      "LiveUpdateService", [&] { ran = true; }, &error));
  EXPECT_FALSE(ran);
  EXPECT_EQ(error, 1063);
  EXPECT_FALSE(fs::exists(folder / "pid"));
  ::unsetenv("QUORVEL_SERVICE_FOLDER");
}

}  // namespace
}  // namespace norvex::service::posix
