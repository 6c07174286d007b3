#include "table.h"

#include <QStringList>

#include <algorithm>

namespace {

int display_width(const QString &text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x2E80 ? 2 : 1;  // CJK and full-width forms
    return width;
}

QString padded(const QString &text, int width)
{
    return text + QString(std::max(0, width - display_width(text)), QLatin1Char(' '));
}

}  // namespace

QString format_table(const QVector<TableRow> &rows)
{
    QVector<QStringList> cells{{QStringLiteral("figure"), QStringLiteral("ours"), QStringLiteral("reference"),
                                QStringLiteral("ratio / target"), QStringLiteral("result")}};
    for (const TableRow &row : rows)
        cells.append({row.figure, row.ours, row.reference, row.target,
                      !row.measured ? QStringLiteral("ERROR")
                      : row.pass    ? QStringLiteral("pass")
                                    : QStringLiteral("MISS")});

    QVector<int> widths(cells.first().size(), 0);
    for (const QStringList &line : cells)
        for (int column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], display_width(line.at(column)));

    QString text;
    for (int index = 0; index < cells.size(); ++index) {
        QStringList line;
        for (int column = 0; column < cells.at(index).size(); ++column)
            line.append(padded(cells.at(index).at(column), widths.at(column)));
        text += line.join(QStringLiteral(" | ")).trimmed() + QLatin1Char('\n');
        if (index == 0) {
            QStringList rule;
            for (int width : widths)
                rule.append(QString(width, QLatin1Char('-')));
            text += rule.join(QStringLiteral("-+-")) + QLatin1Char('\n');
        }
    }
    return text;
}
