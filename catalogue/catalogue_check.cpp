#include "catalogue/catalogue_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "catalogue/xml_document.h"
#include "common/file_names.h"
#include "common/text.h"
#include "platform/platform.h"
#include "storage/data_folders.h"

namespace norvex::catalogue {

namespace {

// The identifiers of the bitmaps compiled into the module; the build takes them from the
// module's resource script.
const int kModuleBitmapList[] = {NORVEX_MODULE_BITMAPS};

// Every element the toolbar reads, by the names of its ancestors ("agent/ui/caption").
const std::map<std::string, std::vector<std::string>> kKnownChildren = {
    {"", {"agents", "agent"}},
    {"agents", {"agent"}},
    {"agents/agent", {"type", "id", "xml"}},
    {"agent", {"name", "ui", "onclick", "encoding", "type", "onclickwithoutkey", "menu"}},
    {"agent/ui", {"caption", "tooltip", "image", "offimage", "colormask", "size"}},
    {"agent/menu", {"item"}},
    {"agent/menu/item", {"name", "action", "encoding", "type", "image", "colormask"}},
};

const std::vector<std::string> kEncodings = {"UTF-8", "ShiftJIS", "EUC"};
const std::vector<std::string> kKeywords = {"highlight", "searchinpage", "options", "showabout",
                                            "uninstall", "help"};
const char* const kIniFiles[] = {"strings.ini", "version.ini", "norvexOEM.ini", "LogUrls.ini"};

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// One XML file under check: its findings go to `out` under its relative name.
class FileCheck {
 public:
  FileCheck(std::string file, std::vector<Finding>& out) : file_(std::move(file)), out_(out) {}

  // Loads the file; reports a missing or malformed file and gives false.
  bool Load(const std::u16string& path) {
    if (!platform::Current().files->GetAttributes(path)) {
      Report(0, Severity::kError, "file not found");
      return false;
    }
    if (!doc_.Load(path, true)) {
      Report(doc_.ErrorLine(), Severity::kError, "not well-formed XML");
      return false;
    }
    lines_ = StartTagLines(doc_.Source());
    return true;
  }

  XmlDocument& doc() { return doc_; }

  void Report(int line, Severity severity, std::string message) {
    out_.push_back({file_, line, severity, std::move(message)});
  }

  // The line of the element at `path` (index 0), or 0 when it is not in the file.
  int LineOf(std::u16string path) const {
    if (!path.empty() && path.back() != u']') path += u"[0]";
    auto it = ordinals_.find(path);
    if (it == ordinals_.end() || it->second >= lines_.size()) return 0;
    return lines_[it->second];
  }

  // Walks every element in document order, noting where each one stands and reporting those
  // the toolbar never reads.
  void CheckElements() {
    size_t ordinal = 0;
    Walk(u"", "", ordinal);
  }

  std::u16string Text(const std::u16string& path) {
    std::u16string text;
    doc_.GetNodeText(path, 0, text);
    return text;
  }
  bool Has(const std::u16string& path) { return doc_.CountNodes(path) > 0; }

 private:
  void Walk(const std::u16string& path, const std::string& names, size_t& ordinal) {
    const std::u16string any = path + u"/*";
    const int count = doc_.CountNodes(any);
    // A name's own position among its same-named siblings gives the path the toolbar uses.
    std::map<std::u16string, int> seen;
    for (int i = 0; i < count; ++i) {
      std::u16string name;
      if (!doc_.GetNodeName(any, i, name)) continue;
      const std::u16string child = path + u"/" + name + u"[" + FormatInt(seen[name]++) + u"]";
      ordinals_[child] = ordinal++;
      const std::string childNames = names.empty() ? U8(name) : names + "/" + U8(name);
      const auto known = kKnownChildren.find(names);
      const bool isKnown =
          known != kKnownChildren.end() &&
          std::find(known->second.begin(), known->second.end(), U8(name)) != known->second.end();
      if (!isKnown) {
        std::string message = "unknown element <" + U8(name) + ">";
        if (known != kKnownChildren.end()) {
          const std::string near = NearestName(U8(name), known->second);
          if (!near.empty()) message += "; did you mean " + Quoted(near) + "?";
        }
        Report(LineOf(child), Severity::kError, message);
        SkipSubtree(child, ordinal);
        continue;
      }
      Walk(child, childNames, ordinal);
    }
  }

  // Counts the elements below an unknown one, so that later elements keep their lines.
  void SkipSubtree(const std::u16string& path, size_t& ordinal) {
    const int count = doc_.CountNodes(path + u"/*");
    for (int i = 0; i < count; ++i) {
      ++ordinal;
      SkipSubtree(path + u"/*[" + FormatInt(i) + u"]", ordinal);
    }
  }

  std::string file_;
  std::vector<Finding>& out_;
  XmlDocument doc_;
  std::vector<int> lines_;
  std::map<std::u16string, size_t> ordinals_;
};

std::u16string ItemPath(int item, std::u16string_view leaf) {
  std::u16string path = u"/agent[0]/menu[0]/item[" + FormatInt(item) + u"]";
  if (!leaf.empty()) path += u"/" + std::u16string(leaf);
  return path;
}

std::u16string CataloguePath(int position, std::u16string_view leaf) {
  std::u16string path = u"/agents[0]/agent[" + FormatInt(position) + u"]";
  if (!leaf.empty()) path += u"/" + std::u16string(leaf);
  return path;
}

// An action the toolbar can run: empty, an address it opens, or one of its keywords.
void CheckAction(FileCheck& check, const std::u16string& path, const std::string& what) {
  const std::u16string action = check.Text(path);
  if (action.compare(0, 4, u"http") == 0) {
    if (action.find(u"{url}") != std::u16string::npos &&
        action.find(u"{query}") != std::u16string::npos) {
      check.Report(check.LineOf(path), Severity::kWarning,
                   what + " has both {url} and {query}: {query} is left as it is");
    }
    return;
  }
  if (action.empty()) return;
  const std::string text = U8(action);
  const std::string word = text.substr(0, text.find(' '));
  if (std::find(kKeywords.begin(), kKeywords.end(), word) != kKeywords.end() &&
      (word == "help" || word == text)) {
    return;
  }
  std::string message = what + " " + Quoted(text) + " is neither a keyword nor an http address";
  const std::string near = NearestName(word, kKeywords);
  if (!near.empty()) message += "; did you mean " + Quoted(near) + "?";
  check.Report(check.LineOf(path), Severity::kError, message);
}

// The encoding of a template that has {query}: one of the three names, exactly.
void CheckEncoding(FileCheck& check, const std::u16string& encodingPath,
                   const std::u16string& templatePath, const std::string& owner,
                   bool isItem) {
  const bool present = check.Has(encodingPath);
  const std::u16string encoding = check.Text(encodingPath);
  if (present) {
    if (std::find(kEncodings.begin(), kEncodings.end(), U8(encoding)) == kEncodings.end()) {
      check.Report(check.LineOf(encodingPath), Severity::kError,
                   "encoding " + Quoted(U8(encoding)) +
                       " gives an empty query; use \"UTF-8\", \"ShiftJIS\" or \"EUC\"");
    }
    return;
  }
  if (check.Text(templatePath).find(u"{query}") == std::u16string::npos) return;
  std::string message = owner + " has {query} but no encoding: the query is left out";
  if (isItem) message += " (items do not take the agent's encoding)";
  const int line = check.LineOf(isItem ? templatePath.substr(0, templatePath.rfind(u'/'))
                                       : templatePath);
  check.Report(line, Severity::kError, message);
}

void CheckBitmap(FileCheck& check, const std::u16string& path, bool zeroMeansNone) {
  if (!check.Has(path)) return;
  const int id = ParseLenientInt(check.Text(path));
  if (zeroMeansNone && id < 1) return;
  const auto& known = ModuleBitmaps();
  if (std::binary_search(known.begin(), known.end(), id)) return;
  check.Report(check.LineOf(path), Severity::kError,
               "bitmap " + std::to_string(id) + " is not in the toolbar module");
}

void CheckAgentFile(FileCheck& check) {
  XmlDocument& doc = check.doc();
  if (!check.Has(u"/agent")) {
    check.Report(0, Severity::kError, "the top element is not <agent>: the agent is skipped");
    return;
  }
  check.CheckElements();

  const std::u16string name = check.Text(u"/agent[0]/name");
  if (name.empty() && check.Text(u"/agent[0]/ui[0]/caption").empty()) {
    check.Report(check.LineOf(u"/agent[0]"), Severity::kWarning,
                 "caption and name both empty: the button and its chevron entry have no text");
  }
  if (ParseLenientInt(check.Text(u"/agent[0]/ui[0]/size")) <= 0) {
    const std::u16string size = u"/agent[0]/ui[0]/size";
    const int line = check.LineOf(size) ? check.LineOf(size) : check.LineOf(u"/agent[0]");
    check.Report(line, Severity::kError, "size missing or 0: the button has no width");
  }
  CheckBitmap(check, u"/agent[0]/ui[0]/image", true);
  CheckBitmap(check, u"/agent[0]/ui[0]/offimage", true);
  CheckAction(check, u"/agent[0]/onclick", "onclick");
  CheckAction(check, u"/agent[0]/onclickwithoutkey", "onclickwithoutkey");
  CheckEncoding(check, u"/agent[0]/encoding", u"/agent[0]/onclick", "onclick", false);

  const std::u16string type = check.Text(u"/agent[0]/type");
  const bool hasMenu = type == u"menu" || type == u"splitmenu";
  if (!type.empty() && !hasMenu) {
    check.Report(check.LineOf(u"/agent[0]/type"), Severity::kWarning,
                 "type " + Quoted(U8(type)) +
                     " gives a plain button; use \"menu\" or \"splitmenu\" for a menu");
  }
  const int items = doc.CountNodes(u"/agent[0]/menu[0]/item");
  if (!hasMenu) {
    if (check.Has(u"/agent[0]/menu")) {
      check.Report(check.LineOf(u"/agent[0]/menu[0]"), Severity::kWarning,
                   "the menu is not read: the agent's type is not \"menu\" or \"splitmenu\"");
    }
    return;
  }
  for (int i = 0; i < items; ++i) {
    if (!check.Has(ItemPath(i, u"name"))) {
      check.Report(check.LineOf(ItemPath(i, u"")), Severity::kWarning,
                   "menu item without <name> is skipped");
      continue;
    }
    const std::string item = "item " + Quoted(U8(check.Text(ItemPath(i, u"name"))));
    CheckAction(check, ItemPath(i, u"action"), item + " action");
    CheckEncoding(check, ItemPath(i, u"encoding"), ItemPath(i, u"action"), item, true);
    CheckBitmap(check, ItemPath(i, u"image"), true);
    const std::u16string itemType = check.Text(ItemPath(i, u"type"));
    if (!itemType.empty() && itemType != u"search") {
      check.Report(check.LineOf(ItemPath(i, u"type")), Severity::kWarning,
                   item + " type " + Quoted(U8(itemType)) + " means nothing; only \"search\"");
    }
  }
}

// Catalogue types whose agents are laid out in the flow and may not fit.
bool MayOverflow(const std::u16string& type) {
  return type != u"settings" && type != u"resize" && type != u"search";
}

void CheckIniFiles(std::vector<Finding>& out) {
  platform::FileSystem& files = *platform::Current().files;
  for (const char* name : kIniFiles) {
    std::string bytes;
    if (files.ReadFileShared(storage::GetInstallFilePath(U16(name)), bytes) !=
        platform::ReadResult::kOk) {
      continue;
    }
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') continue;
    const auto high = std::find_if(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high == bytes.end()) continue;
    const int line = 1 + static_cast<int>(std::count(bytes.begin(), high, '\n'));
    out.push_back({name, line, Severity::kError,
                   "non-ASCII text in a file that is not UTF-16LE with a byte-order mark: "
                   "Windows reads it in the ANSI code page"});
  }
}

}  // namespace

const std::vector<int>& ModuleBitmaps() {
  static const std::vector<int> ids = [] {
    std::vector<int> list(std::begin(kModuleBitmapList), std::end(kModuleBitmapList));
    std::sort(list.begin(), list.end());
    return list;
  }();
  return ids;
}

std::vector<int> StartTagLines(std::u16string_view text) {
  std::vector<int> lines;
  int line = 1;
  size_t i = 0;
  auto skipTo = [&](std::u16string_view end) {
    const size_t at = text.find(end, i);
    const size_t stop = at == std::u16string_view::npos ? text.size() : at + end.size();
    line += static_cast<int>(std::count(text.begin() + i, text.begin() + stop, u'\n'));
    i = stop;
  };
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'\n') {
      ++line;
      ++i;
    } else if (c != u'<') {
      ++i;
    } else if (text.substr(i, 4) == u"<!--") {
      skipTo(u"-->");
    } else if (text.substr(i, 9) == u"<![CDATA[") {
      skipTo(u"]]>");
    } else if (text.substr(i, 2) == u"<?") {
      skipTo(u"?>");
    } else if (text.substr(i, 2) == u"<!") {
      // The document type declaration, with its internal subset when it has one.
      const size_t bracket = text.find(u'[', i), close = text.find(u'>', i);
      skipTo(bracket < close ? u"]>" : u">");
    } else {
      if (i + 1 < text.size() && text[i + 1] != u'/') lines.push_back(line);
      ++i;
    }
  }
  return lines;
}

std::string NearestName(std::string_view word, const std::vector<std::string>& candidates) {
  std::string best;
  size_t bestDistance = std::max<size_t>(1, word.size() / 3) + 1;
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(word, candidate);
    if (distance > 0 && distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::string FormatFinding(const Finding& finding, std::string_view folder) {
  std::string text;
  if (!folder.empty()) {
    text += folder;
    if (folder.back() != '/' && folder.back() != '\\') text += '/';
  }
  text += finding.file + ":" + std::to_string(finding.line) + ": " +
          (finding.severity == Severity::kError ? "error: " : "warning: ") + finding.message;
  return text;
}

std::vector<Finding> CheckInstallation() {
  std::vector<Finding> out;
  const auto masterPath = storage::GetAgentMasterPath();
  FileCheck catalogue("AgentMaster.xml", out);
  if (masterPath && catalogue.Load(*masterPath)) {
    if (!catalogue.Has(u"/agents")) {
      catalogue.Report(0, Severity::kError, "the top element is not <agents>: no agents");
    } else {
      catalogue.CheckElements();
    }
    XmlDocument& doc = catalogue.doc();
    const int count = doc.CountNodes(u"/agents[0]/agent");
    std::map<std::u16string, int> ids;  // id -> line of its first use
    int firstOverflowing = 0;           // line of the first agent that may overflow
    for (int i = 0; i < count; ++i) {
      const int line = catalogue.LineOf(CataloguePath(i, u""));
      // An entry without a type is how a catalogue retires an agent and keeps the
      // identifiers of the agents after it: nothing of it is read.
      if (!catalogue.Has(CataloguePath(i, u"type"))) continue;
      const std::u16string type = catalogue.Text(CataloguePath(i, u"type"));
      if (type == u"resize") continue;
      if (type == u"settings" && firstOverflowing) {
        catalogue.Report(line, Severity::kWarning,
                         "settings agent listed after agents that may overflow (line " +
                             std::to_string(firstOverflowing) +
                             "); list it first or it may land in the chevron menu");
      }
      if (MayOverflow(type) && !firstOverflowing) firstOverflowing = line;
      if (catalogue.Has(CataloguePath(i, u"id"))) {
        const std::u16string id = catalogue.Text(CataloguePath(i, u"id"));
        const auto [first, fresh] = ids.emplace(id, line);
        if (!fresh) {
          catalogue.Report(line, Severity::kError,
                           "duplicate id " + Quoted(U8(id)) + " (first on line " +
                               std::to_string(first->second) + ")");
        }
      }
      const std::u16string file = catalogue.Text(CataloguePath(i, u"xml"));
      if (!IsSafeRelativePath(file)) {
        catalogue.Report(line, Severity::kError,
                         "agent file " + Quoted(U8(file)) +
                             " is not a name inside \"Agents\": the agent is skipped");
        continue;
      }
      std::u16string shown = file;
      std::replace(shown.begin(), shown.end(), u'\\', u'/');
      FileCheck agent("Agents/" + U8(shown), out);
      if (agent.Load(storage::GetAgentFilePath(file))) CheckAgentFile(agent);
    }
  } else if (!masterPath) {
    catalogue.Report(0, Severity::kError, "the installation folder is not known");
  }
  CheckIniFiles(out);
  return out;
}

}  // namespace norvex::catalogue
