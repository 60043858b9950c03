#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "app/NamedTexts.h"
#include "core/Errors.h"
#include "serial/qt/QtSerialComm.h"
#include "support/QtApp.h"

namespace qv {
namespace {

constexpr std::int32_t kLanguages[] = {0, 1000, 2000};

std::multiset<std::string> Placeholders(const std::string& text) {
  static const std::regex placeholder("%[1-9]");
  std::multiset<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder);
       it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

TEST(NamedTexts, EveryRowHasThreeLanguagesWithTheSamePlaceholders) {
  const auto names = NamedTextNames();
  ASSERT_FALSE(names.empty());
  for (std::size_t i = 1; i < names.size(); ++i) {
    EXPECT_LT(names[i - 1], names[i]) << "sorted, each name once";
  }
  for (const std::string_view name : names) {
    const std::string english = NamedText(1000, name);
    for (const std::int32_t lang : kLanguages) {
      const std::string text = NamedText(lang, name);
      EXPECT_FALSE(text.empty()) << name << " " << lang;
      EXPECT_NE(text, name) << lang;
      EXPECT_EQ(Placeholders(text), Placeholders(english)) << name << " " << lang;
    }
  }
}

// French puts a space before ! ? : ; and German addresses the operator as "Sie".
TEST(NamedTexts, FrenchSpacingAndFormalGerman) {
  static const std::regex informal("\\b(du|dich|dir|dein|deine|deinen|deinem|deiner)\\b",
                                   std::regex::icase);
  for (const std::string_view name : NamedTextNames()) {
    const std::string french = NamedText(2000, name);
    for (std::size_t i = 0; i < french.size(); ++i) {
      if (std::string_view("!?:;").find(french[i]) == std::string_view::npos) continue;
      const bool spaced =
          (i >= 1 && french[i - 1] == ' ') || (i >= 2 && french.compare(i - 2, 2, "\xC2\xA0") == 0);
      EXPECT_TRUE(spaced) << name << ": " << french.substr(0, i + 1);
    }
    EXPECT_FALSE(std::regex_search(NamedText(0, name), informal)) << name;
  }
}

TEST(NamedTexts, LanguageChoiceAndUnknownNames) {
  const std::string_view name = "serial.noDevice";
  EXPECT_EQ(NamedText(0, name), "kein serielles Gerät gefunden");
  EXPECT_EQ(NamedText(2000, name), "aucun appareil série trouvé");
  for (const std::int32_t other : {1000, 1, -1, 3000}) {
    EXPECT_EQ(NamedText(other, name), "no serial device found") << other;
  }
  EXPECT_EQ(NamedText(0, "serial.noSuchRow"), "serial.noSuchRow");
}

// The serial layer gets its texts from whoever builds it; the error numbers
// stay whatever the language.
TEST(NamedTexts, SerialPortSpeaksTheLanguageItIsGiven) {
  test::EnsureQtApp();
  const auto failure = [](QtSerialComm& comm, auto call) {
    try {
      call(comm);
    } catch (const PlatformError& e) {
      return std::to_string(e.number()) + " " + e.description();
    }
    return std::string("no error");
  };
  const auto badPort = [](QtSerialComm& comm) { comm.setCommPort(17); };
  const auto badHandshake = [](QtSerialComm& comm) { comm.setHandshaking(4); };
  const std::string port = std::to_string(kErrInvalidPortNumber) + " ";
  const std::string value = std::to_string(kErrInvalidValue) + " ";

  QtSerialComm comm(PortMap("", {}), [](std::string_view name) { return NamedText(0, name); });
  EXPECT_EQ(failure(comm, badPort),
            port + "Ungültige Portnummer COM17: Der Lader erreicht nur COM1 bis COM16.");
  comm.setTexts([](std::string_view name) { return NamedText(2000, name); });
  EXPECT_EQ(failure(comm, badHandshake), value + "Contrôle de flux 4 non valable : 0 à 3 attendu.");

  QtSerialComm bare(PortMap("", {}));
  EXPECT_EQ(failure(bare, badPort), port + "serial.invalidPort COM17");
}

}  // namespace
}  // namespace qv
