// Tells when the opened score has been saved again, however the editor saves: writing the
// file in place, or writing another file and renaming it over the score.
#pragma once

#include <QFileSystemWatcher>
#include <QString>
#include <QTimer>
#include <functional>

namespace tez {

class ScoreFollower {
  public:
    // How long the file must stay unchanged before a save counts: a burst of writes (an
    // editor truncating, writing and renaming) counts once.
    static constexpr int kSettleMs = 100;

    explicit ScoreFollower(std::function<void()> onSaved);

    // Follows `path` from now on; an empty path follows nothing.
    void Follow(const QString& path);
    const QString& Path() const { return path_; }

  private:
    void OnChange();
    void OnSettled();

    std::function<void()> onSaved_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    QString path_;
    // What the file looked like when it was last followed or reported saved.
    QByteArray stamp_;
};

}  // namespace tez
