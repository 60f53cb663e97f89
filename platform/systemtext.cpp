// SPDX-License-Identifier: MIT
#include "platform/systemtext.h"

namespace platform {

std::string ToSystemText(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

namespace {

// The length of the valid UTF-8 sequence that starts at text[i], or 0 when none does.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return 1;
    }
    // The allowed range of the second byte narrows for the leads where overlong forms,
    // surrogates or code points above U+10FFFF would otherwise slip through.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        const unsigned char min = k == 1 ? low : 0x80;
        const unsigned char max = k == 1 ? high : 0xBF;
        if (next < min || next > max) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::size_t ValidUtf8Prefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) {
            return i;
        }
        i += length;
    }
    return i;
}

std::size_t Utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        units += length == 4 ? 2 : 1;
        i += length == 0 ? 1 : length;
    }
    return units;
}

std::string EscapeTerminalControls(std::string_view text, bool keepLineBreaks) {
    constexpr const char* kHexDigits = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    const auto hex = [&escaped, kHexDigits](unsigned char byte) {
        escaped += '\\';
        escaped += 'x';
        escaped += kHexDigits[byte >> 4];
        escaped += kHexDigits[byte & 0x0F];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            const bool kept =
                byte >= 0x20 ? byte != 0x7F : byte == '\t' || (keepLineBreaks && byte == '\n');
            if (kept) {
                escaped += text[i];
            } else {
                hex(byte);
            }
            continue;
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        const std::string_view character = text.substr(i, length);
        if (length > 1 && character.size() == length && ValidUtf8Prefix(character) == length) {
            if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
                hex(byte);
                hex(static_cast<unsigned char>(text[i + 1]));
            } else {
                escaped.append(character);
            }
            i += length - 1;
            continue;
        }
        // A byte outside UTF-8: a C1 control is escaped, any other stays.
        if (byte < 0xA0) {
            hex(byte);
        } else {
            escaped += text[i];
        }
    }
    return escaped;
}

}  // namespace platform
