// The registry script interpreter: reading scripts, and what registration and unregistration
// leave in a registry. The behaviour suite runs on the platform's registry (the system's under
// Wine, below a key of the test's own in HKEY_CURRENT_USER; the in-memory one on Linux).
#include "storage/registry_script.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/memory_registry.h"
#include "platform/platform.h"

namespace norvex::storage {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;
using Mark = ScriptEntry::Mark;

constexpr RegistryRoot kHkcu = RegistryRoot::kCurrentUser;
constexpr char16_t kBase[] = u"Software\\NorvexScriptTest";

TEST(ParseRegistryScript, ReadsKeysValuesAndMarks) {
  const std::u16string script =
      u"HKCR\r\n{\r\n"
      u"  NoRemove CLSID\n  {\n"
      u"    ForceRemove {ABC} = s 'A ''quoted'' name'\n    {\n"
      u"      'Inproc Server'=s '%MODULE%'\n      {\n        val ThreadingModel = s Apartment\n      }\n"
      u"      val Count = d '0x10'\n      val Raw = b 00ff7F\n"
      u"      Delete Old\n"
      u"    }\n  }\n}\n"
      u"hkey_local_machine { 'noremove' = s '100%%' }";
  std::string error;
  const auto trees = ParseRegistryScript(script, {{u"MODULE", u"C:\\it''s.dll"}}, &error);
  ASSERT_TRUE(trees) << error;
  ASSERT_EQ(trees->size(), 2u);
  EXPECT_EQ((*trees)[0].root, RegistryRoot::kClassesRoot);
  const ScriptEntry& clsid = (*trees)[0].entries.at(0);
  EXPECT_EQ(clsid.mark, Mark::kNoRemove);
  EXPECT_EQ(clsid.name, u"CLSID");
  EXPECT_FALSE(clsid.value);
  const ScriptEntry& abc = clsid.children.at(0);
  EXPECT_EQ(abc.mark, Mark::kForceRemove);
  EXPECT_EQ(abc.name, u"{ABC}");
  EXPECT_EQ(abc.value, RegistryValue::String(u"A 'quoted' name"));
  ASSERT_EQ(abc.children.size(), 4u);
  EXPECT_EQ(abc.children[0].name, u"Inproc Server");
  EXPECT_EQ(abc.children[0].value, RegistryValue::String(u"C:\\it's.dll"));
  EXPECT_EQ(abc.children[0].children.at(0).mark, Mark::kValue);
  EXPECT_EQ(abc.children[0].children.at(0).value, RegistryValue::String(u"Apartment"));
  EXPECT_EQ(abc.children[1].value, RegistryValue::Dword(16));
  EXPECT_EQ(abc.children[2].value, RegistryValue::Binary({0x00, 0xFF, 0x7F}));
  EXPECT_EQ(abc.children[3].mark, Mark::kDelete);
  EXPECT_EQ((*trees)[1].root, RegistryRoot::kLocalMachine);
  EXPECT_EQ((*trees)[1].entries.at(0).mark, Mark::kNone) << "a quoted keyword is a name";
  EXPECT_EQ((*trees)[1].entries.at(0).value, RegistryValue::String(u"100%"));
}

TEST(ParseRegistryScript, RefusesWhatItCannotRead) {
  const char16_t* bad[] = {
      u"HKXX { a }",
      u"HKCR a",
      u"HKCR { a",
      u"HKCR { a = s 'open }",
      u"HKCR { a = s '%NOPE%' }",
      u"HKCR { a = s '50%' }",
      u"HKCR { val a }",
      u"HKCR { val a = }",
      u"HKCR { a = x 'y' }",
      u"HKCR { a = d 'ten' }",
      u"HKCR { a = d '0x100000000' }",
      u"HKCR { a = b '0' }",
      u"HKCR { a = b 'zz' }",
      u"HKCR { 'a\\b' }",
      u"HKCR { '' }",
      u"HKCR { = }",
      u"HKCR { NoRemove }",
      u"HKCR { a } }",
  };
  for (const char16_t* script : bad) {
    std::string error;
    EXPECT_FALSE(ParseRegistryScript(script, {}, &error)) << Utf16ToUtf8(script);
    EXPECT_FALSE(error.empty()) << Utf16ToUtf8(script);
  }
  EXPECT_TRUE(ParseRegistryScript(u"", {}));
  EXPECT_TRUE(ParseRegistryScript(u"  HKCU { }\r\n", {}));
}

TEST(HResultFromWin32, MapsTheSystemCodes) {
  EXPECT_EQ(HResultFromWin32(0), kHrOk);
  EXPECT_EQ(HResultFromWin32(5), static_cast<HResult>(0x80070005u));
  EXPECT_EQ(HResultFromWin32(2), static_cast<HResult>(0x80070002u));
}

class RegistryScript : public ::testing::Test {
 protected:
  RegistryScript() : registry_(platform::NativeRegistry()) { registry_.DeleteTree(kHkcu, kBase); }
  ~RegistryScript() override { registry_.DeleteTree(kHkcu, kBase); }

  static std::u16string Script(const std::u16string& body) {
    return u"HKCU { NoRemove Software { NoRemove NorvexScriptTest {\n" + body + u"\n} } }";
  }
  static std::u16string Key(const std::u16string& path) {
    return path.empty() ? kBase : std::u16string(kBase) + u"\\" + path;
  }
  bool Has(const std::u16string& path) { return registry_.KeyExists(kHkcu, Key(path)); }
  std::optional<RegistryValue> Value(const std::u16string& path, const std::u16string& name = u"") {
    return registry_.GetValue(kHkcu, Key(path), name);
  }
  void Make(const std::u16string& path) { ASSERT_EQ(registry_.CreateKey(kHkcu, Key(path)), 0u); }
  void Set(const std::u16string& path, const std::u16string& name, const std::u16string& text) {
    ASSERT_EQ(registry_.SetValue(kHkcu, Key(path), name, RegistryValue::String(text)), 0u);
  }

  platform::Registry& registry_;
};

TEST_F(RegistryScript, RegistrationWritesKeysAndValues) {
  const std::u16string script = Script(
      u"App = s 'Application'\n{\n"
      u"  'Sub Key' = s '%PATH%' { val Threading = s 'Apartment' }\n"
      u"  val Number = d 42\n  val Bytes = b 0102\n  Empty\n  'ノルヴェクス' = s 'ツールバー'\n}");
  ASSERT_EQ(RegisterScript(script, {{u"PATH", u"C:\\a b\\x.dll"}}, registry_), kHrOk);
  EXPECT_EQ(Value(u"App"), RegistryValue::String(u"Application"));
  EXPECT_EQ(Value(u"App\\Sub Key"), RegistryValue::String(u"C:\\a b\\x.dll"));
  EXPECT_EQ(Value(u"App\\Sub Key", u"Threading"), RegistryValue::String(u"Apartment"));
  EXPECT_EQ(Value(u"App", u"Number"), RegistryValue::Dword(42));
  EXPECT_EQ(Value(u"App", u"Bytes"), RegistryValue::Binary({1, 2}));
  EXPECT_TRUE(Has(u"App\\Empty"));
  EXPECT_FALSE(Value(u"App\\Empty"));
  EXPECT_EQ(Value(u"App\\ノルヴェクス"), RegistryValue::String(u"ツールバー"));
  // Registering again changes nothing.
  ASSERT_EQ(RegisterScript(script, {{u"PATH", u"C:\\a b\\x.dll"}}, registry_), kHrOk);
  EXPECT_EQ(Value(u"App\\Sub Key"), RegistryValue::String(u"C:\\a b\\x.dll"));
}

TEST_F(RegistryScript, ForceRemoveReplacesTheKeyAndDeleteRemovesOne) {
  Make(u"Forced\\Foreign");
  Make(u"Plain\\Foreign");
  Make(u"Old\\Deep");
  const std::u16string script =
      Script(u"ForceRemove Forced = s 'new'\nPlain = s 'kept'\nDelete Old\nDelete NeverThere");
  ASSERT_EQ(RegisterScript(script, {}, registry_), kHrOk);
  EXPECT_FALSE(Has(u"Forced\\Foreign"));
  EXPECT_EQ(Value(u"Forced"), RegistryValue::String(u"new"));
  EXPECT_TRUE(Has(u"Plain\\Foreign")) << "a plain key is only opened at registration";
  EXPECT_FALSE(Has(u"Old"));
  // Unregistration leaves what Delete names alone.
  Make(u"Old");
  ASSERT_EQ(UnregisterScript(script, {}, registry_), kHrOk);
  EXPECT_TRUE(Has(u"Old"));
}

TEST_F(RegistryScript, UnregistrationRemovesAllButTheKeptKeys) {
  const std::u16string script = Script(
      u"Plain = s 'p' { Sub = s 's' }\n"
      u"ForceRemove Forced\n"
      u"NoRemove Kept { val Mine = s 'm'  Child = s 'c' }\n"
      u"Holder { NoRemove Shared { val Mine = s 'm' } Own }");
  ASSERT_EQ(RegisterScript(script, {}, registry_), kHrOk);
  // Others' entries: inside removable keys they go, inside kept keys they stay.
  Make(u"Plain\\Foreign");
  Set(u"Kept", u"Theirs", u"t");
  Make(u"Kept\\Foreign");
  Set(u"Holder\\Shared", u"Theirs", u"t");
  ASSERT_EQ(UnregisterScript(script, {}, registry_), kHrOk);
  EXPECT_FALSE(Has(u"Plain"));
  EXPECT_FALSE(Has(u"Forced"));
  EXPECT_TRUE(Has(u"Kept"));
  EXPECT_FALSE(Value(u"Kept", u"Mine"));
  EXPECT_EQ(Value(u"Kept", u"Theirs"), RegistryValue::String(u"t"));
  EXPECT_FALSE(Has(u"Kept\\Child"));
  EXPECT_TRUE(Has(u"Kept\\Foreign"));
  EXPECT_TRUE(Has(u"Holder\\Shared")) << "a key that holds a kept key stays";
  EXPECT_FALSE(Value(u"Holder\\Shared", u"Mine"));
  EXPECT_EQ(Value(u"Holder\\Shared", u"Theirs"), RegistryValue::String(u"t"));
  EXPECT_FALSE(Has(u"Holder\\Own"));
  // Entries already gone are no failure.
  EXPECT_EQ(UnregisterScript(script, {}, registry_), kHrOk);
  registry_.DeleteTree(kHkcu, kBase);
  EXPECT_EQ(UnregisterScript(script, {}, registry_), kHrOk);
}

TEST_F(RegistryScript, AScriptThatCannotBeReadChangesNothing) {
  const std::u16string script = Script(u"First = s 'one'\nSecond = s '%MISSING%'");
  EXPECT_EQ(RegisterScript(script, {}, registry_), kHrScriptError);
  EXPECT_FALSE(Has(u""));
  EXPECT_EQ(UnregisterScript(script, {}, registry_), kHrScriptError);
}

TEST(RegistryScriptFailures, TheFirstRegistryFailureEndsTheRun) {
  platform::MemoryRegistry registry;
  ASSERT_EQ(registry.CreateKey(kHkcu, u"Locked"), 0u);
  registry.DenyWrites(kHkcu, u"Locked");
  const std::u16string script = u"HKCU { First = s '1'\n NoRemove Locked { Inside }\n Third }";
  EXPECT_EQ(RegisterScript(script, {}, registry), static_cast<HResult>(0x80070005u));
  EXPECT_TRUE(registry.KeyExists(kHkcu, u"First"));
  EXPECT_FALSE(registry.KeyExists(kHkcu, u"Third"));

  ASSERT_EQ(registry.CreateKey(kHkcu, u"Third"), 0u);
  EXPECT_EQ(UnregisterScript(u"HKCU { Locked\n Third }", {}, registry),
            static_cast<HResult>(0x80070005u));
  EXPECT_TRUE(registry.KeyExists(kHkcu, u"Third")) << "not reached";
}

}  // namespace
}  // namespace norvex::storage
