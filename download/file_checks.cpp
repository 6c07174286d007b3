#include "download/file_checks.h"

#include <cmath>

namespace {

FileChecks read_checks(const QVariant &size, const QVariant &sha256)
{
    FileChecks checks;
    if (size.isValid() && !size.isNull()) {
        // JSON numbers arrive as doubles: only a whole, non-negative one that a double
        // holds exactly is a size.
        bool number = false;
        const double value = size.toDouble(&number);
        const bool whole = number && size.userType() != QMetaType::QString && size.userType() != QMetaType::Bool
                           && value >= 0 && value <= 9007199254740992.0 && std::floor(value) == value;
        if (whole)
            checks.size = qint64(value);
        else
            checks.usable = false;
    }
    if (sha256.isValid() && !sha256.isNull()) {
        const QString text = sha256.toString();
        const QByteArray digest = QByteArray::fromHex(text.toLatin1());
        if (text.size() == 64 && digest.size() == 32 && digest.toHex() == text.toLower().toLatin1())
            checks.sha256 = digest;
        else
            checks.usable = false;
    }
    return checks;
}

}  // namespace

FileChecks file_checks(const QVariantMap &skin, const QString &kind)
{
    return read_checks(skin.value(kind + QStringLiteral("_size")), skin.value(kind + QStringLiteral("_sha256")));
}

FileChecks file_checks(const QJsonObject &skin, const QString &kind)
{
    return read_checks(skin.value(kind + QStringLiteral("_size")).toVariant(),
                       skin.value(kind + QStringLiteral("_sha256")).toVariant());
}
