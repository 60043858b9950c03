#include "app/qt/TaskbarProgress.h"

#include <QDBusMessage>
#include <algorithm>
#include <utility>

namespace qv {

ITaskBarList3::ITaskBarList3(QDBusConnection bus, QString appUri)
    : bus_(std::move(bus)), appUri_(std::move(appUri)) {}

std::int32_t ITaskBarList3::SetProgressState(const QWidget*, std::int32_t tbpFlags) {
  return Send({{"progress-visible", tbpFlags != TBPF_NOPROGRESS}});
}

std::int32_t ITaskBarList3::SetProgressValue(const QWidget*, std::uint32_t ullCompleted,
                                             std::uint32_t ullTotal) {
  const double share =
      ullTotal == 0 ? 0.0 : std::clamp(double(ullCompleted) / double(ullTotal), 0.0, 1.0);
  return Send({{"progress", share}});
}

std::int32_t ITaskBarList3::SetCount(std::int64_t count) {
  if (count < 0) return Send({{"count-visible", false}});
  return Send({{"count", static_cast<qlonglong>(count)}, {"count-visible", true}});
}

std::int32_t ITaskBarList3::SetOverlayIcon(const QWidget*, const QString&) {
  return kResultNotImplemented;
}

std::int32_t ITaskBarList3::SetThumbnailClip(const QWidget*, int, int, int, int) {
  return kResultNotImplemented;
}

std::int32_t ITaskBarList3::SetThumbnailTooltip(const QWidget*, const QString&) {
  return kResultNotImplemented;
}

std::int32_t ITaskBarList3::ThumbBarAddButtons(const QWidget*, int) {
  return kResultNotImplemented;
}

std::int32_t ITaskBarList3::Send(const QVariantMap& properties) {
  if (!bus_.isConnected()) return kResultFailed;
  QDBusMessage signal = QDBusMessage::createSignal(kLauncherPath, kLauncherInterface, "Update");
  signal << appUri_ << properties;
  return bus_.send(signal) ? kResultOk : kResultFailed;
}

}  // namespace qv
