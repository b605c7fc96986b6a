#pragma once
#include <QString>

class RipFrontEnd;

// The bottom panel's player buttons over the track list: which row the Prev and Next
// buttons move from, which row plays, and what the player's reports do to them. Calls run
// on the user-interface thread; the player's reports are handed to OnPlayerReport there.
class PlayerControl {
 public:
  explicit PlayerControl(RipFrontEnd& host) : host_(host) {}

  int CurrentRow() const { return currentRow_; }
  int PlayingRow() const { return playingRow_; }
  // The list has new rows: nothing plays and the first row is current.
  void Reset();

  // Plays the current row; false (with the reason shown) when nothing plays.
  bool Play();
  // Makes the row current and plays it (a double click); a data row does nothing. While
  // paused, the paused track resumes and stays the current row.
  bool PlayRow(int row);
  void TogglePause();
  // Stops playback and clears the playing mark.
  void Stop();
  // The row before (wrapping to the last) or after (wrapping to the first) becomes current
  // and plays.
  bool Previous();
  bool Next();

  // "PLAY_NEXT" plays the next row; "PLAY_STOP" clears the playing mark.
  void OnPlayerReport(const QString& text);

 private:
  void SetPlaying(int row);

  RipFrontEnd& host_;
  int currentRow_ = 0;
  int playingRow_ = -1;
};
