#pragma once
#include <QJsonObject>
#include <QString>

#include "cli/cli_command.h"
#include "drive/drive_actions.h"

class CdDevice;
class DiscInfo;

// What the commands that work on the current drive and its disc share.

// The drive named by --drive; empty for the configured one.
QString& WantedDrive();

// The option --json and whether it was given.
void AddJsonOption(QCommandLineParser& parser);
bool WantsJson(const CliContext& ctx);
void PrintJson(CliContext& ctx, const QJsonObject& object);

// Loads the disc image of --virtual-disc into the virtual drive; on failure status holds
// the exit code.
bool SetUpVirtualDrive(CliContext& ctx, int& status);
// Sets up the drives and selects the one asked for; on failure status holds the exit code.
bool SelectDrive(CliContext& ctx, QString& displayName, int& status);
// Names what keeps the disc from being used, and returns the exit code for it.
int DiscProblem(CliContext& ctx, DiscState state, const QString& drive);
// SelectDrive, and a disc ready in it.
bool SelectDriveWithDisc(CliContext& ctx, QString& displayName, int& status);

// The disc's AccurateRip identity, or "" when it has none (no audio track).
QString AccurateRipIdText(CdDevice& device);

// The disc information record as one JSON object: identifier, disc fields and tracks.
QJsonObject DiscInfoJson(const DiscInfo& info);
