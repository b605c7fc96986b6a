#pragma once
#include <QString>
#include <functional>
#include <memory>

#include "metadata/freedb_client.h"

class DiscInfo;

// The disc information of the disc in the current drive, as every front end shows it: the
// disc cache, else the disc's CD-TEXT. True when the disc was in the cache.
bool LoadDiscInformation(DiscInfo& info);

// How a lookup ended.
struct LookupOutcome {
  enum class Status { Running, Found, NotFound, Failed, NoDisc };
  Status status = Status::Running;
  QString message;  // the status line that says why, for NotFound and Failed; why cached is false
  bool cached = true;  // Found: the disc cache holds the result too
};

// Saves the record to the disc cache; true when it is stored, else false with the message that
// names the cache file.
bool SaveLookupResult(const DiscInfo& info, LookupOutcome& outcome);

// A freedb lookup of the disc in the current drive, from the client's start to the stored
// result: what the lookup dialog and `korvane-cli lookup` both run. A lookup that finds
// the disc stores it in the disc cache, with the various-artists mark the entry gives (a
// compilation's, or none for one artist) in place of one that CD-TEXT left; one that fails
// leaves the record as the disc cache or CD-TEXT had it.
class DiscLookup {
 public:
  // Each status line of the lookup, with its progress value.
  using StatusLine = std::function<void(double value, const QString& text)>;

  DiscLookup(DiscInfo& info, FreeDbAccess access, const FreeDbClientSettings& settings);
  ~DiscLookup();

  void SetStatusLine(StatusLine statusLine) { statusLine_ = std::move(statusLine); }
  // Called once when the lookup has ended, with Outcome() final. It must not destroy the
  // lookup; a front end that wants to, posts that to its event loop.
  void SetEnded(std::function<void()> ended) { ended_ = std::move(ended); }
  void SetTimeouts(int connectMs, int answerMs);
  // Lets the front end choose among the discs the server lists (see FreeDbClient); without
  // a chooser the first is taken.
  void SetMatchChooser(FreeDbClient::MatchChooser chooser);
  void ChooseMatch(int index);

  // Starts the lookup into the record as it stands (see LoadDiscInformation); false
  // (status NoDisc) when the drive holds no disc with tracks.
  bool Start();
  // Start, then runs the calling thread's event loop until the lookup has ended.
  LookupOutcome Run();
  const LookupOutcome& Outcome() const { return outcome_; }

 private:
  void OnReport(const LookupReport& report);
  void End(const LookupReport& report);
  // Sets the outcome and what the record keeps of the lookup.
  void Conclude(const LookupReport& report);

  DiscInfo& info_;
  std::unique_ptr<FreeDbClient> client_;
  StatusLine statusLine_;
  std::function<void()> ended_;
  LookupOutcome outcome_;
};
