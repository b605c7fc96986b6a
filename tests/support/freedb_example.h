#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "metadata/disc_id.h"

// The worked example disc of the freedb tests: two tracks starting at 0:02 and 3:30, the
// lead-out at 7:00. Its identifier is 0501a202 (0501A202 as the disc cache writes it).
namespace FreedbExample {

inline TocAddresses Toc() { return TocAddresses{{{0, 2, 0}, {3, 30, 0}}, {7, 0, 0}}; }

inline const QByteArray kId = "0501a202";
inline const QString kQuery = QStringLiteral("cddb query 0501a202 2 150 15750 420");

// The entry a server sends for it, "Test Artist / Test Album", as xmcd text without the final ".".
inline const QByteArray kEntry =
    "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\t15750\r\n#\r\n# Disc length: 420 "
    "seconds\r\n#\r\n"
    "DISCID=0501a202\r\nDTITLE=Test Artist / Test Album\r\nDYEAR=2001\r\nDGENRE=Art Rock\r\n"
    "TTITLE0=Opening\r\nTTITLE1=Closing\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\nPLAYORDER=\r\n";
inline const QByteArray kExactAnswer = "200 rock 0501a202 Test Artist / Test Album\r\n";

}  // namespace FreedbExample

// An entry for a disc of the virtual drive: "Loop Artist / Loop Album" of 2024 in "Test Genre",
// with one title a track ("First Song", "Second Song", ... as many as trackCount, up to five).
inline QByteArray LoopAlbumEntry(const QByteArray& discId, int trackCount) {
  static const char* const kTitles[] = {"First", "Second", "Third", "Fourth", "Fifth"};
  QByteArray entry = "# xmcd\r\nDISCID=" + discId +
                     "\r\nDTITLE=Loop Artist / Loop Album\r\nDYEAR=2024\r\n"
                     "DGENRE=Test Genre\r\n";
  for (int i = 0; i < trackCount && i < 5; ++i) {
    entry += "TTITLE" + QByteArray::number(i) + '=' + kTitles[i] + " Song\r\n";
  }
  return entry + "EXTD=\r\n";
}
