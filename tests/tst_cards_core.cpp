// Widget-free card logic: cover address and cache name, a skin's file names and the
// search of the mod folder, selection and paging of catalogue records.

#include "app/config.h"
#include "app/endpoints.h"
#include "cards/cover_cache.h"
#include "cards/skin_files.h"
#include "cards/skin_records.h"
#include "support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QJsonObject record(const QString &name, const QString &main, const QString &sub)
{
    return QJsonObject{{"name", name}, {"MainCategory", main}, {"subcategory", sub},
                       {"pak_original", name + ".pak"}, {"sig_original", name + ".sig"}};
}

QStringList names_of(const QVector<QJsonObject> &records)
{
    QStringList names;
    for (const QJsonObject &r : records)
        names << r.value("name").toString();
    return names;
}

} // namespace

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
    }

    void cover_url_is_empty_without_cover_or_categories()
    {
        set_base_url("https://example.test/base");
        const QJsonObject full{{"MainCategory", "A"}, {"subcategory", "B"}, {"cover", "a.jpg"}};
        for (const char *key : {"cover", "MainCategory", "subcategory"}) {
            QJsonObject missing = full;
            missing.remove(key);
            QVERIFY2(cover_url(missing).isEmpty(), key);
            QJsonObject blank = full;
            blank.insert(key, "");
            QVERIFY2(cover_url(blank).isEmpty(), key);
        }
    }

    void cache_name_cannot_be_steered_by_record_values()
    {
        set_base_url("https://example.test/base");
        const QJsonObject hostile{{"MainCategory", "../../x"}, {"subcategory", "/etc"}, {"cover", "..\\..\\evil"}};
        const QString path = cover_cache_path(cover_url(hostile));
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(CACHE_DIR).absoluteFilePath());
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(QFileInfo(path).fileName()).hasMatch());
    }

    void file_names_are_windows_base_names()
    {
        const SkinFileNames names = skin_file_names(
            QJsonObject{{"pak_original", "mods/abc.pak"}, {"sig_original", "C:\\dl\\sub\\abc.sig"}});
        QCOMPARE(names.pak_name, QStringLiteral("abc.pak"));
        QCOMPARE(names.sig_name, QStringLiteral("abc.sig"));
        const SkinFileNames none = skin_file_names(QJsonObject{});
        QVERIFY(none.pak_name.isEmpty() && none.sig_name.isEmpty());
    }

    void mod_dir_is_a_real_folder_path()
    {
        QCOMPARE(mod_dir_of("/games/DH"), QStringLiteral("/games/DH/DreadHunger/Content/Paks/qvmods"));
    }

    void a_sig_alone_in_a_subfolder_counts_as_installed()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        touch(mods + "/deep/er/abc.sig");
        touch(mods + "/other.pak");
        QVERIFY(skin_installed(mods, SkinFileNames{"abc.sig", "abc.pak"}));
        QVERIFY(!skin_installed(mods, SkinFileNames{"xyz.sig", "xyz.pak"}));
    }

    void names_are_compared_exactly()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        touch(mods + "/ABC.PAK");
        touch(mods + "/abc.pak.tmp");
        QVERIFY(!skin_installed(mods, SkinFileNames{"abc.sig", "abc.pak"}));
        QVERIFY(installed_skin_files(mods, SkinFileNames{"abc.sig", "abc.pak"}).isEmpty());
    }

    void empty_names_match_nothing()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        touch(mods + "/abc.pak");
        QVERIFY(!skin_installed(mods, SkinFileNames{}));
        QVERIFY(installed_skin_files(mods, SkinFileNames{}).isEmpty());
    }

    void a_missing_mod_folder_holds_nothing()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        QVERIFY(!skin_installed(mods, SkinFileNames{"abc.sig", "abc.pak"}));
        QVERIFY(installed_skin_files(mods, SkinFileNames{"abc.sig", "abc.pak"}).isEmpty());
        // A file where the folder should be is not a mod folder either.
        touch(mods);
        QVERIFY(!skin_installed(mods, SkinFileNames{"qvmods", "abc.pak"}));
    }

    void every_copy_is_listed_top_down()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        touch(mods + "/abc.pak");
        touch(mods + "/b/abc.pak");
        touch(mods + "/b/abc.sig");
        touch(mods + "/a/x/abc.sig");
        touch(mods + "/a/x/abc.txt");
        const QStringList found = installed_skin_files(mods, SkinFileNames{"abc.sig", "abc.pak"});
        QCOMPARE(found.size(), 4);
        QCOMPARE(found.first(), QDir(mods).filePath("abc.pak"));
        QVERIFY(found.contains(mods + "/b/abc.pak"));
        QVERIFY(found.contains(mods + "/b/abc.sig"));
        QVERIFY(found.contains(mods + "/a/x/abc.sig"));
    }

    void a_linked_folder_loop_does_not_trap_the_walk()
    {
        QTemporaryDir game;
        const QString mods = mod_dir_of(game.path());
        touch(mods + "/sub/abc.sig");
        QVERIFY(QFile::link(mods, mods + "/sub/loop"));
        QCOMPARE(installed_skin_files(mods, SkinFileNames{"abc.sig", "abc.pak"}).size(), 1);
    }

    void required_fields_are_checked_in_order_by_presence()
    {
        QCOMPARE(first_missing_field(QJsonObject{}), QStringLiteral("name"));
        QJsonObject r = record("", "A", "B");
        QVERIFY(first_missing_field(r).isEmpty());  // an empty name is still a name
        r.insert("sig_original", QJsonValue::Null);
        QVERIFY(first_missing_field(r).isEmpty());
        r.remove("sig_original");
        r.remove("subcategory");
        QCOMPARE(first_missing_field(r), QStringLiteral("subcategory"));
    }

    void selection_uses_subcategory_alone_when_one_is_chosen()
    {
        const QVector<QJsonObject> skins{record("a", "M1", "S"), record("b", "M2", "S"), record("c", "M1", "T"),
                                         QJsonObject{{"name", "d"}, {"MainCategory", "M1"}}};
        QCOMPARE(names_of(records_of_selection(skins, QString("M1"), QString("S"))), QStringList({"a", "b"}));
        QCOMPARE(names_of(records_of_selection(skins, QString("M1"), std::nullopt)), QStringList({"a", "c", "d"}));
        QCOMPARE(names_of(records_of_selection(skins, QString("M1"), QString(""))), QStringList({"a", "c", "d"}));
        QVERIFY(records_of_selection(skins, std::nullopt, std::nullopt).isEmpty());
        QCOMPARE(names_of(records_of_selection(skins, std::nullopt, QString("T"))), QStringList({"c"}));
    }

    void incomplete_records_are_left_out_in_order()
    {
        QJsonObject broken = record("x", "M", "S");
        broken.remove("pak_original");
        const QVector<QJsonObject> kept = complete_records({record("a", "M", "S"), broken, record("b", "M", "S")});
        QCOMPARE(names_of(kept), QStringList({"a", "b"}));
    }

    void page_count_is_the_ceiling()
    {
        QCOMPARE(page_count(13, 6), 3);
        QCOMPARE(page_count(12, 6), 2);
        QCOMPARE(page_count(6, 6), 1);
        QCOMPARE(page_count(1, 6), 1);
        QCOMPARE(page_count(0, 6), 0);
        QCOMPARE(page_label_text(0, 3), QStringLiteral("第 1 页 / 共 3 页"));
    }
};

ZORBEL_TEST_MAIN(TestCardsCore)
#include "tst_cards_core.moc"
