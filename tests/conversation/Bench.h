#pragma once
// The engine on virtual time against the in-memory station, with an upgrade
// folder of one image: the operator's side of a conversation in a test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "app/MlStringModule.h"
#include "config/TempFolder.h"
#include "ports/ModeSwitching.h"
#include "sim/station/UpgradeImage.h"
#include "sim/virtual/StationPeer.h"
#include "sim/virtual/VirtualPlatform.h"
#include "update/Engine.h"
#include "update/UpdateRun.h"

namespace qv::test {

struct BenchSetup {
  int pcBaud = 4800;
  bool relayed = false;
  std::size_t imageSize = 700;
  std::string fileFirmware = "600";   // in the file's name
  std::string imageFirmware = "600";  // what the image makes the station run
  std::uint16_t fileHardware = 0x8115;
  std::uint16_t fileBoot = 0x0102;
  bool withStation = true;
};

class Bench {
 public:
  explicit Bench(sim::StationOptions station, BenchSetup setup = {}) {
    image = sim::MakeSyntheticImage(setup.imageSize, setup.imageFirmware);
    key = sim::MakeKey(7);
    const std::string folder = root / sim::HardwareFolderName(setup.fileHardware);
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/QV_" + setup.fileFirmware + ".pupd";
    sim::WriteWholeFile(file, sim::BuildUpgradeFile(image, setup.fileBoot, setup.fileHardware));
    sim::WriteWholeFile(sim::KeyFilePath(file), BytesOf(key));
    if (!station.expectedImage) station.expectedImage = image;
    if (!station.expectedKey) station.expectedKey = key;
    if (!station.newFirmware)
      station.newFirmware = setup.imageFirmware;  // images too small for a header

    p.clock.setNow({2026, 12, 7, 9, 30, 0, 0, 0});
    WireEngine(ctx);
    StartEngine(ctx);
    ctx.settings.UpgradeFolder = root.path;
    ctx.settings.PortList = "COM1";
    SetBaudList(ctx, std::to_string(setup.pcBaud));
    p.port.setCommPort(1);
    ApplyBaud(ctx, ctx.settings.BaudList);
    p.port.setPortOpen(true);
    p.view.setText(Control::lblCOM, "COM1");
    if (setup.withStation) peer.emplace(p.port, p.scheduler, p.clock, station);
    // The operator's boxes stay open a while, as a person takes time to read.
    p.view.openFor(2000);
    SelectMasterEntry(ctx, setup.relayed ? 1 : 0);
    run(500);
  }

  // Whatever a test checks, the loader kept the transfer's rules.
  ~Bench() {
    if (!peer) return;
    for (const std::string& breach : peer->station().breaches()) ADD_FAILURE() << breach;
  }

  void run(sim::VirtualMs ms) { p.scheduler.advanceBy(ms); }
  void start(sim::VirtualMs ms = 120'000) {
    mnuCommandStartUpdate_Click(ctx);
    run(ms);
  }
  const sim::Station& station() const { return peer->station(); }

  // Boxes whose text starts with message `id` in English.
  int boxesWith(int id) const {
    const std::string text = GetMlString(1000, id, "");
    return static_cast<int>(
        std::count_if(p.view.boxes().begin(), p.view.boxes().end(),
                      [&](const auto& box) { return box.prompt.find(text) != std::string::npos; }));
  }
  int framesSent(std::uint8_t command) const {
    const auto& sent = p.port.sent();
    return static_cast<int>(std::count_if(sent.begin(), sent.end(),
                                          [&](const auto& f) { return f.bytes[2] == command; }));
  }
  std::string boxLog() const {
    std::string log;
    for (const auto& box : p.view.boxes()) log += "[" + box.prompt + "] ";
    return log;
  }

  sim::VirtualPlatform p;
  Context& ctx = p.ctx;
  std::optional<sim::StationPeer> peer;
  testing::TempFolder root;
  Bytes image;
  std::string key;
};

}  // namespace qv::test
