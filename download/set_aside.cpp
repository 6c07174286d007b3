#include "download/set_aside.h"

const QString SET_ASIDE_SUFFIX = QStringLiteral(".setaside");

QString set_aside_path(const QString &installed_path)
{
    return installed_path + SET_ASIDE_SUFFIX;
}
