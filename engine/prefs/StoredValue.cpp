#include "engine/prefs/StoredValue.h"

#include <QString>

namespace gloam {

bool StoredValue::asBool(const QJsonValue& value)
{
    if (value.isBool()) {
        return value.toBool();
    }
    if (value.isDouble()) {
        return value.toDouble() != 0.0;
    }
    if (value.isString()) {
        const QString text = value.toString().trimmed().toLower();
        return text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("1");
    }
    return false;
}

double StoredValue::asNumber(const QJsonValue& value)
{
    if (value.isDouble()) {
        return value.toDouble();
    }
    if (value.isBool()) {
        return value.toBool() ? 1.0 : 0.0;
    }
    if (value.isString()) {
        bool ok = false;
        const double parsed = value.toString().trimmed().toDouble(&ok);
        return ok ? parsed : 0.0;
    }
    return 0.0;
}

} // namespace gloam
