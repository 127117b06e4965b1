// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/directory_reader.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThreadPool>
#include <mutex>
#include <utility>

namespace trovik {
namespace {

// A reading's result, on its way to the reader's thread.
class Delivery : public QEvent {
  public:
    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }

    Delivery(quint64 reading, QString directory, std::optional<QStringList> names)
        : QEvent(type()),
          reading(reading),
          directory(std::move(directory)),
          names(std::move(names)) {}

    const quint64 reading;
    const QString directory;
    const std::optional<QStringList> names;
};

// The thread pool and the event queue hand a task or a result over under
// Qt's own futex-based locks, which ThreadSanitizer cannot see: these tell
// it that what was written before the hand-over happens before what the
// other thread does after taking it. Nothing without ThreadSanitizer.
#if defined(__SANITIZE_THREAD__)
#define TROVIK_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TROVIK_THREAD_SANITIZER 1
#endif
#endif
#ifdef TROVIK_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
char handOverPoint;
void handOver() {
    __tsan_release(&handOverPoint);
}
void takeOver() {
    __tsan_acquire(&handOverPoint);
}
#else
void handOver() {}
void takeOver() {}
#endif

// A reader's own worker thread, not one of Qt's global pool: Qt's painting
// splits large fills into parts on that pool and the user-interface thread
// waits for them, so a long reading there would hold up the window. The
// application keeps it and, when it goes, waits for a last (stopped)
// reading, as it does for its global pool; a reader that goes never waits.
QThreadPool* makeWorker() {
    auto* worker = new QThreadPool(QCoreApplication::instance());
    worker->setMaxThreadCount(1);
    return worker;
}

}  // namespace

// Where the workers post their results. The reader is taken out when it goes
// away; a worker posts only under the lock and only while the reader is
// there, and what it posted is discarded with the reader.
struct DirectoryReader::Mailbox {
    std::mutex mutex;
    DirectoryReader* reader = nullptr;
};

DirectoryReader::DirectoryReader(ReadNames readNames, Done done)
    : readNames_(std::move(readNames)),
      done_(std::move(done)),
      mailbox_(std::make_shared<Mailbox>()),
      worker_(makeWorker()) {
    mailbox_->reader = this;
}

DirectoryReader::~DirectoryReader() {
    stop_.request_stop();
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->reader = nullptr;
}

void DirectoryReader::read(const QString& directory) {
    cancel();
    const quint64 reading = newest_;
    std::function<void()> task = [mailbox = mailbox_, readNames = readNames_, directory, reading,
                                  stop = stop_.get_token()] {
        takeOver();
        std::optional<QStringList> names = readNames(directory, stop);
        if (stop.stop_requested()) return;
        const std::lock_guard lock(mailbox->mutex);
        DirectoryReader* reader = mailbox->reader;
        if (!reader) return;
        // The event loop owns the event, and frees it when it is handled
        // or when the reader goes first.
        auto* delivery = new Delivery(reading, directory, std::move(names));
        handOver();
        QCoreApplication::postEvent(reader, delivery);
    };
    handOver();
    worker_->start(std::move(task));
}

void DirectoryReader::cancel() {
    stop_.request_stop();
    stop_ = std::stop_source();
    ++newest_;
}

bool DirectoryReader::event(QEvent* event) {
    takeOver();  // before the event's type is read
    if (event->type() != Delivery::type()) return QObject::event(event);
    const auto& delivery = static_cast<const Delivery&>(*event);
    deliver(delivery.reading, delivery.directory, delivery.names);
    return true;
}

// A result can be posted just before a newer reading starts; only the
// newest one's is handed on.
void DirectoryReader::deliver(quint64 reading, const QString& directory,
                              const std::optional<QStringList>& names) {
    if (reading == newest_) done_(directory, names);
}

}  // namespace trovik
