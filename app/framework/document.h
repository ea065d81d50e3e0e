// The document of a single-document application: a title, a path and a serialisation.
#pragma once

#include <QIODevice>
#include <QString>

#include "framework/cmd_target.h"

namespace tez {

// The stream a document is loaded from or stored to.
class CArchive {
  public:
    CArchive(QIODevice& device, bool storing) : device_(device), storing_(storing) {}
    bool IsStoring() const { return storing_; }
    bool IsLoading() const { return !storing_; }
    QIODevice& Device() { return device_; }

  private:
    QIODevice& device_;
    bool storing_;
};

class CDocument : public CCmdTarget {
  public:
    // The title of a document that has no file yet.
    static QString UntitledTitle() { return QStringLiteral("無題"); }

    // Starts an empty document without a file. False refuses the new document.
    virtual bool OnNewDocument();
    // Loads the document from `path` through Serialize. False when it cannot be read.
    virtual bool OnOpenDocument(const QString& path);
    virtual void Serialize(CArchive& archive) { (void)archive; }

    const QString& GetTitle() const { return title_; }
    const QString& GetPathName() const { return pathName_; }
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }

  private:
    QString title_ = UntitledTitle();
    QString pathName_;
    bool modified_ = false;
};

}  // namespace tez
