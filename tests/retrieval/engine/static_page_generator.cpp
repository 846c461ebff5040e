#include "static_page_generator.h"

#include <QList>
#include <algorithm>
#include <cctype>
#include <iterator>
#include <random>

namespace quorvane::testing {

std::uint64_t PageSeed(std::uint64_t runSeed, std::uint64_t index) {
    // SplitMix64 of the pair, so that neighbouring indexes give unrelated pages.
    std::uint64_t z = runSeed + (index + 1) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

// Pieces of a page that removing one at a time keeps meaningful: tags and comments whole,
// entities whole, and runs of text or of white space.
QList<QByteArray> Tokens(const QByteArray& page) {
    QList<QByteArray> tokens;
    qsizetype i = 0;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (i < page.size()) {
        qsizetype end = i + 1;
        const char c = page[i];
        if (c == '<') {
            const qsizetype close = QByteArrayView(page).sliced(i).startsWith("<!--")
                                        ? page.indexOf("-->", i + 4)
                                        : page.indexOf('>', i + 1);
            end = close < 0 ? page.size() : close + (page[close] == '-' ? 3 : 1);
        } else if (c == '&') {
            const qsizetype semicolon = page.indexOf(';', i + 1);
            end = semicolon < 0 || semicolon > i + 12 ? i + 1 : semicolon + 1;
        } else if (isSpace(c)) {
            while (end < page.size() && isSpace(page[end])) ++end;
        } else {
            while (end < page.size() && page[end] != '<' && page[end] != '&' &&
                   !isSpace(page[end])) {
                ++end;
            }
        }
        tokens.append(page.mid(i, end - i));
        i = end;
    }
    return tokens;
}

// Writes one page. Choices are made with the engine's raw output and a modulo, not with the
// standard distributions, whose results differ between standard libraries; and no expression
// makes two choices, since the order in which a compiler evaluates them is its own.
class PageWriter {
public:
    explicit PageWriter(std::uint64_t seed) : random_(seed) {}

    QByteArray Page() {
        budget_ = OneIn(10) ? 100 + int(Below(100)) : 6 + int(Below(40));
        if (OneIn(30)) out_ += "\xEF\xBB\xBF";  // a byte-order mark, which decoding takes away
        Doctype();
        const bool explicitBody = OneIn(2);
        if (explicitBody) Head();
        for (int i = 0, n = 1 + int(Below(4)); i < n; ++i) {
            Space();
            Flow(0);
        }
        if (OneIn(15)) LongLog();
        if (explicitBody && !OneIn(3)) {
            Space();
            out_ += Tag("</body>");
            if (OneIn(4)) Text();  // after the body's end, still the body's content
            Space();
            out_ += Tag("</html>");
        }
        if (OneIn(3)) out_ += Pick({"\n", "\r\n", "\r", "\n\n", " "});
        if (OneIn(6)) Mutate();
        // A page cut short, as by a router that closes the connection early.
        if (OneIn(12) && out_.size() > 1) out_.truncate(1 + qsizetype(Below(out_.size() - 1)));
        return out_;
    }

private:
    // Pages near the ones the writer makes, which no rule of it gives: a few of its pieces (tags,
    // words, entities, white space) left out, doubled or moved, or a byte taken away.
    void Mutate() {
        QList<QByteArray> pieces = Tokens(out_);
        for (int i = 0, n = 1 + int(Below(3)); i < n && !pieces.isEmpty(); ++i) {
            const qsizetype at = qsizetype(Below(pieces.size()));
            switch (Below(4)) {
                case 0:
                    pieces.remove(at);
                    break;
                case 1:
                    pieces.insert(at, pieces[at]);
                    break;
                case 2:
                    pieces.move(at, qsizetype(Below(pieces.size())));
                    break;
                default:
                    if (pieces[at].size() > 1)
                        pieces[at].remove(qsizetype(Below(pieces[at].size())), 1);
                    break;
            }
        }
        out_.clear();
        for (const QByteArray& piece : pieces) out_ += piece;
    }

    std::uint64_t Below(std::uint64_t n) { return n == 0 ? 0 : random_() % n; }
    bool OneIn(std::uint64_t n) { return Below(n) == 0; }
    const char* Pick(std::initializer_list<const char*> choices) {
        return choices.begin()[Below(choices.size())];
    }
    bool Spend() { return budget_-- > 0; }

    // Markup is case-insensitive, and old router firmware writes tags in capitals.
    QByteArray Tag(const char* markup) {
        QByteArray tag(markup);
        if (OneIn(8)) {
            for (qsizetype i = 1; i < tag.size() && tag[i] != ' ' && tag[i] != '>'; ++i) {
                tag[i] = char(std::toupper(static_cast<unsigned char>(tag[i])));
            }
        }
        return tag;
    }
    QByteArray Open(const char* name, const QByteArray& attributes = {}) {
        return Tag(("<" + QByteArray(name) + attributes + Common() + ">").constData());
    }
    QByteArray Close(const char* name) { return Tag(("</" + QByteArray(name) + ">").constData()); }
    // The end tag, or now and then nothing: browsers close what the page leaves open.
    void MaybeClose(const char* name, int leaveOpenOneIn = 6) {
        if (OneIn(leaveOpenOneIn)) return;
        Space();
        out_ += Close(name);
    }

    QByteArray Quoted(const char* value) {
        switch (Below(3)) {
            case 0:
                return QByteArray("\"") + value + "\"";
            case 1:
                return QByteArray("'") + value + "'";
            default:
                return value;
        }
    }

    // Attributes any element may carry, without effect on its text.
    QByteArray Common() {
        QByteArray attributes;
        if (OneIn(8)) attributes += " class=" + Quoted(Pick({"log", "title", "row1", "x y"}));
        if (OneIn(14)) attributes += " id=" + Quoted(Pick({"log", "t1", "wan"}));
        if (OneIn(16)) attributes += " title=\"Log entry\"";
        if (OneIn(30)) attributes += Pick({" hidden", " HIDDEN", " hidden=\"\""});
        return attributes;
    }

    void Doctype() {
        out_ += Pick({
            "",
            "",
            "<!DOCTYPE html>",
            "<!doctype html>\n",
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n",
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
            "\"http://www.w3.org/TR/html4/loose.dtd\">\r\n",
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">",
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n",
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
            "\"http://www.w3.org/TR/html4/strict.dtd\">",
            "<!DOCTYPE html SYSTEM \"about:legacy-compat\">",
            "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">",
        });
    }

    void Head() {
        out_ += Tag("<html>");
        Space();
        if (OneIn(4)) return;  // no head: the body's tag opens it
        out_ += Tag("<head>");
        for (int i = 0, n = int(Below(4)); i < n; ++i) {
            Space();
            out_ += Pick({
                "<title>Security Log</title>",
                "<TITLE>System  Log\n</TITLE>",
                "<meta charset=\"utf-8\">",
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
                "<meta http-equiv=Pragma content=no-cache>",
                "<meta name=viewport content=\"width=device-width\">",
                "<link rel=\"shortcut icon\" href=\"/favicon.ico\">",
                "<base href=\"/doc/\">",
                "<!-- head -->",
            });
        }
        // Text in the head ends it and opens the body.
        if (OneIn(10)) Text();
        Space();
        out_ += Tag("</head>");
        Space();
        out_ += Open("body", OneIn(5) ? QByteArray(" bgcolor=#ffffff text=black") : QByteArray());
    }

    void Space() {
        out_ += Pick({
            "",     "",      "",      " ",      "  ",       "\n",      "\n",     "\r\n",
            "\r",   "\t",    " \n ",  "\n\t\t", "\r\n  ",   "\n\n",    "&nbsp;", "\xC2\xA0",
            "&#9;", "&#10;", "&#13;", "&#32;",  " &nbsp; ", "\t \r\n",
        });
    }

    void Word() {
        out_ += Pick({
            "a",
            "Firewall:",
            "WAN",
            "IP",
            "DNS",
            "Log",
            "01/02/2026",
            "Jan  2 10:00:00",
            "10:00:00",
            "2026-01-02",
            "192.168.1.1",
            "203.0.113.5:4412",
            "[DoS",
            "Attack:",
            "SYN/ACK",
            "Scan]",
            "x&amp;y",
            "&lt;b&gt;",
            "&quot;q&quot;",
            "&eacute;t&eacute;",
            "&copy",
            "&amp",
            "&gt",
            "&notin;",
            "&notit;",
            "&#65;",
            "&#x41;",
            "&#X2003;",
            "&#xA0;",
            "&#128;",
            "&#x85;",
            "&#0;",
            "&#1;",
            "&#x7F;",
            "&#xD800;",
            "&#1114112;",
            "&#xfeff;",
            "&unknown;",
            "&nbsp",
            "&AMP;",
            "&#65",
            "&#x;",
            "&#;",
            "&ampx",
            "&notin",
            "&#13",
            "&#X0D;",
            "&#x2028;",
            "&#x2009;",
            "&#x3000;",
            "&#xAD;",
            "&#x200D;",
            "&#11;",
            "\x0B",
            "&",
            "a&b",
            "<",
            "a < b",
            "a>b",
            "\xC3\xA9",
            "\xE2\x82\xAC",
            "\xF0\x9F\x98\x80",
            "\x01",
            "\x7F",
            "\xC2\x85",
        });
        // Bytes that are not UTF-8, and a NUL, which the parser drops from the body's text.
        if (OneIn(40)) {
            const char* raw[] = {"\xFF", "\xE9t\xE9", "\xC0\xAF", "\x80", "\xE2\x82", "\0"};
            const char* bytes = raw[Below(std::size(raw))];
            out_.append(bytes, std::max<qsizetype>(1, qstrlen(bytes)));
        }
    }

    void Text() {
        for (int i = 0, n = int(Below(4)); i < n; ++i) {
            Space();
            Word();
        }
        Space();
    }

    // A log entry as routers write them, spaced out by tabs or runs of spaces.
    void LogLine() {
        out_ += Pick({"01/02/2026 10:00:00", "Jan 02 10:00:01", "2026-01-02T10:00:02",
                      "Fri Jan 02 10:00:03 2026", "[02/Jan/2026:10:00:04]"});
        out_ += Pick({" ", "  ", "\t", " - "});
        out_ += Pick({"Firewall: DROP", "[DoS Attack: SYN/ACK Scan]", "WAN IP 198.51.100.7",
                      "DNS server 192.0.2.53", "login from 192.168.1.10", "Blocked&nbsp;port 23",
                      "src=203.0.113.5&amp;dst=192.168.1.2", "&lt;30&gt; kernel: up"});
        if (OneIn(3)) {
            out_ += Pick({" ", "\t"});
            out_ += Pick({"from 203.0.113.9:51514", "TCP", "(3 times)", "&#13;", "&#9;x"});
        }
    }

    void LineEnd() { out_ += Pick({"\n", "\n", "\r\n", "\r\n", "\r", "&#10;", "&#13;&#10;"}); }

    void Flow(int depth) {
        if (!Spend() || depth > 6) {
            Text();
            return;
        }
        switch (Below(22)) {
            case 0:
            case 1:
            case 2:
                Text();
                break;
            case 3:
            case 4:
                Pre(depth);
                break;
            case 5:
            case 6:
                BrLines(depth);
                break;
            case 7:
            case 8:
                Table(depth);
                break;
            case 9:
                List(depth);
                break;
            case 10:
                Form(depth);
                break;
            case 11:
                Select();
                break;
            case 12:
                TextArea();
                break;
            case 13:
                Heading(depth);
                break;
            case 14:
                Void();
                break;
            case 15:
            case 16:
                Block(depth);
                break;
            case 17:
            case 18:
                Inline(depth);
                break;
            case 19:
                if (OneIn(2)) {
                    Stray();
                } else {
                    OutOfPlace(depth);
                }
                break;
            case 20:
                Comment();
                break;
            default:
                if (OneIn(4)) {
                    LeftToTheEngine();
                } else {
                    Text();
                }
                break;
        }
    }

    // Content of inline boxes: text and what may stand in a line.
    void Phrasing(int depth) {
        if (!Spend() || depth > 8) {
            Text();
            return;
        }
        switch (Below(10)) {
            case 0:
            case 1:
            case 2:
            case 3:
                Text();
                break;
            case 4:
            case 5:
                Inline(depth);
                break;
            case 6:
                out_ += Pick({"<br>", "<br/>", "<BR>", "<br />", "</br>"});
                break;
            case 7:
                Void();
                break;
            case 8:
                if (OneIn(2)) {
                    Select();
                } else {
                    Button(depth);
                }
                break;
            default:
                Comment();
                break;
        }
    }

    // A log of many entries in one of the shapes routers give it.
    void LongLog() {
        const int lines = 20 + int(Below(100));
        switch (Below(4)) {
            case 0:
                out_ += Open("pre");
                for (int i = 0; i < lines; ++i) {
                    LogLine();
                    LineEnd();
                }
                out_ += Close("pre");
                break;
            case 1:
                out_ += Open("table", " border=1");
                for (int i = 0; i < lines; ++i) {
                    out_ += Open("tr");
                    out_ += Open("td");
                    LogLine();
                    out_ += Close("td");
                    Space();
                    out_ += Close("tr");
                    Space();
                }
                out_ += Close("table");
                break;
            case 2:
                for (int i = 0; i < lines; ++i) {
                    LogLine();
                    Br();
                    Space();
                }
                break;
            default:
                out_ += Open("textarea", " readonly rows=20");
                for (int i = 0; i < lines; ++i) {
                    LogLine();
                    LineEnd();
                }
                out_ += Close("textarea");
                break;
        }
    }

    void Pre(int depth) {
        out_ += Open("pre", OneIn(6) ? QByteArray(" width=80") : QByteArray());
        // The parser drops one line feed right after <pre>.
        if (OneIn(2)) out_ += Pick({"\n", "\r\n", "\r", "\n\n"});
        for (int i = 0, n = int(Below(6)); i < n; ++i) {
            if (OneIn(6)) {
                out_ += Pick({"<b>", "<font color=red>", "<a href=\"/x\">", "<i>", "<span>"});
                LogLine();
                out_ += Pick({"</b>", "</font>", "</a>", "</i>", "</span>", ""});
            } else if (OneIn(8) && depth < 4) {
                Phrasing(depth + 1);
            } else {
                LogLine();
            }
            if (OneIn(10)) out_ += Pick({"  ", "\t", " \t "});
            if (OneIn(8)) {
                out_ += Pick({"<br>", "<br>\n", "<hr>"});
            } else {
                LineEnd();
            }
            if (OneIn(10)) LineEnd();  // an empty line
        }
        if (OneIn(3)) LogLine();
        MaybeClose("pre", 12);
    }

    void Br() {
        out_ += Pick({"<br>", "<br>", "<BR>", "<br/>", "<br />", "</br>", "<br clear=all>"});
    }

    void BrLines(int depth) {
        const bool wrapped = OneIn(2);
        const char* wrapper = Pick({"font", "p", "div", "span", "td", "b", "center", "tt"});
        if (wrapped) {
            out_ += Open(wrapper, QByteArray(wrapper) == "font" ? " face=Arial size=2" : "");
        }
        for (int i = 0, n = 1 + int(Below(6)); i < n; ++i) {
            Space();
            if (OneIn(8) && depth < 5) {
                Phrasing(depth + 1);
            } else {
                LogLine();
            }
            Space();
            Br();
        }
        if (OneIn(3)) {
            Space();
            LogLine();
        }
        if (wrapped) MaybeClose(wrapper);
    }

    QByteArray CellAttributes() {
        QByteArray attributes;
        if (OneIn(6)) attributes += " nowrap";
        if (OneIn(6)) attributes += Pick({" colspan=2", " rowspan=2", " colspan=\"3\""});
        if (OneIn(6)) attributes += Pick({" align=left", " align=center", " valign=top"});
        if (OneIn(8)) attributes += Pick({" width=\"20%\"", " bgcolor=#cccccc", " height=20"});
        return attributes;
    }

    void Cells(int depth) {
        for (int i = 0, n = 1 + int(Below(4)); i < n; ++i) {
            Space();
            if (OneIn(3)) AmongRows();
            const char* cell = OneIn(4) ? "th" : "td";
            out_ += Open(cell, CellAttributes());
            if (OneIn(6) || depth > 4) {
                LogLine();
            } else if (OneIn(4)) {
                Flow(depth + 1);
            } else {
                for (int j = 0, m = int(Below(3)); j < m; ++j) {
                    Space();
                    Phrasing(depth + 1);
                }
            }
            if (OneIn(2)) {
                Space();
                out_ += Close(OneIn(4) ? "th" : "td");
            }
        }
    }

    // What router pages put among a table's rows and cells: a form around them, its hidden fields.
    void AmongRows() {
        switch (Below(9)) {
            case 0:
                out_ += Open("form", " method=post action=\"/apply.cgi\"");
                break;
            case 1:
                out_ += "<input type=hidden name=clear value=1>";
                break;
            case 2:
                out_ += Close("form");
                break;
            case 3:
                out_ += "<!-- row -->";
                break;
            // Moved out in front of the table by the parser.
            case 4:
                out_ += Pick({"&nbsp;", "<br>", "x", "<b>x</b>"});
                break;
            default:
                break;
        }
    }

    void Rows(int depth) {
        for (int i = 0, n = 1 + int(Below(5)); i < n; ++i) {
            Space();
            AmongRows();
            Space();
            // A cell with no row opens one.
            if (!OneIn(10)) out_ += Open("tr", OneIn(6) ? QByteArray(" align=center") : "");
            Cells(depth);
            if (OneIn(2)) {
                Space();
                out_ += Close("tr");
            }
        }
    }

    void Table(int depth) {
        out_ += Open("table", Pick({"", " border=1", " border=\"0\" cellpadding=2 cellspacing=0",
                                    " width=\"100%\"", " align=center", " summary=log"}));
        Space();
        if (OneIn(4)) {
            out_ += Open("caption");
            Phrasing(depth + 1);
            MaybeClose("caption", 4);
            Space();
        }
        if (OneIn(8)) {
            out_ += Pick(
                {"<colgroup><col width=100><col></colgroup>", "<col span=2>", "<colgroup span=3>"});
            Space();
        }
        if (OneIn(2)) {
            for (const char* section : {"thead", "tbody", "tfoot"}) {
                if (OneIn(2)) continue;
                out_ += Open(section);
                Rows(depth);
                MaybeClose(section, 3);
                Space();
            }
        } else {
            Rows(depth);
        }
        Space();
        MaybeClose("table", 10);
    }

    void List(int depth) {
        if (OneIn(4)) {
            out_ += Open("dl", OneIn(4) ? QByteArray(" compact") : "");
            for (int i = 0, n = 1 + int(Below(4)); i < n; ++i) {
                Space();
                out_ += Open(OneIn(2) ? "dt" : "dd");
                Phrasing(depth + 1);
                if (OneIn(2)) out_ += Close(OneIn(2) ? "dt" : "dd");
            }
            MaybeClose("dl");
            return;
        }
        const char* list = OneIn(2) ? "ul" : "ol";
        out_ += Open(list, Pick({"", "", " type=disc", " start=3", " type=a"}));
        for (int i = 0, n = 1 + int(Below(5)); i < n; ++i) {
            Space();
            out_ += Open("li", OneIn(8) ? QByteArray(" value=7") : "");
            if (OneIn(3)) {
                Flow(depth + 1);
            } else {
                Phrasing(depth + 1);
            }
            if (OneIn(2)) out_ += Close("li");
        }
        MaybeClose(list);
    }

    void Hidden() {
        out_ += Pick({"<input type=hidden name=page value=log>",
                      "<input type=\"hidden\" name=\"token\" value=\"a b\">",
                      "<INPUT TYPE=HIDDEN NAME=x>", "<input type=Hidden value=\"01/02/2026\">",
                      "<input name=h type=hidden />"});
    }

    void Form(int depth) {
        out_ += Open("form", Pick({"", " method=post action=\"/apply.cgi\"", " name=f",
                                   " action=/clear.cgi method=GET"}));
        for (int i = 0, n = 1 + int(Below(5)); i < n; ++i) {
            Space();
            switch (Below(7)) {
                case 0:
                case 1:
                    Hidden();
                    break;
                case 2:
                    out_ += Pick({"<input type=submit value=\"Clear Log\">",
                                  "<input type=button value=Refresh>", "<input type=reset>",
                                  "<input type=submit name=apply>"});
                    break;
                case 3:
                    Button(depth);
                    break;
                default:
                    Flow(depth + 1);
                    break;
            }
        }
        MaybeClose("form", 5);
    }

    void Button(int depth) {
        out_ += Open("button", Pick({"", " type=submit", " name=b value=v", " disabled"}));
        Phrasing(depth + 1);
        MaybeClose("button", 8);
    }

    void Select() {
        out_ += Open("select",
                     Pick({"", "", " name=level", " size=3", " multiple", " size=1 disabled"}));
        for (int i = 0, n = int(Below(4)); i < n; ++i) {
            Space();
            if (OneIn(3)) {
                out_ += Open("optgroup", " label=\"Group\"");
                // Often empty: a group of options filled in later, or never.
                for (int j = 0, m = OneIn(2) ? 0 : 1 + int(Below(2)); j < m; ++j) Option();
                if (OneIn(2)) out_ += Close("optgroup");
            } else {
                Option();
            }
        }
        Space();
        out_ += Close("select");
    }

    void Option() {
        Space();
        out_ += Open("option", Pick({"", "", " selected", " value=1", " value=\"all\" selected",
                                     " label=L", " disabled"}));
        Text();
        if (OneIn(2)) out_ += Close("option");
    }

    void TextArea() {
        out_ += Open("textarea", Pick({"", " readonly", " rows=20 cols=80 readonly",
                                       " wrap=off name=log", " rows=\"10\" wrap=\"hard\""}));
        // The parser drops one line feed right after the start tag here too.
        if (OneIn(2)) out_ += Pick({"\n", "\r\n", "\r"});
        for (int i = 0, n = int(Below(5)); i < n; ++i) {
            if (OneIn(5)) {
                Text();
            } else {
                LogLine();
            }
            if (OneIn(8)) out_ += Pick({"<b>", "<br>", "</p>", "&lt;tag&gt;"});
            LineEnd();
        }
        if (OneIn(20)) return;  // unclosed: the rest of the page is the text area's
        out_ += Close("textarea");
    }

    void Heading(int depth) {
        const char* level = Pick({"h1", "h2", "h3", "h4", "h5", "h6"});
        out_ += Open(level, OneIn(4) ? QByteArray(" align=center") : "");
        Phrasing(depth + 1);
        MaybeClose(level);
    }

    void Void() {
        out_ += Pick({
            "<hr>",
            "<hr noshade size=1>",
            "<HR width=\"90%\">",
            "<img src=\"/logo.gif\">",
            "<img src=line.gif alt=\"\">",
            "<img alt=Logo src=/l.png width=10 height=10>",
            "<img align=middle src=a.gif>",
            "<img align=absmiddle src=a.gif border=0>",
            "<img align=top>",
            "<input type=text name=ip value=\"192.168.1.1\" size=15>",
            "<input name=user>",
            "<input type=password name=pw>",
            "<input type=checkbox name=c checked>",
            "<input type=radio name=r value=1>",
            "<input type=\"submit\" value=\"Apply\">",
            "<br>",
            "<br>",
            "<img src=a.gif>\n",
        });
    }

    void Block(int depth) {
        const char* name =
            Pick({"div", "div", "p", "p", "center", "blockquote", "address", "fieldset", "div"});
        out_ += Open(name, OneIn(5) ? QByteArray(Pick({" align=center", " align=left"})) : "");
        if (QByteArray(name) == "fieldset" && OneIn(2)) {
            Space();
            out_ += Open("legend");
            Phrasing(depth + 1);
            MaybeClose("legend", 4);
        }
        for (int i = 0, n = int(Below(4)); i < n; ++i) {
            Space();
            if (OneIn(2)) {
                Flow(depth + 1);
            } else {
                Phrasing(depth + 1);
            }
        }
        // Paragraphs are often left open; the next block closes them.
        MaybeClose(name, QByteArray(name) == "p" ? 2 : 6);
    }

    void Inline(int depth) {
        const char* name =
            Pick({"font", "font", "b",    "i",    "u",    "s", "strike", "em",    "strong", "small",
                  "big",  "tt",   "code", "span", "span", "a", "nobr",   "label", "sup",    "sub"});
        QByteArray attributes;
        if (QByteArray(name) == "font") {
            attributes = Pick(
                {" color=red", " size=2", " face=\"Courier New\"", " color=#000080 size=-1", ""});
        } else if (QByteArray(name) == "a") {
            attributes = Pick({" href=\"/log.htm\"", " name=top", " href=#x target=_blank"});
        }
        out_ += Open(name, attributes);
        for (int i = 0, n = 1 + int(Below(3)); i < n; ++i) {
            if (OneIn(5) && depth < 5) {
                Flow(depth + 1);  // a block inside an inline, as old pages do
            } else {
                Phrasing(depth + 1);
            }
        }
        if (OneIn(5)) return;  // left open
        if (OneIn(6)) {
            // Misnested: another element's end tag comes first.
            out_ += Close(Pick({"b", "i", "font", "p", "a", "div", "td"}));
            Text();
        }
        out_ += Close(name);
    }

    // An element of a table, list or select where it does not belong, with content of its own.
    void OutOfPlace(int depth) {
        const char* name = Pick({"td", "tr", "th", "tbody", "thead", "caption", "li", "dd", "dt",
                                 "option", "optgroup", "legend", "colgroup", "table", "select"});
        out_ += Open(name);
        for (int i = 0, n = int(Below(3)); i < n; ++i) {
            Space();
            Flow(depth + 1);
        }
        MaybeClose(name, 3);
    }

    void Stray() {
        out_ += Pick({
            "</p>",
            "</br>",
            "</td>",
            "</tr>",
            "</table>",
            "</form>",
            "</div>",
            "</li>",
            "</select>",
            "</b>",
            "</a>",
            "</option>",
            "</body>",
            "</html>",
            "</font>",
            "</span>",
            "</pre>",
            "</h1>",
            "</tbody>",
            "</caption>",
            "<p>",
            "<li>",
            "<td>",
            "<tr>",
            "<option>",
            "<dd>",
            "<dt>",
            "<th>",
            "<caption>",
            "<tbody>",
            "<b>x<i>y</b>z</i>",
            "<p>a<div>b</p>c</div>",
            "<a href=/1>a<a href=/2>b</a>",
            "<font><p>x</font>y",
            "<table><tr><td>a</td></tr></table>",
            "<body>",
            "<html lang=en>",
            "<head>",
        });
    }

    void Comment() {
        out_ += Pick({"<!-- c -->", "<!---->", "<!-- </form> -->", "<!-- <p>x</p> -->",
                      "<!--\r\n-->", "<!-- a -- b -->", "<!--->", "<!>", "<!-- Firewall: -->"});
    }

    // Markup the static path is known to leave to the engine; rare, so that most pages are
    // compared.
    void LeftToTheEngine() {
        out_ += Pick({"a<wbr>b", "a\fb", "a\xE2\x80\x8B\nb", "<img align=left src=a.gif>",
                      "<input type=file>", "<x-log>a</x-log>", "<details><summary>s</summary>",
                      "<marquee>m</marquee>", "<option>outside</option>"});
    }

    std::mt19937_64 random_;
    int budget_ = 0;
    QByteArray out_;
};

QByteArray Join(const QList<QByteArray>& pieces) {
    QByteArray joined;
    for (const QByteArray& piece : pieces) joined += piece;
    return joined;
}

// Removes runs of pieces, long runs first, as long as the page still fails.
QList<QByteArray> RemovePieces(QList<QByteArray> pieces,
                               const std::function<bool(const QByteArray&)>& fails, int& tries) {
    for (qsizetype run = pieces.size() / 2; run >= 1; run /= 2) {
        for (bool progress = true; progress && tries > 0;) {
            progress = false;
            for (qsizetype at = 0; at + run <= pieces.size() && tries > 0;) {
                QList<QByteArray> candidate = pieces;
                candidate.remove(at, run);
                --tries;
                if (fails(Join(candidate))) {
                    pieces = std::move(candidate);
                    progress = true;
                } else {
                    at += run;
                }
            }
        }
    }
    return pieces;
}

}  // namespace

QByteArray GenerateStaticPage(std::uint64_t seed) { return PageWriter(seed).Page(); }

QByteArray GeneratedContentType(std::uint64_t seed) {
    // Not the page's own first choice, so that every kind of page comes with every type.
    switch (PageSeed(seed, 0) % 8) {
        case 0:
            return "text/html";
        case 1:
            return "text/html; charset=ISO-8859-1";
        case 2:
            return "text/html;charset=windows-1252";
        default:
            return "text/html; charset=utf-8";
    }
}

QByteArray ShrinkPage(QByteArray page, const std::function<bool(const QByteArray&)>& fails,
                      int maxTries) {
    int tries = maxTries;
    page = Join(RemovePieces(Tokens(page), fails, tries));
    // Then byte by byte, which also trims inside tags and words.
    QList<QByteArray> bytes;
    for (const char c : page) bytes.append(QByteArray(1, c));
    return Join(RemovePieces(bytes, fails, tries));
}

}  // namespace quorvane::testing
