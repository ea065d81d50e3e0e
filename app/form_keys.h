// The form's keyboard: Tab leaves the score box for the next control in the form's order
// (Ctrl+Tab types a tab instead), and Enter presses the button that has the focus.
#pragma once

#include <QObject>
#include <initializer_list>

class QPlainTextEdit;
class QPushButton;

namespace tez {

class FormKeys final : public QObject {
  public:
    // Watches the box and the buttons; owned by the box.
    FormKeys(QPlainTextEdit* scoreBox, std::initializer_list<QPushButton*> buttons);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPlainTextEdit* scoreBox_;
};

}  // namespace tez
