#include "win/utf8.h"

namespace kv {

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

std::string TrimText(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(b, e - b));
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte
        n += c >= 0xF0 ? 2 : 1;            // four-byte sequences need a surrogate pair
    }
    return n;
}

}  // namespace kv
