// A view: the widget that shows a document inside the frame.
#pragma once

#include <QWidget>

#include "framework/cmd_target.h"

namespace tez {

class CDocument;
class CFrameWnd;

class CView : public QWidget, public CCmdTarget {
  public:
    explicit CView(QWidget* parent = nullptr) : QWidget(parent) {}

    // Called when the view is first shown with a document and each time it gets a new one.
    virtual void OnInitialUpdate() { UpdateData(false); }

    // Data exchange between the view's members and its controls: false copies members
    // into the controls, true copies the controls into the members.
    void UpdateData(bool saveAndValidate) { DoDataExchange(saveAndValidate); }

    void SetDocument(CDocument* document) { document_ = document; }
    CDocument* GetDocument() const { return document_; }
    void SetParentFrame(CFrameWnd* frame) { frame_ = frame; }
    CFrameWnd* GetParentFrame() const { return frame_; }

  protected:
    virtual void DoDataExchange(bool saveAndValidate) { (void)saveAndValidate; }

  private:
    CDocument* document_ = nullptr;
    CFrameWnd* frame_ = nullptr;
};

}  // namespace tez
