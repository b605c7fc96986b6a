#include "cli/cli_disc.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "metadata/current_disc.h"
#include "metadata/disc_info.h"

namespace {

const QCommandLineOption kJson("json", "Print one JSON document.");

}  // namespace

void AddJsonOption(QCommandLineParser& parser) { parser.addOption(kJson); }

bool WantsJson(const CliContext& ctx) { return ctx.parser.isSet(kJson); }

QString& WantedDrive() {
  static QString wanted;
  return wanted;
}

void PrintJson(CliContext& ctx, const QJsonObject& object) {
  ctx.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << Qt::endl;
}

// The virtual drive takes its disc from the environment before anything asks for drives.
bool SetUpVirtualDrive(CliContext& ctx, int& status) {
  QString error;
  if (SetUpVirtualDriveFromEnvironment(&error)) return true;
  status = Fail(ctx, Exit::BadArguments, error);
  return false;
}

// Sets up the drives and selects the one asked for; on failure status holds the exit code.
bool SelectDrive(CliContext& ctx, QString& displayName, int& status) {
  if (!SetUpVirtualDrive(ctx, status)) return false;
  switch (SelectPreferredDrive(WantedDrive(), displayName)) {
    case DriveChoice::Selected: return true;
    case DriveChoice::NoDrive: status = Fail(ctx, Exit::NoDisc, "no CD drive found"); return false;
    case DriveChoice::UnknownDrive:
      status = Fail(ctx, Exit::NoDisc,
                    QString("no drive named \"%1\" (see korvane-cli drives)").arg(WantedDrive()));
      return false;
    case DriveChoice::NotSelected: break;
  }
  status = Fail(ctx, Exit::NoDisc, QString("%1 does not answer").arg(displayName));
  return false;
}

int DiscProblem(CliContext& ctx, DiscState state, const QString& drive) {
  switch (state) {
    case DiscState::TrayOpen:
      return Fail(ctx, Exit::NoDisc, QString("the tray of %1 is open").arg(drive));
    case DiscState::NoDisc: return Fail(ctx, Exit::NoDisc, QString("no disc in %1").arg(drive));
    default: return Fail(ctx, Exit::NoDisc, QString("%1 is not available").arg(drive));
  }
}

bool SelectDriveWithDisc(CliContext& ctx, QString& displayName, int& status) {
  if (!SelectDrive(ctx, displayName, status)) return false;
  const DiscState state = CurrentDiscState();
  if (state == DiscState::Ready) return true;
  status = DiscProblem(ctx, state, displayName);
  return false;
}

QString AccurateRipIdText(CdDevice& device) {
  const std::optional<AccurateRipId> id = AccurateRipIdOf(device);
  return id ? id->Text() : QString();
}

QJsonObject DiscInfoJson(const DiscInfo& info) {
  CdDevice* device = DriveContext::Instance().device;
  QJsonArray tracks;
  for (int i = 0; i < info.trackTitles.size(); ++i) {
    bool data = false;
    if (device) device->IsDataTrack(i, data);
    QJsonObject track{{"number", i + 1},
                      {"title", info.GetTrackTitle(i)},
                      {"artist", info.GetTrackArtist(i)},
                      {"data", data}};
    if (!info.RecordingId(i).isEmpty()) track["musicBrainzRecordingId"] = info.RecordingId(i);
    if (!info.TrackId(i).isEmpty()) track["musicBrainzTrackId"] = info.TrackId(i);
    tracks.append(track);
  }
  QJsonObject record{{"discId", info.discId},
                     {"artist", info.artist},
                     {"album", info.album},
                     {"year", info.year},
                     {"genre", info.genre},
                     {"comment", info.comment},
                     {"variousArtists", info.GetVariousArtists() == 1},
                     {"tracks", tracks}};
  if (info.discNumber > 0) {
    record["discNumber"] = info.discNumber;
    record["discTotal"] = info.discTotal;
  }
  if (!info.musicBrainz.release.isEmpty()) {
    record["musicBrainz"] = QJsonObject{{"releaseId", info.musicBrainz.release},
                                        {"releaseGroupId", info.musicBrainz.releaseGroup},
                                        {"albumArtistId", info.musicBrainz.albumArtist}};
  }
  return record;
}
