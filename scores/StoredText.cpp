#include "scores/StoredText.h"

#include <limits>

#include "game/BoardModel.h"

namespace orbelix {
namespace {

constexpr int MaxWholeDigits = 18;  // keeps the value well inside 64 bits

bool IsDigit(QChar ch) {
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

template <typename T>
bool Fits(const LeadingNumber& number) {
    return number.found && !number.tooLarge && number.value >= std::numeric_limits<T>::min() &&
           number.value <= std::numeric_limits<T>::max();
}

}  // namespace

LeadingNumber ReadLeadingNumber(const QString& text) {
    LeadingNumber result;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;

    bool negative = false;
    if (i < size && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    int64_t whole = 0;
    int wholeDigits = 0;
    bool anyDigit = false;
    for (; i < size && IsDigit(text[i]); ++i) {
        anyDigit = true;
        if (whole == 0 && text[i] == QLatin1Char('0')) continue;  // leading zeros
        if (++wholeDigits > MaxWholeDigits) {
            result.tooLarge = true;
            continue;
        }
        whole = whole * 10 + (text[i].unicode() - '0');
    }

    // Only the fraction's effect on rounding matters: its first digit, and whether
    // anything non-zero follows it.
    int firstFraction = -1;
    bool restNonZero = false;
    if (i < size && text[i] == QLatin1Char('.')) {
        for (++i; i < size && IsDigit(text[i]); ++i) {
            anyDigit = true;
            const int digit = text[i].unicode() - '0';
            if (firstFraction < 0) {
                firstFraction = digit;
            } else if (digit != 0) {
                restNonZero = true;
            }
        }
    }
    if (!anyDigit) return {};
    result.found = true;
    if (result.tooLarge) return result;

    const bool roundUp =
        firstFraction > 5 || (firstFraction == 5 && (restNonZero || whole % 2 == 1));
    if (roundUp) ++whole;
    result.value = negative ? -whole : whole;
    return result;
}

int32_t ReadStoredScore(const QString& text) {
    const LeadingNumber number = ReadLeadingNumber(text);
    return Fits<int32_t>(number) ? static_cast<int32_t>(number.value) : 0;
}

int16_t ReadStoredColorCount(const QString& text) {
    const LeadingNumber number = ReadLeadingNumber(text);
    if (!Fits<int16_t>(number) || number.value < MinColors || number.value > MaxColors)
        return MinColors;
    return static_cast<int16_t>(number.value);
}

bool ReadStoredSound(const QString& text) {
    const LeadingNumber number = ReadLeadingNumber(text);
    return Fits<int16_t>(number) && number.value != 0;
}

QString WriteStoredScore(int32_t score) {
    const QString digits = QString::number(score);
    return score < 0 ? digits : QLatin1Char(' ') + digits;
}

QString WriteStoredColorCount(int16_t colorCount) {
    return QString::number(colorCount);
}

QString WriteStoredSound(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

int16_t ReadStoredZoom(const QString& text) {
    const LeadingNumber number = ReadLeadingNumber(text);
    if (!number.found || number.tooLarge || number.value < 1 || number.value > 4) return 1;
    return static_cast<int16_t>(number.value);
}

}  // namespace orbelix
