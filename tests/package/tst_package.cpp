#include "router_sim.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString kBuildDir = QStringLiteral(QUORVANE_BUILD_DIR);
const QString kDebVersion = QStringLiteral(QUORVANE_DEB_VERSION);
const QString kBinDir = QStringLiteral("usr/bin/");
const QString kAppArmorProfile = QStringLiteral("usr/share/quorvane/apparmor/quorvane-engine");

struct Run {
    int exitCode = -1;
    QString output;  // stdout
    QString errors;  // stderr
};

Run RunProgram(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(-1)) return {-1, {}, process.errorString()};
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QString Tool(const QString& name) {
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty()) qWarning("%s not found; scripts/deps.sh installs it", qPrintable(name));
    return path;
}

// The fields of the control file as `dpkg-deb --info` prints them, each indented by one blank;
// a continuation line is kept with its field, after a line end.
QHash<QString, QString> ControlFields(const QString& info) {
    QHash<QString, QString> fields;
    QString last;
    for (const QString& line : info.split(u'\n')) {
        static const QRegularExpression field(QStringLiteral("^ ([A-Za-z0-9-]+): (.*)$"));
        if (const auto match = field.match(line); match.hasMatch()) {
            last = match.captured(1);
            fields.insert(last, match.captured(2));
        } else if (!last.isEmpty() && line.startsWith(QLatin1String("  "))) {
            fields[last] += u'\n' + line.mid(2);
        }
    }
    return fields;
}

// The files of a tree, relative to its root, symbolic links included; folders left out.
QSet<QString> FilesUnder(const QString& root) {
    QSet<QString> files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) files.insert(QDir(root).relativeFilePath(it.next()));
    return files;
}

// One path a line, so that a failure shows what differs.
QString Sorted(const QSet<QString>& paths) {
    QStringList list(paths.begin(), paths.end());
    list.sort();
    return list.join(u'\n');
}

// Root may write anywhere, so the program runs as "nobody" when the test runs as root: as a
// user runs a program installed under /usr.
struct OrdinaryUser {
    bool asRoot = ::geteuid() == 0;
    uid_t uid = 65534;
    gid_t gid = 65534;
    OrdinaryUser() {
        if (const passwd* nobody = getpwnam("nobody")) uid = nobody->pw_uid, gid = nobody->pw_gid;
    }
    bool give(const QString& path) const {
        return !asRoot || ::chown(QFile::encodeName(path).constData(), uid, gid) == 0;
    }
};

}  // namespace

// Builds the Debian package as `cmake --build build --target package` does, checks what it holds
// and declares, runs lintian on it, and starts the program unpacked from it against the demo
// router. Needs dpkg-dev, lintian and apt (scripts/deps.sh).
class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir work_;
    QString deb_;
    QString root_;  // the package unpacked
    QHash<QString, QString> control_;
    QSet<QString> contents_;  // paths as in the package, without the leading "./"

    QString unpacked(const QString& path) const { return root_ + u'/' + path; }

private slots:
    void initTestCase() {
        QVERIFY2(work_.isValid(), qPrintable(work_.errorString()));
        for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "lintian"})
            QVERIFY2(!Tool(QLatin1String(tool)).isEmpty(), tool);

        // What the package target runs, into a folder of the test's own.
        const Run cpack = RunProgram(QStringLiteral(QUORVANE_CPACK_COMMAND),
                                     {QStringLiteral("--config"), kBuildDir + "/CPackConfig.cmake",
                                      QStringLiteral("-B"), work_.filePath("cpack")});
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output + cpack.errors));
        const QStringList debs =
            QDir(work_.filePath("cpack")).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        deb_ = work_.filePath("cpack/" + debs.first());
        qInfo("%s: %lld bytes", qPrintable(debs.first()), QFileInfo(deb_).size());

        const Run info = RunProgram(Tool("dpkg-deb"), {QStringLiteral("--info"), deb_});
        QVERIFY2(info.exitCode == 0, qPrintable(info.errors));
        control_ = ControlFields(info.output);
        qInfo("Depends: %s", qPrintable(control_.value(QStringLiteral("Depends"))));

        const Run contents = RunProgram(Tool("dpkg-deb"), {QStringLiteral("--contents"), deb_});
        QVERIFY2(contents.exitCode == 0, qPrintable(contents.errors));
        for (const QString& line : contents.output.split(u'\n', Qt::SkipEmptyParts)) {
            // "-rwxr-xr-x root/root 197936 2026-12-07 20:29 ./usr/bin/quorvane"
            const QStringList columns = line.split(u' ', Qt::SkipEmptyParts);
            QVERIFY2(columns.size() >= 6, qPrintable(line));
            QVERIFY2(columns.at(1) == QLatin1String("root/root"), qPrintable(line));
            if (!line.startsWith(u'd')) contents_.insert(columns.at(5).mid(2));
        }

        root_ = work_.filePath("root");
        const Run unpack = RunProgram(Tool("dpkg-deb"), {QStringLiteral("-x"), deb_, root_});
        QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.errors));
    }

    void controlFields_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        const Run arch = RunProgram(Tool("dpkg"), {QStringLiteral("--print-architecture")});
        QTest::newRow("Package") << "Package"
                                 << "quorvane";
        QTest::newRow("Version") << "Version" << kDebVersion;
        QTest::newRow("Architecture") << "Architecture" << arch.output.trimmed();
        QTest::newRow("Section") << "Section"
                                 << "net";
        QTest::newRow("Priority") << "Priority"
                                  << "optional";
        QTest::newRow("Maintainer") << "Maintainer" << QStringLiteral(QUORVANE_MAINTAINER);
        QTest::newRow("Homepage") << "Homepage" << QStringLiteral(QUORVANE_HOMEPAGE);
        QTest::newRow("Recommends") << "Recommends" << QStringLiteral("qt6-wayland");
    }
    void controlFields() {
        QFETCH(QString, field);
        QFETCH(QString, expected);
        QCOMPARE(control_.value(field), expected);
    }

    // A short description on the field's line, a longer one of several lines after it.
    void description() {
        const QStringList lines = control_.value(QStringLiteral("Description")).split(u'\n');
        QVERIFY2(lines.size() > 3, qPrintable(lines.join(u'\n')));
        QVERIFY(!lines.first().isEmpty() && lines.first().size() < 80);
        QVERIFY(lines.contains(QStringLiteral(".")));  // paragraphs
    }

    // What the installed programs link comes from the archive with them: each library a program
    // needs, by the package that holds it here (whose name changes between releases).
    void dependenciesFromTheLibraries_data() {
        QTest::addColumn<QStringList>("packages");  // any of them will do
        QSet<QString> sonames;
        static const QRegularExpression needed(QStringLiteral("\\(NEEDED\\).*\\[(.+)\\]"));
        for (const QString& file : contents_) {
            const Run elf = RunProgram(Tool("readelf"), {QStringLiteral("-d"), unpacked(file)});
            for (auto it = needed.globalMatch(elf.output); it.hasNext();)
                sonames.insert(it.next().captured(1));
        }
        QVERIFY(sonames.contains(QStringLiteral("libc.so.6")));
        for (const QString& soname : sonames) {
            // "libqt6core6t64:amd64: /usr/lib/x86_64-linux-gnu/libQt6Core.so.6"
            const Run owner = RunProgram(Tool("dpkg"), {QStringLiteral("-S"), "*/" + soname});
            QStringList packages;
            for (const QString& line : owner.output.split(u'\n', Qt::SkipEmptyParts))
                packages << line.section(u':', 0, 0);
            QTest::newRow(qPrintable(soname)) << packages;
        }
    }
    void dependenciesFromTheLibraries() {
        QFETCH(QStringList, packages);
        QVERIFY2(!packages.isEmpty(), "no installed package holds the library");
        const QStringList depends = control_.value(QStringLiteral("Depends")).split(u',');
        const bool listed = std::any_of(depends.begin(), depends.end(), [&](const QString& d) {
            return packages.contains(d.trimmed().section(u' ', 0, 0));
        });
        QVERIFY2(listed, qPrintable(control_.value(QStringLiteral("Depends"))));
    }

    // A program that links Qt WebEngine starts its helper process, which comes in a package of
    // its own beside the library's.
    void webEngineHelperComesAlong() {
        bool linked = false;
        for (const QString& file : contents_) {
            if (!QFileInfo(unpacked(file)).isExecutable()) continue;
            const Run needed = RunProgram(Tool("readelf"), {QStringLiteral("-d"), unpacked(file)});
            linked = linked || needed.output.contains(QLatin1String("libQt6WebEngineCore.so"));
        }
        if (!linked) return;
        QVERIFY2(control_.value(QStringLiteral("Depends"))
                     .contains(QLatin1String("libqt6webenginecore6-bin")),
                 qPrintable(control_.value(QStringLiteral("Depends"))));
    }

    // Every file that the install rules place, under /usr, and Debian's own documentation: a
    // program or helper given an install rule is in the package without more ado.
    void holdsWhatTheBuildInstalls() {
        const QString prefix = work_.filePath("prefix");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DESTDIR"));
        const Run install =
            RunProgram(QStringLiteral(QUORVANE_CMAKE_COMMAND),
                       {QStringLiteral("--install"), kBuildDir, QStringLiteral("--prefix"), prefix},
                       environment);
        QVERIFY2(install.exitCode == 0, qPrintable(install.output + install.errors));
        QSet<QString> expected;
        for (const QString& file : FilesUnder(prefix)) expected.insert("usr/" + file);
        expected.insert(QStringLiteral("usr/share/doc/quorvane/changelog.Debian.gz"));
        expected.insert(kAppArmorProfile);
        QVERIFY(expected.contains(kBinDir + "quorvane"));
        QVERIFY(expected.contains(QStringLiteral("usr/share/doc/quorvane/copyright")));
        QVERIFY(expected.contains(QStringLiteral("usr/share/man/man1/quorvane.1.gz")));
        QCOMPARE(Sorted(contents_), Sorted(expected));
        QCOMPARE(Sorted(FilesUnder(root_)), Sorted(expected));
        QVERIFY(QFileInfo(unpacked(kBinDir + "quorvane")).isExecutable());
    }

    // The engine helper's AppArmor profile parses wherever the parser knows its rules.
    void appArmorProfile() {
        const QString parser = QStandardPaths::findExecutable("apparmor_parser", {"/usr/sbin"});
        if (parser.isEmpty()) QSKIP("no AppArmor parser here (package apparmor)");
        const Run run = RunProgram(parser, {"-Q", "-T", unpacked(kAppArmorProfile)});
        if (run.errors.contains(QLatin1String("abi/4.0")))
            QSKIP("this AppArmor knows no user namespace rule: the package leaves the profile out");
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    }

    // Debian's machine-readable copyright format with the whole licence, and a changelog whose
    // latest entry is this version.
    void debianDocumentation() {
        QFile copyright(unpacked("usr/share/doc/quorvane/copyright"));
        QVERIFY(copyright.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(copyright.readAll());
        QVERIFY(text.startsWith(QStringLiteral(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")));
        QVERIFY(text.contains(QStringLiteral("\nFiles: *\n")));
        QVERIFY(text.contains(QStringLiteral("\nLicense: Expat\n")));
        QFile license(QStringLiteral(QUORVANE_SOURCE_DIR "/LICENSE"));
        QVERIFY(license.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString licenseText = QString::fromUtf8(license.readAll());
        for (const QString& line :
             licenseText.mid(licenseText.indexOf(QLatin1String("Permission"))).split(u'\n'))
            QVERIFY2(text.contains(u'\n' + (line.isEmpty() ? QStringLiteral(" .") : u' ' + line)),
                     qPrintable(line));

        const Run changelog = RunProgram(
            Tool("gzip"),
            {QStringLiteral("-dc"), unpacked("usr/share/doc/quorvane/changelog.Debian.gz")});
        QVERIFY2(changelog.exitCode == 0, qPrintable(changelog.errors));
        QVERIFY2(changelog.output.startsWith("quorvane (" + kDebVersion + ") "),
                 qPrintable(changelog.output.section(u'\n', 0, 0) +
                            " -- add an entry to data/debian/changelog"));
    }

    // No errors; each warning left is explained in the README's packaging section.
    void lintian() {
        const Run lintian = RunProgram(
            Tool("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error"), deb_});
        QVERIFY2(lintian.exitCode == 0, qPrintable(lintian.output + lintian.errors));
        if (!lintian.output.trimmed().isEmpty()) qInfo().noquote() << lintian.output.trimmed();
        QFile readme(QStringLiteral(QUORVANE_SOURCE_DIR "/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString readmeText = QString::fromUtf8(readme.readAll());
        const QString packaging = readmeText.mid(readmeText.indexOf(QLatin1String("## Packaging")));
        static const QRegularExpression warning(QStringLiteral("^W: [^:]+: ([a-z0-9-]+)"),
                                                QRegularExpression::MultilineOption);
        for (auto it = warning.globalMatch(lintian.output); it.hasNext();) {
            const QString tag = it.next().captured(1);
            QVERIFY2(packaging.contains(u'`' + tag + u'`'),
                     qPrintable(tag + " is not explained in the README's Packaging section"));
        }
    }

    // apt finds every dependency in the archive or already installed; nothing is installed.
    void aptCanInstallIt() {
        const Run apt = RunProgram(Tool("apt-get"),
                                   {QStringLiteral("install"), QStringLiteral("--simulate"), deb_});
        QVERIFY2(apt.exitCode == 0, qPrintable(apt.output + apt.errors));
        QVERIFY2(apt.output.contains(QStringLiteral("Inst quorvane ")), qPrintable(apt.output));
    }

    // The program as unpacked from the package, run by a user who cannot write in its folder,
    // reads the demo router, and its copy goes to that user's data folder.
    void unpackedProgramReadsTheDemoRouter() {
        routersim::RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        const OrdinaryUser user;
        const QString home = work_.filePath("home");
        QVERIFY(QDir().mkpath(home + "/run"));
        for (const QString& path : {home, home + "/run"}) QVERIFY(user.give(path));
        QFile::setPermissions(home + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(work_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther);
        // A user's own unpacked copy would be writable; a package's folder is not.
        if (!user.asRoot)
            QVERIFY(QFile::setPermissions(unpacked(kBinDir), QFile::ReadOwner | QFile::ExeOwner));
        const QString driver = work_.filePath("driver.so");
        QVERIFY(QFile::copy(QStringLiteral(QUORVANE_DRIVER_LIBRARY), driver));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("LD_PRELOAD"), driver);
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + "/.local/share");
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + "/run");
        environment.insert(QStringLiteral("QUORVANE_DRIVE_ADDRESS"),
                           QString::fromStdString(sim.host()));
        environment.insert(QStringLiteral("QUORVANE_DRIVE_PORT"), QString::number(sim.port()));
        environment.insert(QStringLiteral("QUORVANE_DRIVE_PASSWORD"), QStringLiteral("demo"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home);
        if (user.asRoot) {
            program.setChildProcessModifier([uid = user.uid, gid = user.gid] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                    ::_exit(126);
            });
        }
        program.start(unpacked(kBinDir + "quorvane"), {});
        QVERIFY2(program.waitForFinished(60'000), "the program did not end");
        QFile::setPermissions(unpacked(kBinDir),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
                 qPrintable(errors.right(4000)));
        const QJsonObject boxes = QJsonDocument::fromJson(program.readAllStandardOutput()).object();

        const QString log = QString::fromStdString(sim.systemLog());
        const QString wanIp = log.section(QStringLiteral("WAN IP is "), 1).section(u'\n', 0, 0);
        QVERIFY(!wanIp.isEmpty());
        QCOMPARE(boxes.value(QStringLiteral("txtWANIP")).toString(), wanIp);
        const QString copy = home + "/.local/share/Quorvane/syslog.txt";
        const QString first = boxes.value(QStringLiteral("txtLog")).toString().section(u'\n', 0, 0);
        QVERIFY2(first.startsWith(unpacked(kBinDir) + "syslog.txt cannot be written (") &&
                     first.endsWith("), so the log is copied to " + copy + "."),
                 qPrintable(first));
        QFile copied(copy);
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QVERIFY(copied.readAll().startsWith("Router log saved on "));
        QVERIFY(!QFile::exists(unpacked(kBinDir + "syslog.txt")));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
