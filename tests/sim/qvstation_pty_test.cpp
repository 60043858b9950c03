// End to end on a real pseudo-terminal: qvstation as a child process, a
// frame-level update driven with plain termios, the image checked afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "StationTestSupport.h"
#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"
#include "support/HexBytes.h"
#include "support/Shell.h"
#include "support/TempFolder.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ReadFile;
using testing::TempFolder;

// Runs qvstation with `args`, its output discarded; its exit status, 124 when
// it was still serving after `seconds` (then it is stopped).
int RunStation(const std::string& args, int seconds = 2) {
  const std::string command = "timeout " + std::to_string(seconds) +
                              " " QV_BINARY_DIR "/qvstation " + args + " >/dev/null 2>&1";
  return RunShell(command);
}

void SetSpeed(int fd, speed_t speed) {
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetspeed(&t, speed);
  tcsetattr(fd, TCSANOW, &t);
}

// Writes a frame and reads one reply: a lone NAK or STX … ETX (empty on two seconds' silence).
Bytes Exchange(int fd, const Bytes& frame) {
  if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return {};
  Bytes reply;
  while (reply != Bytes{kNak} && !PayloadOf(reply)) {
    pollfd p{fd, POLLIN, 0};
    std::uint8_t byte = 0;
    if (poll(&p, 1, 2000) <= 0 || read(fd, &byte, 1) != 1) return {};
    reply.push_back(byte);
  }
  return reply;
}

TEST(QvStationPty, RefusesOptionsItCannotHonourAndLeavesOtherFilesAlone) {
  const TempFolder folder;
  const std::string notes = folder / "notes.txt";
  testing::WriteFile(notes, "keep me");
  EXPECT_EQ(RunStation("--link " + notes), 1);  // a file that is no link is never replaced
  for (const char* args : {"--volts 10", "--volts -1", "--block-ms nan", "--reply-delay-ms 1e300",
                           "--restart-ms -5", "--idle-exit 1e300"}) {
    EXPECT_EQ(RunStation(args), 2) << args;
  }
  EXPECT_EQ(ReadFile(notes), "keep me");
  EXPECT_FALSE(fs::is_symlink(notes));
}

TEST(QvStationPty, AWholeUpdateLeavesTheStationWithTheExactImage) {
  const TempFolder folder;
  const Bytes image = sim::MakeSyntheticImage(1024, "560");
  const std::string key = "PTY-KEY-0123456", upgrade = folder / "QV_560.pupd", tty = folder / "tty";
  ASSERT_TRUE(sim::WriteWholeFile(upgrade, sim::BuildUpgradeFile(image, 0x0102, 0x8115)));
  ASSERT_TRUE(sim::WriteWholeFile(sim::KeyFilePath(upgrade), BytesOf(key)));
  // The station ends on its own a second after the last byte.
  auto station =
      std::async(std::launch::async, RunStation,
                 "--link " + tty + " --expect " + upgrade + " --report " + (folder / "report.txt") +
                     " --dump-image " + (folder / "image.bin") +
                     " --restart-ms 200 --init-ms 20 --idle-exit 1",
                 30);
  for (int i = 0; i < 300 && !fs::exists(tty); ++i) std::this_thread::sleep_for(10ms);
  const int fd = open(tty.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);

  SetSpeed(fd, B4800);
  EXPECT_EQ(PayloadOf(Exchange(fd, MakeFrame(Hex("7E 01")))), Hex("7E 00 01"));
  SetSpeed(fd, B38400);
  EXPECT_EQ(PayloadOf(Exchange(fd, MakeFrame(Hex("70 4D")))), Hex("70 00 4D"));
  for (std::uint32_t offset = 0; offset < image.size(); offset += 128) {
    const Bytes reply =
        Exchange(fd, WriteBlockFrame(image, static_cast<std::int32_t>(offset), 128));
    ASSERT_EQ(PayloadOf(reply), AckPayload(offset)) << "offset " << offset;
  }
  EXPECT_EQ(PayloadOf(Exchange(fd, InitUpdateFrame(key))), Hex("8F 30"));
  std::this_thread::sleep_for(400ms);  // the restart
  SetSpeed(fd, B4800);
  const auto check = PayloadOf(Exchange(fd, MakeFrame(Hex("83 00 10"))));
  ASSERT_TRUE(check);
  EXPECT_EQ(std::string(check->begin() + 9, check->begin() + 12), "560");
  close(fd);

  EXPECT_EQ(station.get(), 0);
  EXPECT_EQ(sim::ReadWholeFile(folder / "image.bin"), image);
  EXPECT_NE(ReadFile(folder / "report.txt").find("matches expected: yes"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
