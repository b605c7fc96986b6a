#pragma once
#include <QByteArray>

struct CoverImage;

// The front cover as a FLAC PICTURE metadata block body (picture type 3, the MIME type, no
// description, the data), which Vorbis comments carry base64-encoded as
// METADATA_BLOCK_PICTURE. Width, height and colour depth are 0: unknown, which the format allows.
QByteArray FlacPictureBlock(const CoverImage& cover);
