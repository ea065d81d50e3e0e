// The document of the application. It holds nothing: the score belongs to the form.
#pragma once

#include "framework/document.h"

namespace tez {

class DAruzaridoVad final : public CDocument {
  public:
    bool OnNewDocument() override { return CDocument::OnNewDocument(); }
    // Reads and writes nothing: only the form's own Open and Reload read a score.
    void Serialize(CArchive& archive) override { (void)archive; }
};

}  // namespace tez
