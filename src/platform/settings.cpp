#include "platform/settings.h"

#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include "platform/prompts.h"
#include "platform/safeopen.h"

namespace {

struct TResets {
    QStringList names;
    QString firstReason;
};

TResets& Resets() {
    static TResets r;
    return r;
}

// The store's path without opening it: QSettings reads the file as soon as
// it is made, which must not happen to a FIFO.
QString StorePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Ambertide/TavirloTrial.conf";
}

bool StoreUsable() {
    if (IsAbsentOrRegular(StorePath())) return true;
    NoteSettingReset("*", "The settings file is not a regular file; it is left alone.");
    return false;
}

} // namespace

QString ReadSetting(const QString& name, const QString& def) {
    if (!StoreUsable()) return def;
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ambertide", "TavirloTrial");
    const QVariant v = s.value(name);
    if (!v.isValid()) return def;
    // A hand-edited value with bare commas comes back as a list; hand the
    // caller the text that was in the file rather than nothing.
    const QString text = v.metaType().id() == QMetaType::QStringList ? v.toStringList().join(',')
                                                                     : v.toString();
    if (text.size() > kMaxSettingLength) {
        NoteSettingReset(name, QString("The value of \"%1\" is longer than %2 characters.")
                                   .arg(name)
                                   .arg(kMaxSettingLength));
        return def;
    }
    return text;
}

void WriteSetting(const QString& name, const QString& value) {
    if (!StoreUsable()) return;
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ambertide", "TavirloTrial");
    s.setValue(name, value);
    s.sync();
}

QString SettingsFilePath() {
    return StorePath();
}

void NoteSettingReset(const QString& name, const QString& reason) {
    TResets& r = Resets();
    if (r.names.contains(name)) return;
    if (r.names.isEmpty()) r.firstReason = reason;
    r.names << name;
}

QStringList PendingSettingResets() {
    return Resets().names;
}

QString SettingsResetText() {
    const TResets& r = Resets();
    if (r.names.isEmpty()) return {};
    QStringList named = r.names;
    named.removeAll("*");
    QString text = r.firstReason + "\n\nSettings file: " + StorePath();
    if (!named.isEmpty())
        text += "\nThese settings were reset to their defaults: " + named.join(", ");
    return text;
}

void ShowSettingsResets(QWidget* parent) {
    const QString text = SettingsResetText();
    Resets() = {};
    if (!text.isEmpty()) MessageDlg(text, QMessageBox::Warning, QMessageBox::Ok, parent);
}
