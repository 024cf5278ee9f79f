// Test support: the English texts the program's sources pass to Translate.
//
// The sources are read as C++ tokens (comments, character literals and raw strings
// skipped), and every call Translate("...") whose argument is one string literal, or
// adjacent literals joined, yields its text. Calls with any other argument (a variable,
// a table entry) are not seen.
#pragma once

#include <string>
#include <vector>

namespace zolt::testing {

struct SourceText {
  std::string Text;  // the decoded literal
  std::string File;  // relative to the scanned folder
  int Line = 0;
};

// Scans every .cpp and .h file below `folder`, in a stable order.
std::vector<SourceText> FindTranslatedTexts(const std::string& folder);
// Scans one file's contents (named `file` in the results).
std::vector<SourceText> FindTranslatedTextsIn(const std::string& source, const std::string& file);

}  // namespace zolt::testing
