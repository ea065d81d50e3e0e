// The program's string table: texts by numeric id, kept as a resource.
#pragma once

#include <QHash>
#include <QString>

namespace tez {

class StringTable {
  public:
    // Reads the table from the resource file (":/res/strings.tsv" by default). A line is
    // "<id><tab><text>"; in the text "\n" stands for a newline, "\t" for a tab and "\\"
    // for a backslash.
    explicit StringTable(const QString& resourcePath = QStringLiteral(":/res/strings.tsv"));

    bool Contains(unsigned id) const { return texts_.contains(id); }
    // The text, or an empty string for an id the table lacks.
    QString Load(unsigned id) const { return texts_.value(id); }
    // The status-bar prompt of a command: the text before its first newline.
    QString Prompt(unsigned id) const;
    // The tool tip of a command: the text after its first newline, or nothing.
    QString ToolTip(unsigned id) const;
    qsizetype Size() const { return texts_.size(); }

  private:
    QHash<unsigned, QString> texts_;
};

// Replaces the escapes "\n", "\t" and "\\" by what they stand for.
QString UnescapeResourceText(const QString& text);

}  // namespace tez
