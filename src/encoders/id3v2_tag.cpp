#include "encoders/id3v2_tag.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>

#include "encoders/tag_record.h"

namespace Id3v2 {
namespace {

TagLib::String Utf8(const QString& text) {
  return TagLib::String(text.toUtf8().toStdString(), TagLib::String::UTF8);
}

void AddText(TagLib::ID3v2::Tag& tag, const char* frameId, const QString& text) {
  if (text.isEmpty()) return;
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(frameId, TagLib::String::UTF8);
  frame->setText(Utf8(text));
  tag.addFrame(frame);  // the tag owns its frames
}

// A TXXX frame under the name taggers and players look for.
void AddUserText(TagLib::ID3v2::Tag& tag, const char* description, const QString& text) {
  if (text.isEmpty()) return;
  auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
  frame->setDescription(description);
  frame->setText(Utf8(text));
  tag.addFrame(frame);
}

void AddMusicBrainz(TagLib::ID3v2::Tag& tag, const TagRecord& tags) {
  for (const MusicBrainzTag& id : MusicBrainzTags(tags)) {
    if (id.id3) AddUserText(tag, id.id3, id.value);
  }
  if (!tags.musicBrainz.recordingId.isEmpty()) {
    const QByteArray id = tags.musicBrainz.recordingId.toLatin1();
    tag.addFrame(new TagLib::ID3v2::UniqueFileIdentifierFrame(
        "http://musicbrainz.org", TagLib::ByteVector(id.constData(), uint(id.size()))));
  }
}

void AddCover(TagLib::ID3v2::Tag& tag, const CoverImage& cover) {
  if (cover.IsEmpty()) return;
  auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
  frame->setTextEncoding(TagLib::String::UTF8);
  frame->setMimeType(Utf8(cover.MimeType()));
  frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
  frame->setPicture(TagLib::ByteVector(cover.bytes.constData(), uint(cover.bytes.size())));
  tag.addFrame(frame);
}

}  // namespace

QByteArray Tag(const TagRecord& tags, int trackCount) {
  TagLib::ID3v2::Tag tag;
  AddText(tag, "TIT2", tags.Wide(TagRecord::Title));
  AddText(tag, "TPE1", tags.Wide(TagRecord::Artist));
  AddText(tag, "TALB", tags.Wide(TagRecord::Album));
  AddText(tag, "TPE2", tags.Wide(TagRecord::AlbumArtist));
  AddText(tag, "TDRC", tags.Wide(TagRecord::Year));
  const QString number = tags.Wide(TagRecord::TrackNumber);
  AddText(tag, "TRCK",
          trackCount > 0 ? QStringLiteral("%1/%2").arg(number).arg(trackCount) : number);
  AddText(tag, "TCON", tags.Wide(TagRecord::Genre));
  if (tags.discNumber > 0)
    AddText(tag, "TPOS", QStringLiteral("%1/%2").arg(tags.discNumber).arg(tags.discTotal));
  if (!tags.Wide(TagRecord::Comment).isEmpty()) {
    auto* comment = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
    comment->setLanguage("eng");
    comment->setText(Utf8(tags.Wide(TagRecord::Comment)));
    tag.addFrame(comment);
  }
  AddMusicBrainz(tag, tags);
  AddCover(tag, tags.cover);
  const TagLib::ByteVector bytes = tag.render(TagLib::ID3v2::v4);
  return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace Id3v2
