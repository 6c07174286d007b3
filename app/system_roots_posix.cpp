#include "app/system_roots.h"

#include <QFile>

#include <curl/curl.h>

QByteArray system_root_certificates()
{
    const char *bundle = curl_version_info(CURLVERSION_NOW)->cainfo;
    if (!bundle)
        return {};
    QFile file(QFile::decodeName(bundle));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
