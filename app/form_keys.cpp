#include "form_keys.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tez {

FormKeys::FormKeys(QPlainTextEdit* scoreBox, std::initializer_list<QPushButton*> buttons)
    : QObject(scoreBox), scoreBox_(scoreBox) {
    scoreBox->setTabChangesFocus(true);
    scoreBox->installEventFilter(this);
    for (QPushButton* button : buttons) {
        button->installEventFilter(this);
    }
}

bool FormKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (watched == scoreBox_) {
        if (key->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier) {
            scoreBox_->insertPlainText(QStringLiteral("\t"));
            return true;
        }
        return false;
    }
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && modifiers == Qt::NoModifier) {
        static_cast<QPushButton*>(watched)->click();
        return true;
    }
    return false;
}

}  // namespace tez
