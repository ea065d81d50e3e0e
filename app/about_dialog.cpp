#include "about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "framework/command_ids.h"
#include "framework/dialog_units.h"

namespace tez {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setFont(DialogFont());
    setModal(true);
    const DialogUnits units(font());

    auto* version = new QLabel(QString::fromUtf8(kAboutVersionLine), this);
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(units.ToPixels(40, 10, 119, 8));
    auto* second = new QLabel(QString::fromUtf8(kAboutSecondLine), this);
    second->setTextFormat(Qt::PlainText);
    second->setGeometry(units.ToPixels(40, 25, 119, 8));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(ids::kIdOk));
    ok->setGeometry(units.ToPixels(178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.ToPixels(235, 55));
}

}  // namespace tez
