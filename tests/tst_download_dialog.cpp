// The queue window: counters, cards, empty state, cancelling one task and clearing all.

#include "download/download_list_dialog.h"
#include "support/download_fixture.h"
#include "support/test_env.h"
#include "support/widget_probes.h"
#include "support/window_fixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The texts of one list entry, left to right and top to bottom.
QStringList texts_of(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return {label->text()};
    QStringList texts;
    for (QWidget *child : widget->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (auto *label = qobject_cast<QLabel *>(child))
            texts << label->text();
        else if (auto *button = qobject_cast<QPushButton *>(child))
            texts << button->text();
        else
            texts << texts_of(child);
    }
    return texts;
}

// Every entry of the list, as its texts; the trailing stretch is not an entry.
QList<QStringList> entries(const DownloadListDialog &dialog)
{
    QList<QStringList> found;
    for (int i = 0; i < dialog.scroll_layout->count(); ++i)
        if (QWidget *widget = dialog.scroll_layout->itemAt(i)->widget())
            found << texts_of(widget);
    return found;
}

QPushButton *cancel_button_of(const DownloadListDialog &dialog, const QString &skin_name)
{
    for (int i = 0; i < dialog.scroll_layout->count(); ++i) {
        QWidget *widget = dialog.scroll_layout->itemAt(i)->widget();
        if (widget && texts_of(widget).contains(skin_name))
            return widget->findChild<QPushButton *>();
    }
    return nullptr;
}

}  // namespace

class TestDownloadDialog : public QObject {
    Q_OBJECT

    DownloadManager *manager = DownloadManager::instance();
    std::unique_ptr<TestServer> server;
    std::unique_ptr<QTemporaryDir> game;

    // A runs and stays at 42 % (840 of 2000 bytes); B and C wait.
    void queue_three()
    {
        for (const QString name : {"A", "B", "C"})
            manager->add_task(make_task(name, game->path(), name.toLower() + ".pak", name.toLower() + ".sig"));
        QTRY_COMPARE_WITH_TIMEOUT(manager->get_current_progress(), 42, 10000);
    }

private slots:
    void init()
    {
        server = std::make_unique<TestServer>();
        game = std::make_unique<QTemporaryDir>();
        const TestReply stalled = stalled_reply(1000, 840);
        const TestReply sig = TestReply::file(QByteArray(1000, 's'));
        QMap<QString, TestReply> replies;
        for (const QString name : {"a", "b", "c"})
            replies.insert({{name + ".pak", stalled}, {name + ".sig", sig}});
        serve_skin_files(*server, replies);
    }

    void cleanup()
    {
        manager->cancel_all();
        server.reset();
    }

    void the_list_fills_at_the_first_tick()
    {
        DownloadListDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("下载队列"));
        QCOMPARE(dialog.stats_label->text(), QString("队列: 0 | 下载中: 0 | 等待: 0"));
        QVERIFY(entries(dialog).isEmpty());
        QCOMPARE(dialog.timer->interval(), 1000);
        QSignalSpy tick(dialog.timer, &QTimer::timeout);
        QVERIFY(tick.wait(3000));
        QCOMPARE(dialog.stats_label->text(), QString("队列: 0 | 下载中: 0 | 等待: 0"));
        QCOMPARE(entries(dialog), QList<QStringList>({{"皮肤队列为空", "添加皮肤到下载队列开始下载",
                                                       "在主界面点击皮肤卡片上的'安装'按钮添加下载"}}));
    }

    void running_and_waiting_tasks_are_listed_in_order()
    {
        queue_three();
        DownloadListDialog dialog;
        dialog.update_list();
        QCOMPARE(dialog.stats_label->text(), QString("队列: 3 | 下载中: 1 | 等待: 2"));
        QCOMPARE(entries(dialog), QList<QStringList>({{"下载中", "A", "42%", "取消下载"},
                                                      {"⏳ 等待下载"},
                                                      {"等待下载", "B", "等待下载", "取消下载"},
                                                      {"等待下载", "C", "等待下载", "取消下载"}}));
    }

    void a_task_name_from_the_server_is_plain_text()
    {
        queue_three();
        const QString markup = picture_markup(game->path());
        manager->add_task(make_task(markup, game->path(), "m.pak", "m.sig"));
        DownloadListDialog dialog;
        dialog.update_list();
        const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
        const auto name = std::find_if(labels.begin(), labels.end(), [&](QLabel *l) { return l->text() == markup; });
        QVERIFY(name != labels.end());
        QVERIFY((*name)->sizeHint().height() < kMarkupPictureHeight);
    }

    void cancelling_a_waiting_card_rebuilds_at_once()
    {
        queue_three();
        DownloadListDialog dialog;
        dialog.update_list();
        QPushButton *cancel = cancel_button_of(dialog, "B");
        QVERIFY(cancel);
        cancel->click();
        QCOMPARE(dialog.stats_label->text(), QString("队列: 2 | 下载中: 1 | 等待: 1"));
        QCOMPARE(entries(dialog),
                 QList<QStringList>(
                     {{"下载中", "A", "42%", "取消下载"}, {"⏳ 等待下载"}, {"等待下载", "C", "等待下载", "取消下载"}}));
        QCOMPARE(manager->get_current_task()->value("skin_id").toString(), QString("A"));
    }

    void nothing_to_cancel_is_reported()
    {
        ModalRecorder boxes;
        DownloadListDialog dialog;
        SignalLog log(manager);
        dialog._cancel_task("finished meanwhile");
        dialog._clear_all_tasks();
        QCOMPARE(boxes.seen(), QStringList({"提示 | 该任务不在下载队列中", "提示 | 下载队列已为空"}));
        QVERIFY(log.events.isEmpty());
    }

    void clearing_cancels_every_task()
    {
        queue_three();
        ModalRecorder boxes;
        DownloadListDialog dialog;
        SignalLog log(manager);
        QPushButton *clear = button_with_text(dialog, "清空队列");
        QVERIFY(clear);
        clear->click();
        QVERIFY(!manager->has_active_tasks());
        // Each waiting task becomes the running one in turn and is cancelled as such.
        log.events.removeAll("queue");
        QCOMPARE(log.events, QStringList({"cancelled:A", "started:B", "cancelled:B", "started:C", "cancelled:C"}));
        QCOMPARE(dialog.stats_label->text(), QString("队列: 0 | 下载中: 0 | 等待: 0"));
        QCOMPARE(boxes.seen(), QStringList({"操作成功 | 已清空下载队列"}));
        QCOMPARE(files_below(mod_folder(game->path())), QStringList());
    }
};

ZORBEL_TEST_MAIN(TestDownloadDialog)
#include "tst_download_dialog.moc"
