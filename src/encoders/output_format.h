#pragma once
#include <QList>
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

// What a format writes: a file per track, or one image of the whole disc.
enum class FormatKind {
  Track,
  RawImage,         // every sector as read, with a CUE sheet: any CD
  FileSystemImage,  // the data track's file system: a data disc
};

class OutputFormat;

// Everything the program knows of one output format; every list of formats (the menus, the
// toolbar, the options dialog, the command line, the formats a disc allows) is read from
// these.
struct FormatDescriptor {
  FormatId id;  // stored in "FormatSelected", and the Format menu's command identifier
  int typeId;   // EncoderType
  FormatKind kind;
  bool lossless;
  const char* extension;  // with its dot, at most 7 characters
  int iconId;
  const char* iniSection;  // empty for formats without settings
  const char* name;        // for messages: "MP3", "Ogg Vorbis", ...
  const char* shortName;   // for the command line: "mp3", "ogg", ...
  const char* menuText;    // the Format menu's item, never translated: "AAC (M4A)", "CUE/BIN"
  const char* badge;       // on the format's icon and in the options dialog's list: "M4A"
  unsigned badgeColour;    // 0xRRGGBB, the band of the format's icon
  // A new output-format object of the format's own class (its settings), nothing loaded.
  std::unique_ptr<OutputFormat> (*make)(const FormatDescriptor&);

  bool IsImage() const { return kind != FormatKind::Track; }
  bool HasSettings() const { return *iniSection != '\0'; }
};

// The formats in the options dialog's list order: the order they were added in.
std::span<const FormatDescriptor> FormatDescriptors();
// The formats in the Format menu's order: the track formats in list order, then the images.
QList<const FormatDescriptor*> FormatsInMenuOrder();
// The descriptor of a format; MP3's for a number outside the enumeration.
const FormatDescriptor& FindFormat(FormatId format);
// The descriptor of a command-line name ("wav", "mp3", ...), case-insensitive; null when none
// has it.
const FormatDescriptor* FindFormatByName(const QString& shortName);
// The command-line names of the formats this build can write, in list order.
QStringList WritableFormatShortNames();

// A chosen output format with its settings. LoadSettings reads the format's INI section,
// ApplySettings makes them the settings of the codecs CreateEncoder makes from then on,
// SaveSettings writes them back. A format with settings is a subclass of its own; formats
// without settings do nothing there.
class OutputFormat {
 public:
  explicit OutputFormat(const FormatDescriptor& descriptor);
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

  const FormatDescriptor& Descriptor() const { return descriptor_; }
  QString Extension() const { return QString::fromLatin1(descriptor_.extension); }
  int IconId() const { return descriptor_.iconId; }
  // The position in the options dialog's list.
  int ListPosition() const;

  // True when this build can write the format.
  bool IsAvailable() const;
  // Why the format cannot be written ("MP3 encoding is not available in this build");
  // empty when it can.
  QString UnavailableMessage() const;

 private:
  const FormatDescriptor& descriptor_;
};

// A new output-format object for a format (the format's own subclass when it has one), its
// settings loaded and applied.
std::unique_ptr<OutputFormat> CreateOutputFormat(FormatId format);
