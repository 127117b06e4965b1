// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace trovik {

// Reads directories on a worker thread of its own, so that a folder of any
// size never holds up the user-interface thread. Only the
// newest reading counts: starting one drops the one under way, whose result
// is never handed back. Results come back through the event loop of the
// thread the reader lives on.
class DirectoryReader : public QObject {
  public:
    // Lists a directory, or gives std::nullopt when it cannot be read. Runs
    // on a worker thread, so it must not touch the reader or any widget. It
    // may give up early once `stop` is requested.
    using ReadNames =
        std::function<std::optional<QStringList>(const QString& directory, std::stop_token stop)>;
    // Takes the result of the newest reading, on the reader's thread.
    using Done =
        std::function<void(const QString& directory, const std::optional<QStringList>& names)>;

    DirectoryReader(ReadNames readNames, Done done);
    // Drops the reading under way without waiting for it: its worker stops
    // soon after and hands nothing back.
    ~DirectoryReader() override;
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    void read(const QString& directory);
    // Drops the reading under way, if any.
    void cancel();

  protected:
    bool event(QEvent* event) override;

  private:
    struct Mailbox;

    void deliver(quint64 reading, const QString& directory,
                 const std::optional<QStringList>& names);

    ReadNames readNames_;
    Done done_;
    std::shared_ptr<Mailbox> mailbox_;
    QThreadPool* worker_;  // one thread, the application's; readings queue behind stopped ones
    std::stop_source stop_;
    quint64 newest_ = 0;  // counts the readings started
};

}  // namespace trovik
