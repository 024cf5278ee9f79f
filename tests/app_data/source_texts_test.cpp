// The scan for translated texts: what it must find and what it must pass over.
#include <gtest/gtest.h>

#include "app_data/source_texts.h"

namespace zolt::testing {
namespace {

std::vector<std::string> Texts(const std::string& source) {
  std::vector<std::string> texts;
  for (const SourceText& found : FindTranslatedTextsIn(source, "x.cpp")) texts.push_back(found.Text);
  return texts;
}

TEST(SourceTextsTest, FindsLiteralCallsJoiningAdjacentLiteralsAndDecodingEscapes) {
  const std::string source =
      "a = frame::Translate(\"Run Status\") + \": \";\n"
      "b = Translate(\"The run holds more points; \"\n"
      "              \"only the first\");\n"
      "c = Translate( \"Say \\\"hi\\\"\\tnow\\\\\" );\n"
      "d = Translate(u8\"Gr\\xC3\\xBC\\303\\237e\");\n";
  EXPECT_EQ(Texts(source),
            (std::vector<std::string>{"Run Status", "The run holds more points; only the first",
                                      "Say \"hi\"\tnow\\", "Gr\xC3\xBC\xC3\x9F" "e"}));
  const std::vector<SourceText> found = FindTranslatedTextsIn(source, "x.cpp");
  EXPECT_EQ(found[1].Line, 2);
  EXPECT_EQ(found[3].Line, 5);
}

TEST(SourceTextsTest, PassesOverCommentsOtherArgumentsAndOtherNames) {
  const std::string source =
      "// Translate(\"in a line comment\")\n"
      "/* Translate(\"in a block\n comment\") */\n"
      "std::string Translate(const std::string& text);\n"
      "x = Translate(StopTexts[code]);\n"
      "y = Translate(\"a\" + name);\n"
      "z = TranslateToColumn(\"Column\", 3) + MyTranslate(\"Mine\");\n"
      "q = '\"'; n = 1'000; Translate(R\"(raw \"quoted\")\");\n"
      "s = \"Translate(\\\"inside a string\\\")\";\n";
  EXPECT_EQ(Texts(source), (std::vector<std::string>{"raw \"quoted\""}));
}

}  // namespace
}  // namespace zolt::testing
