// The window's frame: start-up against a server, discovery, message box, close.

#include "app/endpoints.h"
#include "app/logging.h"
#include "app/modal.h"
#include "app/mainwindow.h"
#include "support/test_env.h"
#include "support/window_fixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

class TestWindowShell : public QObject {
    Q_OBJECT

private slots:
    void log_line_has_the_documented_format()
    {
        const QString line = format_log_line(QtInfoMsg, QStringLiteral("main"), QStringLiteral("成功获取动态API地址: x"));
        const QRegularExpression pattern(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},\\d{3} \\[INFO\\] main: 成功获取动态API地址: x$"));
        QVERIFY2(pattern.match(line).hasMatch(), qPrintable(line));
        QVERIFY(format_log_line(QtWarningMsg, "main", "m").contains(" [WARNING] main: m"));
        QVERIFY(format_log_line(QtCriticalMsg, "main", "m").contains(" [ERROR] main: m"));
    }

    void start_up_discovers_the_base_and_logs_the_endpoints()
    {
        SkinServer server;
        ModalRecorder boxes;
        LogCapture log;
        auto window = make_window(server);
        QCOMPARE(BASE_URL, server.base());
        QCOMPARE(BASE_API, server.base() + "/index_skins.php");
        QVERIFY(log.contains("成功获取动态API地址: " + server.base()));
        const QStringList lines = log.lines();
        const int done = lines.indexOf("[INFO] API地址设置完成:");
        QVERIFY(done >= 0);
        QCOMPARE(lines.value(done + 1), "[INFO]   Instructions_API: " + server.base() + "/Instructions.php");
        QCOMPARE(lines.value(done + 2), "[INFO]   BASE_API: " + server.base() + "/index_skins.php");
        QCOMPARE(lines.value(done + 3),
                 "[INFO]   SKIN_DOWNLOAD_API: " + server.base() + "/subcutaneous/index_skin_download.php");
        QCOMPARE(lines.value(done + 4),
                 "[INFO]   IMAGE_DOWNLOAD_API: " + server.base() + "/subcutaneous/index_image_download.php");
    }

    void show_message_is_one_ok_button_without_icon()
    {
        SkinServer server;
        ModalRecorder boxes;
        auto window = make_window(server);
        int buttons = -1;
        QString okText;
        QMessageBox::Icon icon = QMessageBox::Warning;
        boxes.on_dialog = nullptr;
        set_modal_runner([&](QDialog &dialog) {
            auto &box = static_cast<QMessageBox &>(dialog);
            buttons = box.buttons().size();
            okText = box.button(QMessageBox::Ok)->text();
            icon = box.icon();
            return int(QMessageBox::Ok);
        });
        window->show_message("标题", "内容", "critical");
        QCOMPARE(buttons, 1);
        QCOMPARE(okText, QStringLiteral("确定"));
        QCOMPARE(icon, QMessageBox::NoIcon);
    }
};

ZORBEL_TEST_MAIN(TestWindowShell)
#include "tst_window_shell.moc"
