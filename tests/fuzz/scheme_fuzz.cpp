/* Fuzz target of the scheme file lookup: random bytes as the text of the host's scheme file.
 *
 * The Win32 side reads keys 1, 2, 3, ... of section "Régimes" with GetPrivateProfileString; here a
 * plain reading of the INI text stands in for it (lines end at CR or LF; "[name]" starts a section,
 * matched without ASCII case; "key=value" with spaces around both trimmed; the first of duplicate
 * keys wins; a value is cut to 259 bytes) and the values go into the SchemeTable as the Win32 side
 * puts them, up to the first missing or empty one.
 *
 * Input layout (every part may be short or missing):
 *   bytes 0-3   a code to look up, little-endian (any 32-bit value);
 *   byte 4      size of the name buffer (0 .. 255);
 *   the rest    the INI text.
 * Checked: the table holds exactly the values read; looking up the given code and the code of every
 * value gives what a plain walk of the values gives (first value whose code field reads as the code;
 * its second field; an empty name when a value before it has no ";" or it has no second ";"); the
 * name is terminated within its buffer; DigitsOnly keeps exactly the digits; nothing is read or
 * written outside its block; the table is released without leaks. */
#include "search/result_format.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

bool SameNoAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? (char)(a[i] + 32) : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? (char)(b[i] + 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

/* The values of keys 1, 2, 3, ... of section "Régimes" (Windows-1252), up to the first missing or
 * empty one. */
std::vector<std::string> ReadSchemeValues(const std::string& text) {
    std::map<std::string, std::string> keys;
    bool inSection = false;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(at, end - at));
        at = end + 1;
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find(']');
            inSection =
                close != std::string::npos && SameNoAsciiCase(line.substr(1, close - 1), "R\xe9gimes");
            continue;
        }
        size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos) continue;
        std::string key = Trim(line.substr(0, eq));
        if (keys.count(key) == 0) keys[key] = Trim(line.substr(eq + 1)).substr(0, SCHEME_VALUE_SIZE - 1);
    }
    std::vector<std::string> values;
    for (int n = 1;; n++) {
        auto it = keys.find(std::to_string(n));
        if (it == keys.end() || it->second.empty()) break;
        values.push_back(it->second);
    }
    return values;
}

/* atoi as the lookup reads a code: white space, a sign, digits; saturating at 32 bits. */
int LeadingInt(const std::string& s) {
    size_t i = s.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; i++)
        if (v <= 2147483648LL) v = v * 10 + (s[i] - '0');
    if (negative) v = -v;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return (int)v;
}

std::string PlainLookup(const std::vector<std::string>& values, int code) {
    for (const std::string& v : values) {
        size_t first = v.find(';');
        if (first == std::string::npos) return "";
        if (LeadingInt(v.substr(0, first)) != code) continue;
        size_t second = v.find(';', first + 1);
        if (second == std::string::npos) return "";
        return v.substr(first + 1, second - first - 1);
    }
    return "";
}

void CheckLookup(const SchemeTable* table, const std::vector<std::string>& values, int code, size_t size) {
    char* name = (char*)malloc(size == 0 ? 1 : size);
    if (size > 0) memset(name, 'Q', size);
    LookupSchemeInTable(table, code, name, size);
    if (size > 0) {
        Check(memchr(name, 0, size) != nullptr);
        Check(PlainLookup(values, code).substr(0, size - 1) == name);
    }
    free(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    int code =
        (int)((uint32_t)data[0] | (uint32_t)data[1] << 8 | (uint32_t)data[2] << 16 | (uint32_t)data[3] << 24);
    size_t nameSize = data[4];
    std::string text((const char*)data + 5, size - 5);
    text = text.c_str(); /* the file is read as a text */
    std::vector<std::string> values = ReadSchemeValues(text);

    SchemeTable table = {nullptr, 0, 0};
    for (const std::string& v : values)
        Check(SchemeTableAdd(&table, v.c_str()) == 1);
    Check(SchemeTableAdd(&table, "") == 0);
    Check(table.count == (int)values.size() && table.count <= table.capacity);
    for (int i = 0; i < table.count; i++)
        Check(values[(size_t)i] == table.values[i].text);

    CheckLookup(&table, values, code, nameSize);
    for (size_t i = 0; i < values.size() && i < 64; i++)
        CheckLookup(&table, values, LeadingInt(values[i].substr(0, values[i].find(';'))), nameSize);
    SchemeTableFree(&table);
    Check(table.values == nullptr && table.count == 0);

    /* The social-security column keeps the digits of the host's text. */
    std::vector<char> digits(nameSize == 0 ? 1 : nameSize);
    DigitsOnly(text.c_str(), digits.data(), nameSize);
    if (nameSize > 0) {
        std::string want;
        for (char c : text)
            if (c >= '0' && c <= '9') want += c;
        Check(want.substr(0, nameSize - 1) == digits.data());
    }
    return 0;
}
