// The demo server's pieces: query-value safety, the sample catalogue it writes on first
// start, its certificate, and its routes answered over a plain in-process socket.

#include "certificate.h"
#include "routes.h"
#include "sample_data.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <memory>
#include <thread>

namespace {

QByteArray read_all(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonArray read_catalog(const QString &data_dir)
{
    return QJsonDocument::fromJson(read_all(catalog_path(data_dir))).array();
}

QString skin_file(const QString &data_dir, const QJsonObject &skin, const QString &key)
{
    return skins_dir(data_dir) + '/' + skin["MainCategory"].toString() + '/' + skin["subcategory"].toString() + '/'
           + skin[key].toString();
}

QString cover_file(const QString &data_dir, const QJsonObject &skin)
{
    return covers_dir(data_dir) + '/' + skin["MainCategory"].toString() + '/' + skin["subcategory"].toString() + '/'
           + skin["cover"].toString();
}

bool downloadable(const QJsonObject &skin)
{
    return skin.contains("subcategory") && skin["pak_original"].toString().endsWith(".pak");
}

std::string query(const QList<QPair<QString, QString>> &values)
{
    QByteArray text;
    for (const auto &[key, value] : values)
        text += (text.isEmpty() ? "?" : "&") + key.toUtf8() + '=' + QUrl::toPercentEncoding(value);
    return text.toStdString();
}

const std::string ENCODED_BASE = "/2/%E7%9A%AE%E8%82%A4.php";

// The routes on a plain socket: what they answer does not depend on TLS.
class RunningServer {
public:
    explicit RunningServer(const QString &data_dir, const std::string &version = "1.1", long long drop_at = 0)
    {
        port_ = server_.bind_to_any_port("127.0.0.1");
        install_routes(server_,
                       RouteSettings{data_dir.toStdString(), "https://fallback.invalid:1", version, 0, drop_at});
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::yield();
    }
    ~RunningServer()
    {
        server_.stop();
        thread_.join();
    }
    int port() const { return port_; }
    httplib::Client client() const { return httplib::Client("127.0.0.1", port_); }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace

class TestDemoServer : public QObject {
    Q_OBJECT

    QTemporaryDir data_;
    QJsonArray catalog_;

    QJsonObject first_skin(const std::function<bool(const QJsonObject &)> &wanted) const
    {
        for (const QJsonValue &value : catalog_)
            if (wanted(value.toObject()))
                return value.toObject();
        return {};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(data_.isValid());
        bool generated = false;
        QCOMPARE(ensure_sample_catalog(data_.path(), &generated), QString());
        QVERIFY(generated);
        catalog_ = read_catalog(data_.path());
    }

    void plain_names_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ascii") << "zorbel_001.pak" << true;
        QTest::newRow("chinese") << "船长·舞狮.pak" << true;
        QTest::newRow("dots inside") << "a..b.pak" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("climbing") << "../catalog.json" << false;
        QTest::newRow("absolute") << "/etc/passwd" << false;
        QTest::newRow("nested") << "a/b.pak" << false;
        QTest::newRow("backslash") << "..\\key.pem" << false;
        QTest::newRow("nul") << QString::fromUtf8("a\0b", 3) << false;
    }
    void plain_names()
    {
        QFETCH(QString, value);
        QFETCH(bool, accepted);
        QCOMPARE(is_plain_name(value.toStdString()), accepted);
    }

    void sample_catalogue_exercises_the_ordering()
    {
        QVERIFY(catalog_.size() >= 40);
        QHash<QString, QSet<QString>> subcategories;
        int negative_main_ranks = 0, text_ids = 0, null_ranks = 0;
        QSet<QString> absent_keys;
        for (const QJsonValue &value : catalog_) {
            const QJsonObject skin = value.toObject();
            subcategories[skin["MainCategory"].toString()].insert(skin["subcategory"].toString());
            negative_main_ranks += skin["MainCategory_ranking_id"].toInt() < 0;
            text_ids += skin["skin_id"].isString();
            null_ranks += skin["subcategory_ranking_id"].isNull();
            for (const char *key : {"MainCategory_ranking_id", "subcategory_ranking_id", "skin_id"})
                if (!skin.contains(key))
                    absent_keys.insert(key);
        }
        int with_several = 0;
        for (const QSet<QString> &subs : subcategories)
            with_several += subs.size() >= 3;
        QVERIFY(with_several >= 4);
        QVERIFY(negative_main_ranks > 0);
        QCOMPARE(text_ids, 1);
        QCOMPARE(null_ranks, 1);
        QCOMPARE(absent_keys.size(), 3);
        // A category's rank is the largest id among its skins: one weapon carries a lower one.
        QVERIFY(first_skin([](const QJsonObject &s) {
                    return s["MainCategory"] == "武器" && s["MainCategory_ranking_id"].toInt() < 8;
                }).size()
                > 0);
    }

    void sample_catalogue_has_the_odd_records()
    {
        const QJsonObject paid = first_skin([](const QJsonObject &s) {
            return s.contains("pak_original") && !s["pak_original"].toString().endsWith(".pak");
        });
        QCOMPARE(paid["pak_original"].toString(), QString("请联系管理员购买"));
        int without_sig = 0;
        for (const QJsonValue &value : catalog_)
            without_sig += !value.toObject().contains("sig_original");
        QCOMPARE(without_sig, 1);
        QVERIFY(!first_skin([](const QJsonObject &s) {
                     return s.contains("subcategory") && !s.contains("cover");
                 }).isEmpty());
        QVERIFY(!first_skin([](const QJsonObject &s) { return !s.contains("subcategory"); }).isEmpty());
    }

    void sample_files_are_there_with_their_sizes()
    {
        qint64 total = 0, largest = 0, smallest = std::numeric_limits<qint64>::max();
        for (const QJsonValue &value : catalog_) {
            const QJsonObject skin = value.toObject();
            if (!downloadable(skin))
                continue;
            const QFileInfo pak(skin_file(data_.path(), skin, "pak_original"));
            QVERIFY2(pak.isFile(), qPrintable(pak.filePath()));
            QVERIFY(pak.size() % 8192 != 0);
            total += pak.size();
            largest = qMax(largest, pak.size());
            smallest = qMin(smallest, pak.size());
            if (skin.contains("sig_original"))
                QVERIFY(QFileInfo(skin_file(data_.path(), skin, "sig_original")).size() > 0);
        }
        QVERIFY(smallest >= 1000 * 1000);
        QVERIFY(largest >= 100 * 1000 * 1000);
        QVERIFY(total < 400 * 1000 * 1000);
    }

    void sample_covers_decode_in_several_shapes()
    {
        QSet<QByteArray> formats;
        QSet<int> ratios;  // width / height in percent
        for (const QJsonValue &value : catalog_) {
            const QJsonObject skin = value.toObject();
            if (!skin.contains("cover"))
                continue;
            const QString path = cover_file(data_.path(), skin);
            QImageReader reader(path);
            formats.insert(reader.format());
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(path));
            ratios.insert(image.width() * 100 / image.height());
        }
        QVERIFY(formats.contains("png"));
        QVERIFY(formats.contains("jpeg"));
        QVERIFY(ratios.size() >= 4);
    }

    void existing_catalogue_is_left_alone()
    {
        QTemporaryDir dir;
        QFile own(catalog_path(dir.path()));
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.write("[]");
        own.close();
        bool generated = true;
        QCOMPARE(ensure_sample_catalog(dir.path(), &generated), QString());
        QVERIFY(!generated);
        QCOMPARE(read_all(catalog_path(dir.path())), QByteArray("[]"));
        QVERIFY(!QFileInfo::exists(skins_dir(dir.path())));
    }

    void certificate_names_the_loopback_and_matches_its_key()
    {
        QTemporaryDir dir;
        QCOMPARE(ensure_certificate(dir.path()), QString());
        const QByteArray cert_pem = read_all(certificate_path(dir.path()));
        const QByteArray key_pem = read_all(private_key_path(dir.path()));
        BIO *cert_bio = BIO_new_mem_buf(cert_pem.constData(), cert_pem.size());
        BIO *key_bio = BIO_new_mem_buf(key_pem.constData(), key_pem.size());
        X509 *cert = PEM_read_bio_X509(cert_bio, nullptr, nullptr, nullptr);
        EVP_PKEY *key = PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
        QVERIFY(cert && key);
        QCOMPARE(X509_check_ip_asc(cert, "127.0.0.1", 0), 1);
        QCOMPARE(X509_check_host(cert, "localhost", 0, 0, nullptr), 1);
        QCOMPARE(X509_check_host(cert, "example.com", 0, 0, nullptr), 0);
        QCOMPARE(X509_check_private_key(cert, key), 1);
        X509_free(cert);
        EVP_PKEY_free(key);
        BIO_free(cert_bio);
        BIO_free(key_bio);

        const auto key_permissions = QFile::permissions(private_key_path(dir.path()));
        QVERIFY(!(key_permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));

        // A second start keeps the pair; a lost key makes a new pair.
        QCOMPARE(ensure_certificate(dir.path()), QString());
        QCOMPARE(read_all(certificate_path(dir.path())), cert_pem);
        QVERIFY(QFile::remove(private_key_path(dir.path())));
        QCOMPARE(ensure_certificate(dir.path()), QString());
        QVERIFY(read_all(certificate_path(dir.path())) != cert_pem);
        QVERIFY(QFileInfo::exists(private_key_path(dir.path())));
    }

    void discovery_answers_the_address_the_client_used()
    {
        RunningServer server(data_.path());
        auto client = server.client();
        auto reply = client.Get(ENCODED_BASE + "?name=Orvel");
        QVERIFY(reply);
        QCOMPARE(reply->status, 200);
        QCOMPARE(QString::fromStdString(reply->body),
                 QStringLiteral("https://127.0.0.1:%1/2/皮肤.php").arg(server.port()));
        reply = client.Get(ENCODED_BASE + "?name=Orvel", {{"Host", "bad host/x"}});
        QCOMPARE(QString::fromStdString(reply->body), QStringLiteral("https://fallback.invalid:1/2/皮肤.php"));
    }

    void catalogue_and_instructions_are_served()
    {
        RunningServer server(data_.path());
        auto client = server.client();
        auto reply = client.Get(ENCODED_BASE + "/index_skins.php");
        QVERIFY(reply);
        QCOMPARE(reply->status, 200);
        QVERIFY(reply->get_header_value("Content-Type").find("application/json") != std::string::npos);
        QCOMPARE(QByteArray::fromStdString(reply->body), read_all(catalog_path(data_.path())));

        reply = client.Get(ENCODED_BASE + "/Instructions.php");
        QCOMPARE(reply->status, 200);
        QVERIFY(QString::fromStdString(reply->body).contains("检测目录"));
    }

    void empty_folder_answers_not_found()
    {
        QTemporaryDir empty;
        RunningServer server(empty.path());
        auto client = server.client();
        QCOMPARE(client.Get(ENCODED_BASE + "/index_skins.php")->status, 404);
        QCOMPARE(client.Get(ENCODED_BASE + "/Instructions.php")->status, 404);
    }

    void skin_files_are_probed_and_streamed()
    {
        const QJsonObject skin = first_skin([](const QJsonObject &s) {
            return downloadable(s) && s["pak_original"].toString().contains("·");  // a Chinese file name
        });
        QVERIFY(!skin.isEmpty());
        const QByteArray expected = read_all(skin_file(data_.path(), skin, "pak_original"));
        RunningServer server(data_.path());
        auto client = server.client();
        const std::string path = ENCODED_BASE + "/subcutaneous/index_skin_download.php"
                                 + query({{"MainCategory", skin["MainCategory"].toString()},
                                          {"subcategory", skin["subcategory"].toString()},
                                          {"pak_original", skin["pak_original"].toString()}});

        auto head = client.Head(path);
        QVERIFY(head);
        QCOMPARE(head->status, 200);
        QCOMPARE(QByteArray::fromStdString(head->get_header_value("Content-Length")).toLongLong(),
                 qint64(expected.size()));
        QVERIFY(head->body.empty());

        auto get = client.Get(path);
        QCOMPARE(get->status, 200);
        QVERIFY(QByteArray::fromStdString(get->body) == expected);

        // The rest of a file, for a client whose transfer was cut.
        auto rest = client.Get(path, {{"Range", "bytes=1000-"}});
        QVERIFY(rest);
        QCOMPARE(rest->status, 206);
        QCOMPARE(QByteArray::fromStdString(rest->get_header_value("Content-Range")),
                 "bytes 1000-" + QByteArray::number(expected.size() - 1) + '/' + QByteArray::number(expected.size()));
        QVERIFY(QByteArray::fromStdString(rest->body) == expected.mid(1000));

        const std::string sig_path = ENCODED_BASE + "/subcutaneous/index_skin_download.php"
                                     + query({{"MainCategory", skin["MainCategory"].toString()},
                                              {"subcategory", skin["subcategory"].toString()},
                                              {"sig_original", skin["sig_original"].toString()}});
        QCOMPARE(QByteArray::fromStdString(client.Get(sig_path)->body),
                 read_all(skin_file(data_.path(), skin, "sig_original")));
    }

    void a_transfer_is_dropped_once_at_the_byte_asked_for()
    {
        const QJsonObject skin = first_skin(downloadable);
        const QByteArray expected = read_all(skin_file(data_.path(), skin, "pak_original"));
        QVERIFY(expected.size() > 300000);
        RunningServer server(data_.path(), "1.1", 200000);
        auto client = server.client();
        const std::string path = ENCODED_BASE + "/subcutaneous/index_skin_download.php"
                                 + query({{"MainCategory", skin["MainCategory"].toString()},
                                          {"subcategory", skin["subcategory"].toString()},
                                          {"pak_original", skin["pak_original"].toString()}});
        std::string received;
        const auto cut = client.Get(path, [&](const char *data, size_t length) {
            received.append(data, length);
            return true;
        });
        QVERIFY(!cut);  // the connection ended before the announced length
        QCOMPARE(qint64(received.size()), qint64(200000));
        QVERIFY(QByteArray::fromStdString(received) == expected.left(200000));
        const auto whole = client.Get(path);  // only once
        QVERIFY(whole);
        QVERIFY(QByteArray::fromStdString(whole->body) == expected);
    }

    void unsafe_or_missing_values_are_not_found_data()
    {
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("sub");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("file");
        // The climbing names would reach DATA/catalog.json, which exists.
        QTest::newRow("climbing file") << "武器"
                                       << "步枪"
                                       << "pak_original"
                                       << "../../../catalog.json";
        QTest::newRow("climbing category") << ".."
                                           << ".."
                                           << "pak_original"
                                           << "catalog.json";
        QTest::newRow("backslash") << "武器"
                                   << "步枪"
                                   << "sig_original"
                                   << "..\\..\\..\\catalog.json";
        QTest::newRow("absolute") << "武器"
                                  << "步枪"
                                  << "pak_original" << data_.path() + "/catalog.json";
        QTest::newRow("empty category") << ""
                                        << "步枪"
                                        << "pak_original"
                                        << "zorbel_029.pak";
        QTest::newRow("no file named") << "武器"
                                       << "步枪"
                                       << "other"
                                       << "zorbel_029.pak";
        QTest::newRow("paid skin") << "节日限定"
                                   << "春节"
                                   << "pak_original"
                                   << "请联系管理员购买";
        QTest::newRow("unknown file") << "武器"
                                      << "步枪"
                                      << "pak_original"
                                      << "none.pak";
    }
    void unsafe_or_missing_values_are_not_found()
    {
        QFETCH(QString, main);
        QFETCH(QString, sub);
        QFETCH(QString, key);
        QFETCH(QString, file);
        RunningServer server(data_.path());
        auto client = server.client();
        for (const char *endpoint :
             {"/subcutaneous/index_skin_download.php", "/subcutaneous/index_image_download.php"}) {
            const QString name_key = QString(endpoint).contains("image") ? (key == "other" ? key : "cover") : key;
            const std::string path =
                ENCODED_BASE + endpoint + query({{"MainCategory", main}, {"subcategory", sub}, {name_key, file}});
            auto reply = client.Get(path);
            QVERIFY(reply);
            QCOMPARE(reply->status, 404);
        }
    }

    void covers_carry_their_image_type()
    {
        RunningServer server(data_.path());
        auto client = server.client();
        QSet<QString> types;
        for (const QJsonValue &value : catalog_) {
            const QJsonObject skin = value.toObject();
            if (!skin.contains("cover"))
                continue;
            auto reply = client.Get(ENCODED_BASE + "/subcutaneous/index_image_download.php"
                                    + query({{"MainCategory", skin["MainCategory"].toString()},
                                             {"subcategory", skin["subcategory"].toString()},
                                             {"cover", skin["cover"].toString()}}));
            QCOMPARE(reply->status, 200);
            QVERIFY(!QImage::fromData(QByteArray::fromStdString(reply->body)).isNull());
            types.insert(QString::fromStdString(reply->get_header_value("Content-Type")));
        }
        QCOMPARE(types, QSet<QString>({"image/png", "image/jpeg"}));
    }

    void version_record_points_at_the_program_file()
    {
        QVERIFY(QDir().mkpath(program_files_dir(data_.path())));
        QFile program(program_files_dir(data_.path()) + "/zorbel-skins-update.exe");
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write("MZ new program");
        program.close();

        RunningServer server(data_.path(), "1.2");
        auto client = server.client();
        auto reply = client.Get("/api1/");
        QCOMPARE(reply->status, 200);
        const QJsonObject record = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object();
        QCOMPARE(record["RIzured版本"].toString(), QString("1.2"));
        const QUrl address(record["RIzured下载地址"].toString());
        QCOMPARE(address.toString(),
                 QStringLiteral("https://127.0.0.1:%1/files/zorbel-skins-update.exe").arg(server.port()));
        QCOMPARE(client.Head("/api1/")->status, 200);

        QCOMPARE(client.Get(address.path().toStdString())->body, std::string("MZ new program"));
        QCOMPARE(client.Get("/files/..")->status, 404);
        QCOMPARE(client.Get("/files/missing.exe")->status, 404);
    }
};

QTEST_MAIN(TestDemoServer)
#include "tst_demo_server.moc"
