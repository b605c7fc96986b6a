#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include "metadata/disc_id.h"

// The pieces of the CDDB exchange that do not depend on how it travels.
namespace Cddb {

// Answers longer than this are refused; a database entry is far smaller.
constexpr qsizetype kMaxAnswer = 1024 * 1024;

// "cddb query 0501a202 2 150 15750 420\n": disc identifier, track count, each track's
// start frame (lead-in included) and the disc length in seconds. Empty when the table has
// no valid track count.
QString QueryText(const TocAddresses& toc);
// The same command as cddb.cgi's "cmd" value: blanks become "+", the final character goes.
QString HttpCommand(const QString& lineCommand);

// The three-digit code at the start of an answer; -1 when there is none.
int AnswerCode(const QByteArray& answer);

// Collects the bytes of one answer until it is complete: a multi-line answer (codes 210
// and 211) ends with a line holding only ".", any other with its first line end. Each byte
// is looked at once, however small the pieces it arrives in.
class AnswerReader {
 public:
  void Append(const char* data, qsizetype length);
  bool Complete() const { return length_ > 0; }
  bool Overflowed() const { return bytes_.size() > kMaxAnswer; }
  // The complete answer; the reader starts over with the bytes behind it.
  QByteArray Take();

 private:
  // Scans the lines that arrived since the last call, up to the end of the answer.
  void ScanNewLines();

  QByteArray bytes_;
  qsizetype lineStart_ = 0;  // start of the first line not yet complete
  qsizetype scanned_ = 0;    // bytes already searched for a line end
  qsizetype length_ = 0;     // of the complete answer; 0 while incomplete
};

// Why a "cddb read" answer of code 210 is not a whole database entry: it lacks the line
// holding only "." that closes it (an answer cut short), or it holds no "KEY=value" line.
// Empty when the entry is whole.
QString EntryFault(const QByteArray& answer);

// One disc of a query answer: the category the server files it under, its identifier and
// its "Artist / Title".
struct Match {
  QString category;
  QString discId;
  QString title;
  bool operator==(const Match&) const = default;
};

// A match line, "category discid Artist / Title": the category up to the first blank and
// the identifier up to the second (each empty when its blank is missing), then the title.
Match ParseMatchLine(const QString& line);
// The discs a query answer lists: the one of a 200 answer, or the lines of a 210 or 211
// list up to its "." line. None for any other answer.
QList<Match> QueryMatches(const QString& answer);

// Text of a CDDB answer: UTF-8 when the bytes are valid UTF-8 (protocol level 6), else
// Windows-1252 (level 5 servers).
QString DecodeAnswer(const QByteArray& bytes);

}  // namespace Cddb
