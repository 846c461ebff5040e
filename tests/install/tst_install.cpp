#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// The reverse-DNS id under which desktops and software centres know the application.
const QString kAppId = QStringLiteral("org.quorvane.Quorvane");
const QString kExecutable = QStringLiteral(QUORVANE_EXECUTABLE_NAME);
const QString kVersion = QStringLiteral(QUORVANE_VERSION);

const QString kDesktopFile = QStringLiteral("share/applications/%1.desktop").arg(kAppId);
const QString kMetainfoFile = QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId);
const QString kScalableIcon =
    QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId);

QString PngIcon(int size) {
    return QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
}

struct Run {
    int exitCode = -1;
    QString output;
};

// Runs a program to its end; stdout and stderr are kept together for the failure message.
Run RunProgram(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(-1)) return {-1, process.errorString()};
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromLocal8Bit(process.readAll())};
}

// The key/value pairs of the [Desktop Entry] group of a desktop entry file.
QHash<QString, QString> DesktopEntry(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QHash<QString, QString> entry;
    bool inEntryGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            inEntryGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inEntryGroup && equals > 0)
            entry.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return entry;
}

// The first text and attributes of each element of an XML file, keyed by the element's path
// ("component/releases/release") and, for attributes, path and name ("component/launchable@type").
// The first release listed is the latest one.
QHash<QString, QString> FirstValues(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    QHash<QString, QString> values;
    QStringList elements;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            elements.append(xml.name().toString());
            const QString elementPath = elements.join(u'/');
            for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                const QString key = elementPath + u'@' + attribute.name().toString();
                if (!values.contains(key)) values.insert(key, attribute.value().toString());
            }
        } else if (xml.isEndElement()) {
            elements.removeLast();
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            const QString elementPath = elements.join(u'/');
            if (!values.contains(elementPath))
                values.insert(elementPath, xml.text().toString().trimmed());
        }
    }
    if (xml.hasError()) *error = xml.errorString();
    return values;
}

}  // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void standardPlaces_data();
    void standardPlaces();
    void programIsExecutable();
    void iconIsDrawnAtItsSize_data();
    void iconIsDrawnAtItsSize();
    void scalableIconIsSvg();
    void launcherValidates();
    void metainfoValidates();
    void launcherNamesProgramIconAndVersion_data();
    void launcherNamesProgramIconAndVersion();
    void metainfoNamesLauncherProgramAndVersion_data();
    void metainfoNamesLauncherProgramAndVersion();

private:
    QString Installed(const QString& relative) const { return m_prefix.filePath(relative); }
    void validate(const QString& tool, const QString& package, const QStringList& arguments);

    QTemporaryDir m_prefix;
};

void InstallTest::initTestCase() {
    QVERIFY2(m_prefix.isValid(), qPrintable(m_prefix.errorString()));
    // A DESTDIR from the caller's environment would send the files elsewhere.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESTDIR"));
    const Run install = RunProgram(QStringLiteral(QUORVANE_CMAKE_COMMAND),
                                   {QStringLiteral("--install"), QStringLiteral(QUORVANE_BUILD_DIR),
                                    QStringLiteral("--prefix"), m_prefix.path()},
                                   environment);
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
}

void InstallTest::standardPlaces_data() {
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("program") << QStringLiteral("bin/") + kExecutable;
    QTest::newRow("page reader") << QStringLiteral("libexec/quorvane/quorvane-page-reader");
    QTest::newRow("launcher") << kDesktopFile;
    QTest::newRow("metainfo") << kMetainfoFile;
    QTest::newRow("scalable icon") << kScalableIcon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dpx icon", size) << PngIcon(size);
}

void InstallTest::standardPlaces() {
    QFETCH(QString, relativePath);
    const QFileInfo file(Installed(relativePath));
    QVERIFY2(file.isFile(), qPrintable(relativePath + QStringLiteral(" is missing")));
    QVERIFY2(file.size() > 0, qPrintable(relativePath + QStringLiteral(" is empty")));
}

void InstallTest::programIsExecutable() {
    QVERIFY(QFileInfo(Installed(QStringLiteral("bin/") + kExecutable)).isExecutable());
    QVERIFY(QFileInfo(Installed(QStringLiteral("libexec/quorvane/quorvane-page-reader")))
                .isExecutable());
}

void InstallTest::iconIsDrawnAtItsSize_data() {
    QTest::addColumn<int>("size");
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) QTest::addRow("%dpx", size) << size;
}

// A theme directory promises its size; an icon of another size there is scaled by the desktop and
// blurs. The background must stay transparent on any panel.
void InstallTest::iconIsDrawnAtItsSize() {
    QFETCH(int, size);
    QImageReader reader(Installed(PngIcon(size)));
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void InstallTest::scalableIconIsSvg() {
    QFile file(Installed(kScalableIcon));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    QXmlStreamReader xml(&file);
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name(), QLatin1String("svg"));
    QCOMPARE(xml.namespaceUri(), QLatin1String("http://www.w3.org/2000/svg"));
    QVERIFY(xml.attributes().hasAttribute(QStringLiteral("viewBox")));
    while (!xml.atEnd()) xml.readNext();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
}

void InstallTest::validate(const QString& tool, const QString& package,
                           const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    QVERIFY2(!program.isEmpty(),
             qPrintable(tool + QStringLiteral(" not found; install the package ") + package));
    const Run run = RunProgram(program, arguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    if (!run.output.trimmed().isEmpty()) qInfo().noquote() << run.output.trimmed();
}

void InstallTest::launcherValidates() {
    validate(QStringLiteral("desktop-file-validate"), QStringLiteral("desktop-file-utils"),
             {Installed(kDesktopFile)});
}

void InstallTest::metainfoValidates() {
    validate(QStringLiteral("appstreamcli"), QStringLiteral("appstream"),
             {QStringLiteral("validate"), QStringLiteral("--no-net"), Installed(kMetainfoFile)});
}

void InstallTest::launcherNamesProgramIconAndVersion_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    // Exec must start the installed program by the name it has in bin/, without field codes: the
    // program takes no command line.
    QTest::newRow("program") << QStringLiteral("Exec") << kExecutable;
    QTest::newRow("icon") << QStringLiteral("Icon") << kAppId;
    QTest::newRow("version") << QStringLiteral("X-Quorvane-Version") << kVersion;
    // One main category, so that no menu lists the program twice.
    QTest::newRow("categories") << QStringLiteral("Categories")
                                << QStringLiteral("Network;Monitor;");
}

void InstallTest::launcherNamesProgramIconAndVersion() {
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QHash<QString, QString> entry = DesktopEntry(Installed(kDesktopFile));
    QVERIFY2(entry.contains(key), qPrintable(key + QStringLiteral(" is missing")));
    QCOMPARE(entry.value(key), expected);
}

void InstallTest::metainfoNamesLauncherProgramAndVersion_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("id") << QStringLiteral("component/id") << kAppId;
    QTest::newRow("launcher") << QStringLiteral("component/launchable")
                              << kAppId + QStringLiteral(".desktop");
    QTest::newRow("program") << QStringLiteral("component/provides/binary") << kExecutable;
    QTest::newRow("latest release")
        << QStringLiteral("component/releases/release@version") << kVersion;
    QTest::newRow("homepage") << QStringLiteral("component/url")
                              << QStringLiteral(QUORVANE_HOMEPAGE);
    QTest::newRow("screenshot") << QStringLiteral("component/screenshots/screenshot/image")
                                << QStringLiteral(QUORVANE_HOMEPAGE "screenshots/quorvane.png");
}

void InstallTest::metainfoNamesLauncherProgramAndVersion() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QString error;
    const QHash<QString, QString> values = FirstValues(Installed(kMetainfoFile), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(values.contains(path), qPrintable(path + QStringLiteral(" is missing")));
    QCOMPARE(values.value(path), expected);
}

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
