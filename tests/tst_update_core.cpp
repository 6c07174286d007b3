// Self-update pieces that need no window: version order, the version record, the swap
// script and its bytes, the download's file name and progress text, the checksum and
// signature of the new program file.

#include "support/test_env.h"
#include "support/test_server.h"
#include "update/update_download.h"
#include "update/update_integrity.h"
#include "update/program_name.h"
#include "update/update_script.h"
#include "update/update_statement.h"
#include "update/version.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QThread>

#include <thread>

#ifdef Q_OS_WIN
#include "gamedir/process_list.h"

#include <QDir>
#include <QProcess>

#include <windows.h>
#endif

#include <sodium.h>

namespace {

struct KeyPair {
    QByteArray public_key;
    QByteArray secret_key;
};

KeyPair key_pair(char seed_byte)
{
    const QByteArray seed(crypto_sign_SEEDBYTES, seed_byte);
    KeyPair pair{QByteArray(crypto_sign_PUBLICKEYBYTES, '\0'), QByteArray(crypto_sign_SECRETKEYBYTES, '\0')};
    crypto_sign_seed_keypair(reinterpret_cast<unsigned char *>(pair.public_key.data()),
                             reinterpret_cast<unsigned char *>(pair.secret_key.data()),
                             reinterpret_cast<const unsigned char *>(seed.constData()));
    return pair;
}

QString signature_of(const QByteArray &content, const KeyPair &pair)
{
    // The publisher signs the statement of version, file name and digest, never the file.
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(content.constData()),
                         static_cast<unsigned long long>(content.size()),
                         reinterpret_cast<const unsigned char *>(pair.secret_key.constData()));
    return QString::fromLatin1(signature.toBase64());
}

}  // namespace

class TestUpdateCore : public QObject {
    Q_OBJECT

private slots:
    void versions_compare_as_texts_data()
    {
        QTest::addColumn<QString>("latest");
        QTest::addColumn<bool>("newer");
        QTest::newRow("1.2") << "1.2" << true;
        QTest::newRow("1.10") << "1.10" << true;
        QTest::newRow("1.1.1") << "1.1.1" << true;
        QTest::newRow("2") << "2" << true;
        QTest::newRow("10.0") << "10.0" << true;
        QTest::newRow("same") << "1.1" << false;
        QTest::newRow("1.09") << "1.09" << false;
        QTest::newRow("1.0") << "1.0" << false;
        QTest::newRow("0.9") << "0.9" << false;
        QTest::newRow("empty") << "" << false;
    }
    void versions_compare_as_texts()
    {
        QFETCH(QString, latest);
        QFETCH(bool, newer);
        QCOMPARE(is_newer_version(latest), newer);
    }

    void characters_beyond_the_bmp_order_by_code_point()
    {
        // U+1F600 is stored as a surrogate pair (0xD83D...), below U+FF10 as UTF-16 units.
        QVERIFY(is_newer_version(QStringLiteral("1.\U0001F600"), QStringLiteral("1.\uFF10")));
        QVERIFY(!is_newer_version(QStringLiteral("1.\uFF10"), QStringLiteral("1.\U0001F600")));
    }

    void version_value_must_be_text()
    {
        const QJsonObject record =
            QJsonDocument::fromJson(R"({"RIzured版本": 1.2, "RIzured下载地址": null, "text": "1.3", "list": ["1.4"]})")
                .object();
        const Outcome<QString> number = read_text_value(record, VERSION_KEY);
        QVERIFY(!number.ok());
        QVERIFY2(number.error.contains(QStringLiteral("1.2")), qPrintable(number.error));
        QVERIFY(!read_text_value(record, QStringLiteral("list")).ok());

        const Outcome<QString> null = read_text_value(record, DOWNLOAD_URL_KEY);
        QVERIFY(null.ok());
        QCOMPARE(null.value, QString());
        const Outcome<QString> absent = read_text_value(record, QStringLiteral("absent"));
        QVERIFY(absent.ok());
        QCOMPARE(absent.value, QString());
        const Outcome<QString> text = read_text_value(record, QStringLiteral("text"));
        QVERIFY(text.ok());
        QCOMPARE(text.value, QStringLiteral("1.3"));
    }

    void script_text_has_the_ten_lines_with_crlf()
    {
        const QString exe = QStringLiteral("C:\\Program Files\\Zorbel Skins\\zorbel-skins.exe");
        const QString fresh = QStringLiteral("D:\\My Downloads 100%\\zorbel skins 1.2.exe");
        const QString bat = QStringLiteral("C:\\Program Files\\Zorbel Skins\\update.bat");
        const QString expected =
            QStringLiteral("\r\n"
                           "@echo off\r\n"
                           "timeout /t 1 /nobreak >nul\r\n"
                           "taskkill /F /IM \"zorbel-skins.exe\" >nul 2>&1\r\n"
                           "start \"\" \"D:\\My Downloads 100%%\\zorbel skins 1.2.exe\"\r\n"
                           "timeout /t 3 /nobreak >nul\r\n"
                           "del /F /Q \"C:\\Program Files\\Zorbel Skins\\zorbel-skins.exe\" >nul 2>&1\r\n"
                           "timeout /t 1 /nobreak >nul\r\n"
                           "del /F /Q \"C:\\Program Files\\Zorbel Skins\\update.bat\" >nul 2>&1\r\n"
                           "exit\r\n");
        const QString text = update_script_text(exe, fresh, bat);
        QCOMPARE(text, expected);
        QCOMPARE(text.count(QStringLiteral("\r\n")), 10);
        QCOMPARE(text.count(QLatin1Char('\n')), 10);  // no bare line feeds
    }

    void script_bytes_use_the_code_page()
    {
        const QString text =
            update_script_text(QStringLiteral("C:\\游戏 工具\\旧版.exe"), QStringLiteral("C:\\下载\\新版.exe"),
                               QStringLiteral("C:\\游戏 工具\\update.bat"));
        QTextCodec *gbk = QTextCodec::codecForName("GBK");
        QVERIFY(gbk);
        const std::optional<QByteArray> bytes = encode_script(text, gbk);
        QVERIFY(bytes);
        QVERIFY(bytes->startsWith("\r\n@echo off\r\n"));
        QVERIFY(bytes->contains("taskkill /F /IM \"\xbe\xc9\xb0\xe6.exe\" >nul 2>&1\r\n"));  // 旧版 in GBK
        QVERIFY(!bytes->contains(QStringLiteral("旧版").toUtf8()));
        QVERIFY(bytes->endsWith("exit\r\n"));
    }

#ifdef Q_OS_WIN
    // cmd reads the script in the console's code page and expands "%": in a Chinese
    // system (936) and in a Western one (ANSI 1252, OEM 850) alike, the script must name
    // the real files, or nothing would be replaced. Run in both locales (tests/CMakeLists.txt).
    void script_replaces_the_program_in_folders_cmd_must_read_back_data()
    {
        QTest::addColumn<QString>("folder_name");
        QTest::newRow("Chinese with a space") << QStringLiteral("皮肤 管理器");
        QTest::newRow("accent and percent") << QStringLiteral("Spiele é 100%");
    }
    void script_replaces_the_program_in_folders_cmd_must_read_back()
    {
        QFETCH(QString, folder_name);
        QTemporaryDir tmp;
        const QString folder = tmp.filePath(folder_name);
        QVERIFY(QDir().mkpath(folder));
        const QString exe = QDir::toNativeSeparators(folder + QStringLiteral("/old-version.exe"));
        const QString fresh = QDir::toNativeSeparators(folder + QStringLiteral("/new-version.exe"));
        const QString bat = QDir::toNativeSeparators(folder + QStringLiteral("/update.bat"));
        QVERIFY(QFile::copy(waiting_program(), exe));
        QVERIFY(QFile::copy(waiting_program(), fresh));
        const Outcome<void> written = write_update_script(exe, fresh, bat);
        QVERIFY2(written.ok(), qPrintable(written.error));

        QProcess cmd;
        cmd.start(QStringLiteral("cmd.exe"), {QStringLiteral("/c"), bat});
        QVERIFY(cmd.waitForFinished(60000));
        QVERIFY(!QFile::exists(exe));
        QVERIFY(!QFile::exists(bat));
        QVERIFY(QFile::exists(fresh));
        const auto started = [&fresh] {
            for (const ProcessInfo &process : list_processes().value)
                if (QFileInfo(process.exe_path) == QFileInfo(fresh))
                    return true;
            return false;
        };
        bool fresh_started = false;
        QTRY_VERIFY_WITH_TIMEOUT(fresh_started = started(), 10000);
        QProcess::execute(QStringLiteral("taskkill"),
                          {QStringLiteral("/F"), QStringLiteral("/IM"), QStringLiteral("new-version.exe")});
    }
#endif

    void cmd_reads_back_only_what_its_code_page_holds()
    {
        QTextCodec *western = QTextCodec::codecForName("windows-1252");
        QTextCodec *gbk = QTextCodec::codecForName("GBK");
        QVERIFY(cmd_reads_back(QStringLiteral("C:\\Spiele 100%\\x.exe"), western, false));
        QVERIFY(!cmd_reads_back(QStringLiteral("C:\\Spiele é\\x.exe"), western, false));  // 1252 vs 850
        QVERIFY(cmd_reads_back(QStringLiteral("C:\\Spiele é\\x.exe"), western, true));
        QVERIFY(cmd_reads_back(QStringLiteral("C:\\游戏\\x.exe"), gbk, true));
        QVERIFY(!cmd_reads_back(QStringLiteral("C:\\游戏\\x.exe"), western, true));
    }

    void script_with_characters_outside_the_code_page_is_refused()
    {
        QTextCodec *latin1 = QTextCodec::codecForName("ISO-8859-1");
        const QString text =
            update_script_text(QStringLiteral("C:\\Spiele\\alt.exe"), QStringLiteral("C:\\下载\\neu.exe"),
                               QStringLiteral("C:\\Spiele\\update.bat"));
        QVERIFY(!encode_script(text, latin1));
        const QString german =
            update_script_text(QStringLiteral("C:\\Spiele Ü\\alt.exe"), QStringLiteral("C:\\neu.exe"),
                               QStringLiteral("C:\\Spiele Ü\\update.bat"));
        const std::optional<QByteArray> bytes = encode_script(german, latin1);
        QVERIFY(bytes);
        QVERIFY(bytes->contains("\"C:\\Spiele \xdc\\alt.exe\""));
    }

    void file_name_is_the_last_segment_of_the_address()
    {
        QCOMPARE(last_url_segment(QStringLiteral("https://h/files/zorbel-skins.exe")),
                 QStringLiteral("zorbel-skins.exe"));
        QCOMPARE(last_url_segment(QStringLiteral("https://h/files/")), QString());
        QCOMPARE(last_url_segment(QStringLiteral("https://h/get/app.exe?v=1.2")), QStringLiteral("app.exe?v=1.2"));
        QCOMPARE(last_url_segment(QStringLiteral("app.exe")), QStringLiteral("app.exe"));
        QCOMPARE(last_url_segment(QStringLiteral("https://h/x/..\\..\\evil.exe")), QStringLiteral("..\\..\\evil.exe"));
    }

    void only_plain_program_names_are_taken_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("exe") << "zorbel-skins-1.2.exe" << true;
        QTest::newRow("upper-case extension") << "Zorbel_Skins.1.3.EXE" << true;
        QTest::newRow("spaces and CJK") << "皮肤 管理器 1.2.exe" << false;
        QTest::newRow("the program's own name") << "Zorbel-Skins.exe" << false;
        QTest::newRow("the uninstaller") << "uninstall.exe" << false;
        QTest::newRow("a shipped DLL") << "Qt5Core.dll" << false;
        QTest::newRow("the script") << "update.bat" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("parent via backslash") << "..\\..\\evil.exe" << false;
        QTest::newRow("drive") << "C:\\evil.exe" << false;
        QTest::newRow("drive relative") << "C:evil.exe" << false;
        QTest::newRow("backslash") << "dir\\evil.exe" << false;
        QTest::newRow("slash") << "dir/evil.exe" << false;
        QTest::newRow("tab") << "a\tb.exe" << false;
        QTest::newRow("newline") << "a\nb.exe" << false;
        QTest::newRow("nul") << QString(QChar(0)) + "x.exe" << false;
        QTest::newRow("query") << "app.exe?v=2" << false;
        QTest::newRow("quote") << "a\"b.exe" << false;
        QTest::newRow("pipe") << "a|b.exe" << false;
        QTest::newRow("two dots inside") << "tool..v2.exe" << true;
        QTest::newRow("device") << "NUL" << false;
        QTest::newRow("device with extension") << "lpt9.exe" << false;
        QTest::newRow("device with two extensions") << "Aux.tar.exe" << false;
        QTest::newRow("device-like longer name") << "console.exe" << true;
        QTest::newRow("trailing dot") << "app.exe." << false;
        QTest::newRow("trailing space") << "app.exe " << false;
    }
    void only_plain_program_names_are_taken()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(is_update_file_name(name), plain);
    }

    void program_takes_back_the_shortcuts_name_only_when_it_is_free()
    {
        QTemporaryDir folder;
        const QString updated = folder.filePath(QStringLiteral("zorbel-skins-1.2.exe"));
        QVERIFY(QFile(updated).open(QIODevice::WriteOnly));
        const QString linux_program = folder.filePath(QStringLiteral("zorbel-skins"));
        QVERIFY(QFile(linux_program).open(QIODevice::WriteOnly));
        QVERIFY(reclaim_program_name(linux_program).ok());
        QVERIFY(QFile::exists(linux_program));  // not a name an update is given: left alone
        QVERIFY(QFile(folder.filePath(PROGRAM_FILE_NAME)).open(QIODevice::WriteOnly));
        QVERIFY(reclaim_program_name(updated).ok());
        QVERIFY(QFile::exists(updated));  // the old version still stands there: left alone
        QVERIFY(QFile::remove(folder.filePath(PROGRAM_FILE_NAME)));
        QVERIFY(reclaim_program_name(updated).ok());
        QVERIFY(!QFile::exists(updated));
        QVERIFY(QFile::exists(folder.filePath(PROGRAM_FILE_NAME)));
        // Closed before the update script deleted the old file: waits for it.
        const QString newer = folder.filePath(QStringLiteral("zorbel-skins-1.3.exe"));
        QVERIFY(QFile(newer).open(QIODevice::WriteOnly));
        std::thread script([&] {
            QThread::msleep(200);
            QFile::remove(folder.filePath(PROGRAM_FILE_NAME));
        });
        QVERIFY(reclaim_program_name(newer, QDeadlineTimer(10000)).ok());
        script.join();
        QVERIFY(!QFile::exists(newer));
    }

    void signed_updates_are_checked_against_the_built_in_key_data()
    {
        QTest::addColumn<bool>("keyed");         // the build carries the publisher's key
        QTest::addColumn<QString>("signature");  // what the record carries, see below
        QTest::addColumn<QString>("refusal");    // "": accepted; "record" or "file": where it is refused
        // clang-format off
        QTest::newRow("keyed, good") << true << "good" << "";
        QTest::newRow("keyed, no signature") << true << "none" << "record";
        QTest::newRow("keyed, no checksum") << true << "no checksum" << "record";
        QTest::newRow("keyed, other key") << true << "other key" << "record";
        QTest::newRow("keyed, signed for an older version") << true << "other version" << "record";
        QTest::newRow("keyed, signed for another file") << true << "other file" << "record";
        QTest::newRow("keyed, file changed after signing") << true << "tampered" << "file";
        QTest::newRow("keyed, not base64") << true << "@@@@" << "record";
        QTest::newRow("keyed, short signature") << true << "AAAA" << "record";
        QTest::newRow("unkeyed, no signature") << false << "none" << "";
        QTest::newRow("unkeyed, signature cannot be checked") << false << "other key" << "";
        QTest::newRow("unkeyed, checksum still counts") << false << "tampered" << "file";
        // clang-format on
    }
    void signed_updates_are_checked_against_the_built_in_key()
    {
        QFETCH(bool, keyed);
        QFETCH(QString, signature);
        QFETCH(QString, refusal);
        QVERIFY(sodium_init() >= 0);
        const KeyPair publisher = key_pair('p');
        const QString file_name = QStringLiteral("zorbel-skins-1.2.exe");
        const QByteArray program = QByteArray("MZ program ") + QByteArray(5000, 'x');
        const QByteArray sha256 = QCryptographicHash::hash(program, QCryptographicHash::Sha256).toHex();
        const auto statement_by = [&](const KeyPair &pair, const QString &version, const QString &file) {
            return signature_of(update_statement(version, file, sha256), pair);
        };
        QJsonObject record{{VERSION_KEY, QStringLiteral("1.2")}, {CHECKSUM_KEY, QString::fromLatin1(sha256)}};
        if (signature == QLatin1String("good") || signature == QLatin1String("tampered"))
            record.insert(SIGNATURE_KEY, statement_by(publisher, QStringLiteral("1.2"), file_name));
        else if (signature == QLatin1String("no checksum"))
            record = {{VERSION_KEY, QStringLiteral("1.2")},
                      {SIGNATURE_KEY, statement_by(publisher, QStringLiteral("1.2"), file_name)}};
        else if (signature == QLatin1String("other key"))
            record.insert(SIGNATURE_KEY, statement_by(key_pair('q'), QStringLiteral("1.2"), file_name));
        else if (signature == QLatin1String("other version"))
            record.insert(SIGNATURE_KEY, statement_by(publisher, QStringLiteral("1.1"), file_name));
        else if (signature == QLatin1String("other file"))
            record.insert(SIGNATURE_KEY, statement_by(publisher, QStringLiteral("1.2"), QStringLiteral("x.exe")));
        else if (signature != QLatin1String("none"))
            record.insert(SIGNATURE_KEY, signature);
        const QByteArray key = keyed ? publisher.public_key : QByteArray();

        const Outcome<UpdateIntegrity> integrity = read_update_integrity(record, file_name, key);
        QVERIFY2(!integrity.ok() == (refusal == QLatin1String("record")), qPrintable(integrity.error));
        if (!integrity.ok())
            return;
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(signature == QLatin1String("tampered") ? QByteArray(program).replace('x', 'y') : program);
        file.close();
        const Outcome<void> checked = check_update_file(file.fileName(), *integrity);
        QVERIFY2(checked.ok() == refusal.isEmpty(), qPrintable(checked.error));
    }

    void progress_text_in_mebibytes_with_one_decimal()
    {
        QCOMPARE(download_progress_text(12582912, 12582912), QStringLiteral("更新中，下载进度: 12.0MB/12.0MB"));
        QCOMPARE(download_progress_text(1572864, 12582912), QStringLiteral("更新中，下载进度: 1.5MB/12.0MB"));
        QCOMPARE(download_progress_text(104857, 2147483648LL), QStringLiteral("更新中，下载进度: 0.1MB/2048.0MB"));
    }

    void version_record_is_fetched_through_redirects_over_plain_http()
    {
        TestServer server(false);
        server.route(QStringLiteral("/api1/"),
                     TestReply::json(R"({"RIzured版本": "1.2", "RIzured下载地址": "x", "more": 1})"));
        TestReply moved;
        moved.redirect_to = server.url(QStringLiteral("/api1/"));
        server.route(QStringLiteral("/old/"), moved);
        const LatestInfo info = fetch_latest_info(server.url(QStringLiteral("/old/")));
        QVERIFY2(info.ok(), qPrintable(info.error));
        QCOMPARE(info->value(VERSION_KEY).toString(), QStringLiteral("1.2"));
        QCOMPARE(info->value(QStringLiteral("more")).toInt(), 1);
    }

    void version_record_trusts_the_extra_certificate()
    {
        TestServer server;
        server.route(QStringLiteral("/api1/"), TestReply::json(R"({"RIzured版本": "1.1", "RIzured下载地址": ""})"));
        const LatestInfo trusted = fetch_latest_info(server.url(QStringLiteral("/api1/")));
        QVERIFY2(trusted.ok(), qPrintable(trusted.error));

        // Only another authority trusted besides the system's (Windows' Schannel under Wine
        // would accept anything without a CA file of its own).
        const QByteArray saved = qgetenv("ZORBEL_CA_FILE");
        qputenv("ZORBEL_CA_FILE", unrelated_certificate().cert_path.toUtf8());
        const LatestInfo untrusted = fetch_latest_info(server.url(QStringLiteral("/api1/")));
        qputenv("ZORBEL_CA_FILE", saved);
        QVERIFY(!untrusted.ok());
        QVERIFY2(untrusted.error.startsWith(QStringLiteral("获取版本信息异常: ")), qPrintable(untrusted.error));
    }
};

ZORBEL_TEST_MAIN(TestUpdateCore)
#include "tst_update_core.moc"
