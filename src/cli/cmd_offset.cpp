// offset / offset set N / offset detect: the current drive's read offset.
#include <atomic>
#include <cstdlib>

#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "drive/cd_device.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/read_offset.h"
#include "metadata/accuraterip_client.h"
#include "platform/console.h"
#include "rip/offset_detection.h"

namespace {

std::atomic<int> interrupted{0};

int PrintOffset(CliContext& ctx, int frames) {
  ctx.out << "Read offset: " << ReadOffsetText(frames) << Qt::endl;
  return Exit::Ok;
}

int SetOffset(CliContext& ctx, const QString& drive, const QString& value) {
  bool isNumber = false;
  const int frames = value.trimmed().toInt(&isNumber);
  if (!isNumber || std::abs(frames) > kMaxReadOffset) {
    return Fail(ctx, Exit::BadArguments,
                QString("a read offset is a whole number of frames from %1 to %2, not \"%3\"")
                    .arg(ReadOffsetText(-kMaxReadOffset), ReadOffsetText(kMaxReadOffset), value));
  }
  if (!StoreReadOffset(ProductNameOf(drive), frames))
    return Fail(ctx, Exit::Failed, "the read offset could not be stored");
  DriveContext::Instance().device.load()->readOffset = frames;
  return PrintOffset(ctx, frames);
}

int DetectOffset(CliContext& ctx, const QString& drive) {
  const DriveClaim claim(DriveUse::OffsetDetection);
  if (!claim.Held()) return Fail(ctx, Exit::Failed, claim.Reason());
  CdDevice& device = *DriveContext::Instance().device.load();
  interrupted = 0;
  OnInterrupt([](int) { interrupted = 1; });
  const OffsetDetection detection = DetectReadOffset(
      device, AccurateRipSettings::Load().server, &interrupted,
      [&](int percent) { ctx.err << "Detecting: " << percent << "%\r" << Qt::flush; });
  ReleaseInterrupts();
  ctx.err << Qt::endl;
  if (interrupted) return Fail(ctx, Exit::Failed, "cancelled");
  if (!detection.finding.found)
    return Fail(ctx, Exit::PartialFailure, "no read offset found: " + detection.error);
  const OffsetFinding& found = detection.finding;
  ctx.err << QString("%1 track(s) accurate at that offset, confidence %2")
                 .arg(found.matchingTracks)
                 .arg(found.confidence)
          << Qt::endl;
  if (!StoreReadOffset(ProductNameOf(drive), found.offset))
    return Fail(ctx, Exit::Failed, "the read offset could not be stored");
  device.readOffset = found.offset;
  return PrintOffset(ctx, found.offset);
}

int RunOffset(CliContext& ctx) {
  const QString action = ctx.args.value(0);
  const bool set = action == "set" && ctx.args.size() == 2;
  const bool detect = action == "detect" && ctx.args.size() == 1;
  if (!ctx.args.isEmpty() && !set && !detect)
    return Fail(ctx, Exit::BadArguments, "usage: offset [set N | detect]");
  QString drive;
  int status = Exit::Ok;
  if (detect ? !SelectDriveWithDisc(ctx, drive, status) : !SelectDrive(ctx, drive, status))
    return status;
  if (set) return SetOffset(ctx, drive, ctx.args[1]);
  if (detect) return DetectOffset(ctx, drive);
  return PrintOffset(ctx, DriveContext::Instance().device.load()->readOffset);
}

const RegisterCommand kOffset(
    {"offset",
     "[set N | detect]",
     "Print the drive's read offset in frames, store one (a negative one after --: set -- -30), "
     "or find it from a disc that is in the AccurateRip database.",
     {},
     RunOffset,
     true});

}  // namespace
