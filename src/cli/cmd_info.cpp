// info: the disc information record of the disc in the drive, as the disc cache holds it.
#include "app/disc_lookup.h"
#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "metadata/disc_info.h"

namespace {

int RunInfo(CliContext& ctx) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDriveWithDisc(ctx, drive, status)) return status;

  DiscInfo info;
  const bool cached = LoadDiscInformation(info);
  const QString accurateRipId = AccurateRipIdText(*DriveContext::Instance().device.load());
  if (WantsJson(ctx)) {
    QJsonObject record = DiscInfoJson(info);
    record["cached"] = cached;
    record["accurateRipId"] = accurateRipId;
    PrintJson(ctx, record);
  } else {
    ctx.out << "Disc ID: " << info.discId << (cached ? "" : " (not in the disc cache)") << Qt::endl;
    if (!accurateRipId.isEmpty()) ctx.out << "AccurateRip ID: " << accurateRipId << Qt::endl;
    ctx.out << "Artist: " << Printable(info.artist) << Qt::endl
            << "Album: " << Printable(info.album) << Qt::endl
            << "Year: " << Printable(info.year) << Qt::endl
            << "Genre: " << Printable(info.genre) << Qt::endl
            << "Comment: " << Printable(info.comment) << Qt::endl;
    for (int i = 0; i < info.trackTitles.size(); ++i) {
      ctx.out << QString::asprintf("%2d  ", i + 1) << Printable(info.GetTrackArtist(i)) << " - "
              << Printable(info.GetTrackTitle(i)) << Qt::endl;
    }
  }
  return Exit::Ok;
}

const RegisterCommand kInfo({"info", "[--json]",
                             "Print the disc's artist, album, year, genre and titles.",
                             AddJsonOption, RunInfo});

}  // namespace
