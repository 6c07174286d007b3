// Category ranking, selection filtering and sorting, JSON and text decoding: no window.

#include "catalog/catalog.h"
#include "catalog/text_decoding.h"
#include "support/records.h"
#include "support/test_env.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTextCodec>

namespace {

QJsonObject rec(const QString &main, const QString &sub = QString())
{
    QJsonObject record;
    record.insert(QStringLiteral("MainCategory"), main);
    if (!sub.isNull())
        record.insert(QStringLiteral("subcategory"), sub);
    return record;
}

QJsonObject with(QJsonObject record, const QString &key, const QJsonValue &value)
{
    record.insert(key, value);
    return record;
}

QJsonValue json(const char *text)
{
    return parse_json_value(QByteArray(text)).value;
}

}  // namespace

class TestCatalogRanking : public QObject {
    Q_OBJECT

private slots:
    // --- rank_categories ---

    void main_category_takes_its_largest_rank()
    {
        const CategoryRanking result =
            rank_categories(QJsonArray{with_ranks(rec("B"), 3), with_ranks(rec("A"), 1), with_ranks(rec("A"), 5)});
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result->main_categories, QStringList({"A", "B"}));
    }

    void unranked_categories_sit_between_positive_and_negative()
    {
        const CategoryRanking result =
            rank_categories(QJsonArray{rec("Z"), with_ranks(rec("N"), -1), with_ranks(rec("P"), 2), rec("Y"),
                                       with_ranks(rec("Q"), 0), with_ranks(rec("P"), QJsonValue())});
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result->main_categories, QStringList({"P", "Z", "Y", "Q", "N"}));
    }

    void fractional_ranks_compare_as_they_come()
    {
        const CategoryRanking result =
            rank_categories(QJsonArray{with_ranks(rec("A"), 1.2), with_ranks(rec("B"), 1.7), with_ranks(rec("C"), 1)});
        QCOMPARE(result->main_categories, QStringList({"B", "A", "C"}));
    }

    void subcategories_are_ranked_within_their_main_category()
    {
        const CategoryRanking result = rank_categories(QJsonArray{
            with_ranks(rec("A", "X"), 0, 1), with_ranks(rec("A", "Y"), 0, 4), with_ranks(rec("B", "X"), 0, 1),
            with_ranks(rec("B", "Y"), 0, 2), with_ranks(rec("A", "X"), 0, 6)});
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result->subcategories.size(), 2);
        QCOMPARE(result->subcategories[0].first, QStringLiteral("A"));
        QCOMPARE(result->subcategories[0].second, QStringList({"X", "Y"}));
        QCOMPARE(result->subcategories[1].first, QStringLiteral("B"));
        QCOMPARE(result->subcategories[1].second, QStringList({"Y", "X"}));
        QCOMPARE(*find_subcategories(result->subcategories, "A"), QStringList({"X", "Y"}));
    }

    void joined_keys_collide_and_the_first_appearance_overwrites()
    {
        // "A_B" + "C" and "A" + "B_C" both join to "A_B_C": the later first appearance
        // (rank 1) replaces the rank 5, so C falls behind E under A_B.
        const CategoryRanking result = rank_categories(QJsonArray{
            with_ranks(rec("A_B", "C"), 0, 5), with_ranks(rec("A_B", "E"), 0, 3), with_ranks(rec("A", "B_C"), 0, 1),
            with_ranks(rec("A", "D"), 0, 3), with_ranks(rec("A_B", "C"), 0, 2)});
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(*find_subcategories(result->subcategories, "A_B"), QStringList({"E", "C"}));
        QCOMPARE(*find_subcategories(result->subcategories, "A"), QStringList({"D", "B_C"}));
    }

    void records_without_subcategory_make_only_the_main_category()
    {
        const CategoryRanking result = rank_categories(QJsonArray{
            rec("A"), rec("A", ""), with(rec("B"), "subcategory", QJsonValue()), rec("B", "X"), rec("", "Y")});
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result->main_categories, QStringList({"A", "B"}));
        QCOMPARE(find_subcategories(result->subcategories, "A"), nullptr);
        QCOMPARE(*find_subcategories(result->subcategories, "B"), QStringList({"X"}));
        QCOMPARE(result->subcategories.size(), 1);
    }

    void every_json_type_as_a_rank_data()
    {
        QTest::addColumn<QJsonValue>("rank");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("before_zero");  // sorts before a category of rank 0
        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << true << false;
        QTest::newRow("null") << QJsonValue() << true << false;
        QTest::newRow("false") << QJsonValue(false) << true << false;
        QTest::newRow("zero") << QJsonValue(0) << true << false;
        QTest::newRow("empty text") << QJsonValue("") << true << false;
        QTest::newRow("empty array") << QJsonValue(QJsonArray()) << true << false;
        QTest::newRow("empty object") << QJsonValue(QJsonObject()) << true << false;
        QTest::newRow("number") << QJsonValue(3) << true << true;
        QTest::newRow("text 12") << QJsonValue("12") << false << false;
        QTest::newRow("true") << QJsonValue(true) << true << true;
        QTest::newRow("object") << QJsonValue(QJsonObject{{"a", 1}}) << false << false;
        QTest::newRow("array") << QJsonValue(QJsonArray{1}) << false << false;
    }

    void every_json_type_as_a_rank()
    {
        QFETCH(QJsonValue, rank);
        QFETCH(bool, accepted);
        QFETCH(bool, before_zero);
        // In both places a rank is read: the main rank, and the subcategory rank.
        const CategoryRanking main =
            rank_categories(QJsonArray{with_ranks(rec("Zero"), 0), with_ranks(rec("Tried"), rank)});
        QCOMPARE(main.ok(), accepted);
        const CategoryRanking sub =
            rank_categories(QJsonArray{with_ranks(rec("M", "Zero"), 0, 0), with_ranks(rec("M", "Tried"), 0, rank)});
        QCOMPARE(sub.ok(), accepted);
        if (!accepted) {
            QVERIFY(main.error.contains("MainCategory_ranking_id"));
            QVERIFY(sub.error.contains("subcategory_ranking_id"));
            return;
        }
        QCOMPARE(main->main_categories, before_zero ? QStringList({"Tried", "Zero"}) : QStringList({"Zero", "Tried"}));
        QCOMPARE(sub->subcategories.value(0).second,
                 before_zero ? QStringList({"Tried", "Zero"}) : QStringList({"Zero", "Tried"}));
    }

    void a_bad_rank_fails_even_on_a_single_record()
    {
        QVERIFY(!rank_categories(QJsonArray{with_ranks(rec("A"), "12")}).ok());
    }

    void a_record_without_category_is_not_read_further()
    {
        QVERIFY(rank_categories(QJsonArray{with_ranks(rec(""), "x"), rec("A")}).ok());
        QVERIFY(rank_categories(QJsonArray{QJsonObject{{"MainCategory", ""}, {"subcategory", 7}}, rec("A")}).ok());
        QVERIFY(rank_categories(QJsonArray{with_ranks(rec("A", ""), 1, "x")}).ok());
    }

    void category_names_must_be_text()
    {
        QVERIFY(!rank_categories(QJsonArray{QJsonObject{{"MainCategory", 5}}}).ok());
        QVERIFY(!rank_categories(QJsonArray{QJsonObject{{"MainCategory", "A"}, {"subcategory", true}}}).ok());
        const CategoryRanking nothing = rank_categories(
            QJsonArray{QJsonObject{{"MainCategory", 0}}, QJsonObject{{"MainCategory", false}}, QJsonObject{}});
        QVERIFY(nothing.ok());
        QVERIFY(nothing->main_categories.isEmpty());
    }

    void top_level_must_be_an_array_of_objects()
    {
        const CategoryRanking object = rank_categories(json("{\"MainCategory\": \"A\"}"));
        QVERIFY(!object.ok());
        QVERIFY(object->main_categories.isEmpty());
        QVERIFY(!rank_categories(json("5")).ok());
        QVERIFY(!rank_categories(json("\"text\"")).ok());
        const CategoryRanking mixed = rank_categories(QJsonArray{rec("A"), 5});
        QVERIFY(!mixed.ok());
        QVERIFY(mixed.error.contains("2"));  // names the record
        QVERIFY(!rank_categories(QJsonArray{QJsonValue()}).ok());
        QVERIFY(!rank_categories(QJsonArray{QJsonArray{}}).ok());
    }

    void empty_array_is_no_error()
    {
        const CategoryRanking result = rank_categories(QJsonArray());
        QVERIFY(result.ok());
        QVERIFY(result->main_categories.isEmpty());
        QVERIFY(result->subcategories.isEmpty());
    }

    // --- select_skins ---

    void skins_sort_by_descending_id_and_missing_ids_follow_positive_ones()
    {
        const QJsonArray catalogue{
            skin_record("seven", "M", "S", 7),   skin_record("none1", "M", "S", QJsonValue::Undefined),
            skin_record("three", "M", "S", 3),   skin_record("minus", "M", "S", -2),
            skin_record("twelve", "M", "S", 12), skin_record("none2", "M", "S", QJsonValue())};
        const SkinSelection result = select_skins(catalogue, "M", QStringLiteral("S"));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(names_of(result.value), QStringList({"twelve", "seven", "three", "none1", "none2", "minus"}));
    }

    void subcategory_filter_spans_main_categories_and_ranks_decide_first()
    {
        QJsonArray catalogue;
        catalogue.append(with_ranks(skin_record("a-low", "A", "X", 50), 1, 1));
        catalogue.append(with_ranks(skin_record("b", "B", "X", 1), 2));
        catalogue.append(with_ranks(skin_record("a-high", "A", "X", 1), 1, 3));
        catalogue.append(skin_record("a-other", "A", "Y", 100));
        const SkinSelection result = select_skins(catalogue, "A", QStringLiteral("X"));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(names_of(result.value), QStringList({"b", "a-high", "a-low"}));
    }

    void without_subcategory_the_main_category_filters()
    {
        const QJsonArray catalogue{skin_record("x", "A", "X", 1), skin_record("y", "A", "Y", 2),
                                   skin_record("bx", "B", "X", 9),
                                   with(skin_record("plain", "A", "", 0), "subcategory", QJsonValue::Undefined)};
        QCOMPARE(names_of(select_skins(catalogue, "A", std::nullopt).value), QStringList({"y", "x", "plain"}));
        QCOMPARE(names_of(select_skins(catalogue, "A", QString("")).value), QStringList({"y", "x", "plain"}));
        QCOMPARE(names_of(select_skins(catalogue, "C", std::nullopt).value), QStringList());
    }

    void equal_keys_keep_array_order()
    {
        // More than 16 of each: std::sort leaves fewer to an insertion sort, which would keep
        // them in order anyway.
        QJsonArray catalogue;
        QStringList skins, subcategories, main_categories{"M"};
        const QJsonValue equal_ids[] = {5, 5.9, "5"};
        for (int i = 0; i < 20; ++i) {
            skins << QString::number(i);
            subcategories << "S" + skins.last();
            main_categories << "N" + skins.last();
            catalogue.append(skin_record(skins.last(), "M", subcategories.last(), equal_ids[i % 3]));
            catalogue.append(rec(main_categories.last()));
        }
        QCOMPARE(names_of(select_skins(catalogue, "M", std::nullopt).value), skins);
        const CategoryRanking ranking = rank_categories(catalogue);
        QCOMPARE(ranking->main_categories, main_categories);
        QCOMPARE(*find_subcategories(ranking->subcategories, "M"), subcategories);
    }

    void integer_value_of_sort_ids_data()
    {
        QTest::addColumn<QJsonValue>("id");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("value");
        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << true << 0.0;
        QTest::newRow("null") << QJsonValue() << true << 0.0;
        QTest::newRow("false") << QJsonValue(false) << true << 0.0;
        QTest::newRow("true") << QJsonValue(true) << true << 1.0;
        QTest::newRow("empty text") << QJsonValue("") << true << 0.0;
        QTest::newRow("empty array") << QJsonValue(QJsonArray()) << true << 0.0;
        QTest::newRow("fraction") << QJsonValue(12.9) << true << 12.0;
        QTest::newRow("negative fraction") << QJsonValue(-2.5) << true << -2.0;
        QTest::newRow("text 12") << QJsonValue("12") << true << 12.0;
        QTest::newRow("padded signed text") << QJsonValue(" -4 ") << true << -4.0;
        QTest::newRow("text with fraction") << QJsonValue("12.5") << false << 0.0;
        QTest::newRow("word") << QJsonValue("abc") << false << 0.0;
        QTest::newRow("blanks") << QJsonValue("  ") << false << 0.0;
        QTest::newRow("sign only") << QJsonValue("-") << false << 0.0;
        QTest::newRow("object") << QJsonValue(QJsonObject{{"a", 1}}) << false << 0.0;
        QTest::newRow("array") << QJsonValue(QJsonArray{1}) << false << 0.0;
    }

    void integer_value_of_sort_ids()
    {
        QFETCH(QJsonValue, id);
        QFETCH(bool, accepted);
        QFETCH(double, value);
        // Place the id between neighbours of known values to observe the integer it gave.
        const QJsonArray catalogue{skin_record("tried", "M", "S", id), skin_record("below", "M", "S", value - 1),
                                   skin_record("equal", "M", "S", value), skin_record("above", "M", "S", value + 1)};
        const SkinSelection result = select_skins(catalogue, "M", std::nullopt);
        QCOMPARE(result.ok(), accepted);
        if (!accepted) {
            QVERIFY(result.error.contains("skin_id"));
            return;
        }
        QCOMPARE(names_of(result.value), QStringList({"above", "tried", "equal", "below"}));
    }

    void every_ranking_id_takes_the_integer_rule_in_the_sort()
    {
        const QJsonArray catalogue{with(skin_record("a", "M", "S", 0), "MainCategory_ranking_id", "3"),
                                   with(skin_record("b", "M", "S", 0), "subcategory_ranking_id", "x")};
        const SkinSelection bad = select_skins(catalogue, "M", std::nullopt);
        QVERIFY(!bad.ok());
        QVERIFY(bad.error.contains("subcategory_ranking_id"));
        const SkinSelection good =
            select_skins(QJsonArray{skin_record("b", "M", "S", 0), catalogue[0]}, "M", std::nullopt);
        QCOMPARE(names_of(good.value), QStringList({"a", "b"}));
    }

    void only_kept_records_are_judged()
    {
        const QJsonArray catalogue{skin_record("bad", "B", "S", "abc"), skin_record("good", "A", "S", 1)};
        const SkinSelection result = select_skins(catalogue, "A", std::nullopt);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(names_of(result.value), QStringList({"good"}));
        QVERIFY(!select_skins(catalogue, "B", std::nullopt).ok());
    }

    void a_subcategory_named_all_is_a_plain_filter()
    {
        const QJsonArray catalogue{skin_record("all", "B", "全部", 1), skin_record("x", "B", "X", 2)};
        QCOMPARE(names_of(select_skins(catalogue, "B", QStringLiteral("全部")).value), QStringList({"all"}));
    }

    void non_object_records_fail_the_selection()
    {
        QVERIFY(!select_skins(QJsonArray{skin_record("a", "M", "S", 1), 7}, "M", std::nullopt).ok());
    }

    // --- parse_json_value ---

    void parse_accepts_any_json_value_and_reports_bad_text()
    {
        QVERIFY(parse_json_value("[1, 2]").value.isArray());
        QVERIFY(parse_json_value("{\"a\": 1}").value.isObject());
        QCOMPARE(parse_json_value(" 5 ").value, QJsonValue(5));
        QCOMPARE(parse_json_value("\"x\"").value, QJsonValue("x"));
        const Outcome<QJsonValue> null = parse_json_value("null");
        QVERIFY(null.value.isNull());
        QVERIFY(null.ok());
        for (const QByteArray &bad : {QByteArray(""), QByteArray("{not json"), QByteArray("1, 2"),
                                      QByteArray("[1] [2]"), QByteArray("1], [2"), QByteArray("<html>")})
            QVERIFY2(!parse_json_value(bad).ok(), bad.constData());
    }

    // --- decode_body ---

    void body_is_decoded_by_its_declared_charset()
    {
        const QString text = QStringLiteral("<p>欢迎 Ünïcode</p>\n");
        QCOMPARE(decode_body(text.toUtf8(), "text/html"), text);
        QCOMPARE(decode_body(text.toUtf8(), ""), text);
        QCOMPARE(decode_body(text.toUtf8(), "text/html; charset=no-such-codec"), text);
        QTextCodec *gbk = QTextCodec::codecForName("GBK");
        QVERIFY(gbk);
        QCOMPARE(decode_body(gbk->fromUnicode(QStringLiteral("欢迎")), "text/html; charset=GBK"),
                 QStringLiteral("欢迎"));
        QCOMPARE(decode_body(gbk->fromUnicode(QStringLiteral("欢迎")), "text/plain;Charset=\"gbk\""),
                 QStringLiteral("欢迎"));
        QCOMPARE(decode_body("caf\xe9", "text/plain; charset=iso-8859-1"), QStringLiteral("café"));
        QCOMPARE(decode_body("  padded \n", "text/plain"), QStringLiteral("  padded \n"));
    }

    void charset_parameter_is_found_among_others()
    {
        QCOMPARE(declared_charset("text/html; q=1; charset=utf-8; x=y"), QByteArray("utf-8"));
        QCOMPARE(declared_charset("text/html"), QByteArray());
        QCOMPARE(declared_charset("text/html; notcharset=gbk"), QByteArray());
        QCOMPARE(declared_charset("text/plain;Charset=\"gbk\""), QByteArray("gbk"));  // quotes are no part of it
    }

    // --- scale ---

    void large_catalogues_rank_and_select_promptly()
    {
        // Many distinct names: a list search per record would grow with the square.
        QJsonArray catalogue;
        for (int i = 0; i < 20000; ++i) {
            QJsonObject record = skin_record(QString::number(i), QStringLiteral("M%1").arg(i % 10000),
                                             QStringLiteral("S%1").arg(i), (i * 7919) % 20000);
            record.insert(QStringLiteral("MainCategory_ranking_id"), i % 13);
            record.insert(QStringLiteral("subcategory_ranking_id"), i % 17);
            catalogue.append(record);
        }
        QJsonArray one_category;
        for (int i = 0; i < 20000; ++i)
            one_category.append(
                skin_record(QString::number(i), "Big", QStringLiteral("S%1").arg(i % 5000), (i * 7919) % 20000));

        // As the program has them: parsed from the server's text.
        catalogue = parse_json_value(QJsonDocument(catalogue).toJson()).value.toArray();
        one_category = parse_json_value(QJsonDocument(one_category).toJson()).value.toArray();

        QElapsedTimer clock;
        clock.start();
        const CategoryRanking ranking = rank_categories(catalogue);
        const qint64 rank_ms = clock.elapsed();
        clock.restart();
        const SkinSelection selection = select_skins(one_category, "Big", std::nullopt);
        const qint64 select_ms = clock.elapsed();
        qInfo("20000 records: ranking %lld ms, selecting one category %lld ms", rank_ms, select_ms);

        QVERIFY(ranking.ok());
        QCOMPARE(ranking->main_categories.size(), 10000);
        QCOMPARE(ranking->subcategories.size(), 10000);
        QCOMPARE(selection.value.size(), 20000);
        QCOMPARE(selection.value.first().value("skin_id").toInt(), 19999);
        // Generous bounds (ten times the budget): they fail on quadratic work, not on a slow machine.
        QVERIFY2(rank_ms < 1500, qPrintable(QString::number(rank_ms)));
        QVERIFY2(select_ms < 200, qPrintable(QString::number(select_ms)));
    }
};

ZORBEL_TEST_MAIN(TestCatalogRanking)
#include "tst_catalog_ranking.moc"
