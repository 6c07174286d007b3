#pragma once
// The one table the benchmark prints.

#include <QString>
#include <QVector>

struct TableRow {
    QString figure;
    QString ours;
    QString reference;
    QString target;         // the ratio against the reference, or the bound
    bool measured = false;  // false: the measurement itself failed
    bool pass = false;
};

// Rows under a header, columns padded to their widest cell (CJK-wide characters count
// two columns).
QString format_table(const QVector<TableRow> &rows);
