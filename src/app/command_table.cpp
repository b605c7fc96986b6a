#include "app/command_table.h"

#include <QFileInfo>
#include <QUrl>
#include <array>
#include <utility>

#include "encoders/output_format.h"
#include "platform/paths.h"
#include "platform/version.h"
#include "settings/settings_store.h"
#include "texts/language_manager.h"

namespace {

constexpr unsigned kPleaseInsertDiscTextId = 902;

void RunFormatSettings(CommandTarget& target) {
  // The options dialog opens on its "Output Format" tab this once.
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::ActiveOptionsTab, 1);
  target.RunOptionsDialog();
  store.WriteInt(Key::ActiveOptionsTab, 0);
}

void EditDiscInfo(CommandTarget& target) {
  if (target.TrackRowCount() == 0) {
    target.ShowInformation(LanguageManager::Instance().Text(kPleaseInsertDiscTextId));
    return;
  }
  if (target.RunEditDiscDialog()) target.DiscInfoEdited();
}

using T = CommandTarget;
constexpr std::array<CommandItem, 18> kItems{{
    {CommandId::FreeDb, 1002, 1001, 0, "freedb", [](T& t) { t.LookUpDisc(); }},
    {CommandId::RipCd, 5003, 5000, 0, "rip", [](T& t) { t.Rip(); }},
    {CommandId::Refresh, 903, 904, 0, "refresh", [](T& t) { t.RefreshTracks(); }},
    {CommandId::Options, 905, 906, 0, "options", [](T& t) { t.RunOptionsDialog(); }},
    {CommandId::About, 910, 0, 0, "", [](T& t) { t.ShowAbout(); }},
    {CommandId::Exit, 912, 913, 0, "exit", [](T& t) { t.CloseMainWindow(); }},
    {CommandId::Format, 907, 908, 909, "format", RunFormatSettings},
    {CommandId::EditDiscInfo, 4006, 4000, 0, "edit", EditDiscInfo},
    {CommandId::SelectAll, 937, 938, 0, "", [](T& t) { t.SelectAll(); }},
    {CommandId::ClearAll, 939, 940, 0, "", [](T& t) { t.ClearAll(); }},
    {CommandId::InvertSelection, 941, 942, 0, "", [](T& t) { t.InvertSelection(); }},
    {CommandId::Support, 919, 920, 0, "", [](T& t) { t.OpenUrl(SupportPageUrl()); }},
    {CommandId::HelpTopics, 922, 0, 0, "help", [](T& t) { t.OpenUrl(ManualUrl()); }},
    {CommandId::LoadEject, 935, 936, 0, "eject", [](T& t) { t.ToggleTray(); }},
    {CommandId::OpenOutput, 943, 944, 945, "folder", [](T& t) { t.OpenOutputFolder(); }},
    {CommandId::VersionCheck, 92201, 0, 0, "", [](T& t) { t.OpenUrl(VersionCheckPageUrl()); }},
    {CommandId::BrowseOutput, 923, 924, 0, "folder", [](T& t) { t.OpenOutputFolder(); }},
    {CommandId::StopPlaying, 927, 928, 0, "stop", [](T& t) { t.StopPlaying(); }},
}};

// Menu items are labelled by identifier; some differ from the toolbar's label.
constexpr std::array<std::pair<int, unsigned>, 20> kMenuTexts{{
    {CommandId::RipCd, 5003},           {CommandId::AppExit, 912},
    {CommandId::ShowToolbar, 6101},     {CommandId::ShowBottomPanel, 6102},
    {CommandId::ShowAlbumHeader, 2816}, {CommandId::ShowStatusBar, 6103},
    {CommandId::FreeDb, 6202},          {CommandId::MusicBrainzLookup, 2805},
    {CommandId::EditDiscInfo, 6203},    {CommandId::Format, 6302},
    {CommandId::Refresh, 904},          {CommandId::SelectAll, 937},
    {CommandId::ClearAll, 939},         {CommandId::InvertSelection, 941},
    {CommandId::LoadEject, 935},        {CommandId::Options, 905},
    {CommandId::HelpTopics, 922},       {CommandId::VersionCheck, 92201},
    {CommandId::Support, 920},          {CommandId::AppAbout, 910},
}};

}  // namespace

unsigned MenuTextId(int commandId) {
  for (const auto& [id, textId] : kMenuTexts) {
    if (id == commandId) return textId;
  }
  return 0;
}

QList<FormatCommand> FormatCommands() {
  QList<FormatCommand> commands;
  for (const FormatDescriptor* format : FormatsInMenuOrder())
    commands.append({format->id, format->menuText});
  return commands;
}

QString CommandItem::Label() const { return LanguageManager::Instance().Text(labelTextId); }

QString CommandItem::Tooltip() const {
  const LanguageManager& texts = LanguageManager::Instance();
  if (tooltipTextId == 0) return Label();
  QString text = texts.Text(tooltipTextId);
  if (tooltipSecondLineTextId != 0) text += '\n' + texts.Text(tooltipSecondLineTextId);
  return text;
}

std::span<const CommandItem> CommandItems() { return kItems; }

const CommandItem* FindCommand(int id) {
  for (const CommandItem& item : kItems) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

bool ExecuteCommand(int id, CommandTarget& target) {
  const CommandItem* item = FindCommand(id);
  if (!item) return false;
  item->execute(target);
  return true;
}

QString WebPageUrl(const char* path) {
  const QString version = QString::fromLatin1(KorvaneVersion()).replace('.', '-');
  return QString::fromLatin1(kWebHost) + QString::fromLatin1(path).arg(version);
}

QString SupportPageUrl() { return WebPageUrl("/contactus.php?version=%1&platform=desktop"); }

QString VersionCheckPageUrl() {
  return WebPageUrl("/versioncheck.php?version=%1&platform=desktop");
}

QString ManualUrl() {
  for (const QString& dir : {Paths::ProgramDir() + "/../share/doc/korvane/manual",
                             Paths::ProgramDir() + "/../share/korvane/manual"}) {
    const QFileInfo page(dir + "/index.html");
    if (page.exists()) return QUrl::fromLocalFile(page.canonicalFilePath()).toString();
  }
  return QString::fromLatin1(kWebHost) + "/manual/";
}
