#include "app/qt/LanguageTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QToolBar>
#include <QTranslator>
#include <QVariant>
#include <optional>
#include <string>

#include "texts/MlStringModule.h"

namespace qv {

namespace {

constexpr const char* kTag = "Tag";
constexpr const char* kHelpContextId = "HelpContextID";

std::optional<std::string> TagOf(const QObject& object) {
  const QVariant tag = object.property(kTag);
  if (!tag.isValid()) return std::nullopt;
  return tag.toString().toStdString();
}

std::optional<int> IntegerOfTag(const QObject& object) {
  const std::optional<std::string> tag = TagOf(object);
  if (!tag) return std::nullopt;
  return IntegerOfId(*tag);
}

class TextWalk {
 public:
  explicit TextWalk(std::int32_t initLang) : initLang_(initLang) {}

  void Window(QWidget& window) const {
    if (const std::optional<int> id = IntegerOfTag(window)) window.setWindowTitle(Text(*id));
    Children(window);
  }

 private:
  QString Text(int id) const { return QString::fromStdString(GetMlString(initLang_, id, "")); }

  void Children(QObject& parent) const {
    for (QObject* child : parent.children()) {
      auto* widget = qobject_cast<QWidget*>(child);
      // Dialogs owned by this window are windows of their own; menus are part of it.
      if (widget && widget->isWindow() && !qobject_cast<QMenu*>(widget)) continue;
      Control(*child);
      Children(*child);
    }
  }

  void Control(QObject& object) const {
    if (auto* action = qobject_cast<QAction*>(&object)) return MenuItem(*action);
    if (auto* label = qobject_cast<QLabel*>(&object)) return Label(*label);
    if (auto* toolbar = qobject_cast<QToolBar*>(&object)) return Toolbar(*toolbar);
    // A submenu's item is the menu's own action, which need not be its child.
    if (auto* menu = qobject_cast<QMenu*>(&object)) MenuItem(*menu->menuAction());
    auto* widget = qobject_cast<QWidget*>(&object);
    if (!widget) return;
    if (IsTextBox(*widget)) return TextBox(*widget);
    Other(*widget);
  }

  static bool IsTextBox(const QWidget& widget) {
    return qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QTextEdit*>(&widget) ||
           qobject_cast<const QPlainTextEdit*>(&widget);
  }

  void Label(QLabel& label) const {
    if (const std::optional<int> id = IntegerOfTag(label)) label.setText(Text(*id));
  }

  void TextBox(QWidget& box) const {
    const std::optional<std::string> tag = TagOf(box);
    if (!tag) return;
    const int id = NumberOfId(*tag);
    if (id > 0) box.setToolTip(Text(id));
  }

  void MenuItem(QAction& item) const {
    const QVariant field = item.property(kHelpContextId);
    if (!field.isValid()) return;
    bool ok = false;
    const int id = field.toInt(&ok);
    if (ok && id > 0) item.setText(Text(id));
  }

  void Toolbar(QToolBar& toolbar) const {
    for (QAction* button : toolbar.actions()) {
      if (const std::optional<int> id = IntegerOfTag(*button)) button->setToolTip(Text(*id));
    }
  }

  void Other(QWidget& widget) const {
    const std::optional<std::string> tag = TagOf(widget);
    if (!tag) return;
    const int id = NumberOfId(*tag);
    if (id < 1) return;
    if (const QString caption = Text(id); !caption.isEmpty()) SetCaption(widget, caption);
    if (const QString tip = Text(id + 1); !tip.isEmpty()) widget.setToolTip(tip);
  }

  // A control that has no caption of its own keeps what it shows.
  static void SetCaption(QWidget& widget, const QString& caption) {
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) return button->setText(caption);
    if (auto* frame = qobject_cast<QGroupBox*>(&widget)) return frame->setTitle(caption);
    auto* combo = qobject_cast<QComboBox*>(&widget);
    if (combo && combo->isEditable()) combo->setEditText(caption);
  }

  std::int32_t initLang_;
};

}  // namespace

void ApplyLanguageTexts(QWidget& window, std::int32_t initLang) {
  TextWalk(initLang).Window(window);
}

bool UseQtTranslations(const QLocale& locale) {
  // Owned by the application, so it goes with it; the pointer only says which
  // catalogue to take out again.
  static QPointer<QTranslator> loaded;
  if (loaded) {
    QCoreApplication::removeTranslator(loaded);
    delete loaded.data();
  }
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  loaded = translator;
  return true;
}

QLocale LocaleOfLanguage(std::int32_t initLang) {
  if (initLang == 0) return QLocale(QLocale::German, QLocale::Germany);
  if (initLang == 2000) return QLocale(QLocale::French, QLocale::France);
  return QLocale(QLocale::English, QLocale::UnitedStates);
}

}  // namespace qv
