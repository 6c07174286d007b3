#pragma once
// The site's version record (version.json) and the new program file it offers under files/.

#include "app/outcome.h"
#include "publish/site.h"

#include <QDir>
#include <QString>

// The record's file name in the site, and the folder of offered program files.
extern const QString VERSION_RECORD_FILE;  // "version.json"
extern const QString PROGRAM_FOLDER;       // "files"

struct OfferedProgram {
    QString file;  // site-relative path of the program file the record offers; empty when none is in the site
    QString note;  // what was done, for the operator; empty when nothing changed
};

// With a program file in `options`: copies it to files/, checks its name and version as the
// players' program will, and writes a record with its checksum, signed when a key is given.
// Without one: keeps the site's record (writing the current version without a download
// when there is none), so the site goes on offering what it offered.
Outcome<OfferedProgram> write_version_record(const QDir &site, const SiteOptions &options);
