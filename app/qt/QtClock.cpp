#include "app/qt/QtClock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

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

void QtClock::sleep(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void QtClock::processEvents() { QCoreApplication::processEvents(); }

}  // namespace qv
