#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <span>

#include "platform/ids.h"

class AudioEncoder;

// Type identifiers the encoder and image-writer factories choose by.
namespace EncoderType {
constexpr int Mp3 = 0;
constexpr int Ogg = 1;
constexpr int Wav = 2;
constexpr int Wma = 3;
constexpr int Aac = 4;
constexpr int Iso = 5;
constexpr int BinCue = 6;
constexpr int Flac = 7;
constexpr int Opus = 8;
constexpr int M4a = 9;
}  // namespace EncoderType

// One row of the table of output formats.
struct FormatRow {
  FormatId menuId;
  int typeId;
  const char* extension;  // with its dot, at most 7 characters
  int iconId;
  int listPosition;
  const char* iniSection;  // empty for formats without settings
  const char* name;        // for messages: "MP3", "Ogg Vorbis", ...
  const char* shortName;   // for the command line: "mp3", "ogg", ...
};

// The formats in list order.
std::span<const FormatRow> FormatRows();
// The row of a format.
const FormatRow& FindFormatRow(FormatId format);
// The row of a command-line name ("wav", "mp3", ...), case-insensitive; null when none has it.
const FormatRow* FindFormatRowByShortName(const QString& shortName);
// The command-line names of the formats this build can write, in list order.
QStringList WritableFormatShortNames();

// A chosen output format with its settings. LoadSettings reads the format's INI section,
// ApplySettings makes them the settings of the codecs CreateEncoder makes from then on,
// SaveSettings writes them back. A format with settings is a subclass of its own; formats
// without settings do nothing there.
class OutputFormat {
 public:
  explicit OutputFormat(const FormatRow& row);
  virtual ~OutputFormat();

  virtual int TypeId() const;
  // 1 for the audio formats, 0 for the two disc images.
  virtual int IsTrackFormat() const;
  virtual void LoadSettings() {}
  virtual void ApplySettings() {}
  virtual void SaveSettings() {}
  // A new codec for one track run, configured with the applied settings; null when this
  // build has none (and for disc images).
  virtual std::unique_ptr<AudioEncoder> CreateEncoder() const;

  const FormatRow& Row() const { return row_; }
  QString Extension() const { return QString::fromLatin1(row_.extension); }
  int IconId() const { return row_.iconId; }
  int ListPosition() const { return row_.listPosition; }

  // True when this build can write the format.
  bool IsAvailable() const;
  // Why the format cannot be written ("MP3 encoding is not available in this build");
  // empty when it can.
  QString UnavailableMessage() const;

 private:
  const FormatRow& row_;
};

// A new output-format object for a format (the format's own subclass when it has one), its
// settings loaded and applied.
std::unique_ptr<OutputFormat> CreateOutputFormat(FormatId format);
