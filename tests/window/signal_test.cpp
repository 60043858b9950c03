// The window program ended by a signal, as a log-out or a shutdown ends it:
// it closes as through its close box, the link put back and the settings written.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "WindowBench.h"
#include "protocol/Commands.h"
#include "protocol/stdFunc.h"
#include "sim/qvstation/StationProcess.h"

namespace qv::test {
namespace {

// A reply as the station sends it: the loader's frame without the wake-up byte.
Bytes Reply(std::uint8_t code, const Bytes& data) {
  Bytes frame = MakeFrame(JoinBytes(code, data));
  frame.erase(frame.begin());
  return frame;
}

TEST(Signals, EndTheProgramThroughItsClosing) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    WindowBench bench;  // its settings folder and its port map, for the program this time
    bench.WriteSettings("[SETTINGS]\nInitLang=2000\n");
    ::setenv("XDG_DATA_HOME", bench.home.path.c_str(), 1);
    ::setenv(kPortMapFileVariable, bench.line.mapFile.c_str(), 1);
    sim::StationProcess program(QV_BINARY_DIR "/QV-Boot", {});
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv(kPortMapFileVariable);
    ASSERT_EQ(bench.line.Read(SetModeFrame(true).size(), 20000), SetModeFrame(true));
    // The station answers at 4800 and is asked up to 38400; it does not follow.
    ASSERT_TRUE(bench.line.Write(Reply(SET_MODE, Bytes{0, 'S'})));
    EXPECT_EQ(bench.line.Read(SetBaudFrame(38400).size(), 5000), SetBaudFrame(38400));
    program.Signal(signal);
    EXPECT_EQ(bench.line.Read(SetModeFrame(false).size(), 5000), SetModeFrame(false));
    for (int i = 0; i < 500 && program.Running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(program.Running());
    EXPECT_EQ(program.Stop(), 0);
    const std::string settings = bench.Settings();
    EXPECT_NE(settings.find("InitLang=2000"), std::string::npos) << settings;
    EXPECT_NE(settings.find("[COMCTRL]\nPort=COM1"), std::string::npos) << settings;
  }
}

}  // namespace
}  // namespace qv::test
