// The drive commands: drives, toc, eject, load; and the options --virtual-disc and --drive.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cli_command.h"
#include "drive/cd_device.h"
#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"

namespace {

QString& WantedDrive() {
  static QString wanted;
  return wanted;
}

const RegisterGlobalOption kVirtualDisc(
    {QCommandLineOption("virtual-disc", "Put a disc image (a .cue file, or demo) in the virtual drive.",
                        "PATH|demo"),
     [](const QString& disc) { qputenv("KORVANE_VIRTUAL_DISC", disc.toLocal8Bit()); }});

const RegisterGlobalOption kDrive(
    {QCommandLineOption("drive", "The drive to use: a display name, or a device name such as sr0 or vcd0.",
                        "NAME"),
     [](const QString& name) { WantedDrive() = name; }});

const QCommandLineOption kJson("json", "Print one JSON document.");

void AddJsonOption(QCommandLineParser& parser) { parser.addOption(kJson); }

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
    case DriveChoice::Selected:
      return true;
    case DriveChoice::NoDrive:
      status = Fail(ctx, Exit::NoDisc, "no CD drive found");
      return false;
    case DriveChoice::UnknownDrive:
      status = Fail(ctx, Exit::NoDisc, QString("no drive named \"%1\" (see korvane-cli drives)").arg(WantedDrive()));
      return false;
    case DriveChoice::NotSelected:
      break;
  }
  status = Fail(ctx, Exit::NoDisc, QString("%1 does not answer").arg(displayName));
  return false;
}

int RunDrives(CliContext& ctx) {
  int status = Exit::Ok;
  if (!SetUpVirtualDrive(ctx, status)) return status;
  const QStringList drives = ListDrives();
  if (drives.isEmpty()) return Fail(ctx, Exit::NoDisc, "no CD drive found");
  if (ctx.parser.isSet(kJson)) {
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

int DiscProblem(CliContext& ctx, DiscState state, const QString& drive) {
  switch (state) {
    case DiscState::TrayOpen:
      return Fail(ctx, Exit::NoDisc, QString("the tray of %1 is open").arg(drive));
    case DiscState::NoDisc:
      return Fail(ctx, Exit::NoDisc, QString("no disc in %1").arg(drive));
    default:
      return Fail(ctx, Exit::NoDisc, QString("%1 is not available").arg(drive));
  }
}

void PrintTocText(CliContext& ctx, const QString& discType, const QList<TrackLine>& tracks) {
  ctx.out << "Disc type: " << discType << Qt::endl;
  for (const TrackLine& t : tracks) {
    ctx.out << QString::asprintf("%2d  %6d  %6d  %8.2f MiB  %02d:%02d  %s", t.number, t.start, t.end,
                                 t.bytes / 1048576.0, t.seconds / 60, t.seconds % 60, t.data ? "data" : "audio")
            << Qt::endl;
  }
}

void PrintTocJson(CliContext& ctx, const QString& drive, const QString& discType, const QList<TrackLine>& tracks) {
  QJsonArray list;
  for (const TrackLine& t : tracks) {
    list.append(QJsonObject{{"number", t.number},
                            {"start", t.start},
                            {"end", t.end},
                            {"bytes", static_cast<qint64>(t.bytes)},
                            {"seconds", t.seconds},
                            {"data", t.data}});
  }
  PrintJson(ctx, {{"drive", drive}, {"discType", discType}, {"tracks", list}});
}

int RunToc(CliContext& ctx) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDrive(ctx, drive, status)) return status;
  const DiscState state = CurrentDiscState();
  if (state != DiscState::Ready) return DiscProblem(ctx, state, drive);

  CdDevice& device = *DriveContext::Instance().device.load();
  int count = 0;
  device.GetTrackCount(count);
  QList<TrackLine> tracks;
  for (int index = 0; index < count; ++index) {
    TrackLine line;
    if (!ReadTrack(device, index, line)) {
      return Fail(ctx, Exit::Failed, QString("cannot read track %1 of %2").arg(index + 1).arg(drive));
    }
    tracks.append(line);
  }
  const std::optional<DiscType> type = DetectDiscType();
  if (!type) return Fail(ctx, Exit::Failed, QString("cannot tell the kind of disc in %1").arg(drive));
  if (ctx.parser.isSet(kJson)) {
    PrintTocJson(ctx, drive, type->name, tracks);
  } else {
    PrintTocText(ctx, type->name, tracks);
  }
  return Exit::Ok;
}

int MoveTray(CliContext& ctx, bool eject) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDrive(ctx, drive, status)) return status;
  const DriveContext& context = DriveContext::Instance();
  context.StopPlayback();
  CdDevice& device = *context.device.load();
  if (eject ? device.EjectTray() : device.LoadTray()) return Exit::Ok;
  return Fail(ctx, Exit::Failed, QString("%1 refused to %2 its tray").arg(drive, eject ? "open" : "close"));
}

const RegisterCommand kDrives({"drives", "[--json]", "List the CD drives, one display name a line.",
                               AddJsonOption, RunDrives});
const RegisterCommand kToc({"toc", "[--json]",
                            "Print the disc type and the tracks: number, first and last sector, size, time, kind.",
                            AddJsonOption, RunToc});
const RegisterCommand kEject({"eject", "", "Open the drive's tray.", {}, [](CliContext& ctx) { return MoveTray(ctx, true); }});
const RegisterCommand kLoad({"load", "", "Close the drive's tray.", {}, [](CliContext& ctx) { return MoveTray(ctx, false); }});

}  // namespace
