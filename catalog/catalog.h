#pragma once
// Widget-free catalogue logic: category ranking, and the filtering and sorting of the
// skins of a selection. MainWindow only calls these.

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// Subcategory names per main category, keeping the order in which main categories
// were first inserted.
using SubcategoryMap = QList<QPair<QString, QStringList>>;

// The subcategory list of a main category, or nullptr when it has none.
const QStringList *find_subcategories(const SubcategoryMap &map, const QString &main_category);
