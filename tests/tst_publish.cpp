// The operators' publisher: what it refuses to publish, and what a second run reports.

#include "publish/site.h"
#include "publish/source_folder.h"
#include "support/records.h"
#include "support/test_env.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {

// False also when the system stored the file under another name (Windows takes a backslash as a
// separator and refuses ':' and control characters).
bool write(const QDir &dir, const QString &relative, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(dir.filePath(relative)).path());
    QFile file(dir.filePath(relative));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
           && dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).contains(relative.section('/', 0, 0));
}

}  // namespace

class TestPublish : public QObject {
    Q_OBJECT

private slots:
    void refusals_name_the_skin_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("metadata");
        QTest::addColumn<QString>("refusal");  // empty: the folder is published

        const QStringList skin{"a.pak", "a.sig"};
        QTest::newRow("sound folder") << QStringList{"a.pak", "a.sig", "a.png=ok", "sub dir/星 b.pak",
                                                     "sub dir/星 b.sig"}
                                      << QByteArray(R"({"a.pak": {"name": "甲", "skin_id": -3}})") << QString();
        QTest::newRow("no .sig") << QStringList{"a.pak"} << QByteArray() << "a.pak: no a.sig beside it";
        QTest::newRow("same names but case") << QStringList{"x/a.pak", "x/a.sig", "y/A.pak", "y/A.sig"} << QByteArray()
                                             << "y/A.pak: A.pak installs as the same";
        QTest::newRow("upper-case suffix")
            << QStringList{"a.PAK", "a.sig"} << QByteArray() << "a.PAK: the program installs only";
        // A device name as a file would open the device on Windows: the rule is the same for categories.
        QTest::newRow("device name") << skin << QByteArray(R"({"a.pak": {"MainCategory": "COM1"}})")
                                     << "a.pak: MainCategory \"COM1\"";
        QTest::newRow("colon") << QStringList{"a:b.pak", "a:b.sig"} << QByteArray() << "a:b.pak: file name";
        QTest::newRow("control character")
            << skin << QByteArray(R"({"a.pak": {"subcategory": "a\u0009b"}})") << "a.pak: subcategory \"a\tb\"";
        QTest::newRow("backslash") << QStringList{"a\\b.pak", "a\\b.sig"} << QByteArray() << "a\\b.pak: file name";
        QTest::newRow("ampersand") << QStringList{"a&b.pak", "a&b.sig"} << QByteArray() << "a&b.pak: file name";
        QTest::newRow("category ..") << skin << QByteArray(R"({"a.pak": {"MainCategory": ".."}})")
                                     << "a.pak: MainCategory \"..\"";
        QTest::newRow("category with /") << skin << QByteArray(R"({"a.pak": {"subcategory": "x/y"}})")
                                         << "a.pak: subcategory \"x/y\"";
        QTest::newRow("fractional rank") << skin << QByteArray(R"({"a.pak": {"skin_id": 1.5}})")
                                         << "a.pak: \"skin_id\" must be a whole number, not 1.5";
        QTest::newRow("rank as text") << skin << QByteArray(R"({"a.pak": {"MainCategory_ranking_id": "7"}})")
                                      << "a.pak: \"MainCategory_ranking_id\" must be a whole number";
        QTest::newRow("same display name") << QStringList{"a.pak", "a.sig", "b.pak", "b.sig"}
                                           << QByteArray(R"({"a.pak": {"name": "x"}, "b.pak": {"name": "x"}})")
                                           << "b.pak: \"name\" \"x\" is also the name of a.pak";
        QTest::newRow("cover not an image")
            << QStringList{"a.pak", "a.sig", "a.jpg=html"} << QByteArray() << "a.pak: cover a.jpg does not decode";
        QTest::newRow("cover too wide") << QStringList{"a.pak", "a.sig", "a.png=wide"} << QByteArray()
                                        << "a.pak: cover a.png does not decode";
        QTest::newRow("metadata not JSON") << skin << QByteArray("{\"a.pak\": ") << "skins.json: not a JSON object";
    }
    void refusals_name_the_skin()
    {
        QFETCH(QStringList, files);
        QFETCH(QByteArray, metadata);
        QFETCH(QString, refusal);
        QTemporaryDir folder;
        const QMap<QString, QByteArray> covers{{"ok", png_bytes(solid_image(300, 200, Qt::gray))},
                                               {"html", "<html>"},
                                               {"wide", png_bytes(solid_image(8193, 1, Qt::gray))}};
        for (const QString &file : files) {
            const QString kind = file.section('=', 1);
            if (!write(QDir(folder.path()), file.section('=', 0, 0), kind.isEmpty() ? file.toUtf8() : covers[kind]))
                QSKIP("this platform cannot hold the name");
        }
        if (!metadata.isEmpty())
            QVERIFY(write(QDir(folder.path()), METADATA_FILE, metadata));

        const SourceFolder source = read_source_folder(folder.path());
        if (refusal.isEmpty())
            QVERIFY2(source.refusals.isEmpty() && source.skins.size() == 2, qPrintable(source.refusals.join('\n')));
        else
            QVERIFY2(source.refusals.size() == 1 && source.refusals.first().startsWith(refusal),
                     qPrintable(source.refusals.join('\n')));
    }

    void second_run_reports_changes_and_drops_old_files()
    {
        QTemporaryDir source, site;
        for (const char *file : {"a.pak", "a.sig", "b.pak", "b.sig"})
            QVERIFY(write(QDir(source.path()), file, file));
        // Given relative, as an operator types it.
        const SiteOptions options{QDir::current().relativeFilePath(site.path()), "https://localhost:1", {}, {}, {}};
        QVERIFY(publish_site(read_source_folder(source.path()), options).error.isEmpty());
        QVERIFY(write(QDir(source.path()), "b.pak", "new bytes"));
        QVERIFY(QFile::remove(source.filePath("a.pak")) && QFile::remove(source.filePath("a.sig")));
        const Outcome<PublishReport> report = publish_site(read_source_folder(source.path()), options);
        QVERIFY(report->added.isEmpty());
        QCOMPARE(report->changed, QStringList{"b"});
        QCOMPARE(report->removed, QStringList{"a"});
        QFile catalogue(site.filePath("catalog.json"));
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        const QJsonObject b = QJsonDocument::fromJson(catalogue.readAll()).array().first().toObject();
        QCOMPARE(b.value("pak_sha256").toString(),
                 QCryptographicHash::hash("new bytes", QCryptographicHash::Sha256).toHex());
        QVERIFY(!QFile::exists(site.filePath("skins/未分类/其他/a.pak")));
        QVERIFY(QFile::exists(site.filePath("skins/未分类/其他/b.pak")));
    }
};

ZORBEL_TEST_MAIN(TestPublish)
#include "tst_publish.moc"
