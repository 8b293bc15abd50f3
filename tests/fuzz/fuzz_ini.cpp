// Fuzzes the INI reader: decoding (UTF-8 or Windows-1252) and the value lookup.
// Input: one byte choosing the buffer size, a section line, a key line, then the file's bytes.
#include "support/FileFunctions.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace FF = quillmap::FileFunctions;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

QByteArray takeLine(QByteArray& rest)
{
    const qsizetype nl = rest.indexOf('\n');
    const QByteArray line = nl < 0 ? rest : rest.left(nl);
    rest = nl < 0 ? QByteArray() : rest.mid(nl + 1);
    return line;
}

// ASCII letters flipped, everything else kept: names must still match.
QString flipAsciiCase(const QString& s)
{
    QString out = s;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int bufferSize = data[0] >= 128 ? FF::detail::kDefaultIniBuffer : data[0];
    QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString section = QString::fromUtf8(takeLine(rest));
    const QString key = QString::fromUtf8(takeLine(rest));

    const bool utf8 = FF::detail::IsValidUtf8(rest);
    const QString text = FF::detail::DecodeIniText(rest);
    if (utf8) {
        // Our validator must agree with Qt's decoder and round-trip exactly.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString viaQt = decoder(rest);
        check(!decoder.hasError(), "valid UTF-8 rejected by Qt");
        check(viaQt.toUtf8() == rest, "UTF-8 round trip");
    } else {
        check(text.size() == rest.size(), "Windows-1252 is one character a byte");
    }

    const QString value = FF::detail::LookupIniValue(text, section, key, bufferSize);
    check(value.size() <= qMax(bufferSize - 1, 0), "value longer than the buffer");
    check(!value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')),
          "value spans lines");
    check(value.isEmpty() || text.contains(value), "value not in the file");
    check(FF::detail::LookupIniValue(text, flipAsciiCase(section), flipAsciiCase(key),
                                     bufferSize) == value,
          "names not matched without regard to case");
    check(FF::detail::IniSectionValue(FF::detail::ReadIniSection(text, section, bufferSize), key) ==
              value,
          "the one-pass section reader finds another value");
    return 0;
}
