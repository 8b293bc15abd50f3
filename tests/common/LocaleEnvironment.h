#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace quillmap::test {

// Sets the environment variable `name` to `value`, or unsets it when `value` is empty: a test
// row gives the locale variables (LC_ALL, LC_TIME, LANG...) it wants set.
inline void SetLocaleVariable(const char* name, const QByteArray& value)
{
    if (value.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, value);
}

} // namespace quillmap::test
