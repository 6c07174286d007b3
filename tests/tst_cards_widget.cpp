// The skin card: its required keys, its button driven by the download queue, the
// install, cancel and uninstall actions, and the installation check on disk.

#include "app/logging.h"
#include "app/config.h"
#include "app/endpoints.h"
#include "cards/skin_files.h"
#include "cards/skin_widget.h"
#include "download/download_manager.h"
#include "download/install_manifest.h"
#include "support/download_fixture.h"
#include "support/game_files.h"
#include "support/test_env.h"
#include "support/widget_probes.h"
#include "support/window_fixture.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <stdexcept>

namespace {

// The action button as the user sees it: its text, " off" when disabled, " +cancel" while
// the cancel button shows.
QString shown(const SkinWidget &card)
{
    return card.action_button->text() + (card.action_button->isEnabled() ? "" : " off")
           + (card.cancel_button->isHidden() ? "" : " +cancel");
}

}  // namespace

class TestCardsWidget : public QObject {
    Q_OBJECT

    TestServer server;  // the skin download route never answers: started tasks stay running
    QTemporaryDir game;

    DownloadManager *manager() { return DownloadManager::instance(); }

private slots:
    void initTestCase()
    {
        TestReply stalled = TestReply::text("never");
        stalled.delay_ms = 60000;
        server.route(skin_download_path(), stalled);
        set_base_url(server.url("/base"));
    }

    void cleanup()
    {
        manager()->cancel_all();
        QTRY_VERIFY(!manager()->has_active_tasks());
        QDir(mod_dir_of(game.path())).removeRecursively();
    }

    void a_record_missing_a_required_key_makes_no_card()
    {
        const QStringList keys{"name", "MainCategory", "subcategory", "pak_original", "sig_original"};
        for (const QString &key : keys) {
            QJsonObject record = skin_record("a");
            record.remove(key);
            try {
                SkinWidget card(record, QString());
                QFAIL(qPrintable("accepted a record without " + key));
            } catch (const std::invalid_argument &error) {
                QCOMPARE(QString::fromUtf8(error.what()), "皮肤数据缺少" + key + "字段");
            }
        }
        // Presence is what counts: empty values are accepted.
        QJsonObject blank = skin_record("");
        blank.insert("sig_original", "");
        SkinWidget card(blank, QString());
        QCOMPARE(card.name_label->text(), QString());
    }

    void a_name_from_the_server_is_plain_text()
    {
        QTemporaryDir folder;
        const QString markup = picture_markup(folder.path());
        SkinWidget card(skin_record(markup), QString());
        QCOMPARE(card.name_label->text(), markup);
        QVERIFY(card.name_label->sizeHint().height() < kMarkupPictureHeight);
    }

    void a_card_of_the_running_skin_shows_the_download_at_once()
    {
        manager()->add_task(task_of(skin_record("run"), game.path()));
        manager()->add_task(task_of(skin_record("wait"), game.path()));
        QVERIFY(manager()->get_current_task());
        QCOMPARE(manager()->get_current_task()->value("skin_id").toString(), QStringLiteral("run"));

        SkinWidget running(skin_record("run"), game.path());
        QCOMPARE(shown(running), QStringLiteral("下载中... off +cancel"));
        QCOMPARE(running.action_button->styleSheet(), SkinWidget::BUSY_BUTTON_STYLE);
        SkinWidget waiting(skin_record("wait"), game.path());
        QCOMPARE(shown(waiting), QStringLiteral("等待下载 off +cancel"));
        SkinWidget idle(skin_record("idle"), game.path());
        QCOMPARE(shown(idle), QStringLiteral("安装"));

        // A queue update puts the running card's percentage back to the plain text,
        // and leaves a card that is neither running nor waiting alone.
        emit manager()->progress_updated("run", 45);
        QCOMPARE(running.action_button->text(), QStringLiteral("下载中 45%"));
        idle.action_button->setText("下载中 12%");
        emit manager()->queue_updated();
        QCOMPARE(running.action_button->text(), QStringLiteral("下载中..."));
        QCOMPARE(idle.action_button->text(), QStringLiteral("下载中 12%"));
    }

    void download_signals_for_another_skin_change_nothing()
    {
        SkinWidget card(skin_record("a"), game.path());
        card.show();
        QSignalSpy messages(&card, &SkinWidget::show_message_signal);
        EventCounter styles(card.action_button, QEvent::StyleChange);
        emit manager()->task_started("b");
        emit manager()->progress_updated("b", 10);
        emit manager()->task_completed("b");
        emit manager()->task_failed("b", "boom");
        emit manager()->task_cancelled("b");
        emit manager()->task_started("a ");  // identity is exact text equality
        QCOMPARE(shown(card), QStringLiteral("安装"));
        QCOMPARE(styles.count, 0);
        QCOMPARE(messages.count(), 0);
    }

    void download_signals_drive_the_button()
    {
        SkinWidget card(skin_record("a"), game.path());
        SkinWidget twin(skin_record("a"), game.path());
        QSignalSpy messages(&card, &SkinWidget::show_message_signal);

        emit manager()->task_started("a");
        QCOMPARE(twin.action_button->text(), QStringLiteral("下载中..."));
        emit manager()->progress_updated("a", 45);
        QCOMPARE(shown(card), QStringLiteral("下载中 45% off +cancel"));
        emit manager()->task_completed("a");
        QCOMPARE(shown(card), QStringLiteral("卸载"));
        QCOMPARE(card.action_button->styleSheet(), UNINSTALL_BUTTON_STYLE);
        QCOMPARE(messages.count(), 0);

        emit manager()->task_started("a");
        emit manager()->task_failed("a", "连接超时");
        QCOMPARE(shown(card), QStringLiteral("安装"));
        QCOMPARE(card.action_button->styleSheet(), INSTALL_BUTTON_STYLE);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages[0], QVariantList({"下载失败", "皮肤下载失败: 连接超时，请检查网络连接后重试", "critical"}));
    }

    void repeated_progress_does_not_restyle_the_button()
    {
        SkinWidget card(skin_record("a"), game.path());
        card.show();  // a shown widget re-polishes on every style sheet it is given
        emit manager()->task_started("a");
        emit manager()->progress_updated("a", 45);
        EventCounter styles(card.action_button, QEvent::StyleChange);
        const QString shown = card.action_button->text();
        for (int i = 0; i < 1000; ++i)
            emit manager()->progress_updated("a", 45);
        emit manager()->progress_updated("a", 46);
        emit manager()->task_started("a");
        QCOMPARE(styles.count, 0);
        QCOMPARE(shown, QStringLiteral("下载中 45%"));
        QCOMPARE(card.action_button->text(), QStringLiteral("下载中..."));
    }

    void install_click_hands_the_task_to_the_manager()
    {
        SkinWidget card(skin_record("a"), game.path());
        card.action_button->click();
        const DownloadTask task = manager()->get_current_task();
        QVERIFY(task);
        QCOMPARE(task->value("skin_id").toString(), QStringLiteral("a"));
        QCOMPARE(task->value("game_dir").toString(), game.path());
        QCOMPARE(task->value("skin_data").toMap().value("pak_original").toString(), QStringLiteral("a.pak"));
        QCOMPARE(task->size(), 3);
        // The manager's signals, not the click, moved the button.
        QCOMPARE(shown(card), QStringLiteral("下载中... off +cancel"));

        // A second request while it runs is dropped by the manager.
        card._start_download();
        QVERIFY(manager()->get_queue().isEmpty());
    }

    void an_action_that_cannot_go_ahead_says_why_data()
    {
        QTest::addColumn<QString>("pak");
        QTest::addColumn<QString>("action");        // what the user did
        QTest::addColumn<QVariantList>("message");  // %1: the mod folder
        QTest::newRow("a paid skin shows its notice")
            << "x.PAK"
            << "install" << QVariantList{"付费皮肤", "此皮肤需要购买: x.PAK", "info"};
        QTest::newRow("cancel of an unknown task resets and tells")
            << "a.pak"
            << "cancel" << QVariantList{"提示", "该任务不在下载队列中", "info"};
        QTest::newRow("uninstall without files names the search")
            << "a.pak"
            << "uninstall"
            << QVariantList{
                   "卸载提示",
                   "未找到已安装的皮肤文件\n搜索路径: %1\n目标文件: a.sig, a.pak\n\n可能原因：文件已被删除或未正确安装",
                   "info"};
    }

    void an_action_that_cannot_go_ahead_says_why()
    {
        QFETCH(QString, pak);
        QFETCH(QString, action);
        QFETCH(QVariantList, message);
        QJsonObject record = skin_record("a");
        record.insert("pak_original", pak);
        SkinWidget card(record, game.path());
        QSignalSpy messages(&card, &SkinWidget::show_message_signal);
        if (action == "install") {
            card.action_button->click();
        } else if (action == "cancel") {
            emit manager()->task_started("a");  // the button thinks a download runs
            card.cancel_button->click();
        } else {
            card._uninstall_skin();
        }
        message[1] = message[1].toString().arg(mod_dir_of(game.path()));
        QCOMPARE(QList<QVariantList>(messages), QList<QVariantList>{message});
        QCOMPARE(shown(card), QStringLiteral("安装"));
        QCOMPARE(card.action_button->styleSheet(), INSTALL_BUTTON_STYLE);
        QVERIFY(!manager()->has_active_tasks());
    }

    void cancel_of_a_waiting_task_removes_it_quietly()
    {
        manager()->add_task(task_of(skin_record("run"), game.path()));
        SkinWidget card(skin_record("wait"), game.path());
        card.action_button->click();
        QCOMPARE(manager()->get_queue().size(), 1);
        QCOMPARE(card.action_button->text(), QStringLiteral("等待下载"));

        QSignalSpy messages(&card, &SkinWidget::show_message_signal);
        card.cancel_button->click();
        QVERIFY(manager()->get_queue().isEmpty());
        QCOMPARE(manager()->get_current_task()->value("skin_id").toString(), QStringLiteral("run"));
        QCOMPARE(shown(card), QStringLiteral("安装"));
        QCOMPARE(messages.count(), 0);
    }

    void uninstall_removes_every_copy_data()
    {
        QTest::addColumn<QString>("pak");  // the record's file names
        QTest::addColumn<QString>("sig");
        QTest::addColumn<QStringList>("installed");  // below the mod folder, all removed
        QTest::addColumn<QStringList>("others");     // kept
        // clang-format off
        QTest::newRow("a .sig alone in a subfolder") << "a.pak" << "a.sig" << QStringList{"sub/a.sig"} << QStringList();
        QTest::newRow("every copy")
            << "a.pak" << "a.sig" << QStringList{"one/a.pak", "one/a.sig", "two/x/a.pak", "two/x/a.sig"}
            << QStringList{"two/b.pak"};
        QTest::newRow("a path searched by its base name")
            << "mods/abc.pak" << "mods\\abc.sig" << QStringList{"abc.pak"} << QStringList();
        // clang-format on
    }

    void uninstall_removes_every_copy()
    {
        QFETCH(QString, pak);
        QFETCH(QString, sig);
        QFETCH(QStringList, installed);
        QFETCH(QStringList, others);
        ModalRecorder boxes;
        LogCapture log;
        const QString mods = mod_dir_of(game.path());
        for (const QString &file : installed + others)
            write_file(mods + "/" + file, "skin");
        QJsonObject record = skin_record("a");
        record.insert("pak_original", pak);
        record.insert("sig_original", sig);
        SkinWidget card(record, game.path());
        QCOMPARE(card._get_filenames().pak_name, pak.section('/', -1));
        QCOMPARE(card._get_filenames().sig_name, sig.section('\\', -1));
        QCOMPARE(card.action_button->text(), QStringLiteral("卸载"));
        QCOMPARE(card.action_button->styleSheet(), UNINSTALL_BUTTON_STYLE);

        card.action_button->click();
        for (const QString &file : installed) {
            QVERIFY2(!QFile::exists(mods + "/" + file), qPrintable(file));
            QVERIFY(log.contains("已删除文件: " + shown_path(mods + "/" + file)));
        }
        for (const QString &file : others)
            QVERIFY2(QFile::exists(mods + "/" + file), qPrintable(file));
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].type, QStringLiteral("QDialog"));
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("卸载成功"));
        QCOMPARE(card.action_button->text(), QStringLiteral("安装"));
        QCOMPARE(card.action_button->styleSheet(), SkinWidget::ACTION_BUTTON_STYLE);
        // The next status check brings the install style back.
        card._check_installation_status();
        QCOMPARE(card.action_button->styleSheet(), INSTALL_BUTTON_STYLE);
    }

    void an_install_the_catalogue_replaced_offers_the_update_data()
    {
        QTest::addColumn<QString>("pak_hash");  // in the record: of the installed bytes, of others, none
        QTest::addColumn<bool>("changed");      // the .sig was changed after the install
        QTest::addColumn<QString>("text");
        const QString installed = sha256_hex("skin");
        const QString other = sha256_hex("new skin");
        QTest::newRow("hash changed in the catalogue") << other << false << "更新";
        QTest::newRow("hash unchanged") << installed << false << "卸载";
        QTest::newRow("record without hashes") << QString() << false << "卸载";
        QTest::newRow("file changed since the install") << other << true << "卸载";
    }

    void an_install_the_catalogue_replaced_offers_the_update()
    {
        QFETCH(QString, pak_hash);
        QFETCH(bool, changed);
        QFETCH(QString, text);
        const QString mods = mod_dir_of(game.path());
        write_file(mods + "/a.pak", "skin");
        write_file(mods + "/a.sig", "skin");
        const QByteArray digest = QCryptographicHash::hash("skin", QCryptographicHash::Sha256);
        QVERIFY(install_manifest::record(mods, {{"a.pak", digest}, {"a.sig", digest}}));
        if (changed)
            QVERIFY(QFile(mods + "/a.sig").resize(2));
        QJsonObject record = skin_record("a");
        if (!pak_hash.isEmpty())
            record.insert("pak_sha256", pak_hash);

        SkinWidget card(record, game.path());
        QCOMPARE(card.action_button->text(), text);
        if (text == "更新") {
            QCOMPARE(card.action_button->styleSheet(), UPDATE_BUTTON_STYLE);
            card.action_button->click();  // installs anew, through the queue
            QVERIFY(manager()->get_current_task());
            QCOMPARE(task_skin_id(manager()->get_current_task()), QStringLiteral("a"));
        } else if (!changed) {
            ModalRecorder boxes;
            card.action_button->click();  // the uninstall forgets the pair, the manifest's only entries
            QVERIFY(!QFile::exists(mods + "/" + install_manifest::FILE_NAME));
        }
    }

    void a_card_deleted_while_its_success_dialog_is_open_takes_the_dialog_along()
    {
        ModalRecorder boxes;
        write_file(mod_dir_of(game.path()) + "/a.pak", "skin");
        QPointer<SkinWidget> card = new SkinWidget(skin_record("a"), game.path());
        // As when an event handled meanwhile rebuilds the page.
        boxes.on_dialog = [&card](QDialog &) {
            delete card;
            return int(QDialog::Accepted);
        };
        card->action_button->click();
        QVERIFY(!card);
        QCOMPARE(boxes.boxes.size(), 1);
    }
};

ZORBEL_TEST_MAIN(TestCardsWidget)
#include "tst_cards_widget.moc"
