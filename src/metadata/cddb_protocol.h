#pragma once
#include <QByteArray>
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
// and 211) ends with a line holding only ".", any other with its first line end.
class AnswerReader {
 public:
  void Append(const char* data, qsizetype length);
  bool Complete() const;
  bool Overflowed() const { return bytes_.size() > kMaxAnswer; }
  // The complete answer; the reader starts over.
  QByteArray Take();

 private:
  qsizetype AnswerLength() const;  // 0 while incomplete
  QByteArray bytes_;
};

}  // namespace Cddb
