#pragma once
#include <QWidget>

class QAbstractButton;

// The bottom panel: the big Rip button and the player buttons (play, pause, stop, previous,
// next, load/eject), 50 pixels high.
class BottomPanelDlg : public QWidget {
  Q_OBJECT
 public:
  explicit BottomPanelDlg(QWidget* parent = nullptr);
  // The rip button's caption and the tooltips in the current language.
  void Translate();

 signals:
  void RipClicked();
  void PlayClicked();
  void PauseClicked();
  void StopClicked();
  void PrevClicked();
  void NextClicked();
  void LoadEjectClicked();

 private:
  QAbstractButton* AddPlayerButton(int controlId, const char* icon,
                                   void (BottomPanelDlg::*signal)());

  QAbstractButton* rip_;
};
