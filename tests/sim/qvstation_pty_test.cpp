// End to end on a real pseudo-terminal: qvstation as a child process, a
// frame-level update driven with plain termios, the image checked afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "StationTestSupport.h"
#include "sim/station/StationClock.h"
#include "sim/station/UpgradeImage.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void SetSpeed(int fd, speed_t speed) {
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  tcsetattr(fd, TCSANOW, &t);
}

bool Complete(const Bytes& r) {
  if (r.size() == 1 && r[0] == kNak) return true;
  if (r.size() < 3 || r.back() != kEtx) return false;
  if (IsExtendedCommand(r[1])) return r.size() == r[2] + 6u;
  return r[r.size() - 2] != kDle || r[r.size() - 3] == kDle;
}

// Writes a frame and reads one reply: a lone NAK or STX … ETX (empty on silence).
Bytes Exchange(int fd, const Bytes& frame, int silenceMs = 2000) {
  if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return {};
  Bytes reply;
  while (!Complete(reply)) {
    pollfd p{fd, POLLIN, 0};
    std::uint8_t byte = 0;
    if (poll(&p, 1, silenceMs) <= 0 || read(fd, &byte, 1) != 1) return {};
    reply.push_back(byte);
  }
  return reply;
}

std::string ReadText(const fs::path& path) {
  const Bytes text = sim::ReadWholeFile(path.string()).value_or(Bytes{});
  return {text.begin(), text.end()};
}

// The station process and its folder go, however the test ends.
struct Cleanup {
  fs::path dir;
  pid_t child = -1;
  int line = -1;
  ~Cleanup() {
    if (line >= 0) close(line);
    if (child > 0) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
    if (!dir.empty()) fs::remove_all(dir);
  }
};

// Runs qvstation with `options`; its exit status, or -1 when it was still
// serving after two seconds (then it is stopped).
// Starts qvstation with `options`, its standard output (and, when asked, its
// errors) going nowhere; false when it could not be started.
bool SpawnStation(std::vector<std::string> options, bool quietErrors, pid_t& child) {
  const std::string program = std::string(QV_BINARY_DIR) + "/qvstation";
  options.insert(options.begin(), program);
  std::vector<char*> argv;
  for (auto& a : options) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  if (quietErrors) {
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  const int spawned = posix_spawn(&child, program.c_str(), &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  return spawned == 0;
}

int ExitStatusOf(const std::vector<std::string>& options) {
  pid_t child = -1;
  if (!SpawnStation(options, true, child)) return -2;
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (waitpid(child, &status, WNOHANG) == child)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    std::this_thread::sleep_for(10ms);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return -1;
}

TEST(QvStationPty, RefusesOptionsItCannotHonourAndLeavesOtherFilesAlone) {
  Cleanup run;
  char pattern[] = "/tmp/qvstation-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = run.dir = pattern;
  const fs::path notes = dir / "notes.txt";
  ASSERT_TRUE(sim::WriteWholeFile(notes.string(), BytesOf("keep me")));

  const struct {
    std::vector<std::string> options;
    int status;
  } cases[] = {
      {{"--link", notes.string()}, 1},  // a file that is no link is never replaced
      {{"--volts", "10"}, 2},           // beyond the 16-bit battery value
      {{"--volts", "-1"}, 2},
      {{"--block-ms", "nan"}, 2},
      {{"--reply-delay-ms", "1e300"}, 2},
      {{"--restart-ms", "-5"}, 2},
      {{"--idle-exit", "1e300"}, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExitStatusOf(c.options), c.status) << c.options[0] << " " << c.options[1];
  }
  EXPECT_EQ(sim::ReadWholeFile(notes.string()), BytesOf("keep me"));
  EXPECT_FALSE(fs::is_symlink(notes));
}

TEST(QvStationPty, AWholeUpdateLeavesTheStationWithTheExactImage) {
  Cleanup run;
  char pattern[] = "/tmp/qvstation-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = run.dir = pattern;
  const Bytes image = sim::MakeSyntheticImage(1024, "560");
  const std::string key = "PTY-KEY-0123456";
  const fs::path upgrade = dir / "QV_560.pupd";
  ASSERT_TRUE(sim::WriteWholeFile(upgrade.string(), sim::BuildUpgradeFile(image, 0x0102, 0x8115)));
  ASSERT_TRUE(sim::WriteWholeFile(sim::KeyFilePath(upgrade.string()), BytesOf(key)));

  std::vector<std::string> args = {"--link",       (dir / "tty").string(),
                                   "--expect",     upgrade.string(),
                                   "--transcript", (dir / "trace.txt").string(),
                                   "--report",     (dir / "report.txt").string(),
                                   "--dump-image", (dir / "image.bin").string(),
                                   "--restart-ms", "200",
                                   "--init-ms",    "20"};
  ASSERT_TRUE(SpawnStation(args, false, run.child));
  for (int i = 0; i < 300 && !fs::exists(dir / "tty"); ++i) std::this_thread::sleep_for(10ms);
  const int fd = run.line = open((dir / "tty").c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);

  SetSpeed(fd, B38400);  // the station starts at 4800 and does not understand this
  EXPECT_TRUE(Exchange(fd, MakeFrame(Hex("70 4D")), 300).empty());
  SetSpeed(fd, B4800);
  EXPECT_EQ(PayloadOf(Exchange(fd, MakeFrame(Hex("70 4D")))), Hex("70 00 4D"));
  const auto ident = PayloadOf(Exchange(fd, MakeFrame(Hex("83 00 74"))));
  ASSERT_TRUE(ident);
  ASSERT_EQ(ident->size(), 120u);
  EXPECT_EQ((*ident)[15] * 256 + (*ident)[16], 0x8115);

  EXPECT_EQ(PayloadOf(Exchange(fd, MakeFrame(Hex("7E 01")))), Hex("7E 00 01"));
  SetSpeed(fd, B38400);
  EXPECT_EQ(PayloadOf(Exchange(fd, MakeFrame(Hex("70 4D")))), Hex("70 00 4D"));
  for (std::uint32_t offset = 0; offset < image.size(); offset += 128) {
    const Bytes data(image.begin() + offset, image.begin() + offset + 128);
    ASSERT_EQ(PayloadOf(Exchange(fd, BlockFrame(offset, data))), AckPayload(offset))
        << "offset " << offset;
  }
  EXPECT_EQ(PayloadOf(Exchange(fd, InitUpdateFrame(key))), Hex("8F 30"));

  std::this_thread::sleep_for(400ms);  // the restart
  SetSpeed(fd, B4800);
  const Bytes record = sim::EncodeSetRecord(sim::RecordFromTime(FixedClock().time));
  const auto clock = PayloadOf(Exchange(fd, SetTimeFrame(record)));
  ASSERT_TRUE(clock);
  EXPECT_EQ(clock->front(), SET_TIME);
  const auto check = PayloadOf(Exchange(fd, MakeFrame(Hex("83 00 10"))));
  ASSERT_TRUE(check);
  EXPECT_EQ(std::string(check->begin() + 9, check->begin() + 12), "560");

  kill(run.child, SIGTERM);
  int status = -1;
  waitpid(std::exchange(run.child, -1), &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(sim::ReadWholeFile((dir / "image.bin").string()), image);
  EXPECT_NE(ReadText(dir / "report.txt").find("matches expected: yes"), std::string::npos);
  const std::string trace = ReadText(dir / "trace.txt");
  for (const char* step :
       {"SET_MODE 'M'", "READ_SYSDATA offset 0, 116 bytes", "now at 38400 baud",
        "WRITE_BLOCK 0x000480, 128 bytes", "block ack 0x000480", "update result '0'",
        "restarted with firmware 560 at 4800 baud", "clock set"}) {
    EXPECT_NE(trace.find(step), std::string::npos) << step;
  }
}

}  // namespace
}  // namespace qv::test
