#pragma once

#include <QDir>
#include <QFile>
#include <QTest>

#include "dir_list_box.h"
#include "file_list_box.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace trovik::testing {

// Makes `directory` the working directory for the lifetime of this object,
// so that lists created meanwhile start there.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const QString& directory) : previous_(QDir::currentPath()) {
        QDir::setCurrent(directory);
    }
    ~WorkingDirectory() { QDir::setCurrent(previous_); }

  private:
    QString previous_;
};

inline void makeFile(const QString& path) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

inline QListWidgetItem* entryOf(DirListBox& Dir1, const QString& path) {
    for (int row = 0; row < Dir1.count(); ++row) {
        if (Dir1.List(row) == path) return Dir1.item(row);
    }
    return nullptr;
}

inline QStringList entryPaths(const DirListBox& Dir1) {
    QStringList paths;
    for (int row = 0; row < Dir1.count(); ++row) paths << Dir1.List(row);
    return paths;
}

inline QStringList listedNames(const FileListBox& File1) {
    QStringList names;
    for (int row = 0; row < File1.count(); ++row) names << File1.List(row);
    return names;
}

// The user double-clicks the entry of `path` in the directory list.
inline void userOpens(DirListBox& Dir1, const QString& path) {
    QListWidgetItem* entry = entryOf(Dir1, path);
    ASSERT_NE(entry, nullptr) << path.toStdString();
    Dir1.scrollToItem(entry);
    const QPoint where = Dir1.visualItemRect(entry).center();
    // A widget's double click in QTest is the second press alone.
    QTest::mouseClick(Dir1.viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(Dir1.viewport(), Qt::LeftButton, {}, where);
    QTest::mouseRelease(Dir1.viewport(), Qt::LeftButton, {}, where);
}

// The user clicks the entry `name` in the file list.
inline void userClicks(FileListBox& File1, const QString& name) {
    const QList<QListWidgetItem*> found = File1.findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    File1.scrollToItem(found.first());
    QTest::mouseClick(File1.viewport(), Qt::LeftButton, {},
                      File1.visualItemRect(found.first()).center());
}

}  // namespace trovik::testing
