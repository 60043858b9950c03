#include <gtest/gtest.h>

#include <QtWidgets>
#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>

#include "app/qt/LanguageTexts.h"
#include "cli/CliTexts.h"
#include "core/Errors.h"
#include "platform/QtSerialComm.h"
#include "support/PlatformFailure.h"
#include "support/QtApp.h"
#include "texts/MlStringModule.h"
#include "texts/NamedTexts.h"

namespace qv {
namespace {

constexpr int kGerman = 0, kEnglish = 1000, kFrench = 2000;

// Every listed id in each language, French lacking only 1219, and nothing else.
TEST(StringTable, HoldsExactlyTheListedIdsInEachLanguage) {
  std::set<int> present, expected;
  for (int fullId = -10; fullId <= 6000; ++fullId)
    if (StringTableLookup(fullId)) present.insert(fullId);
  // clang-format off
  for (const auto& [first, last] : {std::pair{1000, 1018}, {1100, 1103}, {1105, 1110}, {1117, 1118}, {1126, 1126},
                                   {1142, 1162}, {1164, 1240}}) {
    // clang-format on
    for (int id = first; id <= last; ++id)
      expected.insert({id, id + kEnglish, id == 1219 ? id : id + kFrench});
  }
  EXPECT_EQ(present, expected);
  EXPECT_EQ(StringTableLookup(INT_MIN), nullptr);
}

// English texts exactly as the operator must see them, blanks and access keys included;
// the stored text or the caller's fallback.
TEST(StringTable, TextsAndFallbacks) {
  // clang-format off
  const std::tuple<int, int, const char*, const char*> cases[] = {
      {kEnglish, 1000, "x", "&File"}, {kEnglish, 1016, "x", "Inf&o "}, {kEnglish, 1106, "x", "Baud 4800-->38400"},
      {kEnglish, 1117, "x", "Quorvex firmware loader"}, {kEnglish, 1215, "x", "  the hardware version"},
      {kEnglish, 1206, "x", " File not found"}, {kEnglish, 1219, "x", " "},
      {kEnglish, 1234, "x", "Attention! Backup memory will be erased during firmware upgrade!"},
      {kGerman, 1219, "x", "die Datei gewechselt werden?"}, {kFrench, 1219, "x", "x"},  // the one gap
      {kEnglish, 1205, "Station nicht bereit!", "Station not ready!"}, {kGerman, 1300, "x", "x"},
      {kEnglish, 1104, "", ""}, {kFrench, INT_MAX, "x", "x"}, {kEnglish, INT_MIN, "x", "x"},
  };
  // clang-format on
  for (const auto& [lang, id, fallback, expected] : cases)
    EXPECT_EQ(GetMlString(lang, id, fallback), expected) << lang << ' ' << id;
}

TEST(StringTable, TranslationsAreTheirOwnAndKeepBlanksAndAccessKeys) {
  // clang-format off
  const std::tuple<int, std::set<int>, std::vector<std::string>> translations[] = {
      {kGerman, {1016, 1100, 1106, 1109, 1118, 1126, 1154, 1159, 1199}, {"ä", "ö", "ü", "ß", "Ä", "Ü"}},
      {kFrench, {1016, 1106, 1108, 1118, 1154, 1199}, {"é", "è", "ê", "à", "ç", "É"}}};
  // clang-format on
  for (const auto& [lang, sameAsEnglish, ownLetters] : translations) {
    std::set<int> same;
    int withOwnLetters = 0;
    for (int id = 1000; id <= 1240; ++id) {
      const std::string* text = StringTableLookup(lang + id);
      const std::string* english = StringTableLookup(kEnglish + id);
      if (!text || !english) continue;
      if (*text == *english) same.insert(id);
      withOwnLetters += std::ranges::any_of(ownLetters, [&](const std::string& letter) {
        return text->find(letter) != std::string::npos;
      });
      EXPECT_FALSE(text->empty()) << lang << ' ' << id;
      EXPECT_EQ(std::ranges::count(*text, '&'), std::ranges::count(*english, '&')) << lang << id;
      // A blank-only English text is a placeholder, not a margin to keep.
      if (english->find_first_not_of(' ') == std::string::npos) continue;
      EXPECT_EQ(text->starts_with(' '), english->starts_with(' ')) << lang << ' ' << id;
      EXPECT_TRUE(!english->ends_with(' ') || text->ends_with(' ')) << lang << ' ' << id;
    }
    EXPECT_EQ(same, sameAsEnglish) << lang;
    EXPECT_GE(withOwnLetters, 30) << lang << ": texts written without the language's letters";
  }
}

// Alt+letter must reach one item: within each menu, and among the menu bar and the
// buttons, which share the main window's keys. The command items are "&" + their text;
// the baud button's caption comes from code. English keeps the captions its operators
// know (&Start, &Set time, &Select serial port), so the translations are held to this.
TEST(StringTable, CaptionsThatShareAWindowOrMenuHaveDistinctAccessKeys) {
  for (const int lang : {kGerman, kFrench}) {
    const auto text = [lang](int id) { return QString::fromStdString(GetMlString(lang, id, "")); };
    const auto named = [lang](const char* name) {
      return QString::fromStdString(NamedText(lang, name));
    };
    const std::vector<QString> groups[] = {
        {text(1000), text(1220), text(1013), "&?", text(1100), text(1105), text(1150),
         "&Baud 4800->38400"},
        {text(1002), text(1018)},
        {"&" + text(1101), "&" + text(1100), "&" + text(1102), "&" + text(1105),
         named("window.readStation.menu"), named("window.series.stop"),
         named("window.series.clockStart")}};
    for (const auto& captions : groups) {
      std::map<QChar, QString> taken;
      for (const QString& caption : captions) {
        const qsizetype amp = caption.indexOf('&');
        if (amp < 0 || amp + 1 >= caption.size()) continue;
        const auto [first, fresh] = taken.try_emplace(caption[amp + 1].toLower(), caption);
        EXPECT_TRUE(fresh) << lang << ": " << first->second.toStdString() << " / "
                           << caption.toStdString();
      }
    }
  }
}

TEST(TextIdFields, IntegerOfWholeFieldAndNumberOfItsStart) {
  // clang-format off
  const std::tuple<const char*, std::optional<int>, int> cases[] = {
      {" 1209 ", 1209, 1209}, {"+1000", 1000, 1000}, {"-5", -5, -5}, {"", std::nullopt, 0}, {"abc", std::nullopt, 0},
      {"1100abc", std::nullopt, 1100}, {"12.5", std::nullopt, 12}, {"+-3", std::nullopt, 0}, {"32767", 32767, 32767},
      {"32768", std::nullopt, 0}, {"-32768", -32768, -32768}, {"99999999999999", std::nullopt, 0},
  };
  // clang-format on
  for (const auto& [field, integer, number] : cases) {
    EXPECT_EQ(IntegerOfId(field), integer) << '"' << field << '"';
    EXPECT_EQ(NumberOfId(field), number) << '"' << field << '"';
  }
}

// Every named text, the program's and the command line's, in three languages with the same
// placeholders; French puts a space before ! ? : ; and German addresses the operator as "Sie".
TEST(NamedTexts, EveryRowInThreeLanguagesWrittenAsEachLanguageWrites) {
  static const std::regex placeholder("%[1-9]");
  // French wants a blank or a no-break space (C2 A0) before each of them.
  static const std::regex unspaced("(^|[^ \xA0]|[^\xC2]\xA0)[!?:;]");
  static const std::regex informal("\\b(du|dich|dir|dein\\w*)\\b", std::regex::icase);
  const auto placeholders = [](const std::string& text) {
    return std::multiset<std::string>(
        std::sregex_token_iterator(text.begin(), text.end(), placeholder), {});
  };
  const struct {
    std::vector<std::string_view> names;
    std::string (*text)(std::int32_t, std::string_view);
  } tables[] = {{NamedTextNames(), &NamedText}, {cli::CliTextNames(), &cli::NamedText}};
  for (const auto& [names, text] : tables) {
    EXPECT_TRUE(std::ranges::adjacent_find(names, std::greater_equal{}) == names.end())
        << "sorted, each once";
    for (const std::string_view name : names) {
      for (const std::int32_t lang : {kGerman, kEnglish, kFrench}) {
        const std::string shown = text(lang, name);
        EXPECT_FALSE(shown.empty() || shown == name) << name << " " << lang;
        EXPECT_EQ(placeholders(shown), placeholders(text(kEnglish, name))) << name << " " << lang;
      }
      EXPECT_FALSE(std::regex_search(text(kFrench, name), unspaced)) << text(kFrench, name);
      EXPECT_FALSE(std::regex_search(text(kGerman, name), informal)) << name;
    }
  }
  EXPECT_EQ(NamedText(kGerman, "serial.noDevice"), "kein serielles Gerät gefunden");
  EXPECT_EQ(NamedText(kFrench, "serial.noDevice"), "aucun appareil série trouvé");
  for (const std::int32_t other : {1000, 1, -1, 3000})
    EXPECT_EQ(NamedText(other, "serial.noDevice"), "no serial device found") << other;
  EXPECT_EQ(NamedText(kGerman, "serial.noSuchRow"), "serial.noSuchRow");
  // The command line reaches the program's texts through its own lookup.
  EXPECT_EQ(cli::NamedText(kFrench, "serial.noDevice"), "aucun appareil série trouvé");
}

// The serial layer gets its texts from whoever builds it; the error numbers
// stay whatever the language.
TEST(NamedTexts, SerialPortSpeaksTheLanguageItIsGiven) {
  test::EnsureQtApp();
  const auto failure = [](const std::function<void()>& call) {
    const PlatformError e = test::Failure(call);
    return std::to_string(e.number()) + " " + e.description();
  };
  const std::string port = std::to_string(kErrInvalidPortNumber) + " ";
  QtSerialComm comm(PortMap("", {}),
                    [](std::string_view name) { return NamedText(kGerman, name); });
  EXPECT_EQ(failure([&] { comm.setCommPort(17); }),
            port + "Ungültige Portnummer COM17: Der Lader erreicht nur COM1 bis COM16.");
  comm.setTexts([](std::string_view name) { return NamedText(kFrench, name); });
  EXPECT_EQ(failure([&] { comm.setHandshaking(4); }),
            std::to_string(kErrInvalidValue) + " Contrôle de flux 4 non valable : 0 à 3 attendu.");
  QtSerialComm bare(PortMap("", {}));
  EXPECT_EQ(failure([&] { bare.setCommPort(17); }), port + "serial.invalidPort COM17");
}

template <typename T>
T* Tagged(T* object, const char* tag) {
  object->setProperty("Tag", QString(tag));
  return object;
}

// Each language in turn on the same window: every switch replaces the last
// one's texts; controls without a usable id keep what they show.
TEST(LanguageTexts, PutEachControlsTextInPlaceAndLeaveTheRestAlone) {
  test::EnsureQtApp();
  QMainWindow main;
  Tagged(&main, "1117");
  QLabel* label = Tagged(new QLabel("File?", &main), "1209");
  QLabel* oddLabel = Tagged(new QLabel("designed", &main), "12a");
  QPushButton* start = Tagged(new QPushButton("Go", &main), "1100");
  QPushButton* trailing = Tagged(new QPushButton("Pick", &main), "1150 old");
  QPushButton* unknown = Tagged(new QPushButton("Designed", &main), "1020");
  QGroupBox* frame = Tagged(new QGroupBox("Frame", &main), "1007");
  QLineEdit* edit = Tagged(new QLineEdit("typed", &main), "1151");
  QMenu* menu = main.menuBar()->addMenu("File");
  QAction* open = menu->addAction("Open");
  QAction* zeroId = menu->addAction("&Deutsch");
  QAction* tool = Tagged(main.addToolBar("tools")->addAction("InitComm"), "1101");
  QDialog* dialog = new QDialog(&main);
  QLabel* dialogLabel = Tagged(new QLabel("dialog", dialog), "1146");
  menu->menuAction()->setProperty("HelpContextID", 1000);
  open->setProperty("HelpContextID", 1002);
  zeroId->setProperty("HelpContextID", 0);
  unknown->setToolTip("designed tip");
  for (const int lang : {kGerman, kFrench, kEnglish}) {
    ApplyLanguageTexts(main, lang);
    const auto text = [lang](int id) { return QString::fromStdString(GetMlString(lang, id, "")); };
    EXPECT_EQ(std::tuple(main.windowTitle(), label->text(), tool->toolTip()),
              std::tuple(text(1117), text(1209), text(1101)));
    EXPECT_EQ(std::pair(start->text(), start->toolTip()), std::pair(text(1100), text(1101)));
    EXPECT_EQ(std::pair(trailing->text(), trailing->toolTip()), std::pair(text(1150), text(1151)));
    EXPECT_EQ(std::pair(frame->title(), frame->toolTip()), std::pair(text(1007), text(1008)));
    EXPECT_EQ(std::pair(edit->text(), edit->toolTip()), std::pair(QString("typed"), text(1151)));
    EXPECT_EQ(std::pair(menu->title(), open->text()), std::pair(text(1000), text(1002)));
  }
  EXPECT_EQ(oddLabel->text(), "designed");
  EXPECT_EQ(std::pair(unknown->text(), unknown->toolTip()),
            std::pair(QString("Designed"), QString("designed tip")));
  EXPECT_EQ(zeroId->text(), "&Deutsch");
  EXPECT_EQ(dialogLabel->text(), "dialog");  // a window of its own
  ApplyLanguageTexts(*dialog, kEnglish);
  EXPECT_EQ(dialogLabel->text(), QString::fromStdString(GetMlString(kEnglish, 1146, "")));
}

}  // namespace
}  // namespace qv
