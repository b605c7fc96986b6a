#include "app/musicbrainz_lookup.h"

#include <QCoreApplication>
#include <optional>

#include "drive/drive_context.h"
#include "encoders/tag_record.h"
#include "metadata/current_disc.h"
#include "metadata/disc_info.h"

namespace {

TocAddresses CurrentToc() {
  CdDevice* device = DriveContext::Instance().device.load();
  return device && DriveContext::Instance().present ? TocAddressesOf(*device) : TocAddresses{};
}

bool WantsCover() { return EmbedsCover() || SavesCoverFile(); }

template <typename Result, typename Start>
Result RunUntilEnded(Start start) {
  std::optional<Result> result;
  start([&result](const Result& ended) { result = ended; });
  while (!result) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return *result;
}

}  // namespace

MusicBrainzLookup::MusicBrainzLookup(DiscInfo& info, MusicBrainzSettings settings)
    : info_(info), settings_(settings), client_(std::move(settings)) {}

bool MusicBrainzLookup::FindReleases(std::function<void(const Releases&)> ended) {
  const TocAddresses toc = CurrentToc();
  const QString discId = MusicBrainzDiscId(toc);
  if (discId.isEmpty()) return false;
  const QString submissionUrl = MusicBrainzSubmissionUrl(settings_.server, toc);
  client_.LookUp(discId, [ended, submissionUrl](const MusicBrainzClient::Answer& answer) {
    Releases releases;
    releases.releases = answer.releases;
    releases.message = answer.message;
    switch (answer.status) {
      case MusicBrainzClient::Answer::Status::Found:
        releases.status = LookupOutcome::Status::Found;
        break;
      case MusicBrainzClient::Answer::Status::NotFound:
        releases.status = LookupOutcome::Status::NotFound;
        releases.submissionUrl = submissionUrl;
        break;
      default: releases.status = LookupOutcome::Status::Failed;
    }
    ended(releases);
  });
  return true;
}

MusicBrainzLookup::Releases MusicBrainzLookup::RunFindReleases() {
  Releases noDisc;
  noDisc.status = LookupOutcome::Status::NoDisc;
  bool started = true;
  Releases result = RunUntilEnded<Releases>([&](std::function<void(const Releases&)> ended) {
    started = FindReleases(ended);
    if (!started) ended(noDisc);
  });
  return result;
}

void MusicBrainzLookup::Apply(const MusicBrainzRelease& release,
                              std::function<void(const Applied&)> ended) {
  ApplyMusicBrainzRelease(release, info_);
  Applied applied;
  SaveLookupResult(info_, applied.stored);
  if (!WantsCover() || IsCoverKnown(release.id)) return ended(applied);
  const QString releaseId = release.id;
  client_.FetchCover(
      releaseId, [ended, releaseId, applied](const MusicBrainzClient::CoverAnswer& answer) mutable {
        if (answer.ok) StoreCover(releaseId, answer.cover);
        applied.coverProblem = answer.message;
        ended(applied);
      });
}

MusicBrainzLookup::Applied MusicBrainzLookup::RunApply(const MusicBrainzRelease& release) {
  return RunUntilEnded<Applied>(
      [&](std::function<void(const Applied&)> ended) { Apply(release, ended); });
}

int MusicBrainzLookup::FindRelease(const QList<MusicBrainzRelease>& releases, const QString& id) {
  for (int i = 0; i < releases.size(); ++i) {
    if (id.isEmpty() || releases[i].id.compare(id, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}
