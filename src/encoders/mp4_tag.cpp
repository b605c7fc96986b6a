#include "encoders/mp4_tag.h"

#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include <QFile>

#include "encoders/tag_record.h"

namespace Mp4Tag {
namespace {

void SetText(TagLib::MP4::Tag& tag, const char* atom, const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return;
  const TagLib::String value(trimmed.toUtf8().toStdString(), TagLib::String::UTF8);
  tag.setItem(atom, TagLib::MP4::Item(TagLib::StringList(value)));
}

}  // namespace

QString Write(const QString& path, const TagRecord& tags, int trackCount) {
  TagLib::MP4::File file(QFile::encodeName(path).constData());
  if (!file.isValid() || !file.tag()) return QStringLiteral("The M4A file cannot be tagged");
  TagLib::MP4::Tag& tag = *file.tag();
  SetText(tag, "\251nam", tags.Wide(TagRecord::Title));
  SetText(tag, "\251ART", tags.Wide(TagRecord::Artist));
  SetText(tag, "\251alb", tags.Wide(TagRecord::Album));
  SetText(tag, "\251day", tags.Wide(TagRecord::Year));
  SetText(tag, "\251gen", tags.Wide(TagRecord::Genre));
  SetText(tag, "\251cmt", tags.Wide(TagRecord::Comment));
  const int number = tags.Wide(TagRecord::TrackNumber).toInt();
  if (number > 0) tag.setItem("trkn", TagLib::MP4::Item(number, std::max(trackCount, 0)));
  return file.save() ? QString() : QStringLiteral("The M4A file's tags could not be written");
}

}  // namespace Mp4Tag
