// What the screenshot tool and the window benchmark stand on: qvstation as a
// child process, the box answerer and the temporary folder with a fixed name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/qt/modHook.h"
#include "core/View.h"
#include "sim/qvstation/StationProcess.h"
#include "support/QtApp.h"
#include "tools/qvshot/StationWindow.h"

namespace qv::test {
namespace {

TEST(StationProcess, TellsWhetherItServesAndHowItEnded) {
  QTemporaryDir folder;
  const std::string tty = folder.filePath("tty").toStdString();
  struct Case {
    const char* name;
    std::string program;
    std::vector<std::string> args;
    bool serves;  // opens its terminal and keeps running until stopped
    int status;
  };
  for (const Case& c : {
           Case{"stopped as an operator stops it",
                QV_BINARY_DIR "/qvstation",
                {"--link", tty},
                true,
                0},
           Case{"refuses its options", QV_BINARY_DIR "/qvstation", {"--no-such-option"}, false, 2},
           Case{"no such program", folder.filePath("none").toStdString(), {}, false, 127},
       }) {
    SCOPED_TRACE(c.name);
    sim::StationProcess station(c.program, c.args);
    for (int i = 0; i < 300 && station.Running() && !(c.serves && std::filesystem::exists(tty));
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(station.Running(), c.serves);
    EXPECT_EQ(station.Stop(), c.status);
    EXPECT_EQ(station.Stop(), c.status) << "a second stop reports the same end";
    EXPECT_FALSE(station.Running());
  }
}

TEST(BoxAnswerer, AnswersEachBoxWithItsDefaultButtonAndKeepsItsText) {
  EnsureQtApp();
  struct Case {
    int style;
    int answer;
  };
  for (const Case& c :
       {Case{vbOKOnly, vbOK}, Case{vbYesNo, vbYes}, Case{vbYesNo | vbDefaultButton2, vbNo},
        Case{vbOKCancel | vbDefaultButton2, vbCancel}}) {
    SCOPED_TRACE(c.style);
    shot::BoxAnswerer boxes;
    const std::string text = "box " + std::to_string(c.style);
    EXPECT_EQ(PlainMsgBox(text, c.style, ""), c.answer);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].toStdString(), text);
  }
}

TEST(StationWindow, UsesTheNamedFolderOnlyWhenItIsFreeAndRemovesOnlyItsOwn) {
  EnsureQtApp();
  const QString name = "qv-station-window-" + QString::number(::getpid());
  const QString named = QDir::temp().filePath(name);
  QString random;
  {
    shot::StationWindow first(1024, name);
    EXPECT_EQ(first.folder(), named);
    {
      shot::StationWindow second(1024, name);
      random = second.folder();
      EXPECT_NE(random, named) << "the name is taken";
      EXPECT_TRUE(QDir(random).exists());
    }
    EXPECT_FALSE(QDir(random).exists());
    EXPECT_TRUE(QDir(named).exists()) << "the second window leaves the first one's folder";
  }
  EXPECT_FALSE(QDir(named).exists());
}

}  // namespace
}  // namespace qv::test
