// The drive commands: drives, toc, eject, load; and the options --virtual-disc and --drive.
#include <QJsonArray>
#include <QJsonObject>

#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "drive/cd_device.h"
#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "metadata/current_disc.h"

namespace {

const RegisterGlobalOption kVirtualDisc(
    {QCommandLineOption("virtual-disc",
                        "Put a disc image (a .cue file, or demo) in the virtual drive.",
                        "PATH|demo"),
     [](const QString& disc) { qputenv("KORVANE_VIRTUAL_DISC", disc.toLocal8Bit()); }});

const RegisterGlobalOption kDrive(
    {QCommandLineOption("drive",
                        "The drive to use: a display name, or a device name such as sr0 or vcd0.",
                        "NAME"),
     [](const QString& name) { WantedDrive() = name; }});

int RunDrives(CliContext& ctx) {
  int status = Exit::Ok;
  if (!SetUpVirtualDrive(ctx, status)) return status;
  const QStringList drives = ListDrives();
  if (drives.isEmpty()) return Fail(ctx, Exit::NoDisc, "no CD drive found");
  if (WantsJson(ctx)) {
    PrintJson(ctx, {{"drives", QJsonArray::fromStringList(drives)}});
  } else {
    for (const QString& drive : drives) ctx.out << drive << Qt::endl;
  }
  return Exit::Ok;
}

struct TrackLine {
  int number = 0;
  int start = 0;
  int end = 0;
  int64_t bytes = 0;
  int seconds = 0;
  bool data = false;
};

bool ReadTrack(CdDevice& device, int index, TrackLine& line) {
  line.number = index + 1;
  return device.GetTrackStart(index, line.start) && device.GetTrackEnd(index, line.end) &&
         device.GetDiscSize(index, line.bytes) && device.GetTrackSeconds(index, line.seconds) &&
         device.IsDataTrack(index, line.data);
}

void PrintTocText(CliContext& ctx, const QString& discType, const QList<TrackLine>& tracks) {
  ctx.out << "Disc type: " << discType << Qt::endl;
  for (const TrackLine& t : tracks) {
    ctx.out << QString::asprintf("%2d  %6d  %6d  %8.2f MiB  %02d:%02d  %s", t.number, t.start,
                                 t.end, t.bytes / 1048576.0, t.seconds / 60, t.seconds % 60,
                                 t.data ? "data" : "audio")
            << Qt::endl;
  }
}

void PrintTocJson(CliContext& ctx, CdDevice& device, const QString& drive, const QString& discType,
                  const QList<TrackLine>& tracks) {
  QJsonArray list;
  for (const TrackLine& t : tracks) {
    list.append(QJsonObject{{"number", t.number},
                            {"start", t.start},
                            {"end", t.end},
                            {"bytes", static_cast<qint64>(t.bytes)},
                            {"seconds", t.seconds},
                            {"data", t.data}});
  }
  PrintJson(ctx, {{"drive", drive},
                  {"discType", discType},
                  {"musicBrainzId", MusicBrainzDiscId(TocAddressesOf(device))},
                  {"accurateRipId", AccurateRipIdText(device)},
                  {"tracks", list}});
}

int RunToc(CliContext& ctx) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDriveWithDisc(ctx, drive, status)) return status;

  CdDevice& device = *DriveContext::Instance().device.load();
  int count = 0;
  device.GetTrackCount(count);
  QList<TrackLine> tracks;
  for (int index = 0; index < count; ++index) {
    TrackLine line;
    if (!ReadTrack(device, index, line)) {
      return Fail(ctx, Exit::Failed,
                  QString("cannot read track %1 of %2").arg(index + 1).arg(drive));
    }
    tracks.append(line);
  }
  const std::optional<DiscType> type = DetectDiscType();
  if (!type)
    return Fail(ctx, Exit::Failed, QString("cannot tell the kind of disc in %1").arg(drive));
  if (WantsJson(ctx)) {
    PrintTocJson(ctx, device, drive, type->name, tracks);
  } else {
    PrintTocText(ctx, type->shownName, tracks);
  }
  return Exit::Ok;
}

int MoveTray(CliContext& ctx, bool eject) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDrive(ctx, drive, status)) return status;
  const DriveContext& context = DriveContext::Instance();
  context.StopPlayback();
  const DriveClaim claim(DriveUse::Tray);
  if (!claim.Held()) return Fail(ctx, Exit::Failed, claim.Reason());
  CdDevice& device = *context.device.load();
  if (eject ? device.EjectTray() : device.LoadTray()) return Exit::Ok;
  return Fail(ctx, Exit::Failed,
              QString("%1 refused to %2 its tray").arg(drive, eject ? "open" : "close"));
}

const RegisterCommand kDrives({"drives", "[--json]", "List the CD drives, one display name a line.",
                               AddJsonOption, RunDrives});
const RegisterCommand kToc(
    {"toc", "[--json]",
     "Print the disc type and the tracks: number, first and last sector, size, time, kind.",
     AddJsonOption, RunToc});
const RegisterCommand kEject({"eject", "", "Open the drive's tray.", {}, [](CliContext& ctx) {
                                return MoveTray(ctx, true);
                              }});
const RegisterCommand kLoad({"load", "", "Close the drive's tray.", {}, [](CliContext& ctx) {
                               return MoveTray(ctx, false);
                             }});

}  // namespace
