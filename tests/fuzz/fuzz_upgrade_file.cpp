// Feeds arbitrary bytes to the upgrade-file loader as an upgrade file and its
// key in a real folder tree: the loader must either accept the file with
// exactly the image, versions and key the bytes hold, or refuse it and leave
// nothing loaded; the pure parser must agree with it.
//
// Input: byte 0 flags (bit 0 answers Yes to the checksum question, bit 1
// writes the names in upper case, bit 2 lengthens the key by 256), byte 1 the
// key length; the key is taken from the end, the rest is the upgrade file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "sim/virtual/VirtualPlatform.h"
#include "tests/support/TempFolder.h"
#include "update/UpgradeFile.h"
#include "update/UpgradeFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto Check = [](bool condition) {
    if (!condition) std::abort();
  };
  if (size < 2) return 0;
  const std::uint8_t flags = data[0];
  const std::size_t rest = size - 2;
  const std::size_t keyLength = std::min<std::size_t>(data[1] + ((flags & 4) ? 256u : 0u), rest);
  const qv::Bytes file(data + 2, data + 2 + (rest - keyLength));
  const qv::Bytes key(data + 2 + (rest - keyLength), data + size);
  const auto parts = qv::ParseUpgradeFile(file);
  Check(parts.has_value() == (file.size() >= qv::kUpgradeTrailerSize));
  Check(!parts || parts->image.size() == file.size() - qv::kUpgradeTrailerSize);

  static const qv::testing::TempFolder tree;  // one folder for the whole run
  const std::string folder = tree / "0x8115";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const bool upper = flags & 2;
  qv::testing::WriteFile(folder + (upper ? "/T_123.PUPD" : "/T_123.pupd"), qv::TextOf(file));
  qv::testing::WriteFile(folder + (upper ? "/T_123.PKEY" : "/T_123.pkey"), qv::TextOf(key));

  qv::sim::VirtualPlatform link;
  qv::Context& ctx = link.ctx;
  ctx.settings.UpgradeFolder = tree.path;
  link.view.setDefaultAnswer((flags & 1) ? qv::vbYes : qv::vbNo);
  const bool loaded = qv::FindUpgradeFile(ctx, "8115", "");

  const bool acceptable = parts && !parts->image.empty() && key.size() <= qv::kMaxUpdateKeySize &&
                          (parts->checksumOk() || (flags & 1));
  Check(loaded == acceptable);
  if (!loaded) {
    Check(ctx.image.UpgradeData.empty() && ctx.image.UpdateKey.empty());
    Check(ctx.image.FileHardware == 0 && ctx.image.UpgradeFileBase.empty());
    return 0;
  }
  Check(ctx.image.UpgradeData == parts->image && ctx.image.UpdateKey == qv::TextOf(key));
  Check(ctx.image.FileBoot == parts->boot && ctx.image.FileHardware == parts->hardware);
  Check(ctx.image.FileTitle == "T" && ctx.image.FileFirmware == "123");
  Check(link.view.boxes().size() == (parts->checksumOk() ? 0u : 1u));
  return 0;
}
