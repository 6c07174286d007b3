// Widget-free card logic: cover address and cache name, the search of the mod folder,
// required keys and the selection of records.

#include "app/config.h"
#include "app/endpoints.h"
#include "cards/cover_cache.h"
#include "cards/skin_files.h"
#include "cards/skin_records.h"
#include "support/game_files.h"
#include "support/records.h"
#include "support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TestCardsCore : public QObject {
    Q_OBJECT

private slots:
    void cover_url_inserts_values_as_they_stand_and_hashes_the_built_address()
    {
        set_base_url("https://example.test/base");
        const QJsonObject skin{{"MainCategory", "角色"}, {"subcategory", "B b"}, {"cover", "a.jpg"}};
        const QString url = cover_url(skin);
        QCOMPARE(url, QStringLiteral("https://example.test/base/subcutaneous/index_image_download.php"
                                     "?MainCategory=角色&subcategory=B b&cover=a.jpg"));
        // MD5 of the UTF-8 address as built (not its percent-encoded wire form).
        QCOMPARE(cover_cache_path(url), QDir(CACHE_DIR).filePath("0c871cd631f5c016f16a72679094f2c3"));
        QJsonObject blank = skin;
        blank.insert("subcategory", "");
        QVERIFY(cover_url(blank).isEmpty());
    }

    void cache_name_cannot_be_steered_by_record_values()
    {
        set_base_url("https://example.test/base");
        const QJsonObject hostile{{"MainCategory", "../../x"}, {"subcategory", "/etc"}, {"cover", "..\\..\\evil"}};
        const QString path = cover_cache_path(cover_url(hostile));
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(CACHE_DIR).absoluteFilePath());
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(QFileInfo(path).fileName()).hasMatch());
    }

    void file_names_match_exactly_and_never_when_empty()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        write_file(mods + "/ABC.PAK");
        write_file(mods + "/sub/abc.pak.tmp");
        QVERIFY(!skin_installed(mods, SkinFileNames{"abc.sig", "abc.pak"}));
        QVERIFY(installed_skin_files(mods, SkinFileNames{"abc.sig", "abc.pak"}).isEmpty());
        QVERIFY(!skin_installed(mods, SkinFileNames{}));
        QVERIFY(!skin_installed(mod_dir_of(game.path() + "/missing"), SkinFileNames{"abc.sig", "ABC.PAK"}));
    }

    void a_linked_folder_loop_does_not_trap_the_walk()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        write_file(mods + "/sub/abc.sig");
        QVERIFY(QFile::link(mods, mods + "/sub/loop"));
        QCOMPARE(installed_skin_files(mods, SkinFileNames{"abc.sig", "abc.pak"}), QStringList({mods + "/sub/abc.sig"}));
    }

    void required_fields_are_checked_in_order_by_presence()
    {
        QCOMPARE(first_missing_field(QJsonObject{}), QStringLiteral("name"));
        QJsonObject r = skin_record("", "A", "B");
        r.insert("sig_original", QJsonValue::Null);
        QVERIFY(first_missing_field(r).isEmpty());  // empty or null values still count
        r.remove("sig_original");
        r.remove("subcategory");
        QCOMPARE(first_missing_field(r), QStringLiteral("subcategory"));
    }

    void selection_uses_subcategory_alone_when_one_is_chosen()
    {
        const QVector<QJsonObject> skins{skin_record("a", "M1", "S"), skin_record("b", "M2", "S"),
                                         skin_record("c", "M1", "T"),
                                         QJsonObject{{"name", "d"}, {"MainCategory", "M1"}}};
        QCOMPARE(names_of(records_of_selection(skins, QString("M1"), QString("S"))), QStringList({"a", "b"}));
        QCOMPARE(names_of(records_of_selection(skins, QString("M1"), std::nullopt)), QStringList({"a", "c", "d"}));
        QCOMPARE(names_of(records_of_selection(skins, QString("M1"), QString(""))), QStringList({"a", "c", "d"}));
        QVERIFY(records_of_selection(skins, std::nullopt, std::nullopt).isEmpty());
        QCOMPARE(names_of(complete_records(records_of_selection(skins, QString("M1"), std::nullopt))),
                 QStringList({"a", "c"}));
    }
};

ZORBEL_TEST_MAIN(TestCardsCore)
#include "tst_cards_core.moc"
