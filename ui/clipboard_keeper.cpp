// The clipboard after exit: a detached copy of the program, chosen by an
// environment variable, takes over the X11 clipboard from the exiting program.
// The content travels over a pipe as (format name, bytes) records. The server ends
// on the X event that tells an owner it lost the selection, so at most one server
// (the current owner) is alive per display and none outlives its ownership.
#include "ui/clipboard_keeper.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

extern char** environ;

namespace velkar {

namespace {

constexpr int kHandOverWaitMs = 2000;

// Sees the X server's SelectionClear, sent to a selection's owner when any other
// window (or none) becomes the owner. Qt's own view of the ownership cannot be
// trusted here: it drops a SelectionClear whose time is not later than the time it
// recorded on taking the selection (seen here when a later run took the clipboard
// from a server), and it then never learns of the loss.
class SelectionLossWatch : public QAbstractNativeEventFilter {
 public:
  SelectionLossWatch() { QCoreApplication::instance()->installNativeEventFilter(this); }
  ~SelectionLossWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
  SelectionLossWatch(const SelectionLossWatch&) = delete;
  SelectionLossWatch& operator=(const SelectionLossWatch&) = delete;

  bool Lost() const { return lost_; }
  // Called once, when the selection is lost.
  void OnLoss(void (*action)()) { action_ = action; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    // The event's first byte is its code; the top bit marks a SendEvent copy.
    constexpr std::uint8_t kSelectionClear = 29;  // core X protocol event code
    if (eventType != "xcb_generic_event_t" || message == nullptr) return false;
    if ((*static_cast<const std::uint8_t*>(message) & 0x7f) != kSelectionClear) return false;
    if (!lost_ && action_ != nullptr) action_();
    lost_ = true;
    return false;  // Qt still does its own bookkeeping
  }

 private:
  bool lost_ = false;
  void (*action_)() = nullptr;
};

bool ReadAll(int fd, QByteArray* out) {
  char chunk[65536];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    out->append(chunk, static_cast<qsizetype>(got));
  }
}

void AppendRecord(QByteArray* stream, const QByteArray& bytes) {
  std::uint64_t size = static_cast<std::uint64_t>(bytes.size());
  stream->append(reinterpret_cast<const char*>(&size), sizeof size);
  stream->append(bytes);
}

// Reads one record at *pos; false at the end or on a torn record.
bool TakeRecord(const QByteArray& stream, qsizetype* pos, QByteArray* bytes) {
  std::uint64_t size = 0;
  if (stream.size() - *pos < static_cast<qsizetype>(sizeof size)) return false;
  std::memcpy(&size, stream.constData() + *pos, sizeof size);
  *pos += sizeof size;
  if (static_cast<std::uint64_t>(stream.size() - *pos) < size) return false;
  *bytes = stream.mid(*pos, static_cast<qsizetype>(size));
  *pos += static_cast<qsizetype>(size);
  return true;
}

// Starts the server role detached: its own session, standard input the read end
// of `pipeFd`, standard output and error /dev/null (a caller reading our output
// must not wait for the server), no other descriptor of ours.
bool SpawnServer(int readFd) {
  // The value names us: the server takes the clipboard only while we still wait.
  std::string variable =
      std::string(kClipboardServerVariable) + "=" + std::to_string(static_cast<long>(::getpid()));
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, kClipboardServerVariable, std::strlen(kClipboardServerVariable)) != 0) {
      env.push_back(*e);
    }
  }
  env.push_back(variable.data());
  env.push_back(nullptr);
  char program[] = "/proc/self/exe";
  char name[] = "velkar";
  char* argv[] = {name, nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  posix_spawn_file_actions_adddup2(&actions, readFd, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);

  pid_t pid = 0;
  int rc = posix_spawn(&pid, program, &actions, &attributes, argv, env.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return rc == 0;
}

}  // namespace

int RunClipboardServer(int argc, char** argv) {
  const long handedBy = std::strtol(std::getenv(kClipboardServerVariable), nullptr, 10);
  ::unsetenv(kClipboardServerVariable);
  QByteArray stream;
  if (!ReadAll(0, &stream)) return 1;

  auto* mime = new QMimeData;
  qsizetype pos = 0;
  QByteArray format;
  QByteArray bytes;
  while (TakeRecord(stream, &pos, &format) && TakeRecord(stream, &pos, &bytes)) {
    mime->setData(QString::fromUtf8(format), bytes);
  }
  stream.clear();
  if (mime->formats().isEmpty()) {
    delete mime;
    return 1;
  }

  QGuiApplication app(argc, argv);
  // A program that gave up waiting for us has exited and its clipboard has moved
  // on: taking it now would put old text over whatever is there.
  if (handedBy > 0 && static_cast<long>(::getppid()) != handedBy) {
    delete mime;
    return 1;
  }
  SelectionLossWatch watch;
  watch.OnLoss([] { QCoreApplication::quit(); });
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setMimeData(mime, QClipboard::Clipboard);
  if (!clipboard->ownsClipboard()) return 1;
  // Serve until another program, a later server among them, owns the clipboard.
  QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
    if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) QCoreApplication::quit();
  });
  if (watch.Lost()) return 0;
  app.exec();
  return 0;
}

void KeepClipboardAfterExit() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->ownsClipboard()) return;
  const QMimeData* mime = clipboard->mimeData(QClipboard::Clipboard);
  if (mime == nullptr) return;

  QByteArray stream;
  for (const QString& format : mime->formats()) {
    AppendRecord(&stream, format.toUtf8());
    AppendRecord(&stream, mime->data(format));
  }
  if (stream.isEmpty()) return;

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  // A server that dies early must not kill us with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  bool started = SpawnServer(fds[0]);
  ::close(fds[0]);
  bool sent =
      started && WriteAll(fds[1], stream.constData(), static_cast<std::size_t>(stream.size()));
  ::close(fds[1]);
  if (!sent) return;

  // The server has the clipboard once ours is taken away.
  QElapsedTimer waited;
  waited.start();
  while (clipboard->ownsClipboard() && waited.elapsed() < kHandOverWaitMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (clipboard->ownsClipboard()) ::usleep(5000);
  }
}

}  // namespace velkar
