#include "platform/QtSerialComm.h"

#include <QThread>
#include <algorithm>
#include <filesystem>
#include <limits>

#include "core/Errors.h"
#include "core/TextRules.h"
#include "serial/PortHolders.h"

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

// Which CommEvent codes arise here, and from where:
//  2            readyRead, and while a receive event is being delivered a
//               short poll (Qt never emits readyRead inside its own slot).
//  1001, 1004, 1006, 1008, 1009 and 3, 4, 5, 6
//               the kernel's per-port counters (TIOCGICOUNT), read on every
//               receive and every kLinePollMs. UART drivers and most USB
//               adapters keep them; pseudo-terminals do not, so there these
//               codes never arise. QSerialPort itself no longer reports
//               framing, parity or break conditions.
//  1008, 1010, 1011
//               QSerialPort's ReadError, WriteError and ResourceError (the
//               device failed or was unplugged; after a read or resource
//               error the port is closed).
//  1 (send buffer low) never arises: QSerialPort's write buffer has no
//  threshold. 7 (end-of-file character) never arises: the line is raw.
namespace qv {

namespace {

constexpr int kLinePollMs = 100;
constexpr int kReceivePollMs = 5;
constexpr int kCloseDrainMs = 500;
constexpr int kSpeedChangeDrainMs = 1000;  // the longest frame takes 0.6 s at 4800 baud

using TextLookup = QtSerialComm::TextLookup;

std::string PortName(int number) { return "COM" + std::to_string(number); }

// Without a lookup the operator still sees which text it was and its values.
std::string Say(const TextLookup& texts, std::string_view name,
                std::initializer_list<std::string_view> args) {
  if (texts) return FillPlaceholders(texts(name), args);
  std::string text(name);
  for (const std::string_view arg : args) (text += ' ') += arg;
  return text;
}

std::string MapFileHint(const TextLookup& texts, const PortMap& ports, int number) {
  const std::string line = "'" + PortName(number) + " = /dev/ttyUSB0'";
  if (ports.mapFile().empty()) {
    return Say(texts, "serial.mapHintVariable", {kPortMapFileVariable, line});
  }
  return Say(texts, "serial.mapHint", {ports.mapFile(), line});
}

std::string UnmappedText(const TextLookup& texts, const PortMap& ports, int number) {
  std::string found;
  for (const auto& entry : ports.List()) {
    if (!found.empty()) found += ", ";
    found += Say(texts, "serial.portIs", {PortName(entry.number), entry.path});
  }
  if (found.empty()) found = Say(texts, "serial.noDevice", {});
  return Say(texts, "serial.unmapped",
             {PortName(number), found, MapFileHint(texts, ports, number)});
}

std::string MissingText(const TextLookup& texts, const PortMap& ports, const PortEntry& entry) {
  const std::string port = PortName(entry.number);
  if (entry.origin == PortOrigin::MapFile) {
    return Say(texts, "serial.missingMapped",
               {port, entry.path, ports.mapFile(), std::to_string(entry.line)});
  }
  return Say(texts, "serial.gone", {port, entry.path, MapFileHint(texts, ports, entry.number)});
}

#ifdef Q_OS_UNIX
bool AccessDenied(const std::string& path) {
  if (::access(path.c_str(), R_OK | W_OK) == 0) return false;
  return errno == EACCES || errno == EPERM;
}

std::string GroupOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  const group* owner = ::getgrgid(info.st_gid);
  return owner ? owner->gr_name : std::string();
}
#else
bool AccessDenied(const std::string&) { return false; }
std::string GroupOf(const std::string&) { return {}; }
#endif

std::string DeniedText(const TextLookup& texts, const PortEntry& entry) {
  std::string text = Say(texts, "serial.denied", {PortName(entry.number), entry.path});
  const std::string group = GroupOf(entry.path);
  if (!group.empty() && group != "dialout" && group != "root") {
    text += " " + Say(texts, "serial.deniedGroup", {group});
  }
  return text;
}

// Names the processes /proc shows holding the device; a known port grabber
// among them gets what keeps it away.
std::string BusyText(const TextLookup& texts, const PortEntry& entry) {
  const std::string port = PortName(entry.number);
  const auto holders = FindPortHolders(entry.path);
  if (holders.empty()) return Say(texts, "serial.inUse", {port, entry.path});
  std::string names;
  std::string hints;
  for (const PortHolder& holder : holders) {
    if (!names.empty()) names += ", ";
    names += Say(texts, "serial.holder", {holder.name, std::to_string(holder.pid)});
    if (holder.name == "ModemManager") hints = " " + Say(texts, "serial.udevRule", {});
    if (holder.name == "brltty") hints = " " + Say(texts, "serial.brltty", {});
  }
  return Say(texts, "serial.inUseBy", {port, entry.path, names}) + hints;
}

// brltty takes an adapter by unbinding its serial driver, so the device
// never appears.
std::string MissingDeviceText(const TextLookup& texts, const std::string& text) {
  if (!ProcessRunning("brltty")) return text;
  return text + " " + Say(texts, "serial.brltty", {});
}

PlatformError OpenFailure(const TextLookup& texts, const PortEntry& entry,
                          QSerialPort::SerialPortError error, const QString& detail) {
  const std::string port = PortName(entry.number);
  std::error_code ignored;
  if (!std::filesystem::exists(entry.path, ignored) ||
      error == QSerialPort::DeviceNotFoundError) {
    const std::string missing = Say(texts, "serial.missing", {port, entry.path});
    return PlatformError(kErrPortNotFound, MissingDeviceText(texts, missing));
  }
  if (AccessDenied(entry.path)) return PlatformError(kErrPortDenied, DeniedText(texts, entry));
  // Qt reports a device held by another process (exclusive open or lock
  // file) as a permission error; with access granted, that is what it means.
  if (error == QSerialPort::PermissionError) {
    return PlatformError(kErrPortOpen, BusyText(texts, entry));
  }
  return PlatformError(kErrPortFailed,
                       Say(texts, "serial.openFailed", {port, entry.path, detail.toStdString()}));
}

QSerialPort::Parity QtParity(char parity) {
  switch (parity) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits QtStopBits(StopBits stopBits) {
  switch (stopBits) {
    case StopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
    case StopBits::Two: return QSerialPort::TwoStop;
    default: return QSerialPort::OneStop;
  }
}

#ifdef Q_OS_LINUX
std::optional<LineCounters> ReadLineCounters(int descriptor) {
  serial_icounter_struct counts{};
  if (::ioctl(descriptor, TIOCGICOUNT, &counts) != 0) return std::nullopt;
  const auto u = [](int value) { return static_cast<std::uint64_t>(static_cast<unsigned>(value)); };
  LineCounters c;
  c.breaks = u(counts.brk);
  c.framing = u(counts.frame);
  c.overrun = u(counts.overrun);
  c.bufferOverrun = u(counts.buf_overrun);
  c.parity = u(counts.parity);
  c.cts = u(counts.cts);
  c.dsr = u(counts.dsr);
  c.cd = u(counts.dcd);
  c.ring = u(counts.rng);
  return c;
}
#else
std::optional<LineCounters> ReadLineCounters(int) { return std::nullopt; }
#endif

// QSerialPort offers RTS/CTS or XON/XOFF, not both; mode 3 adds XON/XOFF to
// the hardware handshake on the open descriptor.
bool AddSoftwareFlowControl([[maybe_unused]] int descriptor) {
#ifdef Q_OS_UNIX
  termios tio{};
  if (::tcgetattr(descriptor, &tio) != 0) return false;
  tio.c_iflag |= IXON | IXOFF;
  return ::tcsetattr(descriptor, TCSANOW, &tio) == 0;
#else
  return false;
#endif
}

}  // namespace

QtSerialComm::QtSerialComm(PortMap ports, TextLookup texts)
    : ports_(std::move(ports)), texts_(std::move(texts)) {
  QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] { OnReadyRead(); });
  QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                   [this](QSerialPort::SerialPortError error) { OnError(error); });
  linePoll_.setInterval(kLinePollMs);
  QObject::connect(&linePoll_, &QTimer::timeout, &port_, [this] { PollLineCounters(); });
  receivePoll_.setInterval(kReceivePollMs);
  QObject::connect(&receivePoll_, &QTimer::timeout, &port_, [this] { AnnounceNewBytes(); });
}

QtSerialComm::~QtSerialComm() { Close(); }

void QtSerialComm::setTexts(TextLookup texts) {
  texts_ = std::move(texts);
}

std::string QtSerialComm::Text(std::string_view name,
                               std::initializer_list<std::string_view> args) const {
  return Say(texts_, name, args);
}

void QtSerialComm::setCommPort(int number) {
  if (number < 1 || number > 16) {
    throw PlatformError(kErrInvalidPortNumber, Text("serial.invalidPort", {PortName(number)}));
  }
  if (port_.isOpen() && number != commPort_) {
    throw PlatformError(kErrPortOpen,
                        Text("serial.openBeforeChoosing", {PortName(commPort_), PortName(number)}));
  }
  commPort_ = number;
}

void QtSerialComm::setSettings(const std::string& settings) {
  const auto parsed = ParseLineSettings(settings);
  if (!parsed) {
    throw PlatformError(kErrInvalidValue, Text("serial.invalidSettings", {settings}));
  }
  if (port_.isOpen()) Drain();
  if (port_.isOpen() && !ApplyLine(*parsed)) {
    const QString detail = port_.errorString();
    port_.clearError();
    ApplyLine(settings_);
    throw PlatformError(
        kErrPortFailed,
        Text("serial.settingsRefused", {PortName(commPort_), settings, detail.toStdString()}));
  }
  settings_ = *parsed;
}

void QtSerialComm::setHandshaking(int mode) {
  if (mode < 0 || mode > 3) {
    throw PlatformError(kErrInvalidValue,
                        Text("serial.invalidHandshaking", {std::to_string(mode)}));
  }
  if (port_.isOpen() && !ApplyHandshaking(mode)) {
    const QString detail = port_.errorString();
    port_.clearError();
    ApplyHandshaking(handshaking_);
    throw PlatformError(kErrPortFailed,
                        Text("serial.handshakingRefused",
                             {PortName(commPort_), std::to_string(mode), detail.toStdString()}));
  }
  handshaking_ = mode;
}

void QtSerialComm::setPortOpen(bool open) {
  if (!open) {
    Close();
    return;
  }
  if (port_.isOpen()) {
    throw PlatformError(kErrPortOpen, Text("serial.alreadyOpen", {PortName(commPort_)}));
  }
  Open();
}

void QtSerialComm::setInputLen(int length) {
  if (length < 0) {
    throw PlatformError(kErrInvalidValue, Text("serial.invalidInputLen", {std::to_string(length)}));
  }
  inputLen_ = length;
}

int QtSerialComm::InBufferCount() const {
  if (!port_.isOpen()) return 0;
  return static_cast<int>(std::min<qint64>(port_.bytesAvailable(), std::numeric_limits<int>::max()));
}

Bytes QtSerialComm::Input() {
  if (!port_.isOpen()) return {};
  qint64 count = port_.bytesAvailable();
  if (inputLen_ > 0) count = std::min<qint64>(count, inputLen_);
  const QByteArray data = port_.read(count);
  announced_ = std::max<qint64>(0, announced_ - data.size());
  return Bytes(data.begin(), data.end());
}

void QtSerialComm::Output(const Bytes& frame) {
  if (!port_.isOpen() || frame.empty()) return;
  port_.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
  // QSerialPort otherwise writes only when the event loop runs next, and the
  // loader often pauses (blocking) right after sending.
  port_.flush();
}

std::string QtSerialComm::DevicePath() const {
  return port_.isOpen() ? openPath_ : std::string();
}

void QtSerialComm::Open() {
  const auto entry = ports_.Find(commPort_);
  if (!entry) {
    throw PlatformError(kErrPortNotFound,
                        MissingDeviceText(texts_, UnmappedText(texts_, ports_, commPort_)));
  }
  std::error_code ignored;
  if (!std::filesystem::exists(entry->path, ignored)) {
    throw PlatformError(kErrPortNotFound,
                        MissingDeviceText(texts_, MissingText(texts_, ports_, *entry)));
  }
  port_.setPortName(QString::fromStdString(entry->path));
  openPath_ = entry->path;
  ownCall_ = true;
  const bool opened = port_.open(QIODevice::ReadWrite);
  ownCall_ = false;
  if (!opened) {
    const auto error = port_.error();
    const QString detail = port_.errorString();
    port_.clearError();
    throw OpenFailure(texts_, *entry, error, detail);
  }
  if (!ApplyLine(settings_) || !ApplyHandshaking(handshaking_)) {
    const QString detail = port_.errorString();
    port_.clearError();
    port_.close();
    throw PlatformError(kErrPortFailed,
                        Text("serial.lineRefused",
                             {PortName(commPort_), entry->path, Settings(), detail.toStdString()}));
  }
  // A USB-serial adapter otherwise holds received bytes for up to 16 ms,
  // which every acknowledgement waits out; drivers without the setting
  // refuse it and run as they are.
  RequestLowLatency(static_cast<int>(port_.handle()));
  port_.clear(QSerialPort::AllDirections);
  announced_ = 0;
  counters_ = ReadLineCounters(static_cast<int>(port_.handle()));
  if (counters_) linePoll_.start();
}

void QtSerialComm::Close() {
  // Bytes still in QSerialPort's buffer would be dropped by close(); the
  // kernel itself drains what it already holds.
  if (port_.isOpen()) HandOverPendingBytes();
  Abandon();
}

void QtSerialComm::Abandon() {
  linePoll_.stop();
  counters_.reset();
  port_.close();
  announced_ = 0;
}

void QtSerialComm::HandOverPendingBytes() {
  for (int waited = 0; port_.bytesToWrite() > 0 && waited < kCloseDrainMs; waited += 10) {
    if (!port_.flush()) QThread::msleep(10);
  }
}

// A frame queued before a speed change leaves at the speed it was meant for.
// Bounded, unlike tcdrain, which waits forever for a peer that holds the
// handshake lines.
void QtSerialComm::Drain() {
  HandOverPendingBytes();
#ifdef Q_OS_LINUX
  const int descriptor = static_cast<int>(port_.handle());
  int queued = 0;
  for (int waited = 0; waited < kSpeedChangeDrainMs; waited += 2) {
    if (::ioctl(descriptor, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
    QThread::msleep(2);
  }
#endif
}

bool QtSerialComm::ApplyLine(const LineSettings& settings) {
  ownCall_ = true;
  const bool ok = port_.setBaudRate(settings.baud) &&
                  port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
                  port_.setParity(QtParity(settings.parity)) &&
                  port_.setStopBits(QtStopBits(settings.stopBits));
  ownCall_ = false;
  return ok;
}

bool QtSerialComm::ApplyHandshaking(int mode) {
  static constexpr QSerialPort::FlowControl kFlow[] = {
      QSerialPort::NoFlowControl, QSerialPort::SoftwareControl, QSerialPort::HardwareControl,
      QSerialPort::HardwareControl};
  ownCall_ = true;
  bool ok = port_.setFlowControl(kFlow[mode]);
  if (ok && mode == 3) ok = AddSoftwareFlowControl(static_cast<int>(port_.handle()));
  ownCall_ = false;
  return ok;
}

void QtSerialComm::OnReadyRead() {
  PollLineCounters();  // a line error is reported before the bytes it spoiled
  AnnounceNewBytes();
}

bool QtSerialComm::HasUnannouncedBytes() const {
  return port_.isOpen() && port_.bytesAvailable() > announced_;
}

void QtSerialComm::AnnounceNewBytes() {
  if (HasUnannouncedBytes()) DeliverReceive();
}

// Qt does not emit readyRead again while a readyRead slot runs, so bytes that
// arrive while a handler waits in a message box would sit unnoticed until the
// handler returns. Timers tick in that box, and the engine's receive procedure
// takes the reply before it runs a handler, so the new bytes are announced
// there too: a short poll runs while any receive event is being delivered
// and raises the next one re-entrantly.
void QtSerialComm::DeliverReceive() {
  announced_ = port_.bytesAvailable();
  if (receiveDepth_++ == 0) receivePoll_.start();
  Raise(comEvReceive);
  if (--receiveDepth_ > 0) return;
  receivePoll_.stop();
  // Bytes that came after the last poll, while the handler still ran.
  if (receivePosted_ || !HasUnannouncedBytes()) return;
  receivePosted_ = true;
  QTimer::singleShot(0, &port_, [this] {
    receivePosted_ = false;
    AnnounceNewBytes();
  });
}

void QtSerialComm::OnError(QSerialPort::SerialPortError error) {
  if (ownCall_ || !port_.isOpen()) return;
  int event = 0;
  switch (error) {
    case QSerialPort::ReadError: event = comEventRxOver; break;
    case QSerialPort::WriteError: event = comEventTxFull; break;
    case QSerialPort::ResourceError:
    case QSerialPort::UnknownError: event = comEventDCB; break;
    default: return;  // the others answer our own calls, which report them
  }
  port_.clearError();
  // A failed read repeats on every pass of the event loop (a hung-up or
  // unplugged device), so the port is closed before anyone hears of it; the
  // next send opens it again if the device is back.
  if (error != QSerialPort::WriteError) Abandon();
  Raise(event);
}

void QtSerialComm::PollLineCounters() {
  if (!counters_ || !port_.isOpen()) return;
  const auto now = ReadLineCounters(static_cast<int>(port_.handle()));
  if (!now) return;
  const auto events = LineEventsBetween(*counters_, *now);
  counters_ = now;
  for (int event : events) Raise(event);
}

void QtSerialComm::Raise(int event) {
  const int previous = commEvent_;
  commEvent_ = event;
  try {
    if (OnComm) OnComm();
  } catch (const PlatformError&) {
    // A failed platform call inside a handler skips the rest of that step.
  }
  commEvent_ = previous;
}

}  // namespace qv
