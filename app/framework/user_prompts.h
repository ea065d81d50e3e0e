// The modal questions the program asks its user, behind an interface so that tests can
// answer them.
#pragma once

#include <QString>
#include <QStringList>
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
    // A modal question with one button for each of `choices`; the index of the one taken.
    // The last choice is the one Esc and the close box take: a question nobody answers
    // changes nothing.
    virtual int Ask(QWidget* owner, const QString& text, const QStringList& choices) {
        (void)owner;
        (void)text;
        return static_cast<int>(choices.size()) - 1;
    }
    // A modal save-file dialog, which asks before it names a file that exists; the chosen
    // full path, or nothing when cancelled.
    virtual std::optional<QString> SaveFile(QWidget* owner, const OpenFileRequest& request) {
        (void)owner;
        (void)request;
        return std::nullopt;
    }
};

// The real dialogs.
class QtUserPrompts final : public UserPrompts {
  public:
    void MessageBox(QWidget* owner, const QString& text) override;
    std::optional<QString> OpenFile(QWidget* owner, const OpenFileRequest& request) override;
    int Ask(QWidget* owner, const QString& text, const QStringList& choices) override;
    std::optional<QString> SaveFile(QWidget* owner, const OpenFileRequest& request) override;
};

}  // namespace tez
