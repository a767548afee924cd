#include <QHash>
#include <QList>

#include "platform/SettingsFile.h"

// The text of the settings file: the section "Settings" in the INI format that QSettings
// reads and writes, every value a string.
namespace orbelix::SettingsFile {
namespace {

QString Unescape(QStringView raw) {
    // One value: quoted parts taken as they are, unquoted blanks at either end dropped,
    // commas outside quotes (QSettings' list separator) kept as commas, ';' outside
    // quotes starting a comment. Returns the text; `@` marks QSettings' typed values.
    QString out;
    QList<bool> quoted;
    bool inQuotes = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar ch = raw[i];
        if (ch == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            continue;
        }
        if (!inQuotes && ch == QLatin1Char(';')) break;
        if (ch == QLatin1Char('\\') && i + 1 < raw.size()) {
            const QChar next = raw[++i];
            char16_t value = next.unicode();
            switch (next.unicode()) {
                case 'a':
                    value = '\a';
                    break;
                case 'b':
                    value = '\b';
                    break;
                case 'f':
                    value = '\f';
                    break;
                case 'n':
                    value = '\n';
                    break;
                case 'r':
                    value = '\r';
                    break;
                case 't':
                    value = '\t';
                    break;
                case 'v':
                    value = '\v';
                    break;
                case 'x': {
                    uint32_t code = 0;
                    while (i + 1 < raw.size() && isxdigit(raw[i + 1].unicode()) &&
                           raw[i + 1].unicode() < 128)
                        code = (code << 4 |
                                static_cast<uint32_t>(QString(raw[++i]).toUInt(nullptr, 16))) &
                               0xFFFF;
                    value = static_cast<char16_t>(code);
                    break;
                }
                case '0':
                case '1':
                case '2':
                case '3':
                case '4':
                case '5':
                case '6':
                case '7': {
                    uint32_t code = static_cast<uint32_t>(next.unicode() - '0');
                    while (i + 1 < raw.size() && raw[i + 1] >= QLatin1Char('0') &&
                           raw[i + 1] <= QLatin1Char('7'))
                        code =
                            (code << 3 | static_cast<uint32_t>(raw[++i].unicode() - '0')) & 0xFFFF;
                    value = static_cast<char16_t>(code);
                    break;
                }
                default:
                    break;
            }
            out.append(QChar(value));
            quoted.append(true);
            continue;
        }
        out.append(ch);
        quoted.append(inQuotes || !ch.isSpace());
    }
    // Unquoted blanks around the value (and around list items) are not part of it.
    QString trimmed;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= out.size(); ++i) {
        if (i < out.size() && !(out[i] == QLatin1Char(',') && !quoted[i])) continue;
        qsizetype a = start;
        qsizetype b = i;
        while (a < b && !quoted[a]) ++a;
        while (b > a && !quoted[b - 1]) --b;
        if (start > 0) trimmed.append(QLatin1Char(','));
        trimmed.append(out.mid(a, b - a));
        start = i + 1;
    }
    return trimmed;
}

QString FromTyped(const QString& text) {
    if (!text.startsWith(QLatin1Char('@'))) return text;
    if (text.startsWith(QLatin1String("@@"))) return text.mid(1);
    for (const char* type : {"@String(", "@ByteArray("}) {
        const QLatin1String prefix(type);
        if (text.startsWith(prefix) && text.endsWith(QLatin1Char(')')))
            return text.mid(prefix.size(), text.size() - prefix.size() - 1);
    }
    return QString();  // @Invalid() and values of other types hold no text
}

QString Escape(const QString& text) {
    QString value = text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
    bool needsQuotes = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    QString out;
    bool lastWasHexEscape = false;
    for (const QChar ch : value) {
        const char16_t c = ch.unicode();
        const bool hexDigit = c < 128 && isxdigit(c);
        if (c == '"' || c == '\\') {
            out += QLatin1Char('\\');
            out += ch;
        } else if (c < 0x20 || c == 0x7F || (lastWasHexEscape && hexDigit)) {
            // A control character, or a hex digit right after such an escape (which would
            // otherwise be read as part of it), as a hex escape of its own.
            out += QStringLiteral("\\x%1").arg(static_cast<unsigned>(c), 0, 16);
            lastWasHexEscape = true;
            continue;
        } else {
            if (c == ';' || c == ',' || c == '=') needsQuotes = true;
            out += ch;
        }
        lastWasHexEscape = false;
    }
    return needsQuotes ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

}  // namespace

Entries ParseIni(const QByteArray& text) {
    Entries entries;
    QHash<QString, qsizetype> at;
    bool inSection = false;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QStringLiteral("[%1]").arg(QLatin1String(Section));
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = FromTyped(Unescape(QStringView(line).mid(eq + 1)));
        const auto same = at.constFind(key);
        if (same != at.cend()) {
            entries[*same].second = value;
        } else {
            at.insert(key, entries.size());
            entries.append({key, value});
        }
    }
    return entries;
}

QByteArray FormatIni(const Entries& entries) {
    QString text = QStringLiteral("[%1]\n").arg(QLatin1String(Section));
    for (const auto& [key, value] : entries)
        text += key + QLatin1Char('=') + Escape(value) + QLatin1Char('\n');
    return text.toUtf8();
}

}  // namespace orbelix::SettingsFile
