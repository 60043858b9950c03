// End to end on a real pseudo-terminal: qvstation as a child process, a
// frame-level update driven with plain termios, the image checked afterwards.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "StationTestSupport.h"
#include "sim/StationClock.h"
#include "sim/UpgradeImage.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Line {
 public:
  explicit Line(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
  ~Line() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  void setSpeed(speed_t speed) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd_, TCSANOW, &t);
  }

  // Writes a frame and reads one reply: a lone NAK or STX … ETX (empty on silence).
  Bytes exchange(const Bytes& frame, int silenceMs = 2000) {
    if (write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return {};
    Bytes reply;
    while (!complete(reply)) {
      pollfd p{fd_, POLLIN, 0};
      std::uint8_t byte = 0;
      if (poll(&p, 1, silenceMs) <= 0 || read(fd_, &byte, 1) != 1) return {};
      reply.push_back(byte);
    }
    return reply;
  }

 private:
  static bool complete(const Bytes& r) {
    if (r.size() == 1 && r[0] == kNak) return true;
    if (r.size() < 3 || r.back() != kEtx) return false;
    if (IsExtendedCommand(r[1])) return r.size() == r[2] + 6u;
    return r[r.size() - 2] != kDle || r[r.size() - 3] == kDle;
  }

  int fd_;
};

std::string ReadText(const fs::path& path) {
  const Bytes text = sim::ReadWholeFile(path.string()).value_or(Bytes{});
  return {text.begin(), text.end()};
}

class QvStationPty : public ::testing::Test {
 protected:
  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  void start(const fs::path& upgrade) {
    const std::string program = std::string(QV_BINARY_DIR) + "/qvstation";
    const std::vector<std::string> args = {
        program, "--link", (dir_ / "tty").string(), "--expect", upgrade.string(), "--transcript",
        (dir_ / "trace.txt").string(), "--report", (dir_ / "report.txt").string(), "--dump-image",
        (dir_ / "image.bin").string(), "--restart-ms", "200", "--init-ms", "20"};
    child_ = fork();
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    for (int i = 0; i < 300 && !fs::exists(dir_ / "tty"); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(dir_ / "tty"));
  }

  int stop() {
    kill(child_, SIGTERM);
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir_;
  pid_t child_ = -1;
};

TEST_F(QvStationPty, AWholeUpdateLeavesTheStationWithTheExactImage) {
  char pattern[] = "/tmp/qvstation-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  const Bytes image = sim::MakeSyntheticImage(1024, "560");
  const std::string key = "PTY-KEY-0123456";
  const fs::path upgrade = dir_ / "QV_560.pupd";
  ASSERT_TRUE(sim::WriteWholeFile(upgrade.string(), sim::BuildUpgradeFile(image, 0x0102, 0x8115)));
  ASSERT_TRUE(sim::WriteWholeFile(sim::KeyFilePath(upgrade.string()), BytesOf(key)));
  start(upgrade);
  Line line((dir_ / "tty").string());
  ASSERT_TRUE(line.ok());

  line.setSpeed(B38400);  // the station starts at 4800 and does not understand this
  EXPECT_TRUE(line.exchange(MakeFrame(Hex("70 4D")), 300).empty());
  line.setSpeed(B4800);
  EXPECT_EQ(PayloadOf(line.exchange(MakeFrame(Hex("70 4D")))), Hex("70 00 4D"));
  const auto ident = PayloadOf(line.exchange(MakeFrame(Hex("83 00 74"))));
  ASSERT_TRUE(ident);
  ASSERT_EQ(ident->size(), 120u);
  EXPECT_EQ((*ident)[15] * 256 + (*ident)[16], 0x8115);

  EXPECT_EQ(PayloadOf(line.exchange(MakeFrame(Hex("7E 01")))), Hex("7E 00 01"));
  line.setSpeed(B38400);
  EXPECT_EQ(PayloadOf(line.exchange(MakeFrame(Hex("70 4D")))), Hex("70 00 4D"));
  for (std::uint32_t offset = 0; offset < image.size(); offset += 128) {
    const Bytes data(image.begin() + offset, image.begin() + offset + 128);
    ASSERT_EQ(PayloadOf(line.exchange(BlockFrame(offset, data))), AckPayload(offset)) << "offset " << offset;
  }
  EXPECT_EQ(PayloadOf(line.exchange(InitUpdateFrame(key))), Hex("8F 30"));

  std::this_thread::sleep_for(400ms);  // the restart
  line.setSpeed(B4800);
  const Bytes record = sim::EncodeSetRecord(sim::RecordFromTime(FixedClock().time));
  const auto clock = PayloadOf(line.exchange(SetTimeFrame(record)));
  ASSERT_TRUE(clock);
  EXPECT_EQ(clock->front(), SET_TIME);
  const auto check = PayloadOf(line.exchange(MakeFrame(Hex("83 00 10"))));
  ASSERT_TRUE(check);
  EXPECT_EQ(std::string(check->begin() + 9, check->begin() + 12), "560");

  ASSERT_EQ(stop(), 0);
  EXPECT_EQ(sim::ReadWholeFile((dir_ / "image.bin").string()), image);
  EXPECT_NE(ReadText(dir_ / "report.txt").find("matches expected: yes"), std::string::npos);
  const std::string trace = ReadText(dir_ / "trace.txt");
  for (const char* step : {"SET_MODE 'M'", "READ_SYSDATA offset 0, 116 bytes", "now at 38400 baud",
                           "WRITE_BLOCK 0x000480, 128 bytes", "block ack 0x000480", "update result '0'",
                           "restarted with firmware 560 at 4800 baud", "clock set"}) {
    EXPECT_NE(trace.find(step), std::string::npos) << step;
  }
}

}  // namespace
}  // namespace qv::test
