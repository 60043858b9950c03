#pragma once
// The desktop's folder dialog and opening a document with the program the
// desktop associates with it.
#include <string>

class QWidget;

namespace qv {

inline constexpr const char* kDefaultFolderPrompt = "Wählen Sie bitte einen Ordner:";

// The folder chosen in a dialog owned by `owner` that shows only folders;
// empty when the operator cancels. An empty title gives the default prompt.
std::string BrowseForFolder(QWidget* owner, const std::string& title);

// True when the desktop took the file to open it.
bool OpenDocument(QWidget* owner, const std::string& file);

}  // namespace qv
