#include "app/process_values.h"

#include "app/config.h"
#include "app/endpoints.h"

#include <QDir>

void init_process_values()
{
    CACHE_DIR = QDir(QDir::homePath()).filePath(QStringLiteral(".cache/VezoZizerur"));
    QDir().mkpath(CACHE_DIR);
    init_fixed_endpoints();
}
