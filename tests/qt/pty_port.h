#pragma once
// The real serial port on a pseudo-terminal (see support/PtyLine.h).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/NamedTexts.h"
#include "core/Errors.h"
#include "serial/PortMap.h"
#include "serial/qt/QtSerialComm.h"
#include "support/PlatformFailure.h"
#include "support/PtyLine.h"
#include "support/QtApp.h"

namespace qv::test {

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    line_.emplace();
    slave_ = line_->slave();
    dir_ = line_->dir();
    mapFile_ = line_->mapFile();
  }

  void TearDown() override {
    comm_.reset();
    line_.reset();
  }

  void WriteMap(const std::string& text) { line_->WriteMap(text); }
  PortMap Map() const { return line_->Map(); }

  // The port under test on the given number, opened unless settings is empty.
  QtSerialComm& Comm(int port = 5, const std::string& settings = "38400,n,8,1") {
    comm_.emplace(Map(), [](std::string_view name) { return NamedText(1000, name); });
    comm_->setCommPort(port);
    if (settings.empty()) return *comm_;
    comm_->setSettings(settings);
    comm_->setPortOpen(true);
    return *comm_;
  }

  void WriteMaster(const Bytes& bytes) { ASSERT_TRUE(line_->Write(bytes)); }
  Bytes ReadMaster(std::size_t count) { return line_->Read(count); }
  termios SlaveTermios() const { return line_->SlaveTermios(); }

  std::optional<PtyLine> line_;
  std::string slave_;
  std::filesystem::path dir_;
  std::string mapFile_;
  std::optional<QtSerialComm> comm_;
};

}  // namespace qv::test
