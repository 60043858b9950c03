#pragma once
// The desktop's folder dialog and opening a document with the program the
// desktop associates with it.
#include <functional>
#include <string>

class QObject;
class QWidget;

namespace qv {

inline constexpr const char* kDefaultFolderPrompt = "Wählen Sie bitte einen Ordner:";

// The folder chosen in a dialog owned by `owner` that shows only folders;
// empty when the operator cancels. An empty title gives the default prompt.
std::string BrowseForFolder(QWidget* owner, const std::string& title);

// Opens the file with the program the desktop associates with it. `failed`
// runs when no program took it: at once when the desktop has no opener, or
// later, when xdg-open ends saying it found no program (it may run the
// program in the foreground and end only with it). Runs nothing otherwise.
void OpenDocument(QObject* owner, const std::string& file, std::function<void()> failed);

}  // namespace qv
