#include "framework/document.h"

#include <QFile>
#include <QFileInfo>

namespace tez {

bool CDocument::OnNewDocument() {
    pathName_.clear();
    title_ = UntitledTitle();
    modified_ = false;
    return true;
}

bool CDocument::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    CArchive archive(file, false);
    Serialize(archive);
    pathName_ = QFileInfo(path).absoluteFilePath();
    title_ = QFileInfo(path).fileName();
    modified_ = false;
    return true;
}

}  // namespace tez
