#pragma once
// What the engine needs of the main window: control states, texts and modal
// message boxes. The Qt main window implements it; tests record it.
#include <cstdint>
#include <string>

namespace qv {

enum class Control {
  Caption,  // the main window's title
  Master,   // mode combo box (direct / remote)
  btnStart,
  btnCancel,
  btnSelectPort,
  btnSetBaud,
  mnuCommandInitComm,
  mnuCommandSetTime,
  mnuCommandStartUpdate,
  mnuCommandStop,
  mnuCommandReadStation,
  mnuFileOpen,
  mnuGerman,
  mnuEnglish,
  mnuFrench,
  labProgress,
  ProgressBar,
  lblStationsInfo,
  LabelFileLoad,
  lblCOM,
  lblBaudrate,
  imgBaudWarning,
  lblDescConn,
  StatusPanel,  // first panel of the status bar
  // The toolbar's buttons.
  tbExit,
  tbStart,
  tbSelectPort,
  tbSetTime,
  tbReadStation,
  tbCancel,
};

// Message-box styles and results.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbYesNo = 4;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// A box that offers two answers.
constexpr bool IsQuestion(int style) {
  return (style & 7) == vbOKCancel || (style & 7) == vbYesNo;
}

// The answer of the button a box gives the focus (Enter presses it).
constexpr int DefaultAnswer(int style) {
  const bool second = (style & vbDefaultButton2) != 0;
  if ((style & 7) == vbOKCancel) return second ? vbCancel : vbOK;
  if ((style & 7) == vbYesNo) return second ? vbNo : vbYes;
  return vbOK;
}

class View {
 public:
  virtual ~View() = default;
  virtual void setEnabled(Control control, bool enabled) = 0;
  virtual bool isEnabled(Control control) const = 0;
  virtual void setText(Control control, const std::string& text) = 0;
  virtual std::string text(Control control) const = 0;
  virtual void setVisible(Control control, bool visible) = 0;
  virtual void setToolTip(Control control, const std::string& text) = 0;
  // Opens a list's drop-down, so that the operator picks an entry.
  virtual void DropDown(Control control) = 0;
  // The modal port-settings dialog; false when the operator cancelled it.
  virtual bool ShowPortDialog() = 0;
  // The path shortened with an ellipsis to the control's width in pixels.
  virtual std::string CompactPath(Control control, const std::string& path) = 0;
  // The folder dialog owned by the main window; empty when cancelled.
  virtual std::string BrowseForFolder(const std::string& prompt) = 0;
  // Transfer progress on the progress bar and the taskbar entry.
  virtual void setProgressMaximum(std::int32_t maximum) = 0;
  virtual void ShowProgress(std::int32_t value) = 0;
  // The decimal separator of the system's locale, which numbers shown to the
  // operator use whatever the program's language.
  virtual char DecimalSeparator() const = 0;
  // Modal box; timers and serial events keep running while it is open.
  // An empty title stands for the program title; the caller's title
  // receives the title as shown. Returns vbOK, vbCancel, vbYes or vbNo.
  // `messageId` is the id of the text that leads the prompt (0 for a text
  // without one): a view that answers boxes itself goes by it, never by the
  // words.
  virtual int HookedMsgBox(int messageId, const std::string& prompt, int style,
                           std::string& title) = 0;
};

inline constexpr const char* kAppTitle = "QV-Boot";

}  // namespace qv
