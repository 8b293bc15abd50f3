#pragma once

#include <QString>

namespace quillmap {

// The depth limit of the Levels box. Exactly "ALL" (same case) means no limit; any other text
// counts as the decimal number at its start (sign, fraction and exponent included, read up to
// the first character that can't continue it), or 0 when it doesn't start with one.
class LevelsRule
{
public:
    explicit LevelsRule(const QString& levelsText);

    bool unlimited() const { return m_unlimited; }
    double number() const { return m_number; }
    // Whether a folder `levelsDown` below the start folder is listed (its files and subfolders
    // added), when its node is there.
    bool opens(double levelsDown) const { return m_unlimited || m_number > levelsDown; }

    // The number at the start of `text`, as described above.
    static double leadingNumber(const QString& text);

private:
    bool m_unlimited = false;
    double m_number = 0;
};

} // namespace quillmap
