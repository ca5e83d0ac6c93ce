// Update passes whose downloads are checked: SHA256 and SIZE of the modules, and the manifest's
// signature when the pass has a key. The system's own hashing and signatures, fakes for the
// network.
#include <gtest/gtest.h>

#include <algorithm>

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
