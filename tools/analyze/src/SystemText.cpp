#include "analyze/SystemText.h"

#include <optional>

namespace kpx {
namespace {

// The code unit that carries an undecodable byte (0x80 to 0xFF) through Qt text.
constexpr char16_t EscapedByteBase = 0xDC00;

// The code point of the UTF-8 sequence at pos and its length, or empty when the bytes there are not
// one (overlong forms, surrogates and values beyond U+10FFFF included).
std::optional<std::pair<char32_t, std::size_t>> decodeAt(std::string_view bytes, std::size_t pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return std::pair<char32_t, std::size_t>{lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        lowest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (pos + length > bytes.size())
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (byte(pos + i) & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return std::pair<char32_t, std::size_t>{value, length};
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t pos = 0; pos < bytes.size();) {
        const auto decoded = decodeAt(bytes, pos);
        if (!decoded)
            return false;
        pos += decoded->second;
    }
    return true;
}

std::string escapedText(std::string_view bytes)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();) {
        const auto decoded = decodeAt(bytes, pos);
        const std::size_t length = decoded ? decoded->second : 1;
        if (decoded && !isControl(decoded->first)) {
            text.append(bytes.substr(pos, length));
        } else {
            for (std::size_t i = 0; i < length; ++i) {
                const auto b = static_cast<unsigned char>(bytes[pos + i]);
                text += "\\x";
                text += Hex[b >> 4];
                text += Hex[b & 0x0F];
            }
        }
        pos += length;
    }
    return text;
}

QString fromSystemBytes(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t pos = 0; pos < bytes.size();) {
        if (const auto decoded = decodeAt(bytes, pos)) {
            const char32_t c = decoded->first;
            text += QString::fromUcs4(&c, 1);
            pos += decoded->second;
        } else {
            text += QChar(static_cast<char16_t>(EscapedByteBase + static_cast<unsigned char>(bytes[pos])));
            ++pos;
        }
    }
    return text;
}

std::string toSystemBytes(const QString &text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= EscapedByteBase + 0x80 && unit <= EscapedByteBase + 0xFF) {
            bytes += static_cast<char>(unit - EscapedByteBase);
            continue;
        }
        // A surrogate pair, or one code unit.
        qsizetype length = 1;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            length = 2;
        bytes += text.mid(i, length).toUtf8().toStdString();
        i += length - 1;
    }
    return bytes;
}

} // namespace kpx
