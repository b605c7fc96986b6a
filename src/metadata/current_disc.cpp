#include "metadata/current_disc.h"

#include "drive/cd_device.h"
#include "drive/cd_text.h"
#include "drive/drive_context.h"
#include "metadata/disc_info.h"

namespace {

MsfAddress AddressOf(const uint8_t* descriptor) {
  return {descriptor[5], descriptor[6], descriptor[7]};
}

}  // namespace

TocAddresses TocAddressesOf(CdDevice& device) {
  TocAddresses toc;
  int count = 0;
  if (!device.GetTrackCount(count)) return toc;
  const Toc::View view = device.TocView();
  const uint8_t* leadOut = view.Descriptor(count);
  if (!leadOut) return toc;
  for (int k = 0; k < count; ++k) toc.trackStarts.push_back(AddressOf(view.Descriptor(k)));
  toc.leadOut = AddressOf(leadOut);
  toc.firstTrack = view.FirstTrack();
  bool lastIsData = false;
  toc.lastTrackIsData = view.IsDataTrack(count - 1, lastIsData) && lastIsData;
  return toc;
}

std::optional<AccurateRipId> AccurateRipIdOf(CdDevice& device) {
  const TocAddresses toc = TocAddressesOf(device);
  std::vector<bool> dataTracks;
  for (size_t k = 0; k < toc.trackStarts.size(); ++k) {
    bool data = false;
    if (!device.IsDataTrack(int(k), data)) return {};
    dataTracks.push_back(data);
  }
  return ComputeAccurateRipId(toc, dataTracks);
}

bool InitForCurrentDisc(DiscInfo& info) {
  const DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device.load();
  const bool present = device && context.present.load();
  return info.InitForDisc(present ? TocAddressesOf(*device) : TocAddresses{});
}

bool LoadCdText(DiscInfo& info) {
  CdText text;
  if (!LoadCdText(text) || text.records.isEmpty()) return false;
  info.ImportCdText(text, int(text.records.size()) - 1);
  return true;
}
