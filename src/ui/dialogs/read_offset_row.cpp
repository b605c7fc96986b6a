#include "ui/dialogs/read_offset_row.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "drive/cd_device.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/read_offset.h"
#include "metadata/accuraterip_client.h"
#include "rip/offset_detection.h"
#include "ui/dialogs/dialog_support.h"

ReadOffsetRow::ReadOffsetRow(QWidget* parent)
    : QWidget(parent), productName_(DriveContext::Instance().ProductName()) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  offset_ = WithId(new QSpinBox, 4027);
  offset_->setRange(-kMaxReadOffset, kMaxReadOffset);
  offset_->setEnabled(!productName_.isEmpty());
  offset_->setValue(StoredReadOffset(productName_));
  detect_ = WithId(new QPushButton(UiText(3021)), 4028);
  detect_->setEnabled(!productName_.isEmpty());
  status_ = WithId(new QLabel, 4029);
  status_->setWordWrap(true);
  row->addWidget(offset_);
  row->addWidget(detect_);
  row->addWidget(status_, 1);
  connect(detect_, &QPushButton::clicked, this, &ReadOffsetRow::Detect);
}

ReadOffsetRow::~ReadOffsetRow() { stop_ = 1; }

void ReadOffsetRow::Detect() {
  detect_->setEnabled(false);
  status_->setText(UiText(3022));
  stop_ = 0;
  const QString server = AccurateRipSettings::Load().server;
  task_.Run([this, server]() -> BackgroundTask::Report {
    OffsetDetection detection;
    const DriveClaim claim(DriveUse::OffsetDetection);
    CdDevice* device = DriveContext::Instance().device.load();
    if (!claim.Held()) {
      detection.error = claim.Reason();
    } else if (!device || !DriveContext::Instance().present) {
      detection.error = QStringLiteral("no disc");
    } else {
      detection = DetectReadOffset(*device, server, &stop_);
    }
    return [this, detection] { ShowDetection(detection); };
  });
}

void ReadOffsetRow::ShowDetection(const OffsetDetection& detection) {
  detect_->setEnabled(true);
  const OffsetFinding& found = detection.finding;
  if (!found.found) {
    status_->setText(UiText(3023).arg(detection.error));
    return;
  }
  offset_->setValue(found.offset);
  status_->setText(UiText(3024)
                       .arg(ReadOffsetText(found.offset))
                       .arg(found.matchingTracks)
                       .arg(found.confidence));
}

void ReadOffsetRow::OnOK() {
  if (productName_.isEmpty() || !StoreReadOffset(productName_, offset_->value())) return;
  if (CdDevice* device = DriveContext::Instance().device.load())
    device->readOffset = offset_->value();
}
