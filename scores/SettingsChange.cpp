#include "scores/SettingsChange.h"

namespace orbelix {
namespace {

const QString BasePrefix = QStringLiteral("Base");
const QString ResetKey = QStringLiteral("Reset");

bool IsTableKey(const QString& key) {
    const QString name = key.startsWith(BasePrefix) ? key.mid(BasePrefix.size()) : key;
    return name.startsWith(QLatin1String("HighScore")) || key == ResetKey;
}

}  // namespace

SettingsFile::Entries SettingsChange::ApplyTo(const SettingsFile::Keys& onDisk,
                                              MergedTable* merged) const {
    SettingsFile::Entries entries;
    for (const Option& option : options)
        if (!option.onlyWhereMissing || !onDisk.contains(option.key))
            entries.append({option.key, option.text});
    const MergedTable table = MergeTables(base, ours, TableFromKeys(onDisk), reset, newEntryRow);
    entries += TableKeys(table.table);
    if (merged != nullptr) *merged = table;
    return entries;
}

SettingsFile::Entries SettingsChange::ToKeys() const {
    SettingsFile::Entries keys;
    for (const Option& option : options)
        if (!option.onlyWhereMissing) keys.append({option.key, option.text});
    keys += TableKeys(ours);
    keys += TableKeys(base, BasePrefix);
    keys.append({ResetKey, reset ? QStringLiteral("1") : QStringLiteral("0")});
    return keys;
}

SettingsChange SettingsChange::FromKeys(const SettingsFile::Keys& keys) {
    SettingsChange change;
    QStringList optionKeys;
    for (auto it = keys.begin(); it != keys.end(); ++it)
        if (!IsTableKey(it.key())) optionKeys.append(it.key());
    optionKeys.sort();
    for (const QString& key : optionKeys) change.options.append({key, keys.value(key)});
    change.ours = TableFromKeys(keys);
    change.base = TableFromKeys(keys, BasePrefix);
    change.reset = keys.value(ResetKey) == QLatin1String("1");
    return change;
}

SettingsFile::Entries ApplyKeptChange(const SettingsFile::Keys& onDisk,
                                      const SettingsFile::Keys& kept) {
    return SettingsChange::FromKeys(kept).ApplyTo(onDisk);
}

}  // namespace orbelix
