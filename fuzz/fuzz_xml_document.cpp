// Agent files are written by distributors and replaced by the update service. Whatever their
// bytes, loading and querying them never crashes and the answers are consistent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue_check.h"
#include "catalogue/xml_document.h"
#include "common/text.h"

using norvex::catalogue::XmlDocument;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One file of our own for the whole run, rewritten for each input.
  static const std::string path =
      (std::filesystem::temp_directory_path() /
       ("norvex-fuzz-xml-" + std::to_string(std::random_device{}()) + ".xml"))
          .string();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  (void)norvex::catalogue::DecodeUtf8(bytes);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  XmlDocument doc;
  if (!doc.Load(norvex::Utf8ToUtf16(path), true)) {
    if (doc.ErrorLine() < 0) std::abort();
    return 0;
  }
  // The checker's scan for element lines runs over the same text.
  const std::vector<int> lines = norvex::catalogue::StartTagLines(doc.Source());
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] < lines[i - 1]) std::abort();
  }
  // Every answer, asked in one order of one document and in the opposite order of another:
  // what a document keeps from earlier questions must not change a later answer.
  const char16_t* const queries[] = {u"/agents[0]/agent",
                                     u"/agent[0]/name",
                                     u"/agent[0]/menu[0]/item",
                                     u"/agents/agent/id",
                                     u"/*",
                                     u"/agent[0]/menu[0]/item[0]/name",
                                     u"/agent[0]/menu[0]/item[0]/action",
                                     u"/*/*[1]/*",
                                     u"/*/*/*[0]",
                                     u"/agents[0]/agent[1]/xml",
                                     u"/*[0]/*[0]/*",
                                     u"/*[0]/*[1]/*",
                                     u"/*[0]/*[2]/*"};
  auto answers = [](XmlDocument& document, const char16_t* query) {
    const int count = document.CountNodes(query);
    std::u16string all = norvex::FormatInt(count) + u";";
    for (int i = 0; i < count && i < 8; ++i) {
      std::u16string text;
      if (!document.GetNodeText(query, i, text)) std::abort();
      if (document.GetNodeTextLength(query, i) != static_cast<int>(text.size())) std::abort();
      std::u16string name;
      if (!document.GetNodeName(query, i, name) || name.empty()) std::abort();
      all += name + u"=" + text + u";";
    }
    return all;
  };
  std::vector<std::u16string> forward;
  for (const char16_t* query : queries) forward.push_back(answers(doc, query));
  XmlDocument other;
  if (!other.Load(norvex::Utf8ToUtf16(path), true)) std::abort();
  for (size_t i = std::size(queries); i-- > 0;) {
    if (answers(other, queries[i]) != forward[i]) std::abort();
  }
  return 0;
}
