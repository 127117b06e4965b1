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
      mailbox_(std::make_shared<Mailbox>()) {
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
    QThreadPool::globalInstance()->start(
        [mailbox = mailbox_, readNames = readNames_, directory, reading, stop = stop_.get_token()] {
            std::optional<QStringList> names = readNames(directory, stop);
            if (stop.stop_requested()) return;
            const std::lock_guard lock(mailbox->mutex);
            DirectoryReader* reader = mailbox->reader;
            if (!reader) return;
            // The event loop owns the event, and frees it when it is handled
            // or when the reader goes first.
            QCoreApplication::postEvent(reader, new Delivery(reading, directory, std::move(names)));
        });
}

void DirectoryReader::cancel() {
    stop_.request_stop();
    stop_ = std::stop_source();
    ++newest_;
}

bool DirectoryReader::event(QEvent* event) {
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
