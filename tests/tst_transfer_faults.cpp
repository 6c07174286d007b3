// What a skin transfer that goes wrong leaves behind, fault by fault: the task ends as a
// failure with a message (or as a cancellation), the skin installed before stays exactly
// as it was, and no transfer file is left in the mod folder. Each row runs the real
// queue and worker against a server that misbehaves in one way.

#include "download/download_manager.h"
#include "support/download_fixture.h"
#include "support/fault_servers.h"
#include "support/fs_faults.h"
#include "support/test_env.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

enum class Fault {
    GetStatus,          // the GET answers `status` (the size probe answers 200)
    ConnectionReset,    // the connection is reset after part of the body arrived
    TruncatedBody,      // the server closes before the announced length
    StallThenCancel,    // the body stops flowing; the user cancels
    NoLengths,          // neither probe announces a size
    UntrustedTls,       // the certificate does not cover the server's name
    ModFolderReadOnly,  // nothing can be created in the mod folder
    TargetIsFolder,     // a non-empty folder stands at the file's final name
    TargetImmutable,    // the installed file cannot be removed or replaced
    DiskFull,           // the new file does not fit on the mod folder's disk
    FlippedByte,        // one byte of the file differs from the one the catalogue's hash names
    SizeKeyDisagrees,   // the catalogue's size is one byte more than the server's file
};

const QByteArray kNewPak = QByteArray(40000, 'P') + "end of new pak";
const QByteArray kNewSig = QByteArray(3000, 'S') + "end of new sig";
const QByteArray kOldPak = "old pak bytes \x01\x02\x03";
const QByteArray kOldSig = "old sig bytes \x04\x05";

QMap<QString, QByteArray> new_files()
{
    return {{"x.pak", kNewPak}, {"x.sig", kNewSig}};
}

QByteArray body_of(const QString &file)
{
    return file.endsWith(".pak") ? kNewPak : kNewSig;
}

// The progress reported once `part` of `file` (and the .pak before a .sig) has arrived.
int percent_at(const QString &file, double part)
{
    const int before = file.endsWith(".sig") ? kNewPak.size() : 0;
    const int arrived = before + int(body_of(file).size() * part);
    return int(double(arrived) / double(kNewPak.size() + kNewSig.size()) * 100.0);
}

}  // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(RangeReply)

class TestTransferFaults : public QObject {
    Q_OBJECT

    DownloadManager *manager = DownloadManager::instance();

private slots:
    void cleanup()
    {
        manager->cancel_all();
        QVERIFY(!manager->has_active_tasks());
    }

    void a_failed_transfer_leaves_the_installed_skin_alone_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("file");     // the file the fault hits
        QTest::addColumn<int>("status");       // for GetStatus
        QTest::addColumn<bool>("cancelled");   // ends as a cancellation, not a failure
        QTest::addColumn<QString>("message");  // a part the failure message must contain
#ifdef Q_OS_WIN
        // Schannel words a reset and a refused certificate its own way.
        const QString reset = QStringLiteral("transfer closed");
        const QString tls = QStringLiteral("schannel");
#else
        const QString reset = QStringLiteral("reset");
        const QString tls = QStringLiteral("SSL");
#endif

        //                                           fault                      file     status cancelled message
        QTest::newRow("GET 404, .pak") << Fault::GetStatus << "x.pak" << 404 << false << "404";
        QTest::newRow("GET 404, .sig") << Fault::GetStatus << "x.sig" << 404 << false << "404";
        QTest::newRow("GET 500, .pak") << Fault::GetStatus << "x.pak" << 500 << false << "500";
        QTest::newRow("GET 500, .sig") << Fault::GetStatus << "x.sig" << 500 << false << "500";
        QTest::newRow("GET 204, .pak") << Fault::GetStatus << "x.pak" << 204 << false << "204";
        QTest::newRow("GET 304, .sig") << Fault::GetStatus << "x.sig" << 304 << false << "304";
        QTest::newRow("GET 302 without Location") << Fault::GetStatus << "x.pak" << 302 << false << "302";
        QTest::newRow("reset on every attempt, .pak") << Fault::ConnectionReset << "x.pak" << 0 << false << reset;
        QTest::newRow("reset on every attempt, .sig") << Fault::ConnectionReset << "x.sig" << 0 << false << reset;
        QTest::newRow("truncated body, .pak") << Fault::TruncatedBody << "x.pak" << 0 << false << "";
        QTest::newRow("truncated body, .sig") << Fault::TruncatedBody << "x.sig" << 0 << false << "";
        QTest::newRow("stall then cancel, .pak") << Fault::StallThenCancel << "x.pak" << 0 << true << "";
        QTest::newRow("stall then cancel, .sig") << Fault::StallThenCancel << "x.sig" << 0 << true << "";
        QTest::newRow("no Content-Length at all") << Fault::NoLengths << "" << 0 << false << "";
        QTest::newRow("certificate name mismatch") << Fault::UntrustedTls << "" << 0 << false << tls;
        QTest::newRow("mod folder not writable") << Fault::ModFolderReadOnly << "" << 0 << false << "";
        QTest::newRow("folder stands at x.pak") << Fault::TargetIsFolder << "x.pak" << 0 << false << "x.pak";
        QTest::newRow("installed x.sig immutable") << Fault::TargetImmutable << "x.sig" << 0 << false << "x.sig";
        QTest::newRow("disk full") << Fault::DiskFull << "x.pak" << 0 << false << "无法写入文件";
        QTest::newRow("flipped byte, .pak") << Fault::FlippedByte << "x.pak" << 0 << false << "x.pak";
        QTest::newRow("flipped byte, .sig") << Fault::FlippedByte << "x.sig" << 0 << false << "x.sig";
        QTest::newRow("size key disagrees, .sig") << Fault::SizeKeyDisagrees << "x.sig" << 0 << false << "x.sig";
    }

    void a_failed_transfer_leaves_the_installed_skin_alone()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, file);
        QFETCH(int, status);
        QFETCH(bool, cancelled);
        QFETCH(QString, message);

        QTemporaryDir game;
        const QString mods = mod_folder(game.path());
        // An earlier install of the same skin (or, where a folder blocks x.pak, its .sig).
        if (fault == Fault::TargetIsFolder)
            write_file(join_path(mods, "x.sig"), kOldSig);
        else
            install_pair(game.path(), "x", kOldPak, kOldSig);

        TestServer server;
        std::unique_ptr<ResettingServer> resetting;
        std::unique_ptr<MisnamedTlsServer> misnamed;
        std::unique_ptr<ImmutableFlag> immutable;
        std::unique_ptr<SmallDisk> disk;
        QMap<QString, TestReply> replies{{"x.pak", TestReply::file(kNewPak)}, {"x.sig", TestReply::file(kNewSig)}};
        QVariantMap keys;  // of the catalogue record, where the fault needs them

        // Most faults are in the skin files the test server serves; the others replace the server.
        switch (fault) {
        case Fault::GetStatus:
            set_base_url(server.url("/base"));
            server.route(skin_download_path(), [file, status](const TestRequest &request) {
                const QString wanted = requested_file(request);
                if (wanted == file && request.method == "GET")
                    return TestReply::text("server says no", status);
                return TestReply::file(body_of(wanted));
            });
            break;
        case Fault::ConnectionReset:
            resetting = std::make_unique<ResettingServer>(new_files(), file, -1, 0.5);
            QVERIFY(resetting->isListening());
            set_base_url(QStringLiteral("http://127.0.0.1:%1/base").arg(resetting->serverPort()));
            break;
        case Fault::TruncatedBody:
            replies[file].truncate_after = body_of(file).size() / 3;
            break;
        case Fault::StallThenCancel:
            replies[file] = stalled_reply(body_of(file).size(), body_of(file).size() / 2);
            break;
        case Fault::NoLengths:
            replies["x.pak"].omit_length_on_head = true;
            replies["x.sig"].omit_length_on_head = true;
            break;
        case Fault::UntrustedTls:
            misnamed = std::make_unique<MisnamedTlsServer>();
            QVERIFY2(misnamed->port > 0, "no HTTPS server could listen on 127.0.0.2");
            set_base_url(QStringLiteral("https://127.0.0.2:%1/base").arg(misnamed->port));
            break;
        case Fault::ModFolderReadOnly:
            immutable = std::make_unique<ImmutableFlag>(mods);
            break;
        case Fault::TargetIsFolder:
            write_file(join_path(mods, "x.pak/keep"), "not to be touched");
            break;
        case Fault::TargetImmutable:
            immutable = std::make_unique<ImmutableFlag>(join_path(mods, file));
            break;
        case Fault::DiskFull:
            // Room for the installed pair, not for the new .pak.
            disk = std::make_unique<SmallDisk>(mods, 32);
            install_pair(game.path(), "x", kOldPak, kOldSig);
            break;
        case Fault::FlippedByte:
            keys = published(kNewPak, kNewSig);
            replies[file].body[1000] = replies[file].body[1000] ^ 1;
            break;
        case Fault::SizeKeyDisagrees:
            keys = published(kNewPak, kNewSig);
            keys[file.right(3) + "_size"] = body_of(file).size() + 1;
            break;
        }
        if (fault != Fault::GetStatus && fault != Fault::ConnectionReset && fault != Fault::UntrustedTls)
            serve_skin_files(server, replies);
        if (immutable)
            REQUIRE_FAULT(*immutable);
        if (disk)
            REQUIRE_FAULT(*disk);

        const QMap<QString, QByteArray> before = snapshot(mods);
        SignalLog log(manager);
        manager->add_task(with_keys(make_task("X", game.path(), "x.pak", "x.sig"), keys));

        if (fault == Fault::ConnectionReset) {
            // The first transfer is cut mid-body; so is every request for the rest, until
            // the worker gives up.
            QTRY_VERIFY_WITH_TIMEOUT(
                resetting->holding() && !log.progress.isEmpty() && log.progress.last() >= percent_at(file, 0.5), 15000);
            while (manager->has_active_tasks()) {
                resetting->reset();
                QTRY_VERIFY_WITH_TIMEOUT(resetting->holding() || !manager->has_active_tasks(), 30000);
            }
            QCOMPARE(resetting->ranges.size(), 1 + 3);  // the first request and three for the rest
        }
        if (fault == Fault::StallThenCancel) {
            QTRY_VERIFY_WITH_TIMEOUT(!log.progress.isEmpty() && log.progress.last() >= percent_at(file, 0.5), 15000);
            // The body stays stalled for a minute; the cancel must not wait for it.
            QElapsedTimer clock;
            clock.start();
            QVERIFY(manager->cancel_task("X"));
            QVERIFY2(clock.elapsed() < 10000, "cancelling waited for the stalled server");
        }
        QTRY_VERIFY_WITH_TIMEOUT(!manager->has_active_tasks(), 30000);
        QCoreApplication::processEvents();

        QVERIFY(!log.has("completed:X"));
        if (cancelled) {
            QCOMPARE(log.events.count("cancelled:X"), 1);
            QVERIFY(!log.has("failed:X"));
        } else {
            QCOMPARE(log.events.count("failed:X"), 1);
            QCOMPARE(log.messages.size(), 1);
            QVERIFY2(!log.messages.first().trimmed().isEmpty(), "the failure carries no message");
            QVERIFY2(log.messages.first().contains(message), qPrintable(log.messages.first()));
            qInfo("failure message: %s", qPrintable(log.messages.first()));
        }

        immutable.reset();  // so the folder can be read and later removed
        const QMap<QString, QByteArray> after = snapshot(mods);
        QCOMPARE(after.keys(), before.keys());  // nothing new, in particular no ".tmp"
        QStringList changed;
        for (const QString &name : before.keys())
            if (after.value(name) != before.value(name))
                changed << name;
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join(", ") + " changed by the failed task"));
    }

    void a_dropped_transfer_resumes_data()
    {
        QTest::addColumn<RangeReply>("range_reply");
        QTest::addColumn<QStringList>("ranges");  // the Range header of each GET of x.pak

        const QString rest = "bytes=" + QString::number(int(kNewPak.size() * 0.3)) + "-";
        QTest::newRow("reset at 30 %, the rest asked for") << RangeReply::Honoured << QStringList{"", rest};
        QTest::newRow("Range ignored (200), started over") << RangeReply::Ignored << QStringList{"", rest, ""};
        QTest::newRow("206 from a wrong start, started over") << RangeReply::WrongStart << QStringList{"", rest, ""};
        QTest::newRow("206 for another size, started over") << RangeReply::WrongTotal << QStringList{"", rest, ""};
        QTest::newRow("206 shorter than its range, started over") << RangeReply::ShortBody << QStringList{"", rest, ""};
    }

    void a_dropped_transfer_resumes()
    {
        QFETCH(RangeReply, range_reply);
        QFETCH(QStringList, ranges);

        QTemporaryDir game;
        const QString mods = mod_folder(game.path());
        install_pair(game.path(), "x", kOldPak, kOldSig);
        ResettingServer server(new_files(), "x.pak", 1, 0.3, range_reply);
        QVERIFY(server.isListening());
        set_base_url(QStringLiteral("http://127.0.0.1:%1/base").arg(server.serverPort()));

        SignalLog log(manager);
        // With the catalogue's hashes: the resumed file is checked over all of its bytes.
        manager->add_task(with_keys(make_task("X", game.path(), "x.pak", "x.sig"), published(kNewPak, kNewSig)));
        // Cut once all of the first 30 % has arrived, so the rest is asked for from there.
        QTRY_VERIFY_WITH_TIMEOUT(
            server.holding() && !log.progress.isEmpty() && log.progress.last() >= percent_at("x.pak", 0.3), 15000);
        server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!manager->has_active_tasks(), 30000);
        QCoreApplication::processEvents();

        QCOMPARE(log.events.count("completed:X"), 1);
        QVERIFY(!log.has("failed:X"));
        QCOMPARE(server.ranges, ranges);
        QCOMPARE(server.if_ranges.value(1), QStringLiteral("\"v1\""));  // the first answer's ETag
        QCOMPARE(files_below(mods), QStringList({"x.pak", "x.sig"}));
        QVERIFY(read_file(join_path(mods, "x.pak")) == kNewPak);
        QVERIFY(read_file(join_path(mods, "x.sig")) == kNewSig);
        QVERIFY2(std::is_sorted(log.progress.begin(), log.progress.end()), "progress went back");
        QCOMPARE(log.progress.last(), 100);
    }
};

ZORBEL_TEST_MAIN(TestTransferFaults)
#include "tst_transfer_faults.moc"
