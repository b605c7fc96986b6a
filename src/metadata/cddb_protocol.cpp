#include "metadata/cddb_protocol.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>

#include "platform/codepage.h"

namespace Cddb {

namespace {

long StartFrame(const MsfAddress& a) { return a.minute * 4500L + a.second * 75L + a.frame; }

bool IsMultiLine(int code) { return code == 210 || code == 211; }

}  // namespace

QString QueryText(const TocAddresses& toc) {
  if (!toc.HasValidTrackCount()) return QString();
  QString text = QStringLiteral("cddb query %1 %2")
                     .arg(ComputeDiscId(toc), 8, 16, QLatin1Char('0'))
                     .arg(toc.trackStarts.size());
  for (const MsfAddress& start : toc.trackStarts)
    text += QStringLiteral(" %1").arg(StartFrame(start));
  text += QStringLiteral(" %1\n").arg(toc.leadOut.minute * 60L + toc.leadOut.second);
  return text;
}

QString HttpCommand(const QString& lineCommand) {
  QString command = lineCommand;
  command.replace(QLatin1Char(' '), QLatin1Char('+'));
  command.chop(1);
  return command;
}

int AnswerCode(const QByteArray& answer) {
  if (answer.size() < 3) return -1;
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    if (answer[i] < '0' || answer[i] > '9') return -1;
    code = code * 10 + (answer[i] - '0');
  }
  return code;
}

void AnswerReader::Append(const char* data, qsizetype length) {
  bytes_.append(data, length);
  if (length_ == 0) ScanNewLines();
}

void AnswerReader::ScanNewLines() {
  qsizetype lineEnd;
  while (length_ == 0 && (lineEnd = bytes_.indexOf('\n', std::max(lineStart_, scanned_))) >= 0) {
    if (lineStart_ == 0) {
      if (!IsMultiLine(AnswerCode(bytes_))) length_ = lineEnd + 1;
    } else {
      // The terminating "." stands alone on its line, after the first line.
      const QByteArrayView line(bytes_.constData() + lineStart_, lineEnd - lineStart_);
      if (line == "." || line == ".\r") length_ = lineEnd + 1;
    }
    lineStart_ = lineEnd + 1;
  }
  scanned_ = bytes_.size();
}

QByteArray AnswerReader::Take() {
  QByteArray answer = bytes_.left(length_);
  bytes_.remove(0, length_);
  lineStart_ = 0;
  scanned_ = 0;
  length_ = 0;
  ScanNewLines();
  return answer;
}

QString EntryFault(const QByteArray& answer) {
  if (!answer.endsWith("\n.\r\n") && !answer.endsWith("\n.\n"))
    return QStringLiteral("the entry ends without its closing \".\" line");
  const QList<QByteArray> lines = answer.split('\n');
  const bool keyed = std::any_of(lines.begin() + 1, lines.end(), [](const QByteArray& line) {
    return !line.startsWith('#') && line.indexOf('=') > 0;
  });
  return keyed ? QString() : QStringLiteral("the entry holds no keys");
}

Match ParseMatchLine(const QString& line) {
  const qsizetype first = line.indexOf(QLatin1Char(' '));
  const qsizetype second = first < 0 ? -1 : line.indexOf(QLatin1Char(' '), first + 1);
  Match match;
  match.category = first < 0 ? QString() : line.left(first);
  match.discId = second < 0 ? QString() : line.mid(first + 1, second - first - 1);
  match.title = second < 0 ? QString() : line.mid(second + 1).trimmed();
  return match;
}

QList<Match> QueryMatches(const QString& answer) {
  const QStringList lines = answer.split(QLatin1Char('\n'));
  auto text = [](QString line) {
    return line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
  };
  switch (AnswerCode(answer.left(3).toLatin1())) {
    case 200: return {ParseMatchLine(text(lines.first()).mid(4))};
    case 210:
    case 211: {
      QList<Match> matches;
      for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = text(lines[i]);
        if (line == QLatin1String(".")) break;
        if (!line.trimmed().isEmpty()) matches << ParseMatchLine(line);
      }
      return matches;
    }
    default: return {};
  }
}

QString DecodeAnswer(const QByteArray& bytes) {
  QStringDecoder utf8(QStringConverter::Utf8);
  const QString text = utf8(bytes);
  return utf8.hasError() ? Ansi::Decode(bytes) : text;
}

}  // namespace Cddb
