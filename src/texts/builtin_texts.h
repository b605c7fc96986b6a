#pragma once
#include <span>

// One row of the built-in English texts. Rows with identifier 0 are section comments
// (their text starts with ';'): they only group the table and are never shown.
struct BuiltInText {
  unsigned id;
  const char* text;  // UTF-8

  bool IsComment() const { return id == 0; }
};

// Every built-in text in table order, comment rows included.
std::span<const BuiltInText> BuiltInTexts();

// The text of the first non-comment row with this identifier, or nullptr.
const char* FindBuiltInText(unsigned id);
