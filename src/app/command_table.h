#pragma once
#include <QList>
#include <QString>
#include <span>

#include "platform/ids.h"

// Command identifiers of the menus, the toolbar and the context menus.
namespace CommandId {
constexpr int FreeDb = 11001;
constexpr int RipCd = 11002;
constexpr int Refresh = 11003;
constexpr int Options = 11004;
constexpr int About = 11005;
constexpr int Exit = 11006;
constexpr int Format = 11007;
constexpr int EditDiscInfo = 11018;
constexpr int SelectAll = 11020;
constexpr int ClearAll = 11021;
constexpr int InvertSelection = 11022;
constexpr int Support = 11026;
constexpr int HelpTopics = 11027;
constexpr int BrowseOutput = 11028;
constexpr int StopPlaying = 11033;
constexpr int LoadEject = 11036;
constexpr int OpenOutput = 11037;
constexpr int VersionCheck = 11038;
// The range every command of the table falls in.
constexpr int First = 11001;
constexpr int Last = 11039;

// View toggles and the standard frame commands.
constexpr int ShowToolbar = 59392;
constexpr int ShowStatusBar = 59393;
constexpr int ShowBottomPanel = 17000;
// The Disc Info menu's MusicBrainz lookup, a window command beside the table's.
constexpr int MusicBrainzLookup = 17010;
constexpr int ShowAlbumHeader = 17011;
constexpr int AppAbout = 57664;
constexpr int AppExit = 57665;
// The Language menu's entries: FirstLanguage + the entry's position.
constexpr int FirstLanguage = 16001;
constexpr int LastLanguage = 16100;
}  // namespace CommandId

// What the commands act on: the front end's windows and dialogs and the controller behind
// them. The window implements it; the table decides what each command does with it.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  virtual void LookUpDisc() = 0;
  virtual void Rip() = 0;
  virtual void RefreshTracks() = 0;
  // The options dialog, opened on the tab "ActiveOptionsTab" names.
  virtual void RunOptionsDialog() = 0;
  virtual void ShowAbout() = 0;
  virtual void CloseMainWindow() = 0;
  // The Edit Disc Info dialog; on OK the disc information changed.
  virtual bool RunEditDiscDialog() = 0;
  virtual void DiscInfoEdited() = 0;
  virtual int TrackRowCount() const = 0;
  virtual void SelectAll() = 0;
  virtual void ClearAll() = 0;
  virtual void InvertSelection() = 0;
  virtual void StopPlaying() = 0;
  virtual void ToggleTray() = 0;
  virtual void OpenOutputFolder() = 0;
  virtual void OpenUrl(const QString& url) = 0;
  virtual void ShowInformation(const QString& text) = 0;
};

// One command: its identifier, its label and tooltip texts (the tooltip's second line when
// it has one; 0 for none), the name of its icon, and what it does.
struct CommandItem {
  int id;
  unsigned labelTextId;
  unsigned tooltipTextId;
  unsigned tooltipSecondLineTextId;
  const char* iconName;  // empty for commands without an icon
  void (*execute)(CommandTarget& target);

  QString Label() const;
  // The tooltip in the current language; a two-line tooltip is joined with a line break.
  QString Tooltip() const;
};

// The eighteen items in their order; the first with a matching identifier runs.
std::span<const CommandItem> CommandItems();
const CommandItem* FindCommand(int id);
// Runs the command; false (and nothing runs) for an identifier without an item.
bool ExecuteCommand(int id, CommandTarget& target);

// The output-format radio group of the menus, in menu order, with its fixed texts (from the
// formats' descriptors).
struct FormatCommand {
  FormatId format;  // its number is the command's identifier
  const char* text;
};
QList<FormatCommand> FormatCommands();

// The text of a menu item (the main menu and the track list's context menu); 0 for a
// command without one.
unsigned MenuTextId(int commandId);

// The host of the product's web pages and the pages of the two web commands.
inline constexpr const char* kWebHost = "https://korvane.org";
// "2.5.5" becomes "2-5-5", as the web pages take the version.
QString WebPageUrl(const char* path);
QString SupportPageUrl();
QString VersionCheckPageUrl();
// The manual installed with the program (file URL); the web manual when none is found.
QString ManualUrl();
