// info: the disc information record of the disc in the drive, as the disc cache holds it.
#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "metadata/current_disc.h"
#include "metadata/disc_info.h"

namespace {

int RunInfo(CliContext& ctx) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDriveWithDisc(ctx, drive, status)) return status;

  DiscInfo info;
  const bool cached = InitForCurrentDisc(info);
  if (!cached) LoadCdText(info);
  if (WantsJson(ctx)) {
    QJsonObject record = DiscInfoJson(info);
    record["cached"] = cached;
    PrintJson(ctx, record);
  } else {
    ctx.out << "Disc ID: " << info.discId << (cached ? "" : " (not in the disc cache)") << Qt::endl;
    ctx.out << "Artist: " << info.artist << Qt::endl << "Album: " << info.album << Qt::endl
            << "Year: " << info.year << Qt::endl << "Genre: " << info.genre << Qt::endl
            << "Comment: " << info.comment << Qt::endl;
    for (int i = 0; i < info.trackTitles.size(); ++i) {
      ctx.out << QString::asprintf("%2d  ", i + 1) << info.GetTrackArtist(i) << " - " << info.GetTrackTitle(i)
              << Qt::endl;
    }
  }
  info.discId.clear();  // only reading: the record goes without being stored again
  return Exit::Ok;
}

const RegisterCommand kInfo({"info", "[--json]", "Print the disc's artist, album, year, genre and titles.",
                             AddJsonOption, RunInfo});

}  // namespace
