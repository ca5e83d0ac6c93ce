// Update passes whose downloads are checked: SHA256 and SIZE of the modules, and the manifest's
// signature when the pass has a key. The system's own hashing and signatures, fakes for the
// network.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "service/ecdsa_encoding.h"
#include "service/tests/service_fakes.h"
#include "service/update_pass.h"
#include "tests/test_support.h"
#include "unzip32/zip_writer.h"

namespace norvex::service {
namespace {

using testing::FakeHttp;
using testing::ServiceFixture;

constexpr char kBase[] = "http://127.0.0.1:9";
constexpr char kArchive[] = "Temp\\.\\Agents\\agents.zip";
constexpr char kPrevious[] = "[COMMON]\nVERSION=0.1\n; the previous pass's copy\n";

std::string TestData(const char16_t* name) {
  return test::ReadBytes(test::SourceFolder() + u"/service/tests/testdata/" + name);
}

// The tests' key pair (test-only, see testdata/README.md).
std::string TestPublicPoint() {
  const auto pem = ReadPem(TestData(u"test-only-key.pub.pem"));
  return pem ? ReadP256PublicKeyDer(pem->der).value_or("") : "";
}

enum class Signature { kNone, kGood, kOtherKey, kFlippedByte, kOfOtherText };

struct Case {
  const char* what;
  bool key;             // the pass has the tests' key
  Signature signature;  // what lies beside the manifest
  std::string hash;     // the SHA256 line: "good", "wrong", "bad text" or none
  std::string size;     // the SIZE line: "good", "larger", "smaller" (the archive is longer)
  bool ok;
  std::vector<std::string> log;  // lines the log must hold, in this order
};

class VerifiedUpdate : public ::testing::TestWithParam<int> {
 protected:
  VerifiedUpdate() : files_(f_.platform, f_.LogPath()), http_(files_), replacer_(files_) {}

  std::string Installed(const std::string& section) {
    return files_.ReadIniString("version.ini", section, "VERSION", "");
  }
  std::string Sign(const char16_t* key, const std::string& text) {
    std::string signature, error;
    EXPECT_TRUE(f_.crypto->SignP256(TestData(key), text, &signature, &error)) << error;
    return signature;
  }

  ServiceFixture f_;
  UpdateFiles files_;
  HttpDownload http_;
  FileReplacer replacer_;
};

const std::string kUrl = std::string(kBase) + "/m/agents.zip";
const std::string kSignatureUrl = std::string(kBase) + kManifestPath + ".sig";

std::vector<Case> Cases() {
  const std::string download = "Download error:" + kUrl;
  return {
      {"correct, no key", false, Signature::kNone, "good", "good", true, {"Unzip success:"}},
      {"wrong hash", false, Signature::kNone, "wrong", "good", false,
       {std::string("Hash error:") + kArchive, download + " (SHA256 is "}},
      {"wrong size", false, Signature::kNone, "good", "larger", false,
       {std::string("Size error:") + kArchive}},
      {"oversize, cut one byte past SIZE", false, Signature::kNone, "good", "smaller", false,
       {std::string("Size error:") + kArchive, download + " (SIZE is 100, the body has 101 bytes or more)"}},
      {"unsigned with a key", true, Signature::kNone, "good", "good", false,
       {"Signature error:" + kSignatureUrl,
        "Download error:" + kSignatureUrl + " (HTTP status 404)"}},
      {"signed with another key", true, Signature::kOtherKey, "good", "good", false,
       {"Signature error:" + kSignatureUrl}},
      {"signature with a flipped byte", true, Signature::kFlippedByte, "good", "good", false,
       {"Signature error:" + kSignatureUrl}},
      {"signature of another text", true, Signature::kOfOtherText, "good", "good", false,
       {"Signature error:" + kSignatureUrl}},
      {"signed and correct", true, Signature::kGood, "good", "good", true, {"Unzip success:"}},
      {"signed, wrong hash", true, Signature::kGood, "wrong", "", false,
       {std::string("Hash error:") + kArchive}},
      {"signed, no SHA256", true, Signature::kGood, "", "good", false,
       {"Refused module, a signed manifest must give its SHA256:A"}},
      {"no key and no signature", false, Signature::kNone, "", "", true, {"Unzip success:"}},
      {"no key, a signature is not even fetched", false, Signature::kOtherKey, "", "", true, {}},
      {"SHA256 that is not hexadecimal", false, Signature::kNone, "bad text", "", false,
       {"Refused module, its SHA256 is not 64 hexadecimal digits:A"}},
      {"SIZE that is not a number", false, Signature::kNone, "", "-1", false,
       {"Refused module, its SIZE is not a number of bytes:A"}},
  };
}

TEST_P(VerifiedUpdate, Pass) {
  const Case c = Cases()[GetParam()];
  ASSERT_NE(f_.crypto, nullptr);
  const std::string archive = unzip::MakeZip({{"a.xml", std::string(300, 'a')}});
  const std::string hash = Sha256Of(*f_.crypto, archive);
  ASSERT_EQ(hash.size(), 32u);
  std::string manifest = "[COMMON]\r\nVERSION=1.0.1\r\n[A]\r\nNAME=Agents\r\nVERSION=1.0.1\r\n"
                         "Folder=PRODUCT_HOME\\Agents\r\nURL=" + kUrl + "\r\n";
  if (c.hash == "good") manifest += "SHA256=" + HexOf(hash) + "\r\n";
  if (c.hash == "wrong") manifest += "SHA256=" + HexOf(std::string(32, '\x5a')) + "\r\n";
  if (c.hash == "bad text") manifest += "SHA256=" + std::string(64, 'g') + "\r\n";
  if (c.size == "good") manifest += "SIZE=" + std::to_string(archive.size()) + "\r\n";
  if (c.size == "larger") manifest += "SIZE=" + std::to_string(archive.size() + 1) + "\r\n";
  if (c.size == "smaller") manifest += "SIZE=100\r\n";
  if (c.size == "-1") manifest += "SIZE=-1\r\n";
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  f_.Write("Temp/LiveUpdate.ini", kPrevious);
  f_.http.answers[kManifestPath] = {200, manifest};
  f_.http.answers["/m/agents.zip"] = {200, archive};
  std::string signature;
  switch (c.signature) {
    case Signature::kNone: break;
    case Signature::kGood: signature = Sign(u"test-only-key.pem", manifest); break;
    case Signature::kOtherKey: signature = Sign(u"test-only-other-key.pem", manifest); break;
    case Signature::kFlippedByte:
      signature = Sign(u"test-only-key.pem", manifest);
      signature[signature.size() - 5] ^= 0x01;
      break;
    case Signature::kOfOtherText: signature = Sign(u"test-only-key.pem", manifest + " "); break;
  }
  if (!signature.empty()) f_.http.answers[std::string(kManifestPath) + ".sig"] = {200, signature};

  UpdatePass pass(files_, http_, replacer_, std::string(kBase) + kManifestPath,
                  c.key ? TestPublicPoint() : "");
  EXPECT_EQ(pass.RunUpdatePass(), c.ok) << c.what;
  const std::vector<std::string> log = f_.LogMessages();
  std::string all;
  for (const auto& line : log) all += line + "\n";
  auto at = log.begin();
  for (const std::string& expected : c.log) {
    at = std::find_if(at, log.end(), [&](const std::string& line) { return line.rfind(expected, 0) == 0; });
    ASSERT_NE(at, log.end()) << c.what << ": no line starting " << expected << "\n" << all;
  }
  const bool signature_asked =
      std::any_of(f_.http.requests.begin(), f_.http.requests.end(),
                  [](const HttpRequest& r) { return r.object == std::string(kManifestPath) + ".sig"; });
  EXPECT_EQ(signature_asked, c.key) << c.what;
  EXPECT_FALSE(f_.Exists("Temp/LiveUpdate.ini.unverified")) << c.what;
  EXPECT_FALSE(f_.Exists("Temp/LiveUpdate.ini.sig")) << c.what;
  EXPECT_FALSE(f_.Exists("Temp/Agents/agents.zip.download")) << c.what;
  if (c.ok) {
    EXPECT_EQ(log.back(), "Success to do update") << c.what;
    EXPECT_EQ(Installed("A"), "1.0.1") << c.what;
    EXPECT_EQ(f_.mover->moves.size(), 1u) << c.what;
    EXPECT_EQ(f_.Read("Temp/LiveUpdate.ini"), manifest) << c.what;
    return;
  }
  EXPECT_EQ(log.back(), "Failed to do the update") << c.what;
  EXPECT_EQ(Installed("COMMON"), "1.0.0") << c.what;
  EXPECT_EQ(Installed("A"), "") << c.what;
  EXPECT_TRUE(f_.mover->moves.empty()) << c.what;
  EXPECT_FALSE(f_.Exists("Temp/Agents/a.xml")) << c.what;
  EXPECT_FALSE(f_.Exists("Temp/Agents/agents.zip")) << c.what;
  EXPECT_FALSE(f_.Exists("product.ini")) << c.what;
  if (c.log.front().rfind("Signature error:", 0) == 0) {
    // Nothing of the refused manifest is kept: the previous copy stays.
    EXPECT_EQ(f_.Read("Temp/LiveUpdate.ini"), kPrevious) << c.what;
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("Step", 0) == 0; }),
              0)
        << c.what;
  }
  if (c.size == "smaller") {
    // The archive was asked for up to one byte past SIZE, and no more arrived.
    const HttpRequest& last = f_.http.requests.back();
    EXPECT_EQ(last.object, "/m/agents.zip");
    EXPECT_EQ(last.max_body_bytes, 101u);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, VerifiedUpdate, ::testing::Range(0, static_cast<int>(Cases().size())));

// Signed manifests that are authentic but not fresh: replays of older ones, expired ones, and
// versions that do not compare as numbers.
class SignedFreshness : public VerifiedUpdate {
 protected:
  // Serves a signed manifest offering version with one module A of that version.
  void Publish(const std::string& version, const std::string& common_extra,
               const std::string& module_version = "") {
    const std::string archive = unzip::MakeZip({{"a.xml", "agent " + version}});
    const std::string manifest =
        "[COMMON]\r\nVERSION=" + version + "\r\n" + common_extra +
        "[A]\r\nVERSION=" + (module_version.empty() ? version : module_version) +
        "\r\nFolder=PRODUCT_HOME\\Agents\r\nURL=" + kUrl +
        "\r\nSHA256=" + HexOf(Sha256Of(*f_.crypto, archive)) + "\r\n";
    f_.http.answers[kManifestPath] = {200, manifest};
    f_.http.answers[std::string(kManifestPath) + ".sig"] = {200,
                                                            Sign(u"test-only-key.pem", manifest)};
    f_.http.answers["/m/agents.zip"] = {200, archive};
    served_ = manifest;
  }
  bool Pass(bool key = true) {
    f_.mover->moves.clear();
    UpdatePass pass(files_, http_, replacer_, kManifestUrl, key ? TestPublicPoint() : "");
    return pass.RunUpdatePass();
  }
  std::string Taken() {
    return files_.ReadIniString("product.ini", "COMMON", "MANIFEST_SERIAL", "");
  }
  std::vector<std::string> LogSince(size_t first) {
    const std::vector<std::string> log = f_.LogMessages();
    return std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(first), log.end());
  }

  const std::string kManifestUrl = std::string(kBase) + kManifestPath;
  std::string served_;
};

TEST_F(SignedFreshness, SerialAndExpiry) {
  constexpr int64_t kNow = 1238749507;  // 2009-04-03T09:05:07Z, the fake clock's time
  const struct {
    const char* what;
    std::string taken;   // MANIFEST_SERIAL in product.ini before the pass ("": none)
    std::string common;  // lines added to [COMMON]
    bool key;
    bool ok;
    std::string log;  // the refusal, followed by the manifest's address
    std::string taken_after;
  } cases[] = {
      {"no serial, none taken before", "", "", true, true, "", ""},
      {"a serial, none taken before", "", "SERIAL=5\r\n", true, true, "", "5"},
      {"the serial taken before", "5", "SERIAL=5\r\n", true, true, "", "5"},
      {"a higher serial", "5", "SERIAL=18446744073709551615\r\n", true, true, "",
       "18446744073709551615"},
      {"a lower serial", "5", "SERIAL=4\r\n", true, false,
       "Signature error, its SERIAL 4 is lower than 5, taken before:", "5"},
      {"no serial after one was taken", "5", "", true, false,
       "Signature error, its SERIAL 0 is lower than 5, taken before:", "5"},
      {"a serial that is not a number", "", "SERIAL=5a\r\n", true, false,
       "Signature error, its SERIAL is not a number:", ""},
      {"a serial beyond 64 bits", "", "SERIAL=18446744073709551616\r\n", true, false,
       "Signature error, its SERIAL is not a number:", ""},
      {"expires in a second", "", "EXPIRES=2009-04-03T09:05:08Z\r\n", true, true, "", ""},
      {"expires now", "", "EXPIRES=2009-04-03T09:05:07Z\r\n", true, false,
       "Signature error, it expired at 2009-04-03T09:05:07Z:", ""},
      {"expired a year ago", "3", "SERIAL=3\r\nEXPIRES=2008-04-03T09:05:07Z\r\n", true, false,
       "Signature error, it expired at 2008-04-03T09:05:07Z:", "3"},
      {"an expiry that is no date", "", "EXPIRES=2009-02-29T00:00:00Z\r\n", true, false,
       "Signature error, its EXPIRES is not a time (YYYY-MM-DDThh:mm:ssZ):", ""},
      {"without a key nothing of it counts", "5", "SERIAL=1\r\nEXPIRES=2000-01-01T00:00:00Z\r\n",
       false, true, "", "5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
    f_.Write("Temp/LiveUpdate.ini", kPrevious);
    if (c.taken.empty()) {
      f_.Write("product.ini", "");
    } else {
      f_.Write("product.ini", "[COMMON]\nMANIFEST_SERIAL=" + c.taken + "\n");
    }
    f_.clock.utc_seconds = kNow;
    Publish("1.0.1", c.common);
    const size_t before = f_.LogMessages().size();
    EXPECT_EQ(Pass(c.key), c.ok);
    const std::vector<std::string> log = LogSince(before);
    EXPECT_EQ(Taken(), c.taken_after);
    if (c.ok) {
      EXPECT_EQ(log.back(), "Success to do update");
      EXPECT_EQ(Installed("A"), "1.0.1");
      EXPECT_EQ(f_.Read("Temp/LiveUpdate.ini"), served_);
      continue;
    }
    EXPECT_EQ(log, (std::vector<std::string>{"Start live update", c.log + kManifestUrl,
                                             "Failed to do the update"}));
    EXPECT_EQ(Installed("COMMON"), "1.0.0");
    EXPECT_TRUE(f_.mover->moves.empty());
    // The copy of the previous pass stays; nothing of the refused manifest is left.
    EXPECT_EQ(f_.Read("Temp/LiveUpdate.ini"), kPrevious);
    EXPECT_FALSE(f_.Exists("Temp/LiveUpdate.ini.unverified"));
  }
}

// Manifests signed at 1 and 2; the installer then puts back version 1.0.0, and the older signed
// manifest comes again, as anyone between the client and the server can send it: refused.
TEST_F(SignedFreshness, ReplayOfAnOlderSignedManifestIsRefusedAfterTheInstallerResetsVersions) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");
  Publish("1.0.1", "SERIAL=1\r\n");
  const std::string first = served_,
                    first_signature = f_.http.answers[std::string(kManifestPath) + ".sig"].body;
  ASSERT_TRUE(Pass());
  Publish("1.0.2", "SERIAL=2\r\n");
  ASSERT_TRUE(Pass());
  EXPECT_EQ(Installed("COMMON"), "1.0.2");
  EXPECT_EQ(Taken(), "2");

  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.0\n");  // what the installer brings
  f_.http.answers[kManifestPath] = {200, first};
  f_.http.answers[std::string(kManifestPath) + ".sig"] = {200, first_signature};
  const size_t before = f_.LogMessages().size();
  EXPECT_FALSE(Pass());
  EXPECT_EQ(LogSince(before)[1],
            "Signature error, its SERIAL 1 is lower than 2, taken before:" + kManifestUrl);
  EXPECT_EQ(Installed("COMMON"), "1.0.0");
  EXPECT_TRUE(f_.mover->moves.empty());

  Publish("1.0.2", "SERIAL=2\r\n");
  EXPECT_TRUE(Pass());
  EXPECT_EQ(Installed("COMMON"), "1.0.2");
}

// One signed version that is not made of numbers would roll 1.0.10 back (text order puts
// "1.0.9-hotfix" after "1.0.10") and then hold every later release off: refused.
TEST_F(SignedFreshness, VersionsThatDoNotCompareAsNumbersAreRefused) {
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.10\n[A]\nVERSION=1.0.10\n");
  Publish("1.0.9-hotfix", "SERIAL=7\r\n");
  size_t before = f_.LogMessages().size();
  EXPECT_FALSE(Pass());
  EXPECT_EQ(LogSince(before)[2],
            "Refused manifest, its VERSION is not made of numbers and dots:" + kManifestUrl);
  EXPECT_EQ(Installed("COMMON"), "1.0.10");
  EXPECT_EQ(Installed("A"), "1.0.10");

  Publish("1.0.11", "SERIAL=8\r\n", "1.0.11-rc");
  before = f_.LogMessages().size();
  EXPECT_FALSE(Pass());
  const std::vector<std::string> log = LogSince(before);
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "Refused module, its VERSION is not made of numbers and dots:A"),
            log.end());
  EXPECT_EQ(Installed("A"), "1.0.10");

  Publish("1.0.11", "SERIAL=9\r\n");
  EXPECT_TRUE(Pass());
  EXPECT_EQ(Installed("COMMON"), "1.0.11");
  EXPECT_EQ(Installed("A"), "1.0.11");

  // An installation already left on such a version gets the next release.
  f_.Write("version.ini", "[COMMON]\nVERSION=1.0.9-hotfix\n[A]\nVERSION=1.0.9-hotfix\n");
  Publish("1.0.12", "SERIAL=10\r\n");
  EXPECT_TRUE(Pass());
  EXPECT_EQ(Installed("COMMON"), "1.0.12");
  EXPECT_EQ(Installed("A"), "1.0.12");
}

TEST(UtcTime, ReadAndWritten) {
  const struct {
    const char* text;
    std::optional<int64_t> seconds;
  } cases[] = {
      {"1970-01-01T00:00:00Z", 0},
      {"2009-04-03T09:05:07Z", 1238749507},
      {"2000-02-29T23:59:59Z", 951868799},
      {"2038-01-19T03:14:08Z", 2147483648LL},
      {"2100-03-01T00:00:00Z", 4107542400LL},
      {"2100-02-29T00:00:00Z", std::nullopt},
      {"2009-13-01T00:00:00Z", std::nullopt},
      {"2009-04-31T00:00:00Z", std::nullopt},
      {"2009-04-03T24:00:00Z", std::nullopt},
      {"2009-04-03T09:60:00Z", std::nullopt},
      {"2009-04-03 09:05:07Z", std::nullopt},
      {"2009-04-03T09:05:07", std::nullopt},
      {"2009-04-03T09:05:07+01:00", std::nullopt},
      {"2009-4-3T09:05:07Z", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseUtcTime(c.text), c.seconds) << c.text;
    if (c.seconds) {
      EXPECT_EQ(FormatUtcTime(*c.seconds), c.text);
    }
  }
}

TEST(IsNumericVersion, NumbersAndSingleDotsOnly) {
  for (const char* yes : {"1", "1.0.10", "01.2", "99999999999999999999.1"}) {
    EXPECT_TRUE(IsNumericVersion(yes)) << yes;
  }
  for (const char* no : {"", "1.0.9-hotfix", "1..2", ".1", "1.", "v1", "DEFAULT", "1.0 "}) {
    EXPECT_FALSE(IsNumericVersion(no)) << no;
  }
}

// The second line of a failed download says why, for each way a download can fail.
TEST(DownloadFailureText, EachReason) {
  using Result = DownloadOutcome::Result;
  DownloadExpectation limit{1000, 50, std::string(32, '\x01')};
  const struct {
    DownloadOutcome outcome;
    const char* text;
  } cases[] = {
      {{Result::kBadAddress}, "not an http or https address"},
      {{Result::kTransport, "InternetConnect", 12029}, "no answer: InternetConnect failed with 12029"},
      {{Result::kStatus, "", 0, 404}, "HTTP status 404"},
      {{Result::kEmpty, "", 0, 200}, "HTTP status 200 with an empty body"},
      {{Result::kNoLength, "", 0, 200}, "HTTP status 200 without Content-Length"},
      {{Result::kIncomplete, "", 0, 200, 77}, "HTTP status 200, the body broke off after 77 bytes"},
      {{Result::kTooLarge, "", 0, 200, 1001}, "HTTP status 200, the body is longer than 1000 bytes"},
      {{Result::kNotWritten, "", 0, 200, 10}, "HTTP status 200, the file could not be written"},
      {{Result::kSizeMismatch, "", 0, 200, 49}, "SIZE is 50, the body has 49 bytes"},
      {{Result::kSizeMismatch, "", 0, 200, 51}, "SIZE is 50, the body has 51 bytes or more"},
      {{Result::kHashMismatch, "", 0, 200, 50, std::string(32, '\x02')},
       "SHA256 is 0101010101010101010101010101010101010101010101010101010101010101, the body's is "
       "0202020202020202020202020202020202020202020202020202020202020202"},
      {{Result::kNoHasher}, "SHA-256 is not available on this system"},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeDownloadFailure(c.outcome, limit), c.text);
}

}  // namespace
}  // namespace norvex::service
