#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <chrono>

namespace qv {

LocalDateTime QtClock::now() const {
  const QDateTime current = QDateTime::currentDateTime();
  const QDate date = current.date();
  const QTime time = current.time();
  LocalDateTime local;
  local.year = date.year();
  local.month = date.month();
  local.day = date.day();
  local.hour = time.hour();
  local.minute = time.minute();
  local.second = time.second();
  local.millisecond = time.msec();
  local.dayOfWeek = date.dayOfWeek() % 7;  // Qt counts Monday 1 .. Sunday 7
  return local;
}

std::int64_t QtClock::monotonicMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void QtClock::sleep(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void QtClock::processEvents() { QCoreApplication::processEvents(); }

std::string UtcTimestamp() {
  return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

}  // namespace qv
