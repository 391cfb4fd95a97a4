#include "platform/settings.h"

#include <QFile>
#include <QHash>
#include <QMessageBox>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <mutex>
#include <sys/stat.h>

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

// The values of the store as last parsed, with the file's identity then.
// A parse of a large hand-made file costs seconds; every read compares the
// file's identity first, so a change by anyone is still seen at once.
struct TParsed {
    bool valid = false;
    long long size = 0, mtimeNs = 0, ctimeNs = 0, ino = 0;
    QHash<QString, QString> values;
    QSet<QString> tooLong;
};

std::mutex& ParsedMutex() {
    static std::mutex m;
    return m;
}

TParsed& Parsed() {
    static TParsed p;
    return p;
}

void ForgetParsed() {
    std::lock_guard lock(ParsedMutex());
    Parsed().valid = false;
}

// A store larger than this is not a settings file this program wrote.
constexpr long long kMaxStoreBytes = 16LL << 20;

} // namespace

QString ReadSetting(const QString& name, const QString& def) {
    if (!StoreUsable()) return def;
    const QByteArray path = QFile::encodeName(StorePath());
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) return def; // nothing stored yet
    if (st.st_size > kMaxStoreBytes) {
        NoteSettingReset("*", QString("The settings file is larger than %1 MB; it is not read.")
                                  .arg(kMaxStoreBytes >> 20));
        return def;
    }
    std::unique_lock lock(ParsedMutex());
    TParsed& p = Parsed();
    const long long mtimeNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    const long long ctimeNs = (long long)st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    if (!p.valid || p.size != st.st_size || p.mtimeNs != mtimeNs || p.ctimeNs != ctimeNs ||
        p.ino != (long long)st.st_ino) {
        p = TParsed{};
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ambertide", "TavirloTrial");
        for (const QString& key : s.allKeys()) {
            const QVariant v = s.value(key);
            // A hand-edited value with bare commas comes back as a list;
            // hand the caller the text that was in the file rather than nothing.
            const QString text = v.metaType().id() == QMetaType::QStringList
                                     ? v.toStringList().join(',')
                                     : v.toString();
            if (text.size() > kMaxSettingLength)
                p.tooLong.insert(key);
            else
                p.values.insert(key, text);
        }
        p.valid = true;
        p.size = st.st_size;
        p.mtimeNs = mtimeNs;
        p.ctimeNs = ctimeNs;
        p.ino = (long long)st.st_ino;
    }
    if (p.tooLong.contains(name)) {
        lock.unlock();
        NoteSettingReset(name, QString("The value of \"%1\" is longer than %2 characters.")
                                   .arg(name)
                                   .arg(kMaxSettingLength));
        return def;
    }
    const auto it = p.values.constFind(name);
    return it == p.values.constEnd() ? def : *it;
}

void WriteSetting(const QString& name, const QString& value) {
    if (!StoreUsable()) return;
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ambertide", "TavirloTrial");
    s.setValue(name, value);
    {
        // Values too long to be read were reset when read; they go with the
        // first write rather than cost every later write their parse.
        std::lock_guard lock(ParsedMutex());
        if (Parsed().valid)
            for (const QString& key : Parsed().tooLong)
                if (key != name) s.remove(key);
    }
    s.sync();
    ForgetParsed();
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
