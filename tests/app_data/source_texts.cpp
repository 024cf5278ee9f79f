// Test support: finding the texts passed to Translate in the program's sources.
//
// Sections: tokens; calls; files.
#include "app_data/source_texts.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zolt::testing {

// ---- tokens ----

namespace {

enum class TokenKind { Identifier, String, Other };

struct Token {
  TokenKind Kind;
  std::string Text;  // identifier name, decoded string, or the punctuation character
  int Line;
};

bool IsIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Decodes the escape sequence at s[i] (just after the backslash); advances i past it.
void DecodeEscape(const std::string& s, size_t& i, std::string& out) {
  if (i >= s.size()) return;
  const char c = s[i++];
  switch (c) {
    case 'n': out += '\n'; return;
    case 't': out += '\t'; return;
    case 'r': out += '\r'; return;
    case 'x': {
      int value = 0;
      while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) {
        const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i++])));
        value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
      }
      out += static_cast<char>(value);
      return;
    }
    default:
      if (c >= '0' && c <= '7') {
        int value = c - '0';
        for (int n = 0; n < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++n)
          value = value * 8 + (s[i++] - '0');
        out += static_cast<char>(value);
        return;
      }
      out += c;  // \" \' \\ \? and anything unusual stand for themselves
  }
}

std::vector<Token> Tokenise(const std::string& s) {
  std::vector<Token> tokens;
  int line = 1;
  size_t i = 0;
  auto countLines = [&](size_t from, size_t to) {
    line += static_cast<int>(std::count(s.begin() + static_cast<long>(from),
                                        s.begin() + static_cast<long>(std::min(to, s.size())), '\n'));
  };
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (s.compare(i, 2, "//") == 0) {
      while (i < s.size() && s[i] != '\n') ++i;
    } else if (s.compare(i, 2, "/*") == 0) {
      const size_t end = s.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? s.size() : end + 2;
      countLines(i, stop);
      i = stop;
    } else if (c == '"') {
      const int startLine = line;
      std::string text;
      ++i;
      while (i < s.size() && s[i] != '"' && s[i] != '\n') {
        if (s[i] == '\\') {
          ++i;
          DecodeEscape(s, i, text);
        } else {
          text += s[i++];
        }
      }
      ++i;
      tokens.push_back({TokenKind::String, text, startLine});
    } else if (c == '\'') {
      ++i;
      while (i < s.size() && s[i] != '\'' && s[i] != '\n') i += s[i] == '\\' ? 2 : 1;
      ++i;
      tokens.push_back({TokenKind::Other, "'", line});
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      // A number, with digit separators (1'000) and suffixes.
      while (i < s.size() && (IsIdentifierChar(s[i]) || s[i] == '.' ||
                              (s[i] == '\'' && i + 1 < s.size() && IsIdentifierChar(s[i + 1]))))
        ++i;
      tokens.push_back({TokenKind::Other, "0", line});
    } else if (IsIdentifierStart(c)) {
      const size_t start = i;
      while (i < s.size() && IsIdentifierChar(s[i])) ++i;
      std::string name = s.substr(start, i - start);
      // A raw string: R"delimiter( ... )delimiter", with an optional encoding prefix.
      const bool rawPrefix = name == "R" || name == "u8R" || name == "LR" || name == "uR" || name == "UR";
      if (i < s.size() && s[i] == '"' && rawPrefix) {
        const size_t open = s.find('(', i);
        if (open != std::string::npos) {
          const std::string close = ")" + s.substr(i + 1, open - i - 1) + "\"";
          const size_t end = s.find(close, open);
          const size_t stop = end == std::string::npos ? s.size() : end + close.size();
          tokens.push_back({TokenKind::String, s.substr(open + 1, end - open - 1), line});
          countLines(i, stop);
          i = stop;
          continue;
        }
      }
      // An encoding prefix (u8"...", L"...") belongs to the literal that follows.
      if (i < s.size() && s[i] == '"' && (name == "u8" || name == "L" || name == "u" || name == "U"))
        continue;
      tokens.push_back({TokenKind::Identifier, std::move(name), line});
    } else {
      tokens.push_back({TokenKind::Other, std::string(1, c), line});
      ++i;
    }
  }
  return tokens;
}

}  // namespace

// ---- calls ----

std::vector<SourceText> FindTranslatedTextsIn(const std::string& source, const std::string& file) {
  std::vector<SourceText> texts;
  const std::vector<Token> tokens = Tokenise(source);
  for (size_t k = 0; k + 3 < tokens.size(); ++k) {
    if (tokens[k].Kind != TokenKind::Identifier || tokens[k].Text != "Translate") continue;
    if (tokens[k + 1].Kind != TokenKind::Other || tokens[k + 1].Text != "(") continue;
    size_t j = k + 2;
    std::string text;
    while (j < tokens.size() && tokens[j].Kind == TokenKind::String) text += tokens[j++].Text;
    if (j == k + 2 || j >= tokens.size() || tokens[j].Text != ")") continue;
    texts.push_back({text, file, tokens[k + 2].Line});
  }
  return texts;
}

// ---- files ----

std::vector<SourceText> FindTranslatedTexts(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".cpp" || extension == ".h"))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<SourceText> texts;
  for (const fs::path& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    const std::vector<SourceText> found =
        FindTranslatedTextsIn(contents.str(), fs::relative(path, folder).string());
    texts.insert(texts.end(), found.begin(), found.end());
  }
  return texts;
}

}  // namespace zolt::testing
