#pragma once
#include <type_traits>

// The identifiers that the settings file stores or a peer reads, one enum per family. Each
// value is the number stored for it; FromStored maps any number a family does not know to
// that family's default, so a hand-edited or old settings file still names a valid choice.

// Output formats, by their menu command identifiers ("FormatSelected").
enum class FormatId : int {
  Aac = 11009,
  Mp3 = 11010,
  Ogg = 11011,
  Wav = 11012,
  Wma = 11013,
  CueBin = 11014,
  Iso = 11015,
  Flac = 11016,
  Opus = 11017,
  M4a = 11019,  // 11018 is the Edit Disc Info command
};
// The stored ids lie between AAC's and the newest format's.
inline constexpr FormatId kNewestFormat = FormatId::M4a;
// Earlier builds stored AAC (M4A) as 11018, the Edit Disc Info command's number, where the
// menu could not tell the two apart; a settings file holding it still means that format.
inline constexpr int kEarlierM4aStored = 11018;

// How the drives are reached ("AccessMethod"): the system's pass-through interface, or the
// generic SCSI driver that the options dialog calls "ASPI Layer".
enum class DriveAccess : int {
  PassThrough = 4002,
  Generic = 4003,
};

// How audio is read ("ReadMode"): each sector once, or each chunk until two reads agree.
enum class ReadMode : int {
  Fast = 0,
  Secure = 1,
};

// How the freedb server is reached ("fdAccessMethod"): the line protocol over TCP, or HTTP.
enum class FreeDbAccess : int {
  Tcp = 1068,
  Http = 1069,
};

// The proxy between the program and the freedb server ("fdProxyType"), by the options
// dialog's radio identifiers.
enum class ProxyKind : int {
  Direct = 1051,
  Socks4 = 1052,
  Socks4a = 1053,
  Socks5 = 1054,
  Http11 = 1055,
};

// How a track's file is named ("FileNameFormat"): a fixed pattern, or the
// "AdvancedFileFormat" template.
enum class NamingPattern : int {
  TrackTitle = 4013,             // "01 - Title"
  ArtistTrackTitle = 4014,       // "Artist - 01 - Title"
  ArtistAlbumTrackTitle = 4015,  // "Artist - Album - 01 - Title"
  Advanced = 40150,
};

// What becomes of a release's front cover ("MusicBrainz"/"Cover").
enum class CoverUse : int {
  Embed = 0,  // into each file's tags
  File = 1,   // "cover.jpg" or "cover.png" in the album folder
  Both = 2,
  None = 3,
};

// The order of the online sources of the automatic lookup after a disc arrives
// ("MusicBrainz"/"LookupOrder"); the second is asked when the first does not know the disc.
enum class LookupOrder : int {
  MusicBrainzFirst = 0,
  FreeDbFirst = 1,
  MusicBrainzOnly = 2,
  FreeDbOnly = 3,
};

// What a status report is about. Not stored; the numbers are those the reports always had.
enum class StatusKind : int {
  TrackProgress = 1,
  FreeDbLookup = 2,
  Player = 4,
  ImageProgress = 5,
};

// The number a settings file stores or a peer reads for an identifier.
template <typename Id>
requires std::is_enum_v<Id>
constexpr int ToStored(Id id) { return static_cast<int>(id); }

template <typename Id>
constexpr Id FromStored(int stored);

// MP3 for a number that names no format.
template <>
constexpr FormatId FromStored<FormatId>(int stored) {
  if (stored == kEarlierM4aStored) return FormatId::M4a;
  return stored >= ToStored(FormatId::Aac) && stored <= ToStored(kNewestFormat)
             ? static_cast<FormatId>(stored)
             : FormatId::Mp3;
}

// Only 4003 chooses the generic driver.
template <>
constexpr DriveAccess FromStored<DriveAccess>(int stored) {
  return stored == ToStored(DriveAccess::Generic) ? DriveAccess::Generic : DriveAccess::PassThrough;
}

template <>
constexpr ReadMode FromStored<ReadMode>(int stored) {
  return stored == ToStored(ReadMode::Secure) ? ReadMode::Secure : ReadMode::Fast;
}

// A direct connection for a number that names no proxy (0 among them).
template <>
constexpr ProxyKind FromStored<ProxyKind>(int stored) {
  return stored >= ToStored(ProxyKind::Socks4) && stored <= ToStored(ProxyKind::Http11)
             ? static_cast<ProxyKind>(stored)
             : ProxyKind::Direct;
}

// The template for any number that names no fixed pattern.
template <>
constexpr NamingPattern FromStored<NamingPattern>(int stored) {
  return stored >= ToStored(NamingPattern::TrackTitle) &&
                 stored <= ToStored(NamingPattern::ArtistAlbumTrackTitle)
             ? static_cast<NamingPattern>(stored)
             : NamingPattern::Advanced;
}

// Only 1069 chooses HTTP.
template <>
constexpr FreeDbAccess FromStored<FreeDbAccess>(int stored) {
  return stored == ToStored(FreeDbAccess::Http) ? FreeDbAccess::Http : FreeDbAccess::Tcp;
}

// Both for a number that names no choice.
template <>
constexpr CoverUse FromStored<CoverUse>(int stored) {
  return stored >= ToStored(CoverUse::Embed) && stored <= ToStored(CoverUse::None)
             ? static_cast<CoverUse>(stored)
             : CoverUse::Both;
}

// MusicBrainz first for a number that names no order.
template <>
constexpr LookupOrder FromStored<LookupOrder>(int stored) {
  return stored >= ToStored(LookupOrder::MusicBrainzFirst) &&
                 stored <= ToStored(LookupOrder::FreeDbOnly)
             ? static_cast<LookupOrder>(stored)
             : LookupOrder::MusicBrainzFirst;
}
