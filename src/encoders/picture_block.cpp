#include "encoders/picture_block.h"

#include <QtEndian>

#include "metadata/cover_store.h"

namespace {

constexpr quint32 kFrontCover = 3;

void AppendWord(QByteArray& out, quint32 value) {
  char bytes[4];
  qToBigEndian(value, bytes);
  out.append(bytes, 4);
}

}  // namespace

QByteArray FlacPictureBlock(const CoverImage& cover) {
  const QByteArray mime = cover.MimeType().toLatin1();
  QByteArray block;
  AppendWord(block, kFrontCover);
  AppendWord(block, quint32(mime.size()));
  block += mime;
  AppendWord(block, 0);  // description
  for (int unknown = 0; unknown < 4; ++unknown)
    AppendWord(block, 0);  // width, height, depth, colours
  AppendWord(block, quint32(cover.bytes.size()));
  block += cover.bytes;
  return block;
}
