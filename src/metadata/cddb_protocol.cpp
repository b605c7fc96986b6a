#include "metadata/cddb_protocol.h"

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
  for (const MsfAddress& start : toc.trackStarts) text += QStringLiteral(" %1").arg(StartFrame(start));
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

void AnswerReader::Append(const char* data, qsizetype length) { bytes_.append(data, length); }

qsizetype AnswerReader::AnswerLength() const {
  const qsizetype firstEnd = bytes_.indexOf('\n');
  if (firstEnd < 0) return 0;
  if (!IsMultiLine(AnswerCode(bytes_))) return firstEnd + 1;
  // The terminating "." stands alone on its line, after the first line.
  for (qsizetype lineStart = firstEnd + 1; lineStart < bytes_.size();) {
    const qsizetype lineEnd = bytes_.indexOf('\n', lineStart);
    if (lineEnd < 0) return 0;
    const QByteArrayView line(bytes_.constData() + lineStart, lineEnd - lineStart);
    if (line == "." || line == ".\r") return lineEnd + 1;
    lineStart = lineEnd + 1;
  }
  return 0;
}

bool AnswerReader::Complete() const { return AnswerLength() > 0; }

QByteArray AnswerReader::Take() {
  const qsizetype length = AnswerLength();
  QByteArray answer = bytes_.left(length);
  bytes_.remove(0, length);
  return answer;
}

}  // namespace Cddb
