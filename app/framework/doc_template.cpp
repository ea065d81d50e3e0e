#include "framework/doc_template.h"

#include "framework/document.h"
#include "framework/frame_wnd.h"
#include "framework/view.h"

namespace tez {

CSingleDocTemplate::CSingleDocTemplate(unsigned resourceId, DocumentFactory document,
                                       FrameFactory frame, ViewFactory view)
    : resourceId_(resourceId),
      makeDocument_(std::move(document)),
      makeFrame_(std::move(frame)),
      makeView_(std::move(view)) {}

CSingleDocTemplate::~CSingleDocTemplate() {
    frame_.reset();
    document_.reset();
}

bool CSingleDocTemplate::CreateFrame(CWinApp& app) {
    auto frame = makeFrame_();
    if (!frame->Create(app)) {
        return false;
    }
    CView* view = makeView_(app);
    view->SetDocument(document_.get());
    frame->SetDocument(document_.get());
    frame->SetView(view);
    frame_ = std::move(frame);
    return true;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(CWinApp& app, const QString& path) {
    if (!document_) {
        document_ = makeDocument_();
    }
    const bool newFrame = !frame_;
    if (newFrame && !CreateFrame(app)) {
        return nullptr;
    }
    const bool opened =
        path.isEmpty() ? document_->OnNewDocument() : document_->OnOpenDocument(path);
    if (!opened) {
        if (newFrame) {
            frame_.reset();
        }
        return nullptr;
    }
    frame_->GetActiveView()->OnInitialUpdate();
    frame_->OnUpdateFrameTitle();
    frame_->UpdateCommandUi();
    return document_.get();
}

}  // namespace tez
