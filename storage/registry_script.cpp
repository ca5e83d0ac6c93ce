#include "storage/registry_script.h"

#include <utility>

#include "common/text.h"

namespace norvex::storage {

namespace {

using platform::Registry;
using platform::RegistryRoot;
using platform::RegistryValue;
using Mark = ScriptEntry::Mark;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// %NAME% from the map, %% as one %.
std::optional<std::u16string> Replace(std::u16string_view script,
                                      const std::vector<Replacement>& map, std::string& error) {
  std::u16string out;
  out.reserve(script.size());
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] != u'%') {
      out += script[i];
      continue;
    }
    const size_t close = script.find(u'%', i + 1);
    if (close == std::u16string_view::npos) {
      error = "a '%' without its closing '%'";
      return std::nullopt;
    }
    const std::u16string_view name = script.substr(i + 1, close - i - 1);
    if (name.empty()) {
      out += u'%';
    } else {
      const Replacement* found = nullptr;
      for (const auto& r : map) {
        if (r.name == name) found = &r;
      }
      if (!found) {
        error = "no replacement for %" + Utf16ToUtf8(name) + "%";
        return std::nullopt;
      }
      out += found->value;
    }
    i = close;
  }
  return out;
}

struct Token {
  std::u16string text;
  bool quoted = false;
  bool Is(std::u16string_view word) const { return !quoted && EqualsIgnoreCaseAscii(text, word); }
  bool IsPunct(char16_t c) const { return !quoted && text.size() == 1 && text[0] == c; }
};

class Parser {
 public:
  explicit Parser(std::u16string_view text) : text_(text) {}

  std::optional<std::vector<ScriptTree>> Parse(std::string& error) {
    std::vector<ScriptTree> trees;
    for (;;) {
      auto token = Next();
      if (!ok_) return Fail(error);
      if (!token) return trees;
      ScriptTree tree;
      if (!Root(*token, tree.root)) return Fail(error, "unknown root key " + Utf16ToUtf8(token->text));
      if (!ExpectOpen()) return Fail(error, "'{' expected after the root key");
      if (!Entries(tree.entries)) return Fail(error);
      trees.push_back(std::move(tree));
    }
  }

 private:
  std::optional<std::vector<ScriptTree>> Fail(std::string& error, std::string why = {}) {
    error = why.empty() ? error_ : why;
    return std::nullopt;
  }
  bool Error(std::string why) {
    if (ok_) error_ = std::move(why);
    ok_ = false;
    return false;
  }

  // The next word: quoted, or running to white space; '=' stands on its own. Nothing at the
  // end of the text.
  std::optional<Token> Next() {
    if (peeked_) return std::exchange(peeked_, std::nullopt);
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ >= text_.size()) return std::nullopt;
    Token token;
    if (text_[pos_] == u'\'') {
      token.quoted = true;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) {
          Error("a quoted word without its closing quote");
          return std::nullopt;
        }
        if (text_[pos_] == u'\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\'') {
            token.text += u'\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        token.text += text_[pos_++];
      }
      return token;
    }
    if (text_[pos_] == u'=') {
      ++pos_;
      token.text = u"=";
      return token;
    }
    while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != u'=') {
      token.text += text_[pos_++];
    }
    return token;
  }
  std::optional<Token> Peek() {
    if (!peeked_) peeked_ = Next();
    return peeked_;
  }

  bool ExpectOpen() {
    const auto token = Next();
    return token && token->IsPunct(u'{');
  }

  static bool Root(const Token& token, RegistryRoot& root) {
    static const struct {
      const char16_t* short_name;
      const char16_t* long_name;
      RegistryRoot root;
    } kRoots[] = {
        {u"HKCR", u"HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
        {u"HKCU", u"HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
        {u"HKLM", u"HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
        {u"HKU", u"HKEY_USERS", RegistryRoot::kUsers},
        {u"HKCC", u"HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig},
    };
    for (const auto& r : kRoots) {
      if (token.Is(r.short_name) || token.Is(r.long_name)) {
        root = r.root;
        return true;
      }
    }
    return false;
  }

  // Entries up to the closing '}'.
  bool Entries(std::vector<ScriptEntry>& entries) {
    for (;;) {
      auto token = Next();
      if (!ok_) return false;
      if (!token) return Error("'}' expected before the end of the script");
      if (token->IsPunct(u'}')) return true;
      ScriptEntry entry;
      if (token->Is(u"ForceRemove")) {
        entry.mark = Mark::kForceRemove;
      } else if (token->Is(u"NoRemove")) {
        entry.mark = Mark::kNoRemove;
      } else if (token->Is(u"Delete")) {
        entry.mark = Mark::kDelete;
      } else if (token->Is(u"val")) {
        entry.mark = Mark::kValue;
      }
      if (entry.mark != Mark::kNone) {
        token = Next();
        if (!token) return Error("a name is expected after a keyword");
      }
      if (!Name(*token, entry.name)) return false;
      const auto after = Peek();
      if (!ok_) return false;
      if (entry.mark == Mark::kDelete) {
        entries.push_back(std::move(entry));
        continue;
      }
      if (after && after->IsPunct(u'=')) {
        Next();
        RegistryValue value;
        if (!Value(value)) return false;
        entry.value = std::move(value);
      } else if (entry.mark == Mark::kValue) {
        return Error("val " + Utf16ToUtf8(entry.name) + " has no '='");
      }
      if (entry.mark != Mark::kValue) {
        const auto open = Peek();
        if (!ok_) return false;
        if (open && open->IsPunct(u'{')) {
          Next();
          if (!Entries(entry.children)) return false;
        }
      }
      entries.push_back(std::move(entry));
    }
  }

  bool Name(const Token& token, std::u16string& name) {
    if (!token.quoted && (token.IsPunct(u'{') || token.IsPunct(u'}') || token.IsPunct(u'='))) {
      return Error("a name is expected, not " + Utf16ToUtf8(token.text));
    }
    if (token.text.empty() || token.text.find(u'\\') != std::u16string::npos) {
      return Error("a key or value name may neither be empty nor hold a backslash");
    }
    name = token.text;
    return true;
  }

  bool Value(RegistryValue& value) {
    const auto type = Next();
    const auto data = type ? Next() : std::nullopt;
    if (!ok_) return false;
    if (!type || !data || (!data->quoted && (data->IsPunct(u'{') || data->IsPunct(u'}')))) {
      return Error("a value type and value are expected after '='");
    }
    if (type->Is(u"s")) {
      value = RegistryValue::String(data->text);
      return true;
    }
    if (type->Is(u"d")) {
      const auto number = Number(data->text);
      if (!number) return Error("not a number: " + Utf16ToUtf8(data->text));
      value = RegistryValue::Dword(*number);
      return true;
    }
    if (type->Is(u"b")) {
      const auto bytes = HexBytes(data->text);
      if (!bytes) return Error("not hexadecimal bytes: " + Utf16ToUtf8(data->text));
      value = RegistryValue::Binary(*bytes);
      return true;
    }
    return Error("unknown value type " + Utf16ToUtf8(type->text));
  }

  static int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  }

  static std::optional<uint32_t> Number(std::u16string_view text) {
    uint64_t number = 0;
    const bool hex = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
    if (hex) text.remove_prefix(2);
    if (text.empty()) return std::nullopt;
    for (char16_t c : text) {
      const int digit = HexDigit(c);
      if (digit < 0 || (!hex && digit > 9)) return std::nullopt;
      number = number * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
      if (number > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<uint32_t>(number);
  }

  static std::optional<std::vector<uint8_t>> HexBytes(std::u16string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
      const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
      if (high < 0 || low < 0) return std::nullopt;
      bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
  }

  std::u16string_view text_;
  size_t pos_ = 0;
  std::optional<Token> peeked_;
  bool ok_ = true;
  std::string error_;
};

std::u16string Join(const std::u16string& parent, const std::u16string& name) {
  return parent.empty() ? name : parent + u'\\' + name;
}

HResult Check(uint32_t error) { return HResultFromWin32(error); }
// Missing entries are what removal wants.
HResult CheckRemoval(uint32_t error) {
  return error == platform::kRegistryNotFound ? kHrOk : HResultFromWin32(error);
}

HResult Register(Registry& registry, RegistryRoot root, const std::u16string& parent,
                 const ScriptEntry& entry) {
  const std::u16string path = Join(parent, entry.name);
  switch (entry.mark) {
    case Mark::kValue:
      return Check(registry.SetValue(root, parent, entry.name, *entry.value));
    case Mark::kDelete:
      return CheckRemoval(registry.DeleteTree(root, path));
    case Mark::kForceRemove:
      if (const HResult hr = CheckRemoval(registry.DeleteTree(root, path)); !Succeeded(hr)) {
        return hr;
      }
      break;
    case Mark::kNone:
    case Mark::kNoRemove:
      break;
  }
  if (const HResult hr = Check(registry.CreateKey(root, path)); !Succeeded(hr)) return hr;
  if (entry.value) {
    if (const HResult hr = Check(registry.SetValue(root, path, u"", *entry.value));
        !Succeeded(hr)) {
      return hr;
    }
  }
  for (const auto& child : entry.children) {
    if (const HResult hr = Register(registry, root, path, child); !Succeeded(hr)) return hr;
  }
  return kHrOk;
}

bool HoldsKeptKey(const ScriptEntry& entry) {
  for (const auto& child : entry.children) {
    if (child.mark == Mark::kNoRemove || HoldsKeptKey(child)) return true;
  }
  return false;
}

HResult Unregister(Registry& registry, RegistryRoot root, const std::u16string& parent,
                   const ScriptEntry& entry) {
  const std::u16string path = Join(parent, entry.name);
  switch (entry.mark) {
    case Mark::kValue:
      return CheckRemoval(registry.DeleteValue(root, parent, entry.name));
    case Mark::kDelete:
      return kHrOk;
    case Mark::kNone:
    case Mark::kForceRemove:
      if (!HoldsKeptKey(entry)) return CheckRemoval(registry.DeleteTree(root, path));
      break;
    case Mark::kNoRemove:
      break;
  }
  if (!registry.KeyExists(root, path)) return kHrOk;
  for (const auto& child : entry.children) {
    if (const HResult hr = Unregister(registry, root, path, child); !Succeeded(hr)) return hr;
  }
  return kHrOk;
}

HResult Run(std::u16string_view script, const std::vector<Replacement>& map, Registry& registry,
            bool registering) {
  const auto trees = ParseRegistryScript(script, map);
  if (!trees) return kHrScriptError;
  for (const auto& tree : *trees) {
    for (const auto& entry : tree.entries) {
      const HResult hr = registering ? Register(registry, tree.root, u"", entry)
                                     : Unregister(registry, tree.root, u"", entry);
      if (!Succeeded(hr)) return hr;
    }
  }
  return kHrOk;
}

}  // namespace

HResult HResultFromWin32(uint32_t error) {
  if (error == 0) return kHrOk;
  return static_cast<HResult>((error & 0xFFFFu) | 0x80070000u);
}

std::optional<std::vector<ScriptTree>> ParseRegistryScript(std::u16string_view script,
                                                           const std::vector<Replacement>& map,
                                                           std::string* error) {
  std::string why;
  std::optional<std::vector<ScriptTree>> trees;
  if (const auto text = Replace(script, map, why)) trees = Parser(*text).Parse(why);
  if (!trees && error) *error = why;
  return trees;
}

HResult RegisterScript(std::u16string_view script, const std::vector<Replacement>& map,
                       platform::Registry& registry) {
  return Run(script, map, registry, true);
}

HResult UnregisterScript(std::u16string_view script, const std::vector<Replacement>& map,
                         platform::Registry& registry) {
  return Run(script, map, registry, false);
}

}  // namespace norvex::storage
