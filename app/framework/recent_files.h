// The most recently used files, newest first, kept in the application's settings.
#pragma once

#include <QString>
#include <QStringList>

namespace tez {

class RecentFileList {
  public:
    RecentFileList() = default;
    explicit RecentFileList(int capacity) : capacity_(capacity) {}

    // Puts `path` first, dropping an older entry for the same file and any beyond capacity.
    void Add(const QString& path);
    void Remove(int index);
    const QStringList& Entries() const { return entries_; }
    int Capacity() const { return capacity_; }

    // Settings group "Recent File List", keys "File1".."FileN".
    void Load(const QString& organization, const QString& application);
    void Save(const QString& organization, const QString& application) const;

  private:
    int capacity_ = 0;
    QStringList entries_;
};

}  // namespace tez
