#include "ui/dialogs/folder_pane.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "app/output_folder_choice.h"
#include "texts/language_manager.h"

ShowFolderOptionsDlg::ShowFolderOptionsDlg(QWidget* parent) : QWidget(parent) {
  const LanguageManager& texts = LanguageManager::Instance();
  setObjectName("id9300");
  folder_ = new QLineEdit;
  folder_->setObjectName("id4004");
  folder_->setMaxLength(259);
  folder_->setMinimumWidth(300);
  auto* browse = new QToolButton;
  browse->setObjectName("id4012");
  browse->setText("...");
  browse->setToolTip(texts.Text(923));
  forArtist_ = new QCheckBox(texts.Text(3008));
  forArtist_->setObjectName("id4005");
  forAlbum_ = new QCheckBox(texts.Text(3009));
  forAlbum_->setObjectName("id4006");

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(texts.Text(3006)), 0, 0, 1, 2);
  layout->addWidget(folder_, 1, 0);
  layout->addWidget(browse, 1, 1);
  layout->addWidget(new QLabel(texts.Text(3007)), 2, 0, 1, 2);
  auto* switches = new QHBoxLayout;
  switches->addWidget(forArtist_);
  switches->addWidget(forAlbum_);
  switches->addStretch();
  layout->addLayout(switches, 3, 0, 1, 2);
  connect(browse, &QToolButton::clicked, this, &ShowFolderOptionsDlg::Browse);
  LoadValues();
}

void ShowFolderOptionsDlg::LoadValues() {
  const OutputFolderChoice choice = OutputFolderChoice::Load();
  folder_->setText(choice.folder);
  forArtist_->setChecked(choice.forArtist);
  forAlbum_->setChecked(choice.forAlbum);
}

void ShowFolderOptionsDlg::StoreValues() {
  OutputFolderChoice{folder_->text(), forArtist_->isChecked(), forAlbum_->isChecked()}.Store();
}

void ShowFolderOptionsDlg::Browse() {
  const QString chosen = QFileDialog::getExistingDirectory(
      this, LanguageManager::Instance().Text(3006), folder_->text());
  if (chosen.isEmpty()) return;
  folder_->setText(chosen);
  emit FolderBrowsed();
}
