// A long session in one window: hundreds of installs, cancels and uninstalls while the
// user keeps switching categories and pages, so cards are destroyed and rebuilt while
// their downloads run. Afterwards the queue is idle, every download thread has ended,
// no transfer file is left, every skin on disk is whole, and the cards on the page say
// what is on disk. Meant to run under the sanitizer build as well.

#include "app/mainwindow.h"
#include "cards/skin_widget.h"
#include "download/download_manager.h"
#include "support/download_fixture.h"
#include "support/test_env.h"
#include "support/window_fixture.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRandomGenerator>

namespace {

constexpr int kCycles = 200;
constexpr int kSkins = 12;

QString skin_name(int index)
{
    return QStringLiteral("s%1").arg(index);
}

// Every fourth skin's .pak stops half way and only ends when the user cancels it.
bool stalls(int index)
{
    return index % 4 == 0;
}

QByteArray pak_body(int index)
{
    return QByteArray(12000 + 100 * index, char('a' + index));
}
QByteArray sig_body(int index)
{
    return "signature of " + skin_name(index).toUtf8();
}

int skin_index(const QString &file)
{
    return file.mid(1, file.indexOf('.') - 1).toInt();
}

int thread_count()
{
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

}  // namespace

class TestSoak : public QObject, WindowHarness {
    Q_OBJECT

    DownloadManager *manager = DownloadManager::instance();
    QTemporaryDir game;
    QStringList selections;  // "main/sub", sub empty for "全部"

    QString mods() const { return mod_folder(game.path()); }

    bool is_stalled_task_running() const
    {
        const DownloadTask task = manager->get_current_task();
        return task && stalls(task->value("skin_id").toString().mid(1).toInt());
    }

    void select(const QString &selection)
    {
        const QString main = selection.section('/', 0, 0);
        const QString sub = selection.section('/', 1);
        window->_select_main_category(main);
        window->_select_subcategory(sub.isEmpty() ? std::nullopt : std::optional<QString>(sub));
        QTRY_VERIFY_WITH_TIMEOUT(!window->get_current_page_skin_widgets().isEmpty(), 10000);
    }

    // Lets the queue run dry, cancelling the transfers that would never end by themselves.
    void drain()
    {
        QElapsedTimer clock;
        clock.start();
        while (manager->has_active_tasks() && clock.elapsed() < 60000) {
            if (is_stalled_task_running()) {
                manager->cancel_task(manager->get_current_task()->value("skin_id").toString());
                continue;
            }
            QSignalSpy changed(manager, &DownloadManager::queue_updated);
            changed.wait(5000);
        }
        QVERIFY(!manager->has_active_tasks());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(game.isValid());
        start();

        QJsonArray catalogue;
        for (int i = 0; i < kSkins; ++i) {
            const QString main = i < 9 ? "M1" : "M2";
            const QString sub = i < 6 ? "A" : i < 9 ? "B" : "C";
            catalogue.append(skin_record(skin_name(i), main, sub, 100 - i, i % 2 ? "c.png" : QString()));
        }
        server->set_catalog(catalogue);
        selections = QStringList{"M1/", "M1/A", "M1/B", "M2/", "M2/C"};

        server->route(SkinServer::image_path(), png_reply(solid_image(8, 8, Qt::darkCyan)));
        server->route(skin_download_path(), [](const TestRequest &request) {
            const bool pak = request.query.contains("pak_original");
            const int index = skin_index(requested_file(request));
            if (pak && stalls(index))
                return stalled_reply(pak_body(index).size(), pak_body(index).size() / 2);
            return TestReply::file(pak ? pak_body(index) : sig_body(index));
        });

        open_window();
        QCOMPARE(window->main_categories, QStringList({"M1", "M2"}));
        window->game_dir = game.path();
    }

    void cleanupTestCase() { stop(); }

    void installs_and_cancels_while_paging()
    {
        // One install first, so that whatever the first transfer starts for good (TLS,
        // the manager) is running before threads are counted.
        select("M1/A");
        SkinWidget *first = window->get_current_page_skin_widgets().at(1);
        QCOMPARE(first->skin_data.value("name").toString(), skin_name(1));
        first->_handle_action();
        drain();
        QVERIFY(QFile::exists(join_path(mods(), "s1.pak")));
        QTRY_COMPARE(window->get_current_page_skin_widgets().at(1)->action_button->text(), QString("卸载"));
        const int threads_before = thread_count();

        SignalLog log(manager);
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("soak seed %u", seed);
        QRandomGenerator random(seed);
        int installs = 0, cancels = 0, uninstalls = 0;

        for (int cycle = 0; cycle < kCycles; ++cycle) {
            if (cycle % 8 == 0)
                select(selections.at(random.bounded(selections.size())));
            else if (cycle % 8 < 6 && cycle % 2 == 1)
                window->_next_page();
            else
                window->_prev_page();
            QCoreApplication::processEvents();

            const QList<SkinWidget *> cards = window->get_current_page_skin_widgets();
            QVERIFY2(!cards.isEmpty(), qPrintable(QStringLiteral("cycle %1: an empty page").arg(cycle)));
            for (int touch = 0; touch < 2; ++touch) {
                SkinWidget *card = cards.at(random.bounded(cards.size()));
                const QString text = card->action_button->text();
                if (text == QStringLiteral("安装")) {
                    card->_handle_action();
                    ++installs;
                } else if (text == QStringLiteral("卸载")) {
                    card->_handle_action();
                    ++uninstalls;
                } else if (card->cancel_button->isVisibleTo(card)) {
                    card->_handle_cancel();
                    ++cancels;
                }
                QCoreApplication::processEvents();
            }
            // A stalled transfer would hold the queue for a minute: the user gives up on it,
            // from a card on another page or from the queue itself.
            if (is_stalled_task_running() && random.bounded(3) == 0) {
                manager->cancel_task(manager->get_current_task()->value("skin_id").toString());
                ++cancels;
            }
        }

        drain();
        QCoreApplication::processEvents();
        qInfo("soak: %d installs, %d cancels, %d uninstalls; %d completed, %d cancelled", installs, cancels, uninstalls,
              int(log.events.filter(QRegularExpression("^completed:")).size()),
              int(log.events.filter(QRegularExpression("^cancelled:")).size()));

        QVERIFY(installs > 20);
        QVERIFY(log.events.filter(QRegularExpression("^completed:")).size() > 0);
        QVERIFY(log.events.filter(QRegularExpression("^cancelled:")).size() > 0);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join('\n')));
        QVERIFY(!boxes->saw("下载失败"));

        // Every download thread has ended. (Not an exact count: a short-lived helper thread
        // may have been running when the first count was taken.)
        QTRY_VERIFY_WITH_TIMEOUT(thread_count() <= threads_before, 10000);

        // Only whole skins on disk, and nothing half-written.
        for (int i = 0; i < kSkins; ++i) {
            const QString pak = join_path(mods(), skin_name(i) + ".pak");
            const QString sig = join_path(mods(), skin_name(i) + ".sig");
            QCOMPARE(QFile::exists(pak), QFile::exists(sig));
            if (QFile::exists(pak)) {
                QVERIFY2(!stalls(i), qPrintable(skin_name(i) + " could not have arrived whole"));
                QCOMPARE(read_file(pak), pak_body(i));
                QCOMPARE(read_file(sig), sig_body(i));
            }
        }
        for (const QString &file : files_below(mods()))
            QVERIFY2(!file.endsWith(".tmp"), qPrintable(file));

        // The cards that survived all of this show what is on disk.
        for (SkinWidget *card : window->get_current_page_skin_widgets()) {
            const QString name = card->skin_data.value("name").toString();
            const bool installed = QFile::exists(join_path(mods(), name + ".pak"));
            QCOMPARE(card->action_button->text(), installed ? QString("卸载") : QString("安装"));
            QVERIFY(card->action_button->isEnabled());
        }
    }
};

ZORBEL_TEST_MAIN(TestSoak)
#include "tst_soak.moc"
