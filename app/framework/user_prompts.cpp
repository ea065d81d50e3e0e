#include "framework/user_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace tez {
namespace {

bool HasWildcard(const QString& name) {
    return name.contains(u'*') || name.contains(u'?');
}

// As in the platform's own dialog, a wildcard pattern in the name field lists the files it
// matches and leaves the dialog open, so that a pattern is never taken for the chosen file.
class OpenFileDialog final : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        const QFileInfo typed(files.isEmpty() ? QString() : files.first());
        if (HasWildcard(typed.fileName()) && !typed.exists()) {
            setDirectory(typed.absolutePath());
            setNameFilter(typed.fileName());
            return;
        }
        QFileDialog::accept();
    }
};

}  // namespace

void QtUserPrompts::MessageBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    owner);
    box.exec();
}

std::optional<QString> QtUserPrompts::OpenFile(QWidget* owner, const OpenFileRequest& request) {
    OpenFileDialog dialog(owner);
    // The same dialog on every desktop, and one that scripts can drive by its name field.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("開く"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.filter.isEmpty()) {
        dialog.setNameFilter(request.filter);
    } else if (HasWildcard(request.initialName)) {
        dialog.setNameFilter(request.initialName);  // the list opens as the name field reads
    }
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

int QtUserPrompts::Ask(QWidget* owner, const QString& text, const QStringList& choices) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text,
                    QMessageBox::NoButton, owner);
    std::vector<QAbstractButton*> buttons;
    for (const QString& choice : choices) {
        buttons.push_back(box.addButton(choice, QMessageBox::ActionRole));
    }
    if (buttons.empty()) {
        return -1;
    }
    box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    box.setEscapeButton(buttons.back());
    box.exec();
    const auto taken = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return taken == buttons.end() ? static_cast<int>(buttons.size()) - 1
                                  : static_cast<int>(taken - buttons.begin());
}

std::optional<QString> QtUserPrompts::SaveFile(QWidget* owner, const OpenFileRequest& request) {
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("名前を付けて保存"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.filter.isEmpty()) {
        dialog.setNameFilter(request.filter);
    }
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

}  // namespace tez
