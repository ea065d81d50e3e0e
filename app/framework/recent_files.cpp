#include "framework/recent_files.h"

#include <QSettings>

namespace tez {

namespace {

const QString kGroup = QStringLiteral("Recent File List");

QString EntryKey(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

}  // namespace

void RecentFileList::Add(const QString& path) {
    entries_.removeAll(path);
    entries_.prepend(path);
    while (entries_.size() > capacity_) {
        entries_.removeLast();
    }
}

void RecentFileList::Remove(int index) {
    if (index >= 0 && index < entries_.size()) {
        entries_.removeAt(index);
    }
}

void RecentFileList::Load(const QString& organization, const QString& application) {
    QSettings settings(organization, application);
    settings.beginGroup(kGroup);
    entries_.clear();
    for (int i = 0; i < capacity_; ++i) {
        const QString path = settings.value(EntryKey(i)).toString();
        if (!path.isEmpty()) {
            entries_.append(path);
        }
    }
}

void RecentFileList::Save(const QString& organization, const QString& application) const {
    if (capacity_ == 0) {
        return;
    }
    QSettings settings(organization, application);
    settings.beginGroup(kGroup);
    for (int i = 0; i < capacity_; ++i) {
        if (i < entries_.size()) {
            settings.setValue(EntryKey(i), entries_[i]);
        } else {
            settings.remove(EntryKey(i));
        }
    }
}

}  // namespace tez
