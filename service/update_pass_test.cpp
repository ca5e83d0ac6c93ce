#include "service/update_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/text.h"
#include "tests/test_support.h"

#include "service/tests/service_fakes.h"
#include "unzip32/zip_writer.h"

namespace norvex::service {
namespace {

using testing::FakeHttp;
using testing::ServiceFixture;
using unzip::MakeZip;

TEST(IsNewerVersion, NumbersCompareAsNumbers) {
  const struct {
    const char* candidate;
    const char* installed;
    bool newer;
  } cases[] = {
      {"1.0.10", "1.0.9", true},  {"1.1", "1.0.9", true},   {"2", "10", false},
      {"10", "2", true},          {"1.0", "1.0", false},    {"1.0", "1.0.0", false},
      {"1.0.1", "1.0", true},     {"", "1.0", false},       {"1.0", "", true},
      {"", "", true},             {"01.2", "1.10", false},  {"1.0b", "1.0a", true},
      {"1.0a", "1.0b", false},    {"DEFAULT", "2.0", true}, {"1..2", "1.2", false},
      {"99999999999999999999.1", "99999999999999999999.0", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNewerVersion(c.candidate, c.installed), c.newer)
        << c.candidate << " vs " << c.installed;
  }
}

TEST(ArchiveNameOf, LastSegmentOfThePath) {
  const struct {
    const char* url;
    const char* name;
  } cases[] = {
      {"http://h/m/agents.zip", "agents.zip"},
      {"http://h/m/agents.zip?v=2", "agents.zip"},
      {"http://h/m/agents.zip#top", "agents.zip"},
      {"http://h/a.zip?from=x/y.zip", "a.zip"},
      {"https://h:8443/a.zip?v=1#f/g", "a.zip"},
      {"http://h/m/", ""},
      {"http://h", ""},
      {"http://h?x=/y.zip", ""},
      {"http://h/m/..\\version.ini", "..\\version.ini"},
      {"agents.zip", "agents.zip"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ArchiveNameOf(c.url), c.name) << c.url;
}

constexpr char kBase[] = "http://127.0.0.1:9";

class UpdatePassTest : public ::testing::Test {
 protected:
  UpdatePassTest()
      : files_(f_.platform, f_.LogPath()),
        http_(files_),
        replacer_(files_),
        pass_(files_, http_, replacer_, std::string(kBase) + kManifestPath) {}

  void Serve(const std::string& object, const std::string& body, long status = 200) {
    f_.http.answers[object] = FakeHttp::Answer{status, body};
  }
  void ServeManifest(const std::string& text) { Serve(kManifestPath, text); }
  std::string Installed(const std::string& section) {
    return files_.ReadIniString("version.ini", section, "VERSION", "");
  }
  std::vector<std::string> Moved() {
    std::vector<std::string> names;
    for (const auto& m : f_.mover->moves) names.push_back(m.second.substr(files_.ProgramFolder().size()));
    return names;
  }
  // Three modules; the installation has 1.0.0 of everything.
  void ThreeModules() {
    f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n[A]\nVERSION=1.0.0\n");
    f_.Write("Agents/a.xml", "old a");
    ServeManifest(
        "[COMMON]\nVERSION=1.0.10\n"
        "[A]\nNAME=Agents\nVERSION=1.0.10\nFolder=PRODUCT_HOME\\Agents\nURL=" +
        std::string(kBase) + "/m/agents.zip\n"
        "[B]\nNAME=Skins\nVERSION=1.0.10\nFolder=PRODUCT_HOME\\Skins\nURL=" + kBase + "/m/skins.zip\n"
        "[C]\nNAME=Help\nVERSION=1.0.10\nFolder=PRODUCT_HOME\nURL=" + kBase + "/m/help.zip\n");
    Serve("/m/agents.zip", MakeZip({{"a.xml", "new a"}, {"sub\\b.xml", "new b"}}));
    Serve("/m/skins.zip", MakeZip({{"skin.bmp", std::string(20000, 's')}}));
    Serve("/m/help.zip", MakeZip({{"help.htm", "<p>help</p>"}}));
  }
  void ExpectNothingInstalled() {
    EXPECT_EQ(Installed("COMMON"), "1.0.0");
    EXPECT_EQ(Installed("A"), "1.0.0");
    EXPECT_EQ(Installed("B"), "");
    EXPECT_EQ(f_.Read("Agents/a.xml"), "old a");
    EXPECT_FALSE(f_.Exists("Temp/Agents/agents.zip"));
    EXPECT_FALSE(f_.Exists("Temp/Skins/skins.zip"));
    EXPECT_FALSE(f_.Exists("Temp/help.zip"));
    EXPECT_FALSE(f_.Exists("Temp/Agents/a.xml"));
    EXPECT_FALSE(f_.Exists("product.ini"));
  }
  void ExpectRecovery() {
    ThreeModules();
    f_.mover->refused_sources.clear();
    f_.archive.busy = false;
    f_.mover->moves.clear();
    EXPECT_TRUE(pass_.RunUpdatePass());
    EXPECT_EQ(Installed("COMMON"), "1.0.10");
    EXPECT_EQ(Installed("A"), "1.0.10");
    EXPECT_EQ(Installed("B"), "1.0.10");
    EXPECT_EQ(Installed("C"), "1.0.10");
    EXPECT_EQ(Moved().size(), 4u);
  }

  ServiceFixture f_;
  UpdateFiles files_;
  HttpDownload http_;
  FileReplacer replacer_;
  UpdatePass pass_;
};

TEST_F(UpdatePassTest, FullPassInstallsTwoModulesWithEveryLogLine) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.9\n[A]\nVERSION=1.0.9\n[B]\nVERSION=1.0.9\n");
  ServeManifest("[COMMON]\nVERSION=1.0.10\n"
                "[A]\nNAME=Agents\nVERSION=1.0.10\nFolder=PRODUCT_HOME\\Agents\nURL=" +
                std::string(kBase) + "/m/agents.zip\n"
                "[SETTING]\nNAME=ignored\nVERSION=1.0.10\nFolder=PRODUCT_HOME\nURL=" + kBase +
                "/m/setting.zip\n");
  Serve("/m/agents.zip", MakeZip({{"news.xml", "<news/>"}, {"sub/deep.xml", "<d/>"}}));
  Serve("/m/setting.zip", MakeZip({{"strings.ini", "[s]\nk=v\n", false}}));
  EXPECT_TRUE(pass_.RunUpdatePass());
  const std::string p = files_.ProgramFolder();
  EXPECT_EQ(f_.LogMessages(),
            (std::vector<std::string>{
                "Start live update",
                "Step 2: Success in downloading ini ",
                "Step 3: There are some difference ",
                "Step 4: Downloading and updating ... ",
                "Created the temp folder:Temp\\.\\Agents\\agents.zip",
                "Downloaded module:Temp\\.\\Agents\\agents.zip",
                "Unzipping:Temp\\.\\Agents\\agents.zip",
                "Unzip success:Temp\\.\\Agents\\agents.zip",
                "One iteration finished",
                "Created the temp folder:Temp\\.\\setting.zip",
                "Downloaded module:Temp\\.\\setting.zip",
                "Unzipping:Temp\\.\\setting.zip",
                "Unzip success:Temp\\.\\setting.zip",
                "One iteration finished",
                "Step 5: Downloaded and extracted files... ",
                "Success in move file ex",
                "Move at restart:" + p + "\\Temp\\Agents\\news.xml -> " + p + "\\Agents\\news.xml",
                "Success in move file ex",
                "Move at restart:" + p + "\\Temp\\Agents\\sub\\deep.xml -> " + p +
                    "\\Agents\\sub\\deep.xml",
                "Success in move file ex",
                "Move at restart:" + p + "\\Temp\\strings.ini -> " + p + "\\strings.ini",
                "Step 7: Finished local file updation successfully ",
                "Success to do update",
            }));
  EXPECT_EQ(Moved(), (std::vector<std::string>{"\\Agents\\news.xml", "\\Agents\\sub\\deep.xml",
                                               "\\strings.ini"}));
  EXPECT_EQ(f_.mover->moves[0].first, p + "\\Temp\\Agents\\news.xml");
  EXPECT_EQ(f_.Read("Temp/Agents/news.xml"), "<news/>");
  EXPECT_EQ(f_.Read("Temp/Agents/sub/deep.xml"), "<d/>");
  EXPECT_FALSE(f_.Exists("Temp/Agents/agents.zip"));
  EXPECT_FALSE(f_.Exists("Temp/setting.zip"));
  EXPECT_TRUE(f_.Exists("Temp/LiveUpdate.ini"));
  EXPECT_EQ(Installed("COMMON"), "1.0.10");
  EXPECT_EQ(Installed("A"), "1.0.10");
  EXPECT_EQ(Installed("SETTING"), "1.0.10");
  EXPECT_EQ(files_.ReadIniString("product.ini", "COMMON", "LAST_UPDATE_TIME", ""), "200904030905");
  EXPECT_EQ(files_.ReadIniString("product.ini", "COMMON", "PRODUCT_VERSION", ""), "1.0.10");
  // The manifest request went to the configured port.
  EXPECT_EQ(f_.http.requests[0].port, 9);
  EXPECT_EQ(f_.http.requests[0].object, "/toolbar/bin/liveupdate.ini");

  // Nothing newer: the next pass succeeds with nothing to do, and says so instead of success.
  f_.http.requests.clear();
  EXPECT_TRUE(pass_.RunUpdatePass());
  EXPECT_EQ(f_.http.requests.size(), 1u);
  EXPECT_EQ(f_.LogMessages().back(), "Nothing newer to update (offered 1.0.10, installed 1.0.10)");
}

// Archives made by zip (names in code page 932, no UTF-8 flag) and by Python (UTF-8 names with
// the flag), each holding "フォルダ/ソース表示.txt". In code page 932 "ソ" and "表" end in the
// byte 0x5C. The files are unpacked, found under the names the library lists, and scheduled.
TEST_F(UpdatePassTest, JapaneseEntryNamesAreUnpackedAndScheduled) {
  namespace fs = std::filesystem;
  const fs::path folder(u"\u30D5\u30A9\u30EB\u30C0");
  const fs::path file(u"\u30BD\u30FC\u30B9\u8868\u793A.txt");
  for (const char* name : {"cp932.zip", "utf8.zip"}) {
    f_.mover->moves.clear();
    f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
    ServeManifest("[COMMON]\nVERSION=1.0.1\n"
                  "[A]\nNAME=Agents\nVERSION=1.0.1\nFolder=PRODUCT_HOME\\Agents\nURL=" +
                  std::string(kBase) + "/m/names.zip\n");
    Serve("/m/names.zip",
          test::ReadBytes(test::SourceFolder() + u"/unzip32/testdata/" + Utf8ToUtf16(name)));
    EXPECT_TRUE(pass_.RunUpdatePass()) << name;
    ASSERT_EQ(f_.mover->moves.size(), 1u) << name;
    const auto& [source, destination] = f_.mover->moves[0];
    EXPECT_TRUE(f_.files->FileExists(source)) << name << ": " << source;
    const std::string p = files_.ProgramFolder();
    EXPECT_EQ(source.substr(0, p.size() + 13), p + "\\Temp\\Agents\\") << name;
    EXPECT_EQ(source.substr(p.size() + 5), destination.substr(p.size())) << name;
    EXPECT_TRUE(fs::is_regular_file(f_.Folder() / "Temp" / "Agents" / folder / file)) << name;
    // The destination's folder chain is the one folder.
    std::vector<fs::path> made;
    for (const auto& child : fs::directory_iterator(f_.Folder() / "Agents")) {
      made.push_back(child.path());
    }
    EXPECT_EQ(made, std::vector<fs::path>{f_.Folder() / "Agents" / folder}) << name;
    fs::remove_all(f_.Folder() / "Agents");
    fs::remove_all(f_.Folder() / "Temp");
  }
}

TEST_F(UpdatePassTest, ManifestOverTheLimitFailsThePass) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  ServeManifest("[COMMON]\nVERSION=1.0.1\n[A]\nNAME=Agents\nVERSION=1.0.1\n"
                "Folder=PRODUCT_HOME\\Agents\nURL=" + std::string(kBase) + "/m/a.zip\n;" +
                std::string(kMaxManifestBytes, ' '));
  Serve("/m/a.zip", MakeZip({{"a.xml", "new a"}}));
  EXPECT_FALSE(pass_.RunUpdatePass());
  EXPECT_EQ(f_.LogMessages(),
            (std::vector<std::string>{
                "Start live update",
                "Download error:" + std::string(kBase) + kManifestPath +
                    " (HTTP status 200, the body is longer than 1048576 bytes)",
                "Failed to do the update"}));
  EXPECT_EQ(f_.http.requests.size(), 1u);
  // The request asked for no more than one byte past the limit.
  EXPECT_EQ(f_.http.requests[0].max_body_bytes, kMaxManifestBytes + 1);
  EXPECT_EQ(Installed("COMMON"), "1.0.0");
}

TEST_F(UpdatePassTest, ArchiveBombFailsTheModuleBeforeAnythingIsWritten) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  ServeManifest("[COMMON]\nVERSION=1.0.1\n[A]\nNAME=Agents\nVERSION=1.0.1\n"
                "Folder=PRODUCT_HOME\\Agents\nURL=" + std::string(kBase) + "/m/a.zip\n");
  Serve("/m/a.zip", MakeZip({{"a.xml", "new a"}, {"zeros.bin", std::string(8 << 20, '\0')}}));
  EXPECT_FALSE(pass_.RunUpdatePass());
  EXPECT_FALSE(f_.Exists("Temp/Agents/a.xml"));
  EXPECT_FALSE(f_.Exists("Temp/Agents/zeros.bin"));
  EXPECT_TRUE(f_.mover->moves.empty());
  EXPECT_EQ(Installed("COMMON"), "1.0.0");
}

// A library whose listed names are not those of the files it wrote fails the module: no move
// of a file that does not exist is scheduled.
TEST_F(UpdatePassTest, EntryNotFoundUnderItsListedNameFailsTheModule) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  ServeManifest("[COMMON]\nVERSION=1.0.1\n[A]\nNAME=Agents\nVERSION=1.0.1\n"
                "Folder=PRODUCT_HOME\\Agents\nURL=" + std::string(kBase) + "/m/a.zip\n");
  Serve("/m/a.zip", MakeZip({{"a.xml", "new a"}}));
  f_.archive.listed_suffix = "~";
  EXPECT_FALSE(pass_.RunUpdatePass());
  EXPECT_TRUE(f_.mover->moves.empty());
  const std::vector<std::string> log = f_.LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "Unzip error:Temp\\.\\Agents\\a.zip"), log.end());
  EXPECT_EQ(Installed("COMMON"), "1.0.0");
}

TEST_F(UpdatePassTest, CompareManifestTakesOnlyDueModules) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n[A]\nVERSION=1.0.0\n");
  f_.Write("Temp/LiveUpdate.ini",
           "[COMMON]\nVERSION=2.0.0\n"
           "[A]\nNAME=Alpha\nVERSION=2.0.0\nFolder=PRODUCT_HOME\\Agents\nURL=http://h/a.zip\n"
           "[B]\nNAME=Beta\nVERSION=1.0.0\nFolder=x\nURL=http://h/b.zip\n"
           "[NoUrl]\nVERSION=3\nFolder=x\n"
           "[NoFolder]\nVERSION=3\nURL=http://h/c.zip\n"
           "[SETTING]\nNAME=Other\nVERSION=2.1\nFolder=PRODUCT_HOME\nURL=http://h/s.zip\n");
  const ManifestComparison due = pass_.CompareManifest("Temp\\LiveUpdate.ini", "version.ini");
  EXPECT_EQ(due.offered_version, "2.0.0");
  ASSERT_EQ(due.modules.size(), 2u);
  EXPECT_EQ(due.modules[0], (ModuleEntry{"Alpha", "http://h/a.zip", ".\\Agents", "2.0.0", "A"}));
  EXPECT_EQ(due.modules[1], (ModuleEntry{"SETTING", "http://h/s.zip", ".", "2.1", "SETTING"}));
}

TEST_F(UpdatePassTest, ManifestCannotSendFilesOutOfTheProgramFolder) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  f_.Write("Temp/LiveUpdate.ini",
           "[COMMON]\nVERSION=2.0.0\n"
           "[Up]\nVERSION=2\nFolder=PRODUCT_HOME\\..\\..\\Windows\nURL=http://h/a.zip\n"
           "[Drive]\nVERSION=2\nFolder=C:\\Windows\nURL=http://h/a.zip\n"
           "[Rooted]\nVERSION=2\nFolder=\\Windows\nURL=http://h/a.zip\n"
           "[Name]\nVERSION=2\nFolder=PRODUCT_HOME\nURL=http://h/m/..\\version.ini\n"
           "[Dots]\nVERSION=2\nFolder=PRODUCT_HOME\nURL=http://h/m/..\n"
           "[Empty]\nVERSION=2\nFolder=PRODUCT_HOME\nURL=http://h/m/\n"
           "[Good]\nVERSION=2\nFolder=PRODUCT_HOME\\Agents\nURL=http://h/m/good.zip\n");
  const ManifestComparison due = pass_.CompareManifest("Temp\\LiveUpdate.ini", "version.ini");
  ASSERT_EQ(due.modules.size(), 7u);
  for (const ModuleEntry& module : due.modules) {
    EXPECT_EQ(module.refused, module.section != "Good") << module.section;
  }
}

// Refused names fail the pass before anything is fetched: nothing is stamped, the log says
// which module, and the next pass tries again.
TEST_F(UpdatePassTest, RefusedModuleFailsThePassWithItsReason) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  ServeManifest("[COMMON]\nVERSION=2.0.0\n"
                "[Good]\nVERSION=2\nFolder=PRODUCT_HOME\\Agents\nURL=" + std::string(kBase) +
                "/m/good.zip\n"
                "[Up]\nVERSION=2\nFolder=PRODUCT_HOME\\..\\..\\Windows\nURL=" + kBase +
                "/m/a.zip\n");
  Serve("/m/good.zip", MakeZip({{"good.xml", "good"}}));
  Serve("/m/a.zip", MakeZip({{"a.dll", "a"}}));
  EXPECT_FALSE(pass_.RunUpdatePass());
  EXPECT_EQ(f_.LogMessages(),
            (std::vector<std::string>{
                "Start live update", "Step 2: Success in downloading ini ",
                "Step 3: There are some difference ", "Step 4: Downloading and updating ... ",
                "Refused module, its folder or archive name leaves the program folder:Up",
                "Failed in saveAs file", "Failed in downloadAndExtractAllUpdates",
                "Failed to do the update"}));
  ASSERT_EQ(f_.http.requests.size(), 1u);  // the manifest only
  EXPECT_FALSE(f_.Exists("product.ini"));
  EXPECT_EQ(Installed("COMMON"), "1.0.0");
  EXPECT_TRUE(f_.mover->moves.empty());
}

// The archive is named by the URL's path: a query (or fragment) is sent, not kept in the name.
TEST_F(UpdatePassTest, ModuleUrlWithAQueryIsInstalled) {
  ThreeModules();
  ServeManifest(
      "[COMMON]\nVERSION=1.0.10\n"
      "[A]\nNAME=Agents\nVERSION=1.0.10\nFolder=PRODUCT_HOME\\Agents\nURL=" +
      std::string(kBase) + "/m/agents.zip?v=2#latest\n");
  Serve("/m/agents.zip?v=2", MakeZip({{"a.xml", "new a"}}));
  EXPECT_TRUE(pass_.RunUpdatePass());
  EXPECT_EQ(Installed("A"), "1.0.10");
  ASSERT_EQ(Moved().size(), 1u);
  EXPECT_TRUE(Moved()[0].ends_with("Agents\\a.xml")) << Moved()[0];
  const std::vector<std::string> log = f_.LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "Downloaded module:Temp\\.\\Agents\\agents.zip"),
            log.end());
  EXPECT_FALSE(f_.Exists("Temp/Agents/agents.zip"));  // deleted after the pass, as always
}

TEST_F(UpdatePassTest, ManifestFoldersAndArchivesNamedAfterDevicesAreRefused) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  f_.Write("Temp/LiveUpdate.ini",
           "[COMMON]\nVERSION=2.0.0\n"
           "[Nul]\nVERSION=2\nFolder=PRODUCT_HOME\\NUL\nURL=http://h/a.zip\n"
           "[Lpt]\nVERSION=2\nFolder=PRODUCT_HOME\\lpt1.d\\x\nURL=http://h/a.zip\n"
           "[Dot]\nVERSION=2\nFolder=PRODUCT_HOME\\Agents.\nURL=http://h/a.zip\n"
           "[Aux]\nVERSION=2\nFolder=PRODUCT_HOME\nURL=http://h/m/aux.zip\n"
           "[Conin]\nVERSION=2\nFolder=PRODUCT_HOME\nURL=http://h/m/CONIN$\n"
           "[Good]\nVERSION=2\nFolder=PRODUCT_HOME\\Console\nURL=http://h/m/console.zip\n");
  const ManifestComparison due = pass_.CompareManifest("Temp\\LiveUpdate.ini", "version.ini");
  std::vector<std::string> accepted;
  for (const auto& module : due.modules) {
    if (!module.refused) accepted.push_back(module.section);
  }
  EXPECT_EQ(due.modules.size(), 6u) << "refused modules stay listed, so the pass fails and says why";
  EXPECT_EQ(accepted, std::vector<std::string>{"Good"});
}

TEST_F(UpdatePassTest, FreshInstallationEmptiesVersionIniAndTakesEverything) {
  f_.Write("version.ini", "[A]\nVERSION=9.9\n");
  f_.Write("Temp/LiveUpdate.ini",
           "[COMMON]\nVERSION=1.0\n[A]\nVERSION=1.0\nFolder=f\nURL=http://h/a.zip\n");
  const ManifestComparison due = pass_.CompareManifest("Temp\\LiveUpdate.ini", "version.ini");
  ASSERT_EQ(due.modules.size(), 1u);
  EXPECT_EQ(f_.Read("version.ini"), "");
}

TEST_F(UpdatePassTest, NothingOfferedStillStampsProduct) {
  f_.Write("version.ini", "[COMMON]\nVERSION=DEFAULT\n");
  ServeManifest("[COMMON]\nVERSION=\n");
  EXPECT_TRUE(pass_.RunUpdatePass());
  EXPECT_EQ(files_.ReadIniString("product.ini", "COMMON", "LAST_UPDATE_TIME", ""), "200904030905");
  EXPECT_EQ(files_.ReadIniString("product.ini", "COMMON", "PRODUCT_VERSION", "none"), "none");
  EXPECT_EQ(f_.LogMessages(), (std::vector<std::string>{
                                  "Start live update", "Step 2: Success in downloading ini ",
                                  "Nothing newer to update (offered none, installed DEFAULT)"}));
}

TEST_F(UpdatePassTest, ManifestFailuresFailThePass) {
  for (const FakeHttp::Answer& answer :
       {FakeHttp::Answer{404, "x"}, FakeHttp::Answer{500, "x"}, FakeHttp::Answer{200, ""},
        FakeHttp::Answer{200, "[COMMON]\nVERS", false}}) {
    f_.http.answers[kManifestPath] = answer;
    EXPECT_FALSE(pass_.RunUpdatePass());
    EXPECT_FALSE(f_.Exists("Temp/LiveUpdate.ini"));
    // Without a body there is not even an empty working folder.
    if (answer.complete) {
      EXPECT_FALSE(f_.Exists("Temp")) << answer.status;
    }
    EXPECT_FALSE(f_.Exists("product.ini"));
  }
  EXPECT_EQ(f_.LogMessages().back(), "Failed to do the update");
}

struct ModuleFault {
  const char* what;
  std::function<void(UpdatePassTest*, ServiceFixture&)> apply;
  std::vector<std::string> log_tail;  // the last lines of the log, before the failure lines
};

class ModuleFaultTest : public UpdatePassTest,
                        public ::testing::WithParamInterface<int> {};

const std::string kB = "Temp\\.\\Skins\\skins.zip";
const std::string kBUrl = "Download error:http://127.0.0.1:9/m/skins.zip";

std::vector<ModuleFault> Faults() {
  auto serve_b = [](const std::string& body, long status = 200, bool complete = true) {
    return [=](UpdatePassTest*, ServiceFixture& f) {
      f.http.answers["/m/skins.zip"] = FakeHttp::Answer{status, body, complete};
    };
  };
  return {
      {"404", serve_b("gone", 404),
       {"Failed to download module:" + kB, kBUrl + " (HTTP status 404)"}},
      {"500", serve_b("err", 500),
       {"Failed to download module:" + kB, kBUrl + " (HTTP status 500)"}},
      {"empty body", serve_b(""),
       {"Failed to download module:" + kB, kBUrl + " (HTTP status 200 with an empty body)"}},
      {"truncated body", serve_b(std::string(2500, 'z'), 200, false),
       {"Failed to download module:" + kB,
        kBUrl + " (HTTP status 200, the body broke off after 2500 bytes)"}},
      {"no length", [](UpdatePassTest*, ServiceFixture& f) {
         f.http.answers["/m/skins.zip"] = {200, MakeZip({{"skin.bmp", "x"}})};
         f.http.answers["/m/skins.zip"].length_announced = false;
       },
       {"Failed to download module:" + kB, kBUrl + " (HTTP status 200 without Content-Length)"}},
      {"no answer", [](UpdatePassTest*, ServiceFixture& f) {
         f.http.answers["/m/skins.zip"] = {0, "", true, "HttpSendRequest"};
       },
       {"Failed to download module:" + kB,
        kBUrl + " (no answer: HttpSendRequest failed with 12029)"}},
      {"busy library", [](UpdatePassTest*, ServiceFixture&) {},
       {"Downloaded module:" + kB}},
      {"empty archive", serve_b(MakeZip({})),
       {"Unzipping:" + kB, "Unzip failed return false:" + kB}},
      {"corrupt archive", serve_b("PK\x05\x06 this is not really an archive"),
       {"Downloaded module:" + kB}},
      {"hostile entry ..", serve_b(MakeZip({{"ok.bmp", "fine"}, {"..\\..\\evil.dll", "evil"}})),
       {"Unzipping:" + kB, "Unzip error:" + kB, "Unzip failed return false:" + kB}},
      {"hostile entry drive", serve_b(MakeZip({{"C:\\evil.dll", "evil"}})),
       {"Unzipping:" + kB, "Unzip error:" + kB, "Unzip failed return false:" + kB}},
      {"hostile entry UNC", serve_b(MakeZip({{"\\\\host\\share\\evil.dll", "evil"}})),
       {"Unzipping:" + kB, "Unzip error:" + kB, "Unzip failed return false:" + kB}},
      {"hostile entry rooted", serve_b(MakeZip({{"/evil.dll", "evil"}})),
       {"Unzipping:" + kB, "Unzip error:" + kB, "Unzip failed return false:" + kB}},
      {"device name entry", serve_b(MakeZip({{"ok.bmp", "fine"}, {"sub\\Com1.bmp", "x"}})),
       {"Unzipping:" + kB, "Unzip error:" + kB, "Unzip failed return false:" + kB}},
      {"entry ending in a dot", serve_b(MakeZip({{"skin.bmp.", "x"}})),
       {"Unzipping:" + kB, "Unzip error:" + kB, "Unzip failed return false:" + kB}},
      {"bad deflate data",
       serve_b([] {
         std::string z = MakeZip({{"skin.bmp", std::string(5000, 's')}});
         for (size_t i = 40; i < 60; ++i) z[i] = static_cast<char>(0xFF);
         return z;
       }()),
       {"Unzipping:" + kB, "Unzip error:" + kB, "Unzip failed return false:" + kB}},
  };
}

TEST_P(ModuleFaultTest, SecondOfThreeModulesFailing) {
  const ModuleFault fault = Faults()[GetParam()];
  ThreeModules();
  if (std::string(fault.what) == "busy library") {
    // The library turns busy once the first module has been unpacked.
    f_.http.answers["/m/agents.zip"] = {200, MakeZip({{"a.xml", "new a"}, {"sub\\b.xml", "new b"}})};
    f_.http.answers["/m/skins.zip"] = {200, MakeZip({{"skin.bmp", "x"}})};
  } else {
    fault.apply(this, f_);
  }
  // Only the busy case needs the library's answer to change between modules.
  struct BusyAfterFirst : ArchiveLibrary {
    ArchiveLibrary& real;
    int opens = 0;
    explicit BusyAfterFirst(ArchiveLibrary& r) : real(r) {}
    int IsBusy() override { return opens >= 1 ? 1 : real.IsBusy(); }
    uintptr_t Open(const std::string& p, uint32_t m) override {
      ++opens;
      return real.Open(p, m);
    }
    int Close(uintptr_t a) override { return real.Close(a); }
    int FindFirst(uintptr_t a, const std::string& w, std::string* n) override {
      return real.FindFirst(a, w, n);
    }
    int FindNext(uintptr_t a, std::string* n) override { return real.FindNext(a, n); }
    int ExtractFound(uintptr_t a, const std::string& f, const std::string& d, uint32_t m) override {
      return real.ExtractFound(a, f, d, m);
    }
  } busy_after_first(f_.archive);
  if (std::string(fault.what) == "busy library") f_.platform.archive = &busy_after_first;
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files);
  FileReplacer replacer(files);
  UpdatePass pass(files, http, replacer, std::string(kBase) + kManifestPath);

  EXPECT_FALSE(pass.RunUpdatePass()) << fault.what;
  const std::vector<std::string> log = f_.LogMessages();
  std::vector<std::string> expected_tail = fault.log_tail;
  expected_tail.insert(expected_tail.end(), {"Failed in saveAs file",
                                             "Failed in downloadAndExtractAllUpdates",
                                             "Failed to do the update"});
  ASSERT_GE(log.size(), expected_tail.size()) << fault.what;
  EXPECT_EQ(std::vector<std::string>(log.end() - expected_tail.size(), log.end()), expected_tail)
      << fault.what;
  // The third module was never asked for; nothing was scheduled or recorded.
  for (const HttpRequest& r : f_.http.requests) EXPECT_NE(r.object, "/m/help.zip") << fault.what;
  EXPECT_TRUE(f_.mover->moves.empty()) << fault.what;
  EXPECT_FALSE(f_.Exists("Temp/Skins/ok.bmp")) << fault.what;
  EXPECT_FALSE(f_.Exists("evil.dll")) << fault.what;
  EXPECT_FALSE(f_.Exists("Temp/evil.dll")) << fault.what;
  ExpectNothingInstalled();
  f_.platform.archive = &f_.archive;
  ExpectRecovery();
}

INSTANTIATE_TEST_SUITE_P(Faults, ModuleFaultTest,
                         ::testing::Range(0, static_cast<int>(Faults().size())));

TEST_F(UpdatePassTest, FileThatCannotBeScheduledFailsThePass) {
  ThreeModules();
  f_.mover->refused_sources.insert(files_.ProgramFolder() + "\\Temp\\Skins\\skin.bmp");
  EXPECT_FALSE(pass_.RunUpdatePass());
  const auto log = f_.LogMessages();
  EXPECT_EQ(std::vector<std::string>(log.end() - 5, log.end()),
            (std::vector<std::string>{"Success in move file ex",
                                      "Move at restart:" + files_.ProgramFolder() +
                                          "\\Temp\\Agents\\sub\\b.xml" + " -> " +
                                          files_.ProgramFolder() + "\\Agents\\sub\\b.xml",
                                      "Step 6: Failed to do move file ex... ",
                                      "Step 6.1: Failed file... .\\Skins\\skin.bmp",
                                      "Failed to do the update"}));
  // The files scheduled before lose their source: the replacement finds nothing to move.
  EXPECT_EQ(f_.mover->moves.size(), 2u);
  EXPECT_FALSE(f_.Exists("Temp/Agents/sub/b.xml"));
  EXPECT_FALSE(f_.Exists("Temp/help.htm"));
  ExpectNothingInstalled();
  ExpectRecovery();
}

}  // namespace
}  // namespace norvex::service
