#include "app/disc_lookup.h"

#include <QCoreApplication>
#include <QDir>

#include "drive/drive_context.h"
#include "metadata/current_disc.h"
#include "metadata/disc_info.h"

bool LoadDiscInformation(DiscInfo& info) {
  const bool cached = InitForCurrentDisc(info);
  if (!cached) LoadCdText(info);
  return cached;
}

DiscLookup::DiscLookup(DiscInfo& info, FreeDbAccess access, const FreeDbClientSettings& settings)
    : info_(info), client_(FreeDbClient::Create(access)) {
  client_->SetSettings(settings);
  client_->SetReporter([this](const LookupReport& report) { OnReport(report); });
}

DiscLookup::~DiscLookup() = default;

void DiscLookup::SetTimeouts(int connectMs, int answerMs) {
  client_->SetTimeouts(connectMs, answerMs);
}

void DiscLookup::SetMatchChooser(FreeDbClient::MatchChooser chooser) {
  client_->SetMatchChooser(std::move(chooser));
}

void DiscLookup::ChooseMatch(int index) { client_->ChooseMatch(index); }

bool DiscLookup::Start() {
  outcome_ = LookupOutcome();
  CdDevice* device = DriveContext::Instance().device.load();
  const TocAddresses toc =
      device && DriveContext::Instance().present ? TocAddressesOf(*device) : TocAddresses{};
  if (!client_->Run(&info_, toc)) {
    outcome_.status = LookupOutcome::Status::NoDisc;
    return false;
  }
  return true;
}

LookupOutcome DiscLookup::Run() {
  if (!Start()) return outcome_;
  while (outcome_.status == LookupOutcome::Status::Running) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return outcome_;
}

void DiscLookup::OnReport(const LookupReport& report) {
  if (report.Ends()) return End(report);
  outcome_.message = report.text.trimmed();
  if (statusLine_) statusLine_(report.value, report.text);
}

bool SaveLookupResult(const DiscInfo& info, LookupOutcome& outcome) {
  outcome.cached = info.SaveToCache();
  if (!outcome.cached)
    outcome.message = QStringLiteral("the disc cache could not be written: ") +
                      QDir::toNativeSeparators(DiscInfo::CachePath());
  return outcome.cached;
}

void DiscLookup::End(const LookupReport& report) {
  Conclude(report);
  if (ended_) ended_();
}

void DiscLookup::Conclude(const LookupReport& report) {
  if (report.state == LookupReport::State::Succeeded) {
    // With the various-artists mark the entry decided (one artist, or a compilation).
    outcome_.status = LookupOutcome::Status::Found;
    SaveLookupResult(info_, outcome_);
    return;
  }
  const bool notFound = client_->DiscNotFound();
  // A lookup without a match ends on "Closing connection.."; the line before it says why.
  if (!notFound && !report.text.trimmed().isEmpty()) outcome_.message = report.text.trimmed();
  // What a failed lookup left in the record (the category of a match) is not kept.
  LoadDiscInformation(info_);
  outcome_.status = notFound ? LookupOutcome::Status::NotFound : LookupOutcome::Status::Failed;
}
