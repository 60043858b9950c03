#include "sim/virtual/UpdateBench.h"

#include <algorithm>
#include <filesystem>

#include "sim/station/UpgradeImage.h"
#include "texts/MlStringModule.h"
#include "update/Engine.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"

namespace qv::sim {

StationOptions StationAt(std::uint32_t baud, std::uint8_t interfaceBits, std::uint32_t maxBaud) {
  StationOptions o;
  o.baud = baud;
  o.identity.interfaceBits = interfaceBits;
  o.faults.maxBaud = maxBaud;
  return o;
}

UpdateBench::UpdateBench(StationOptions station, BenchSetup setup) {
  image = MakeSyntheticImage(setup.imageSize, setup.imageFirmware);
  key = MakeKey(7);
  const std::string folder = root / HardwareFolderName(setup.fileHardware);
  std::filesystem::create_directories(folder);
  const std::string file = folder + "/QV_" + setup.fileFirmware + ".pupd";
  WriteWholeFile(file, BuildUpgradeFile(image, setup.fileBoot, setup.fileHardware));
  WriteWholeFile(KeyFilePath(file), BytesOf(key));
  if (!station.expectedImage) station.expectedImage = image;
  if (!station.expectedKey) station.expectedKey = key;
  if (!station.newFirmware)
    station.newFirmware = setup.imageFirmware;  // images too small for a header

  p.clock.setNow({2026, 12, 7, 9, 30, 0, 0, 0});
  ctx.settings.UpgradeFolder = root.path;
  SetUpEngine(ctx, {.comNumber = 1, .baud = std::to_string(setup.pcBaud), .open = true});
  if (setup.withStation) peer.emplace(p.port, p.scheduler, p.clock, station);
  // The operator's boxes stay open a while, as a person takes time to read.
  p.view.openFor(2000);
  SelectMasterEntry(ctx, setup.relayed ? 1 : 0);
  run(500);
}

void UpdateBench::start(VirtualMs ms) {
  p.runs.clear();
  mnuCommandStartUpdate_Click(ctx);
  run(ms);
}

int UpdateBench::boxesWith(int id) const {
  const std::string text = GetMlString(1000, id, "");
  return static_cast<int>(
      std::count_if(p.view.boxes().begin(), p.view.boxes().end(),
                    [&](const auto& box) { return box.prompt.find(text) != std::string::npos; }));
}

int UpdateBench::framesSent(std::uint8_t command) const {
  const auto& sent = p.port.sent();
  return static_cast<int>(std::count_if(sent.begin(), sent.end(),
                                        [&](const auto& f) { return f.bytes[2] == command; }));
}

std::string UpdateBench::boxLog() const {
  std::string log;
  for (const auto& box : p.view.boxes()) log += "[" + box.prompt + "] ";
  return log;
}

bool UpdateBench::confirmed() const {
  return station().image() == image && station().summary().updated && boxesWith(1239) == 1 &&
         p.view.text(Control::Caption).ends_with(" ok") &&
         p.runs.lastOutcome() == RunOutcome::Ok && p.runs.ends.size() == 1;
}

}  // namespace qv::sim
