#pragma once

#include <QString>
#include <cstdint>

namespace orbelix {

// The number at the start of a stored text: leading blanks skipped, an optional sign,
// digits and an optional fraction, rounded to the nearest whole number with halves to
// even. `found` is false when the text does not begin with a number; `tooLarge` when
// its magnitude cannot be held (more than 18 whole digits).
struct LeadingNumber {
    bool found = false;
    bool tooLarge = false;
    int64_t value = 0;
};
LeadingNumber ReadLeadingNumber(const QString& text);

// Reading the stored settings. A score that is no number reads as 0; one too large
// for 32 bits reads as the default, 0. A colour count that is no number or lies outside
// 6..13 reads as 6. Sound is on for any number other than 0; a text that is no number,
// or a number too large for 16 bits, reads as off.
int32_t ReadStoredScore(const QString& text);
int16_t ReadStoredColorCount(const QString& text);
bool ReadStoredSound(const QString& text);
// The zoom: a number 1..4; anything else reads as 1.
int16_t ReadStoredZoom(const QString& text);

// Writing them: a score has one leading blank unless it is negative (" 0", " 1520",
// "-5"); the colour count is plain decimal; sound is "1" or "0".
QString WriteStoredScore(int32_t score);
QString WriteStoredColorCount(int16_t colorCount);
QString WriteStoredSound(bool on);

}  // namespace orbelix
