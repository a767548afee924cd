#include "scores/SettingsFile.h"

#include <QLockFile>
#include <QSettings>
#include <QStringList>
#include <chrono>

namespace orbelix::SettingsFile {
namespace {

QSettings OpenStore() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orbelix"),
                     QStringLiteral("Orbelix"));
}

}  // namespace

QString Path() { return OpenStore().fileName(); }

QHash<QString, QString> ReadAll() {
    QHash<QString, QString> values;
    QSettings store = OpenStore();
    store.beginGroup(QLatin1String(Section));
    for (const QString& key : store.childKeys()) {
        const QVariant value = store.value(key);
        // An unquoted comma in a hand-edited file makes QSettings read a list: keep the text.
        values.insert(key, value.typeId() == QMetaType::QStringList
                               ? value.toStringList().join(QLatin1Char(','))
                               : value.toString());
    }
    return values;
}

void ClearStaleLock() {
    using namespace std::chrono_literals;
    // A save holds the lock for a few milliseconds; one older than this is left over.
    QLockFile lock(Path() + QStringLiteral(".lock"));
    lock.setStaleLockTime(250ms);
    if (lock.tryLock(600ms)) lock.unlock();
}

bool WriteAll(const Entries& entries) {
    ClearStaleLock();
    QSettings store = OpenStore();
    store.beginGroup(QLatin1String(Section));
    for (const auto& [key, text] : entries) store.setValue(key, text);
    store.endGroup();
    store.sync();
    return store.status() == QSettings::NoError;
}

}  // namespace orbelix::SettingsFile
