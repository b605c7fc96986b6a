#pragma once
#include <QList>
#include <QString>
#include <functional>

#include "app/disc_lookup.h"
#include "metadata/musicbrainz_client.h"

class DiscInfo;

// A MusicBrainz lookup of the disc in the current drive, as every front end runs it: first
// the releases that hold the disc, then the one the user (or the command line's rule) chose,
// filled into the record and stored in the disc cache, with its front cover fetched once and
// kept (unless the "Cover" setting wants none).
class MusicBrainzLookup {
 public:
  struct Releases {
    LookupOutcome::Status status = LookupOutcome::Status::Running;
    QList<MusicBrainzRelease> releases;
    QString message;        // why it failed, or that the disc is unknown
    QString submissionUrl;  // where a person adds an unknown disc
  };

  explicit MusicBrainzLookup(DiscInfo& info,
                             MusicBrainzSettings settings = MusicBrainzSettings::FromSettings());

  void SetTimeouts(int connectMs, int answerMs) { client_.SetTimeouts(connectMs, answerMs); }

  // Asks which releases hold the disc; ended is called once, from the event loop. False, with
  // nothing called, when the drive holds no disc with tracks.
  bool FindReleases(std::function<void(const Releases&)> ended);
  // FindReleases, running the calling thread's event loop until it has ended.
  Releases RunFindReleases();

  // How taking a release ended: the record always holds it; stored says whether the disc cache
  // does too (else message says why), coverProblem why the front cover could not be fetched.
  struct Applied {
    LookupOutcome stored{LookupOutcome::Status::Found, QString(), true};
    QString coverProblem;
  };
  // Fills the record from the release and stores it in the disc cache, then fetches its front
  // cover unless it is known already or unwanted.
  void Apply(const MusicBrainzRelease& release, std::function<void(const Applied&)> ended);
  Applied RunApply(const MusicBrainzRelease& release);

  // The index of the release with this id (any release when the id is empty); -1 when none.
  static int FindRelease(const QList<MusicBrainzRelease>& releases, const QString& id);

 private:
  DiscInfo& info_;
  MusicBrainzSettings settings_;
  MusicBrainzClient client_;
};
