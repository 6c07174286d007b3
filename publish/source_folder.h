#pragma once
// The operator's folder of skins, read and judged before anything is published.
//
// Layout: every "NAME.pak" anywhere below the folder is one skin; its "NAME.sig" lies
// beside it, and so may its cover, "NAME.png", "NAME.jpg" or "NAME.jpeg". The file
// "skins.json" at the top holds, per .pak file name, the skin's catalogue values:
//   { "lantern red.pak": { "name": "红灯笼", "MainCategory": "道具", "subcategory": "灯笼",
//                          "MainCategory_ranking_id": 3, "subcategory_ranking_id": 1, "skin_id": 7 } }
// An optional "instructions.html" at the top becomes the instructions text.
//
// Every refusal names the skin and what to fix: the folder is published whole or not at
// all, so a player never meets a catalogue that the program would refuse in part.

#include "app/outcome.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

// The metadata file at the top of the folder.
extern const QString METADATA_FILE;  // "skins.json"
// The instructions text at the top of the folder, and of the site.
extern const QString INSTRUCTIONS_FILE;  // "instructions.html"

struct SourceSkin {
    QString pak_path;
    QString sig_path;
    QString cover_path;  // empty: no cover
    // The catalogue keys the operator decides: "name", "MainCategory", "subcategory",
    // the ranks when given, "pak_original", "sig_original" and "cover" when there is one.
    QJsonObject record;
};

struct SourceFolder {
    QVector<SourceSkin> skins;  // ordered by path, so a site is the same for the same folder
    QString instructions_path;  // empty: none
    QStringList warnings;       // published anyway, with defaults
    QStringList refusals;       // nothing may be published while there is one
};

SourceFolder read_source_folder(const QString &folder);

// Fails, saying why, when `name` cannot be a skin's file, cover or category name. Besides
// the names the program refuses to write, a name must survive the request address
// unchanged: the program inserts it into the query as it stands.
Outcome<void> check_skin_name(const QString &name);
