// Checks an installation's catalogue for the mistakes that the toolbar passes over in silence:
// files it cannot read, elements it never reads, values that give an empty query, a button
// without width, bitmaps the module does not carry, actions it does not know. The files are
// read with the toolbar's own reader and paths, so what is checked is what the toolbar sees.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norvex::catalogue {

enum class Severity { kWarning, kError };

struct Finding {
  std::string file;  // relative to the installation folder, with "/" ("Agents/news.xml")
  int line = 0;      // 1-based; 0 where no line applies
  Severity severity = Severity::kError;
  std::string message;  // English, one line
};

// Checks "AgentMaster.xml", every agent file it names and the installation's INI files, in
// catalogue order. Empty when all is well.
std::vector<Finding> CheckInstallation();

// "FILE:LINE: error: MESSAGE" (or "warning"), FILE prefixed with `folder` and "/" when given.
std::string FormatFinding(const Finding& finding, std::string_view folder = {});

// The bitmap identifiers that the toolbar module carries, ascending.
const std::vector<int>& ModuleBitmaps();

// The 1-based line of each start tag of an XML text, in document order (comments, CDATA
// sections, processing instructions and the document type declaration skipped).
std::vector<int> StartTagLines(std::u16string_view text);

// The candidate nearest to `word` by edit distance, when it is close enough to be a slip
// (at most a third of the word's length, at least one edit); empty otherwise.
std::string NearestName(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace norvex::catalogue
