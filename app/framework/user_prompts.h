// The modal questions the program asks its user, behind an interface so that tests can
// answer them.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace tez {

struct OpenFileRequest {
    QString defaultSuffix;  // appended to a name typed without one
    QString initialName;    // shown in the name field; may be a wildcard pattern
    QString filter;         // empty: every file is listed
};

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    // A modal message box with an OK button; returns when it is dismissed.
    virtual void MessageBox(QWidget* owner, const QString& text) = 0;
    // A modal open-file dialog; the chosen full path, or nothing when cancelled.
    virtual std::optional<QString> OpenFile(QWidget* owner, const OpenFileRequest& request) = 0;
};

// The real dialogs.
class QtUserPrompts final : public UserPrompts {
  public:
    void MessageBox(QWidget* owner, const QString& text) override;
    std::optional<QString> OpenFile(QWidget* owner, const OpenFileRequest& request) override;
};

}  // namespace tez
