#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>
#include <optional>

#include "engine_at_first_sight.h"
#include "page_text.h"

using quorvane::BodyInnerText;
using quorvane::ContentKind;
using quorvane::DecodePageBytes;
using quorvane::NeedsEngineAtFirstSight;
using quorvane::StaticBodyText;
using quorvane::StaticPageText;

namespace {

const QString kFixtureDir = QStringLiteral(QUORVANE_FIXTURES "/page-text");

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read fixture %s", qPrintable(path));
    return file.readAll();
}

QString PageText(const QByteArray& bytes, const QByteArray& contentType = "text/html") {
    return BodyInnerText(DecodePageBytes(bytes, contentType));
}

// Every line of the text, the last included, ends with CR LF, and no line feed stands alone.
bool HasCrLfLineEnds(const QString& text) {
    if (!text.isEmpty() && !text.endsWith(QLatin1String("\r\n"))) return false;
    for (qsizetype i = text.indexOf(u'\n'); i >= 0; i = text.indexOf(u'\n', i + 1)) {
        if (i == 0 || text[i - 1] != u'\r') return false;
    }
    return true;
}

QString Utf16(std::initializer_list<char16_t> units) {
    return QString(reinterpret_cast<const QChar*>(std::data(units)),
                   static_cast<qsizetype>(units.size()));
}

}  // namespace

class TestPageText : public QObject {
    Q_OBJECT

private slots:
    // The expected texts are document.body.innerText as Chromium renders the same bytes
    // (tools/make-text-fixtures.sh). Two differences are deliberate and accounted for: our text
    // ends with a line end when it holds anything, so that the last log entry has one too, and a
    // textarea's text is included (the generator reads the page with each textarea turned into
    // a <pre> of the same text; see log-textarea.html).
    void rendersAsBrowserDoes_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("expected");
        const QDir dir(kFixtureDir);
        const QFileInfoList pages = dir.entryInfoList({"*.html"}, QDir::Files, QDir::Name);
        QVERIFY2(pages.size() >= 20, qPrintable(kFixtureDir));
        for (const QFileInfo& page : pages) {
            const QString base = page.completeBaseName();
            const QString typeFile = dir.filePath(base + ".content-type");
            const QByteArray contentType =
                QFile::exists(typeFile) ? ReadFile(typeFile).trimmed() : QByteArray("text/html");
            const QString expectedFile = dir.filePath(base + ".txt");
            QVERIFY2(QFile::exists(expectedFile), qPrintable(expectedFile + " is missing"));
            QString expected = QString::fromUtf8(ReadFile(expectedFile));
            if (!expected.isEmpty() && !expected.endsWith(u'\n')) expected += u'\n';
            QTest::newRow(qPrintable(base)) << ReadFile(page.filePath()) << contentType << expected;
        }
    }

    void rendersAsBrowserDoes() {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, expected);
        QString text = PageText(page, contentType);
        QVERIFY2(HasCrLfLineEnds(text), qPrintable(text));
        // Where the static path takes the page, it gives the same text.
        if (const std::optional<QString> staticText = StaticPageText(page, contentType)) {
            QCOMPARE(*staticText, text);
        }
        QVERIFY(!quorvane::IsBinaryBody(page));
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QCOMPARE(text, expected);
    }

    void givesExactLineEnds_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty body") << "<html><body></body></html>"
                                    << "";
        QTest::newRow("white space only") << "<body> \n\t <div>  </div>\n</body>"
                                          << "";
        QTest::newRow("empty document") << ""
                                        << "";
        QTest::newRow("no body tag") << "just text"
                                     << "just text\r\n";
        QTest::newRow("frameset instead of body") << "<frameset><frame src=a></frameset>"
                                                  << "";
        QTest::newRow("last line gets its line end") << "<body>a<br>b</body>"
                                                     << "a\r\nb\r\n";
        QTest::newRow("trailing br is the line end") << "<body>a<br></body>"
                                                     << "a\r\n";
        QTest::newRow("pre keeps its empty lines") << "<body><pre>a\n\nb\n\n</pre></body>"
                                                   << "a\r\n\r\nb\r\n\r\n";
        QTest::newRow("blank line around p") << "<body>x<p>y</p>z</body>"
                                             << "x\r\n\r\ny\r\n\r\nz\r\n";
        QTest::newRow("textarea text kept with its white space")
            << "<body>Log<textarea readonly>\n a  b\nc </textarea>end</body>"
            << "Log\r\n a  b\r\nc \r\nend\r\n";
        QTest::newRow("table row per line, tab per cell")
            << "<table><tr><td>a<td>b<tr><td>c<td></table>"
            << "a\tb\r\nc\t\r\n";
        QTest::newRow("no-break space does not collapse")
            << "<body>&nbsp; a &nbsp;</body>"
            << QString(QChar(0xA0)) + " a " + QChar(0xA0) + "\r\n";
        // The rows below are as the browser engine renders them.
        QTest::newRow("hidden input is not content") << "a <input type=HIDDEN name=x value=1> b"
                                                     << "a b\r\n";
        QTest::newRow("form among a row's cells is hidden")
            << "<table><tr><td>a</td><form><td>b</td></tr></table>"
            << "a\tb\r\n";
        QTest::newRow("form among rows is hidden")
            << "<table><tr><td>a</td></tr><form><tr><td>b</td></tr></table>"
            << "a\r\nb\r\n";
        QTest::newRow("empty option group is a line")
            << "x<select><optgroup label=g></optgroup></select>y"
            << "x\r\ny\r\n";
        QTest::newRow("text area value makes CR a line break")
            << "<textarea>a&#13;b&#13;&#10;c</textarea>"
            << "a\r\nb\r\nc\r\n";
        QTest::newRow("leading U+FEFF from a reference")
            << "&#xfeff;a" << QChar(0xFEFF) + QStringLiteral("a\r\n");
    }

    void givesExactLineEnds() {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(BodyInnerText(html), expected);
    }

    void leavesOutContentThatIsNotRendered_data() {
        QTest::addColumn<QString>("html");
        QTest::newRow("script") << "<body><script>var s='Firewall: x';</script>visible</body>";
        QTest::newRow("script in head") << "<head><script>Firewall:</script></head>visible";
        QTest::newRow("style") << "<body><style>/* Firewall: */</style>visible</body>";
        QTest::newRow("comment") << "<body><!-- Firewall: old entry -->visible</body>";
        QTest::newRow("hidden div") << "<body><div hidden>Firewall: x</div>visible</body>";
        QTest::newRow("hidden row")
            << "<table><tr><td>visible</td></tr><tr hidden><td>Firewall:</td></tr></table>";
        // Chromium shows a hidden option's text in innerText; the hidden attribute wins here.
        QTest::newRow("hidden option")
            << "<select><option>visible<option hidden>Firewall:</select>";
        QTest::newRow("noscript") << "<body><noscript>Firewall:</noscript>visible</body>";
        QTest::newRow("template") << "<body><template>Firewall:</template>visible</body>";
        QTest::newRow("title in body") << "<body><title>Firewall:</title>visible</body>";
        QTest::newRow("closed details") << "<details><summary>visible</summary>Firewall:</details>";
        QTest::newRow("iframe fallback") << "<body><iframe>Firewall:</iframe>visible</body>";
        QTest::newRow("markup inside script")
            << "<body><script>document.write('<div>Firewall:</div>')</script>visible</body>";
    }

    void leavesOutContentThatIsNotRendered() {
        QFETCH(QString, html);
        const QString text = BodyInnerText(html);
        QVERIFY2(!text.contains("Firewall:", Qt::CaseInsensitive), qPrintable(text));
        QVERIFY2(text.contains("visible"), qPrintable(text));
    }

    void decodesAsBrowsersDo_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("expected");
        const QString euro(QChar(0x20AC));
        const QString eAcute(QChar(0xE9));
        QTest::newRow("unlabelled is windows-1252")
            << QByteArray("\x80\xE9") << QByteArray() << euro + eAcute;
        QTest::newRow("latin1 label is windows-1252")
            << QByteArray("\x80") << QByteArray("text/html; charset=latin1") << euro;
        QTest::newRow("us-ascii label is windows-1252")
            << QByteArray("\x80") << QByteArray("text/html;charset=US-ASCII") << euro;
        QTest::newRow("quoted utf8 label")
            << QByteArray("\xE2\x82\xAC") << QByteArray("text/html; charset=\"utf8\"") << euro;
        QTest::newRow("label among other parameters")
            << QByteArray("\xE2\x82\xAC") << QByteArray("text/html; q=1;CHARSET=UTF-8 ") << euro;
        QTest::newRow("utf-8 BOM beats the header")
            << QByteArray("\xEF\xBB\xBF\xE2\x82\xAC") << QByteArray("text/html; charset=latin1")
            << euro;
        QTest::newRow("utf-16be BOM")
            << QByteArray("\xFE\xFF\x20\xAC\x00\x41", 6) << QByteArray() << euro + "A";
        QTest::newRow("utf-16le BOM") << QByteArray("\xFF\xFE\xAC\x20\x41\x00", 6)
                                      << QByteArray("text/html; charset=utf-8") << euro + "A";
        QTest::newRow("utf-16 lone surrogate and odd byte")
            << QByteArray("\xFF\xFE\x00\xD8\x41\x00\x42", 7) << QByteArray()
            << QString(QChar(0xFFFD)) + "A" + QChar(0xFFFD);
        QTest::newRow("header beats meta")
            << QByteArray("<meta charset=utf-8>\xE9") << QByteArray("text/html; charset=cp1252")
            << "<meta charset=utf-8>" + eAcute;
        QTest::newRow("unknown header label falls back to meta")
            << QByteArray("<meta charset=utf-8>\xC3\xA9")
            << QByteArray("text/html; charset=x-unknown") << "<meta charset=utf-8>" + eAcute;
        QTest::newRow("meta http-equiv")
            << QByteArray(
                   "<META HTTP-EQUIV='content-type' CONTENT='text/html;charset=UTF-8'>\xC3\xA9")
            << QByteArray()
            << "<META HTTP-EQUIV='content-type' CONTENT='text/html;charset=UTF-8'>" + eAcute;
        QTest::newRow("meta content without http-equiv is ignored")
            << QByteArray("<meta content='text/html; charset=utf-8'>\xC3\xA9") << QByteArray()
            << "<meta content='text/html; charset=utf-8'>" + QString(QChar(0xC3)) + QChar(0xA9);
        QTest::newRow("meta in a comment is ignored")
            << QByteArray("<!-- <meta charset=utf-8> -->\xC3\xA9") << QByteArray()
            << "<!-- <meta charset=utf-8> -->" + QString(QChar(0xC3)) + QChar(0xA9);
        QTest::newRow("meta in another tag's attribute is ignored")
            << QByteArray("<div title='<meta charset=utf-8>'>\xC3\xA9") << QByteArray()
            << "<div title='<meta charset=utf-8>'>" + QString(QChar(0xC3)) + QChar(0xA9);
        QTest::newRow("meta after 1024 bytes is ignored")
            << QByteArray(1024, ' ') + "<meta charset=utf-8>\xC3\xA9" << QByteArray()
            << QString(1024, u' ') + "<meta charset=utf-8>" + QChar(0xC3) + QChar(0xA9);
        QTest::newRow("meta utf-16 means utf-8")
            << QByteArray("<meta charset=utf-16>\xC3\xA9") << QByteArray()
            << "<meta charset=utf-16>" + eAcute;
        QTest::newRow("unknown meta label is ignored")
            << QByteArray("<meta charset=bogus><meta charset=utf-8>\xC3\xA9") << QByteArray()
            << "<meta charset=bogus><meta charset=utf-8>" + eAcute;
        QTest::newRow("windows-1252 undefined bytes are C1 controls")
            << QByteArray("\x81\x8D\x8F\x90\x9D") << QByteArray()
            << Utf16({0x81, 0x8D, 0x8F, 0x90, 0x9D});
        QTest::newRow("windows-1252 80-9F")
            << QByteArray(
                   "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"
                   "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F")
            << QByteArray("text/html; charset=iso-8859-1")
            << Utf16({0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                      0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178});
        QTest::newRow("invalid utf-8") << QByteArray(
                                              "a\xE9\x80"
                                              "b\xC0\xAF"
                                              "c\xF0\x9F\x98")
                                       << QByteArray("text/html;charset=utf-8")
                                       << Utf16({u'a', 0xFFFD, u'b', 0xFFFD, 0xFFFD, u'c', 0xFFFD});
        QTest::newRow("x-user-defined")
            << QByteArray("a\x80\xFF") << QByteArray("text/html; charset=x-user-defined")
            << Utf16({u'a', 0xF780, 0xF7FF});
        QTest::newRow("replacement encoding hides everything")
            << QByteArray("\x1B$)C<script>") << QByteArray("text/html; charset=iso-2022-kr")
            << QString(QChar(0xFFFD));
        // Found by fuzzing: only the first byte-order mark is the page's; what follows is text.
        QTest::newRow("utf-16be mark twice")
            << QByteArray("\xFE\xFF\xFE\xFF") << QByteArray() << QString(QChar(0xFEFF));
        QTest::newRow("utf-8 text starting with U+FFFE")
            << QByteArray(
                   "\xEF\xBF\xBE"
                   "04/12/2007")
            << QByteArray("text/html; charset=utf-8")
            << QChar(0xFFFE) + QStringLiteral("04/12/2007");
    }

    void keepsALeadingZeroWidthNoBreakSpace() {  // found by fuzzing
        const QString text = QChar(0xFEFF) + QStringLiteral("Firewall:");
        QCOMPARE(BodyInnerText(text), text + QStringLiteral("\r\n"));
    }

    void decodesAsBrowsersDo() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, expected);
        QCOMPARE(DecodePageBytes(bytes, contentType), expected);
    }

    void decodesOtherLegacyEncodings() {
        if (!QStringDecoder("windows-1251").isValid()) {
            QSKIP("this Qt has no windows-1251 converter");
        }
        QCOMPARE(DecodePageBytes("\xC0\xE0", "text/html; charset=cp1251"), Utf16({0x0410, 0x0430}));
    }

    void choosesTheStaticPathOnlyForCheckedMarkup_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("isStatic");
        QTest::newRow("log in pre") << "<pre>01/02/2026 10:00:00  a\nb</pre>" << true;
        QTest::newRow("br lines") << "<p>a<br>\nb<br></p>" << true;
        QTest::newRow("table") << "<table border=1><tr><th>a<td>b</table>" << true;
        QTest::newRow("form, hidden input, button")
            << "<form method=post><input type=hidden name=x><input type=submit value=Clear></form>"
            << true;
        QTest::newRow("select, option group")
            << "<select><optgroup label=g><option>a</select>" << true;
        QTest::newRow("text area") << "<textarea readonly>log</textarea>" << true;
        QTest::newRow("icon link") << "<link rel=icon href=/f.ico>x" << true;
        QTest::newRow("heading, font, rule, image")
            << "<h2>x</h2><font color=red><b>y</b></font><hr><img src=a.gif>" << true;
        QTest::newRow("misnested inline") << "<b><i>x</b>y</i>" << true;
        QTest::newRow("white space the parser takes out of its form") << "<form>\n</form>x" << true;
        QTest::newRow("script") << "<script>x</script>a" << false;
        QTest::newRow("script in svg") << "<svg><script>x</script></svg>a" << false;
        QTest::newRow("event handler") << "<body onload=f()>a" << false;
        QTest::newRow("event handler, upper case") << "<div ONCLICK=f()>a</div>" << false;
        QTest::newRow("style element") << "<style>p{}</style>a" << false;
        QTest::newRow("style attribute") << "<p style=display:none>a</p>" << false;
        QTest::newRow("linked style sheet") << "<link rel=stylesheet href=a.css>a" << false;
        QTest::newRow("style sheet among rel tokens")
            << "<link rel='alternate\tStyleSheet' href=a.css>a" << false;
        QTest::newRow("unchecked element") << "<details><summary>x</summary>y</details>" << false;
        QTest::newRow("unknown element") << "<x-log>a</x-log>" << false;
        QTest::newRow("input of an unchecked type") << "<input type=file>a" << false;
        QTest::newRow("noscript") << "<noscript><p>a</p></noscript>" << false;
        QTest::newRow("hidden body") << "<body hidden>a" << false;
        QTest::newRow("hidden until found") << "<div hidden=until-found>a</div>" << false;
        QTest::newRow("hidden text area") << "<textarea hidden>a</textarea>" << false;
        QTest::newRow("hidden option") << "<select><option hidden>a</select>" << false;
        QTest::newRow("option outside a select") << "<option>a</option>" << false;
        QTest::newRow("floated image") << "a <img align=left> b" << false;
        QTest::newRow("line break opportunity") << "a<wbr>\nb" << false;
        QTest::newRow("form feed") << "a\fb" << false;
        QTest::newRow("zero-width space") << QString("a\n") + QChar(0x200B) + "b" << false;
        QTest::newRow("nobr in pre") << "<pre><nobr> a</nobr></pre>" << false;
        QTest::newRow("element moved out of a table") << "<table><div>a</div></table>" << false;
        QTest::newRow("page cut off in a tag") << "<table><tr><td>a <t" << false;
        QTest::newRow("fieldset's legend first") << "<fieldset> <legend>L</legend> n" << true;
        QTest::newRow("fieldset's legend after text") << "<fieldset>x<legend>L</legend> n" << false;
        QTest::newRow("text that starts with U+FEFF") << "&#xfeff;a" << true;
        QTest::newRow("columns before the rows")
            << "<table><col><tr><td>a<tr><td>b</table>" << true;
        QTest::newRow("columns between rows") << "<table><tr><td>a<col><tr><td>b</table>" << false;
        QTest::newRow("vertical tab in a line") << "a &#11; b" << true;
        QTest::newRow("vertical tab alone between blocks") << "<p>a</p>&#11;<p>b</p>" << false;
        QTest::newRow("vertical tab byte alone first in a block")
            << QString("<div>") + QChar(0x0B) + " </div>" << false;
        QTest::newRow("NUL after a less-than sign") << QString("a<") + QChar(0) + "b" << false;
        QTest::newRow("form's end tag inside a table in the form")
            << "<form hidden><table></form></table><form></form>x" << false;
        // Whether a table closes an open paragraph depends on the quirks mode, which this
        // parser gets wrong for many old doctypes.
        const QString table = "<p>a<table><tr><td>b</table>";
        QTest::newRow("table after a paragraph, no doctype") << table << true;
        QTest::newRow("table after a paragraph, html doctype") << "<!DOCTYPE html>" + table << true;
        QTest::newRow("table after a paragraph, old doctype")
            << "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">" + table << false;
        QTest::newRow("text moved out of a table into a reopened element")
            << "<!DOCTYPE html><p><tt>a</p><table>b" << false;
    }

    void choosesTheStaticPathOnlyForCheckedMarkup() {
        QFETCH(QString, html);
        QFETCH(bool, isStatic);
        const std::optional<QString> text = StaticBodyText(html);
        QCOMPARE(text.has_value(), isStatic);
        if (isStatic) QVERIFY(!NeedsEngineAtFirstSight(html.toUtf8(), "text/html; charset=utf-8"));
        if (text) QCOMPARE(*text, BodyInnerText(html));
    }

    // Where the parser's version decides whether the static path takes a page, it either steps
    // aside or gives the engine's text: gumbo 0.10 moves text written before "</form>" out of the
    // form, 0.13 leaves it in place.
    void staticTextIsTheEnginesOrNothing_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("engineText");
        QTest::newRow("text the parser takes out of its form") << "<form>a</form>b"
                                                               << "a\r\nb\r\n";
    }

    void staticTextIsTheEnginesOrNothing() {
        QFETCH(QString, html);
        QFETCH(QString, engineText);
        if (const std::optional<QString> text = StaticBodyText(html)) QCOMPARE(*text, engineText);
    }

    // The look at the bytes that sends a page straight to the engine agrees with the reader, and
    // text, comments and attribute values that only look like markup do not mislead it.
    void seesTheEngineAtFirstSight_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<bool>("engine");
        const auto row = [](const char* name, const char* page, bool engine,
                            const char* type = "text/html") {
            QTest::newRow(name) << QByteArray(page) << QByteArray(type) << engine;
        };
        row("script", "<p>a<SCRIPT src=x.js></script>", true);
        row("style element", "<style>p{}</style>a", true);
        row("style attribute after a slash", "<p/style=color:red>a", true);
        row("event handler, any case", "<body OnLoad=f()>a", true);
        row("style sheet among rel tokens", "<link rel='alternate\tStyleSheet' href=a.css>a", true);
        row("element never checked", "<p>a<iframe src=b.htm></iframe>", true);
        row("cut off inside a tag", "<p>a</p", true);
        row("XHTML", "<p>a", true, "application/xhtml+xml");
        row("unlabelled windows-1252", "<p>caf\xE9", true);
        row("labelled windows-1252", "<p>caf\xE9", false, "text/html; charset=windows-1252");
        row("words in text", "<p>script, style and onload</p> 1 < 2", false);
        row("markup in a comment", "<!-- <script>x</script> --><p>a", false);
        row("markup in a quoted value", "<p title='<style> onload'>a</p>", false);
        row("icon link", "<link rel=icon href=f.ico>a", false);
        row("text file", "<script>", false, "text/plain");
    }
    void seesTheEngineAtFirstSight() {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, contentType);
        QFETCH(bool, engine);
        QCOMPARE(NeedsEngineAtFirstSight(page, contentType), engine);
        QCOMPARE(StaticPageText(page, contentType).has_value(), !engine);
    }

    void classifiesContentTypes_data() {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<ContentKind>("kind");
        QTest::newRow("missing") << QByteArray() << ContentKind::Html;
        QTest::newRow("html") << QByteArray("text/html") << ContentKind::Html;
        QTest::newRow("html, any case, parameters")
            << QByteArray(" TEXT/HTML ;charset=utf-8") << ContentKind::Html;
        QTest::newRow("xhtml") << QByteArray("application/xhtml+xml") << ContentKind::Html;
        QTest::newRow("not a media type") << QByteArray("html") << ContentKind::Html;
        QTest::newRow("plain") << QByteArray("text/plain; charset=utf-8") << ContentKind::Text;
        QTest::newRow("css") << QByteArray("text/css") << ContentKind::Text;
        QTest::newRow("json") << QByteArray("application/json") << ContentKind::Text;
        QTest::newRow("javascript") << QByteArray("application/javascript") << ContentKind::Text;
        QTest::newRow("xml") << QByteArray("text/xml") << ContentKind::Other;
        QTest::newRow("image") << QByteArray("image/png") << ContentKind::Other;
        QTest::newRow("octet stream")
            << QByteArray("application/octet-stream") << ContentKind::Other;
    }

    void classifiesContentTypes() {
        QFETCH(QByteArray, contentType);
        QFETCH(ContentKind, kind);
        QCOMPARE(quorvane::ClassifyContentType(contentType), kind);
    }

    // A text file reads as a browser shows it; XHTML, types that are not text and bytes whose
    // encoding a browser would have to guess have no static text.
    void readsTextFiles_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("every line end made CR LF")
            << QByteArray("a\r\nb\nc\rd\r\r\ne") << QByteArray("text/plain")
            << std::optional<QString>("a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
        QTest::newRow("markup is text")
            << QByteArray("<b>x</b>  y\n") << QByteArray("application/json")
            << std::optional<QString>("<b>x</b>  y\r\n");
        QTest::newRow("empty") << QByteArray() << QByteArray("text/plain")
                               << std::optional<QString>("");
        QTest::newRow("header charset")
            << QByteArray("\xC3\xA9") << QByteArray("text/plain; charset=utf-8")
            << std::optional<QString>(QChar(0xE9) + QString("\r\n"));
        // A text file's <meta> names nothing, so its encoding is left to the engine's guess.
        QTest::newRow("no meta prescan") << QByteArray("<meta charset=utf-8>\xC3\xA9")
                                         << QByteArray("text/plain") << std::optional<QString>();
        QTest::newRow("no charset named, ASCII")
            << QByteArray("a\tb") << QByteArray("text/plain") << std::optional<QString>("a\tb\r\n");
        QTest::newRow("no charset named, ISO-2022-JP escape")
            << QByteArray("\x1B$B$3$s\x1B(B") << QByteArray("text/plain")
            << std::optional<QString>();
        QTest::newRow("page without a charset, bytes past ASCII")
            << QByteArray("<p>caf\xE9") << QByteArray("text/html") << std::optional<QString>();
        QTest::newRow("page with a <meta> charset, bytes past ASCII")
            << QByteArray("<meta charset=utf-8><p>caf\xC3\xA9") << QByteArray("text/html")
            << std::optional<QString>(QStringLiteral("caf") + QChar(0xE9) + "\r\n");
        QTest::newRow("page with an unknown charset, bytes past ASCII")
            << QByteArray("<p>caf\xE9") << QByteArray("text/html; charset=x-none")
            << std::optional<QString>();
        QTest::newRow("byte-order mark beats the header")
            << QByteArray(
                   "\xFF\xFE"
                   "a\x00\n\x00",
                   6)
            << QByteArray("text/plain; charset=latin1") << std::optional<QString>("a\r\n");
        QTest::newRow("xhtml") << QByteArray("<p>a</p>") << QByteArray("application/xhtml+xml")
                               << std::optional<QString>();
        QTest::newRow("image") << QByteArray("a") << QByteArray("image/gif")
                               << std::optional<QString>();
    }

    void readsTextFiles() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(StaticPageText(body, contentType), expected);
    }

    void recognisesBinaryBodies_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("binary");
        QRandomGenerator random(20070412);
        QByteArray junk = "<html><body>";
        while (junk.size() < 600) junk += char(random.bounded(256));
        const QByteArray line = "01/02/2026 10:00:00  DHCP lease to host \x01\x1B[1m\n";
        QTest::newRow("page") << QByteArray("<html><body>x") << false;
        QTest::newRow("random bytes after a page start") << junk << true;
        QTest::newRow("gzip") << QByteArray("\x1F\x8B\x08\x00\x00\x00\x00\x00", 8) << true;
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1A\n\x00\x00\x00\rIHDR", 16) << true;
        QTest::newRow("utf-16 without byte-order mark") << QByteArray("a\0b\0c\0", 6) << true;
        QTest::newRow("utf-16 byte-order mark") << QByteArray(
                                                       "\xFF\xFE"
                                                       "a\0b\0c\0",
                                                       8)
                                                << false;
        QTest::newRow("a control character in some log lines") << line.repeated(8) << false;
        QTest::newRow("binary bytes past 512")
            << QByteArray(512, 'a') + QByteArray(64, '\0') << false;
    }

    void recognisesBinaryBodies() {
        QFETCH(QByteArray, body);
        QFETCH(bool, binary);
        QCOMPARE(quorvane::IsBinaryBody(body), binary);
    }

    void survivesDeepNesting_data() {
        QTest::addColumn<QString>("open");
        // Spans nest as written. Table, row and cell nest four elements per level, and the
        // parser's own recursive clean-up of such a tree overflows the stack.
        QTest::newRow("spans") << "<span>";
        QTest::newRow("tables") << "<table><tr><td>";
    }

    void survivesDeepNesting() {
        QFETCH(QString, open);
        QString html = "<body>";
        html.reserve(html.size() + 100000 * open.size() + 16);
        for (int i = 0; i < 100000; ++i) html += open;
        html += "deep";
        QCOMPARE(BodyInnerText(html), QString("deep\r\n"));
    }

    void survivesHostileBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("contentType");
        QRandomGenerator random(20240102);
        QByteArray garbage(256 * 1024, Qt::Uninitialized);
        for (char& byte : garbage) byte = static_cast<char>(random.bounded(256));
        QByteArray markupGarbage;
        const char* pieces[] = {"<",    ">",   "</",       "<!--", "-->",        "&",
                                "&#",   ";",   "\0",       "<td>", "<table>",    "<pre>",
                                "<br>", "<p>", "\xC3",     "\xFF", "<textarea>", "<meta charset=",
                                "\"",   "'",   "<script>", "\n",   "<svg>"};
        for (int i = 0; i < 50000; ++i) {
            const char* piece = pieces[random.bounded(int(std::size(pieces)))];
            markupGarbage.append(piece, qMax<qsizetype>(1, qstrlen(piece)));
        }
        QByteArray allBytes;
        for (int i = 0; i < 256; ++i) allBytes.append(static_cast<char>(i));
        for (const QByteArray& type :
             {QByteArray(), QByteArray("text/html; charset=utf-8"),
              QByteArray("text/html; charset=utf-16le"), QByteArray("text/html; charset=sjis")}) {
            QTest::newRow(("random bytes " + type).constData()) << garbage << type;
            QTest::newRow(("random markup " + type).constData()) << markupGarbage << type;
            QTest::newRow(("every byte " + type).constData()) << allBytes << type;
        }
        QTest::newRow("truncated meta") << QByteArray("<meta charset=\"utf-8") << QByteArray();
        QTest::newRow("unclosed comment") << QByteArray("<body>a<!-- b") << QByteArray();
        QTest::newRow("NUL bytes") << QByteArray("<body>a\0b<pre>\0</pre>", 22) << QByteArray();
    }

    void survivesHostileBytes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, contentType);
        const QString text = PageText(bytes, contentType);
        QVERIFY(HasCrLfLineEnds(text));
        QVERIFY(!text.contains(QChar(0)));
    }

    void keepsEveryLineOfALargeLog() {
        // About 16 MiB of log: each entry must come out on its own line, in order.
        const QByteArray entry =
            "01/02/2024 10:11:12  Firewall: TCP packet dropped from 203.0.113.7 to 192.0.2.1<br>\n";
        const int count = 16 * 1024 * 1024 / int(entry.size());
        QByteArray page = "<html><body>";
        page.reserve(count * entry.size() + 64);
        for (int i = 0; i < count; ++i) page += entry;
        page += "last entry</body></html>";
        const QString text = PageText(page);
        QCOMPARE(text.count(QLatin1String("\r\n")), count + 1);
        QVERIFY(text.startsWith("01/02/2024 10:11:12 Firewall: TCP packet dropped"));
        QVERIFY(text.endsWith("192.0.2.1\r\nlast entry\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_page_text.moc"
