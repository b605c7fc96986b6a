#pragma once
#include <QWidget>

class QCheckBox;
class QLineEdit;

// The output-folder pane: the folder, a browse button and the two sub-folder switches. It is
// the Open button's drop-down, and the options dialog's General page shows it too.
class ShowFolderOptionsDlg : public QWidget {
  Q_OBJECT
 public:
  explicit ShowFolderOptionsDlg(QWidget* parent = nullptr);

  // Shows the stored values.
  void LoadValues();
  // Stores what the pane shows, as OK does.
  void StoreValues();

 signals:
  // The user chose a folder with the browse button; the pane shows it.
  void FolderBrowsed();

 private:
  void Browse();

  QLineEdit* folder_;
  QCheckBox* forArtist_;
  QCheckBox* forAlbum_;
};
