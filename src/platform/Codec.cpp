#include "platform/Codec.h"
#include "platform/Exceptions.h"

#include <QHash>

#include <array>
#include <iconv.h>
#include <mutex>

namespace {

struct CodePage {
    std::array<char16_t, 256> toUnicode{};
    QHash<char16_t, unsigned char> fromUnicode;
};

// Built once from glibc's tables on first use.
CodePage BuildCodePage(const char* name)
{
    CodePage cp;
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw Exception(QStringLiteral("Нет перекодировки %1").arg(QLatin1String(name)));
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char out[8] = {};
        char* pin = &in;
        char* pout = out;
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        // A byte the code page leaves undefined keeps its own value as a
        // control character, as Windows did, so that every byte round-trips.
        char16_t u = static_cast<char16_t>(b);
        if (iconv(cd, &pin, &inLeft, &pout, &outLeft) != static_cast<size_t>(-1) && outLeft == sizeof out - 2)
            u = static_cast<char16_t>(static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8));
        cp.toUnicode[b] = u;
        if (!cp.fromUnicode.contains(u))
            cp.fromUnicode.insert(u, static_cast<unsigned char>(b));
    }
    iconv_close(cd);
    return cp;
}

const CodePage& Cp1251()
{
    static std::once_flag once;
    static CodePage cp;
    std::call_once(once, [] { cp = BuildCodePage("CP1251"); });
    return cp;
}

const CodePage& Cp866()
{
    static std::once_flag once;
    static CodePage cp;
    std::call_once(once, [] { cp = BuildCodePage("CP866"); });
    return cp;
}

QByteArray Encode(const CodePage& cp, const QString& text)
{
    QByteArray out;
    out.resize(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 128) {
            out[i] = static_cast<char>(u);
            continue;
        }
        auto it = cp.fromUnicode.constFind(u);
        out[i] = it == cp.fromUnicode.constEnd() ? '?' : static_cast<char>(it.value());
    }
    return out;
}

QString Decode(const CodePage& cp, const QByteArray& bytes)
{
    QString out;
    out.resize(bytes.size());
    for (int i = 0; i < bytes.size(); ++i)
        out[i] = QChar(cp.toUnicode[static_cast<unsigned char>(bytes[i])]);
    return out;
}

} // namespace

QByteArray ToCp1251(const QString& text) { return Encode(Cp1251(), text); }

QString FromCp1251(const QByteArray& bytes) { return Decode(Cp1251(), bytes); }

QChar Cp1251ToChar(unsigned char byte) { return QChar(Cp1251().toUnicode[byte]); }

QByteArray ToCp866(const QString& text) { return Encode(Cp866(), text); }

QString FromCp866(const QByteArray& bytes) { return Decode(Cp866(), bytes); }

bool IsCp1251Char(QChar c) { return c.unicode() < 128 || Cp1251().fromUnicode.contains(c.unicode()); }

bool IsCp1251Text(const QString& text)
{
    for (const QChar c : text)
        if (!IsCp1251Char(c))
            return false;
    return true;
}
