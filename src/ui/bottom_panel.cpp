#include "ui/bottom_panel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>

#include "app/window_layout.h"
#include "texts/language_manager.h"
#include "ui/ui_icons.h"

namespace {
// Control identifier -> tooltip text of the player buttons.
constexpr struct {
  int controlId;
  unsigned tooltipTextId;
} kTooltips[] = {{9202, 926}, {9203, 930}, {9204, 928}, {9205, 932}, {9206, 934}, {9207, 936}};
}  // namespace

BottomPanelDlg::BottomPanelDlg(QWidget* parent) : QWidget(parent) {
  setObjectName("id9200");
  setFixedHeight(WindowLayout::kBottomPanelHeight);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(4);

  auto* rip = new QPushButton(KorvaneIcon("rip"), QString());
  rip->setObjectName("id9201");
  rip->setIconSize(QSize(32, 32));
  rip->setMinimumWidth(130);
  rip->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Expanding);
  QFont bold = rip->font();
  bold.setBold(true);
  rip->setFont(bold);
  connect(rip, &QPushButton::clicked, this, &BottomPanelDlg::RipClicked);
  rip_ = rip;
  layout->addWidget(rip);
  layout->addStretch();
  layout->addWidget(AddPlayerButton(9202, "play", &BottomPanelDlg::PlayClicked));
  layout->addWidget(AddPlayerButton(9203, "pause", &BottomPanelDlg::PauseClicked));
  layout->addWidget(AddPlayerButton(9204, "stop", &BottomPanelDlg::StopClicked));
  layout->addSpacing(8);
  layout->addWidget(AddPlayerButton(9205, "prev", &BottomPanelDlg::PrevClicked));
  layout->addWidget(AddPlayerButton(9206, "next", &BottomPanelDlg::NextClicked));
  layout->addSpacing(8);
  layout->addWidget(AddPlayerButton(9207, "eject", &BottomPanelDlg::LoadEjectClicked));
  Translate();
}

QAbstractButton* BottomPanelDlg::AddPlayerButton(int controlId, const char* icon,
                                                 void (BottomPanelDlg::*signal)()) {
  auto* button = new QToolButton;
  button->setObjectName(QString("id%1").arg(controlId));
  button->setIcon(KorvaneIcon(icon));
  button->setIconSize(QSize(24, 24));
  button->setAutoRaise(true);
  button->setFixedSize(38, 38);
  connect(button, &QToolButton::clicked, this, signal);
  return button;
}

void BottomPanelDlg::Translate() {
  const LanguageManager& texts = LanguageManager::Instance();
  rip_->setText(texts.Text(5003));
  rip_->setToolTip(texts.Text(5000));
  for (const auto& entry : kTooltips) {
    if (auto* button = findChild<QAbstractButton*>(QString("id%1").arg(entry.controlId))) {
      button->setToolTip(texts.Text(entry.tooltipTextId));
    }
  }
}
