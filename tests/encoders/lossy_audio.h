#pragma once
#include <QByteArray>
#include <QMap>
#include <QString>
#include <cstdint>

class AudioEncoder;
struct TagRecord;

// Test audio and the checks made on decoded lossy files.

// frames of raw CD audio: a rising sweep on the left and a falling one on the right, at half
// of full scale, so no two stretches are alike and a shift or a channel swap shows.
QByteArray SweepAudio(int frames);

// The audio ffmpeg decodes from a file, as 16-bit little-endian stereo at 44,100 Hz.
QByteArray DecodeToPcm(const QString& path);

// The lag (decoded frames before the source's first frame) at which the decoded left channel
// matches the source best, searched from 0 to maxLag.
int BestLag(const QByteArray& source, const QByteArray& decoded, int maxLag);

// The normalised correlation of one channel (0 left, 1 right; 2 their mean) of the source
// with the decoded audio taken from frame lag on.
double Correlation(const QByteArray& source, const QByteArray& decoded, int lag, int channel);

// The tags ffprobe reads from a file (format and stream tags, names in lower case).
QMap<QString, QString> ProbeTags(const QString& path);
// ffprobe's duration of a file, in seconds.
double ProbeDuration(const QString& path);
// The mean level in dB of a file's audio above 8 kHz (a steep high-pass, then ffmpeg's
// volume meter); raw for 16-bit stereo PCM at 44,100 Hz without a header.
double HighBandLevel(const QString& path, bool raw);

// Encodes audio the way a rip feeds a codec: pieces of chunkBytes (a rip's chunk of 27
// sectors unless told), the last one shorter, for the third of twelve tracks.
bool EncodeAsRip(AudioEncoder& codec, const QString& path, const QByteArray& audio,
                 const TagRecord* tags = nullptr, uint32_t chunkBytes = 27 * 2352);

// Tags with a title beyond Latin-1 and every other text set, as a user's edited disc has them.
TagRecord UnicodeTags();
