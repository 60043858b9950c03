#pragma once
// Puts the texts of one language into the controls of a window.
#include <cstdint>

class QLocale;
class QWidget;

namespace qv {

// Controls keep the German id of their text in a field of their own: labels,
// buttons, text boxes, frames and toolbar actions in the dynamic property "Tag"
// (text), menu items (QAction) in "HelpContextID" (int). The window's own "Tag"
// names its title. A control without such a field, or with an empty or
// non-numeric one, is left as it is. Child windows other than menus are not
// entered: they apply their own texts.
//
// - label: text = the message of its Tag;
// - text box: tooltip = the message of its Tag, when the Tag starts with an id;
// - menu item: text = the message of its HelpContextID, when that is positive;
// - toolbar: each action's tooltip = the message of the action's Tag;
// - anything else (buttons, frames, combo boxes ...): caption = the message of
//   the number its Tag starts with, tooltip = the message after it, each only
//   when the table has a text.
void ApplyLanguageTexts(QWidget& window, std::int32_t initLang);

// Qt's own texts (the standard buttons of message boxes, the file dialog) come
// from Qt's "qtbase" catalogue in Qt's translations folder. Before the main
// window exists they follow the desktop's language (main loads the system
// locale's catalogue); from then on they follow the window's language, so a
// box's question and its buttons never read in two languages. Replaces the
// catalogue loaded before; false when Qt has none for the locale (the buttons
// are then English).
bool UseQtTranslations(const QLocale& locale);
// 0 German, 2000 French, any other value English.
QLocale LocaleOfLanguage(std::int32_t initLang);

}  // namespace qv
