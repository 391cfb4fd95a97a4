#include "platform/settings.h"

#include <QSettings>
#include <QStringList>

QString ReadSetting(const QString& name, const QString& def) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ambertide", "TavirloTrial");
    const QVariant v = s.value(name);
    if (!v.isValid()) return def;
    // A hand-edited value with bare commas comes back as a list; hand the
    // caller the text that was in the file rather than nothing.
    if (v.metaType().id() == QMetaType::QStringList) return v.toStringList().join(',');
    return v.toString();
}

void WriteSetting(const QString& name, const QString& value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ambertide", "TavirloTrial");
    s.setValue(name, value);
    s.sync();
}

QString SettingsFilePath() {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ambertide", "TavirloTrial");
    return s.fileName();
}
