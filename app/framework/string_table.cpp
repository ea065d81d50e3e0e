#include "framework/string_table.h"

#include <QFile>
#include <QTextStream>

namespace tez {

QString UnescapeResourceText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[++i];
        if (next == u'n') {
            out += u'\n';
        } else if (next == u't') {
            out += u'\t';
        } else {
            out += next;
        }
    }
    return out;
}

StringTable::StringTable(const QString& resourcePath) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype tab = line.indexOf(u'\t');
        bool isNumber = false;
        const unsigned id = line.left(tab).toUInt(&isNumber);
        if (tab <= 0 || !isNumber) {
            continue;  // comments and blank lines
        }
        texts_.insert(id, UnescapeResourceText(line.mid(tab + 1)));
    }
}

QString StringTable::Prompt(unsigned id) const {
    return Load(id).section(u'\n', 0, 0);
}

QString StringTable::ToolTip(unsigned id) const {
    const QString text = Load(id);
    const qsizetype newline = text.indexOf(u'\n');
    return newline < 0 ? QString() : text.mid(newline + 1);
}

}  // namespace tez
