#include "framework/user_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace tez {

void QtUserPrompts::MessageBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    owner);
    box.exec();
}

std::optional<QString> QtUserPrompts::OpenFile(QWidget* owner, const OpenFileRequest& request) {
    QFileDialog dialog(owner);
    // The same dialog on every desktop, and one that scripts can drive by its name field.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("開く"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
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
