#pragma once
// The progress of a transfer on the program's launcher or taskbar entry.
// Linux desktops (KDE Plasma, GNOME docks and others) show it from the
// launcher-entry signal on the session bus: the entry is the program's
// .desktop file, so it belongs to the program rather than to one window.
#include <QDBusConnection>
#include <QString>
#include <QVariantMap>
#include <cstdint>

class QWidget;

namespace qv {

inline constexpr const char* kLauncherInterface = "com.canonical.Unity.LauncherEntry";
inline constexpr const char* kLauncherPath = "/com/quorvex/qvboot";
inline constexpr const char* kLauncherAppUri = "application://qv-boot.desktop";

// Progress states: none shown, and normal progress.
inline constexpr std::int32_t TBPF_NOPROGRESS = 0;
inline constexpr std::int32_t TBPF_NORMAL = 2;
// Results of the operations.
inline constexpr std::int32_t kResultOk = 0;
inline constexpr std::int32_t kResultFailed = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t kResultNotImplemented = static_cast<std::int32_t>(0x80004001u);

class ITaskBarList3 {
 public:
  // Uses the given bus; a bus that is not connected leaves the object without
  // a launcher, and every operation then fails.
  explicit ITaskBarList3(QDBusConnection bus = QDBusConnection::sessionBus(),
                         QString appUri = kLauncherAppUri);

  bool Available() const { return bus_.isConnected(); }

  // hwnd names the window the progress belongs to; the launcher entry is
  // the program's, whichever window asks.
  std::int32_t SetProgressState(const QWidget* hwnd, std::int32_t tbpFlags);
  // completed / total, kept between 0 and 1; a total of 0 shows nothing done.
  std::int32_t SetProgressValue(const QWidget* hwnd, std::uint32_t ullCompleted,
                                std::uint32_t ullTotal);
  // The launcher entry's count badge: a series' stations updated so far;
  // a negative count hides the badge.
  std::int32_t SetCount(std::int64_t count);

  // Overlay icon, thumbnail clip, thumbnail tooltip and thumbnail toolbar have
  // no counterpart on Linux desktops: the launcher entry has only a count,
  // a progress and an urgency mark. They do nothing and say so.
  std::int32_t SetOverlayIcon(const QWidget* hwnd, const QString& description);
  std::int32_t SetThumbnailClip(const QWidget* hwnd, int left, int top, int right, int bottom);
  std::int32_t SetThumbnailTooltip(const QWidget* hwnd, const QString& tip);
  std::int32_t ThumbBarAddButtons(const QWidget* hwnd, int cButtons);

 private:
  std::int32_t Send(const QVariantMap& properties);

  QDBusConnection bus_;
  QString appUri_;
};

}  // namespace qv
