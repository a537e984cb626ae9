/* Fuzz target of the export formats and the extension rule: random bytes as the cells of one row,
 * written in one of the three formats through a sink that may fail, and as a path to extend.
 *
 * Input layout (every part may be short or missing):
 *   byte 0      format: 1 + byte % 3 (text, tab-separated, HTML);
 *   bytes 1-2   column width in pixels, little-endian, signed (negative and huge widths too);
 *   byte 3      the sink fails at that write (0: never);
 *   byte 4      size of the path buffer (0 .. 255);
 *   the rest    the cells, separated by zero bytes; the first one is also the path.
 * Checked: a fixed-width cell is its text cut or space-filled to width/7 characters then "|"; a
 * tab-separated row walked by the import's field rules gives back every cell (TAB, CR and LF written
 * as a space); an HTML cell unescapes to its text and holds no markup character; a
 * failed write ends the output; the extension is added exactly when the path does not hold it and it
 * fits, and StrFindNoCase agrees with a plain search; nothing is read or written outside its block. */
#include "base/str.h"
#include "exchange/export_format.h"
#include "exchange/import_lines.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

struct Output {
    std::string bytes;
    int writes;
    int failAt;
};

int Write(void* context, const char* bytes, size_t n) {
    Output* out = (Output*)context;
    out->writes++;
    if (out->failAt != 0 && out->writes >= out->failAt) return 0;
    out->bytes.append(bytes, n);
    return 1;
}

unsigned char Upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? (unsigned char)(c - 32) : c;
}

/* StrFindNoCase by its definition: the first start where every pattern byte matches. */
long PlainFindNoCase(const std::string& text, const std::string& pattern) {
    for (size_t at = 0; at + pattern.size() <= text.size(); at++) {
        size_t i = 0;
        while (i < pattern.size() && Upper((unsigned char)text[at + i]) == Upper((unsigned char)pattern[i]))
            i++;
        if (i == pattern.size()) return (long)at;
    }
    return -1;
}

std::string Unescape(const std::string& html) {
    static const char* const kEntities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}};
    std::string text;
    for (size_t i = 0; i < html.size();) {
        bool done = false;
        for (const auto& e : kEntities) {
            size_t n = strlen(e[0]);
            if (html.compare(i, n, e[0]) == 0) {
                text += e[1];
                i += n;
                done = true;
                break;
            }
        }
        if (!done) text += html[i++];
    }
    return text;
}

void CheckExtension(const std::string& path, size_t size, int format) {
    const char* ext = ExportExtension(format);
    Check(ext != nullptr);
    Check(PlainFindNoCase(path, ext) >= 0
              ? StrFindNoCase(path.c_str(), ext) == path.c_str() + PlainFindNoCase(path, ext)
              : StrFindNoCase(path.c_str(), ext) == nullptr);
    if (path.size() + 1 > size || size == 0) return; /* the caller's buffer always holds its path */
    char* buf = (char*)malloc(size);
    memcpy(buf, path.c_str(), path.size() + 1);
    int ok = AddExportExtension(buf, size, format);
    bool holds = PlainFindNoCase(path, ext) >= 0;
    bool fits = path.size() + strlen(ext) + 1 <= size;
    if (holds || !fits) {
        Check(ok == (holds ? 1 : 0));
        Check(path == buf);
    } else {
        Check(ok == 1 && path + ext == buf);
    }
    free(buf);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    int format = 1 + data[0] % 3;
    int width = (int16_t)(data[1] | data[2] << 8);
    Output out = {std::string(), 0, data[3]};
    size_t pathSize = data[4];

    std::vector<std::string> cells;
    std::string rest((const char*)data + 5, size - 5);
    for (size_t at = 0;;) {
        size_t zero = rest.find('\0', at);
        cells.push_back(rest.substr(at, zero == std::string::npos ? std::string::npos : zero - at));
        if (zero == std::string::npos) break;
        at = zero + 1;
    }
    CheckExtension(cells[0], pathSize, format);

    ExportSink sink = {Write, &out, 0};
    std::vector<size_t> ends; /* where each cell's output ends */
    char* cell = (char*)malloc(EXPORT_CELL_SIZE);
    WriteExportRowStart(&sink, format);
    size_t rowStart = out.bytes.size();
    for (const std::string& text : cells) {
        size_t keep = text.size() < EXPORT_CELL_SIZE - 1 ? text.size() : EXPORT_CELL_SIZE - 1;
        memcpy(cell, text.data(), keep);
        cell[keep] = 0;
        std::string shown = text.substr(0, keep);
        size_t before = out.bytes.size();
        WriteExportCell(&sink, cell, format, width);
        std::string written = out.bytes.substr(before);
        if (sink.failed) break;
        if (format == EXPORT_TEXT) {
            size_t n = width > 0 ? (size_t)width / 7 : 0;
            if (n > EXPORT_CELL_SIZE - 2) n = EXPORT_CELL_SIZE - 2;
            std::string want = shown.substr(0, n);
            want.append(n - want.size(), ' ');
            Check(written == want + "|");
        } else if (format == EXPORT_EXCEL) {
            Check(written.size() == shown.size() + 1 && written.back() == '\t');
            for (size_t i = 0; i < shown.size(); i++) {
                char c = shown[i];
                bool breaking = c == '\t' || c == '\r' || c == '\n';
                Check(written[i] == (breaking ? ' ' : c));
            }
        } else {
            Check(written.compare(0, 4, "<td>") == 0 && written.size() >= 9);
            Check(written.compare(written.size() - 5, 5, "</td>") == 0);
            std::string inner = written.substr(4, written.size() - 9);
            Check(inner.find_first_of("<>\"") == std::string::npos);
            Check(Unescape(inner) == shown);
        }
        ends.push_back(out.bytes.size());
    }
    WriteExportRowEnd(&sink, format);
    WriteExportEnd(&sink, format);

    if (out.failAt != 0 && out.writes >= out.failAt) {
        Check(sink.failed == 1);
        Check(out.writes == out.failAt); /* nothing is tried after the failure */
    } else {
        Check(sink.failed == 0);
        if (format == EXPORT_HTML) {
            Check(out.bytes.compare(0, 4, "<tr>") == 0);
            Check(out.bytes.size() >= 13 &&
                  out.bytes.compare(out.bytes.size() - 13, 13, "</tr></table>") == 0);
            free(cell);
            return 0;
        }
        Check(out.bytes.size() >= 2 && out.bytes.compare(out.bytes.size() - 2, 2, "\r\n") == 0);
        /* A tab-separated row reads back cell by cell through the import's field rules: a TAB, CR
         * or LF inside a cell is written as a space, so the row holds exactly one TAB per cell. */
        std::string row = out.bytes.substr(rowStart, out.bytes.size() - rowStart - 2);
        size_t tabs = (size_t)std::count(row.begin(), row.end(), '\t');
        if (format == EXPORT_EXCEL) {
            Check(row.find_first_of("\r\n") == std::string::npos);
            Check(tabs == cells.size());
            ImportFields fields;
            ImportFieldsStart(&fields, row.data(), (int)row.size());
            std::vector<char> field(row.size() + 1);
            size_t i = 0;
            for (; ImportNextField(&fields, field.data(), field.size(), nullptr); i++) {
                Check(i < cells.size());
                std::string want = cells[i].substr(0, EXPORT_CELL_SIZE - 1);
                for (char& c : want)
                    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
                Check(want == field.data());
            }
            Check(i == cells.size());
        }
    }
    free(cell);
    return 0;
}
