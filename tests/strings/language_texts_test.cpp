#include <gtest/gtest.h>

#include <QtWidgets>

#include "app/MlStringModule.h"
#include "app/qt/LanguageTexts.h"

namespace qv {
namespace {

template <typename T>
T* Tagged(T* object, const char* tag) {
  object->setProperty("Tag", QString(tag));
  return object;
}

// A small main window with every kind of control, some with ids and some without.
struct Window {
  QMainWindow main;
  QLabel* lblCOM = new QLabel("COM3", &main);
  QLabel* lblFile = Tagged(new QLabel("File?", &main), "1209");
  QLabel* lblOddTag = Tagged(new QLabel("designed", &main), "12a");
  QPushButton* btnStart = Tagged(new QPushButton("Go", &main), "1100");
  QPushButton* btnTrailing = Tagged(new QPushButton("Pick", &main), "1150 old");
  QPushButton* btnUnknown = Tagged(new QPushButton("Designed", &main), "1020");
  QPushButton* btnWords = Tagged(new QPushButton("Words", &main), "Cancel");
  QGroupBox* fraPortSettings = Tagged(new QGroupBox("Frame", &main), "1007");
  QLineEdit* txtNamed = Tagged(new QLineEdit("typed", &main), "1151");
  QMenu* mnuFile = main.menuBar()->addMenu("File");
  QAction* mnuFileOpen = mnuFile->addAction("Open");
  QAction* mnuNoId = mnuFile->addAction("&English");
  QAction* mnuZeroId = mnuFile->addAction("&Deutsch");
  QToolBar* tbGross = main.addToolBar("tools");
  QAction* tbInitComm = Tagged(tbGross->addAction("InitComm"), "1101");
  QAction* tbOdd = Tagged(tbGross->addAction("Odd"), "x");
  QDialog* dialog = new QDialog(&main);
  QLabel* dialogLabel = Tagged(new QLabel("dialog", dialog), "1146");

  Window() {
    Tagged(&main, "1117");
    mnuFile->menuAction()->setProperty("HelpContextID", 1000);
    mnuFileOpen->setProperty("HelpContextID", 1002);
    mnuZeroId->setProperty("HelpContextID", 0);
    btnUnknown->setToolTip("designed tip");
    tbOdd->setToolTip("odd tip");
  }
};

QString Message(int lang, int id) {
  return QString::fromStdString(GetMlString(lang, id, ""));
}

// Each language in turn on the same window: every switch replaces the last one's texts.
TEST(LanguageTexts, PutEachControlsTextInPlaceAndLeaveTheRestAlone) {
  int argc = 1;
  char name[] = "qv_strings_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  Window w;
  for (const int lang : {0, 2000, 1000}) {
    ApplyLanguageTexts(w.main, lang);
    EXPECT_EQ(w.main.windowTitle(), Message(lang, 1117));
    EXPECT_EQ(w.lblFile->text(), Message(lang, 1209));
    EXPECT_EQ(w.btnStart->text(), Message(lang, 1100));
    EXPECT_EQ(w.btnStart->toolTip(), Message(lang, 1101));
    EXPECT_EQ(w.btnTrailing->text(), Message(lang, 1150));
    EXPECT_EQ(w.btnTrailing->toolTip(), Message(lang, 1151));
    EXPECT_EQ(w.fraPortSettings->title(), Message(lang, 1007));
    EXPECT_EQ(w.fraPortSettings->toolTip(), Message(lang, 1008));
    EXPECT_EQ(w.txtNamed->toolTip(), Message(lang, 1151));
    EXPECT_EQ(w.mnuFile->title(), Message(lang, 1000));
    EXPECT_EQ(w.mnuFileOpen->text(), Message(lang, 1002));
    EXPECT_EQ(w.tbInitComm->toolTip(), Message(lang, 1101));
  }
  EXPECT_EQ(w.txtNamed->text(), "typed");
  EXPECT_EQ(w.lblCOM->text(), "COM3");
  EXPECT_EQ(w.lblOddTag->text(), "designed");
  EXPECT_EQ(w.btnUnknown->text(), "Designed");
  EXPECT_EQ(w.btnUnknown->toolTip(), "designed tip");
  EXPECT_EQ(w.btnWords->text(), "Words");
  EXPECT_EQ(w.mnuNoId->text(), "&English");
  EXPECT_EQ(w.mnuZeroId->text(), "&Deutsch");
  EXPECT_EQ(w.tbOdd->toolTip(), "odd tip");
  EXPECT_EQ(w.dialogLabel->text(), "dialog");  // a window of its own

  ApplyLanguageTexts(*w.dialog, 1000);
  EXPECT_EQ(w.dialogLabel->text(), Message(1000, 1146));
}

}  // namespace
}  // namespace qv
