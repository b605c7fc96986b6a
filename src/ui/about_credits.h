#pragma once
#include <QStringList>
#include <span>

// One line of the about box's "uses:" list: its text, and the shared libraries of the
// program it stands for, by the start of their file names ("libmp3lame"). The list credits
// exactly the libraries the program links; a service it talks to (the freedb database)
// names no library.
struct AboutCredit {
  unsigned textId;  // 0 for the toolkit's line, which names Qt and its version
  std::span<const char* const> libraries;

  QString Text() const;
};

std::span<const AboutCredit> AboutCredits();
