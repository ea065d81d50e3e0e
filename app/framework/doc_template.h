// A single-document template: creates the one document, its frame and its view together.
#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace tez {

class CDocument;
class CFrameWnd;
class CView;
class CWinApp;

class CSingleDocTemplate {
  public:
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<std::unique_ptr<CFrameWnd>()>;
    using ViewFactory = std::function<CView*(CWinApp&)>;

    CSingleDocTemplate(unsigned resourceId, DocumentFactory document, FrameFactory frame,
                       ViewFactory view);
    ~CSingleDocTemplate();

    // With an empty path starts a new document, otherwise loads the document from `path`.
    // On the first call document, frame and view are created. Then the view gets its
    // initial update. Nothing (and no frame is kept from a failed first call) on failure.
    CDocument* OpenDocumentFile(CWinApp& app, const QString& path);

    unsigned ResourceId() const { return resourceId_; }
    CDocument* Document() const { return document_.get(); }
    CFrameWnd* Frame() const { return frame_.get(); }

  private:
    bool CreateFrame(CWinApp& app);

    unsigned resourceId_;
    DocumentFactory makeDocument_;
    FrameFactory makeFrame_;
    ViewFactory makeView_;
    // The frame (and with it the view) goes before the document it shows.
    std::unique_ptr<CDocument> document_;
    std::unique_ptr<CFrameWnd> frame_;
};

}  // namespace tez
