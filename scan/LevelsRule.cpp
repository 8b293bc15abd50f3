#include "scan/LevelsRule.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace quillmap {

LevelsRule::LevelsRule(const QString& levelsText)
    : m_unlimited(levelsText == QLatin1String("ALL")),
      m_number(m_unlimited ? 0 : leadingNumber(levelsText))
{
}

double LevelsRule::leadingNumber(const QString& text)
{
    // Collect the longest prefix of the form [blanks][sign]digits[.digits][e[sign]digits].
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    std::string number;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        number.push_back(char(text[i++].unicode()));
    auto isDigit = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    bool digits = false;
    while (isDigit(i)) {
        number.push_back(char(text[i++].unicode()));
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        qsizetype k = i + 1;
        std::string fraction = ".";
        while (isDigit(k))
            fraction.push_back(char(text[k++].unicode()));
        if (fraction.size() > 1 || digits) {
            digits = digits || fraction.size() > 1;
            number += fraction;
            i = k;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype k = i + 1;
        std::string exponent = "e";
        if (k < n && (text[k] == u'+' || text[k] == u'-'))
            exponent.push_back(char(text[k++].unicode()));
        if (isDigit(k)) {
            while (isDigit(k))
                exponent.push_back(char(text[k++].unicode()));
            number += exponent;
        }
    }
    // The point is the decimal mark whatever the user's locale says (Qt sets LC_NUMERIC from
    // it, and plain strtod would stop at the "." of "2.5" under a comma locale).
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t(0));
    const double value =
        cLocale ? strtod_l(number.c_str(), nullptr, cLocale) : std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : (value > 0 ? HUGE_VAL : -HUGE_VAL);
}

} // namespace quillmap
