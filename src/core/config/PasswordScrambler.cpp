#include "core/config/PasswordScrambler.h"

#include "base/Prompt.h"
#include "base/TextCodec.h"

QString unscramblableLetter(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A letter outside the basic plane is two code units: named whole.
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                             : 1;
        bool fits = false;
        const QByteArray code = TextCodec::toCp1252(QStringView(text).mid(i, length), &fits);
        if (!fits || code.size() != 1 ||
            static_cast<unsigned char>(code[0]) + kScrambleOffset > 255)
            return text.mid(i, length);
        i += length - 1;
    }
    return {};
}

QString TextEncrypt(const QString& text, bool scramble, Prompt& prompt)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        bool fits = false;
        const QByteArray code = TextCodec::toCp1252(QStringView(&c, 1), &fits);
        const int shifted =
            static_cast<unsigned char>(code[0]) + (scramble ? kScrambleOffset : -kScrambleOffset);
        if (!fits || shifted < 0 || shifted > 255) {
            prompt.message(QStringLiteral("Error encrypting/decrypting password on letter: ") + c);
            return {};
        }
        out.append(static_cast<char>(shifted));
    }
    return TextCodec::fromCp1252(out);
}
