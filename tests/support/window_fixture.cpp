#include "support/window_fixture.h"

#include "app/config.h"
#include "app/logging.h"
#include "app/mainwindow.h"
#include "app/modal.h"
#include "cards/skin_widget.h"
#include "download/download_manager.h"
#include "gamedir/process_list.h"
#include "support/stored_setting.h"
#include "support/widget_probes.h"
#include "widgets/flow_layout.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

ModalRecorder::ModalRecorder()
{
    set_modal_runner([this](QDialog &dialog) {
        RecordedBox box;
        box.type = QString::fromLatin1(dialog.metaObject()->className());
        box.title = dialog.windowTitle();
        if (auto *message = qobject_cast<QMessageBox *>(&dialog)) {
            box.text = message->text();
            for (QAbstractButton *button : message->buttons())
                box.buttons << button->text();
            boxes.append(box);
            if (log_boxes)
                log_info(QStringLiteral("BOX %1 | %2").arg(box.title, box.text));
            if (answer >= 0)
                return answer;
            QAbstractButton *chosen = message->defaultButton();
            if (!chosen && !message->buttons().isEmpty())
                chosen = message->buttons().first();
            return chosen ? int(message->standardButton(chosen)) : int(QMessageBox::NoButton);
        }
        boxes.append(box);
        return on_dialog ? on_dialog(dialog) : int(QDialog::Rejected);
    });
    set_exit_handler([this](int code) { exit_codes.append(code); });
}

ModalRecorder::~ModalRecorder()
{
    set_modal_runner(nullptr);
    set_exit_handler(nullptr);
}

bool ModalRecorder::saw(const QString &text) const
{
    for (const RecordedBox &box : boxes)
        if (box.text.contains(text) || box.title.contains(text))
            return true;
    return false;
}

QStringList ModalRecorder::seen() const
{
    QStringList texts;
    for (const RecordedBox &box : boxes)
        texts << box.title + QStringLiteral(" | ") + box.text;
    return texts;
}

QString pagination_of(const MainWindow &window)
{
    return window.page_label->text() + (window.prev_btn->isEnabled() ? " <" : "")
           + (window.next_btn->isEnabled() ? " >" : "");
}

SkinServer::SkinServer()
{
    route(QStringLiteral("/2/皮肤.php"), TestReply::text(base().toUtf8()));
    route(instructions_path(), TestReply::text(QStringLiteral("<h2>欢迎</h2>").toUtf8()));
    set_catalog(QJsonArray());
    set_version(QStringLiteral("1.1"));
}

QString SkinServer::base() const
{
    return url(QStringLiteral("/base"));
}

void SkinServer::set_catalog(const QJsonArray &records)
{
    set_catalog_body(QJsonDocument(records).toJson(QJsonDocument::Compact));
}

void SkinServer::set_catalog_body(const QByteArray &body, const QByteArray &content_type, int status)
{
    TestReply reply = TestReply::text(body, status);
    reply.content_type = content_type;
    route(catalog_path(), reply);
}

void SkinServer::set_version(const QString &version, const QString &download_url, const QJsonObject &extra)
{
    QJsonObject record = extra;
    record.insert(QStringLiteral("RIzured版本"), version);
    record.insert(QStringLiteral("RIzured下载地址"),
                  download_url.isEmpty() ? url(QStringLiteral("/files/zorbel-skins.exe")) : download_url);
    route(QStringLiteral("/api1/"), TestReply::json(QJsonDocument(record).toJson(QJsonDocument::Compact)));
}

void WindowHarness::start()
{
    store_game_dir(QString());
    set_process_lister(nullptr);
    SkinWidget::_cover_load_counter = 0;
    QDir(CACHE_DIR).removeRecursively();
    QDir().mkpath(CACHE_DIR);
    server = std::make_unique<SkinServer>();
    boxes = std::make_unique<ModalRecorder>();
    log = std::make_unique<LogCapture>();
}

MainWindow &WindowHarness::open_window()
{
    use_server(server->host());
    window = std::make_unique<MainWindow>();
    return *window;
}

SkinWidget *WindowHarness::add_card(const QJsonObject &record)
{
    auto *card = new SkinWidget(record, window->game_dir);
    window->flow_layout->addWidget(card);
    window->all_skin_widgets.append(card);
    return card;
}

void WindowHarness::stop()
{
    DownloadManager::instance()->cancel_all();
    QTRY_VERIFY(!DownloadManager::instance()->has_active_tasks());
    window.reset();
    drain_deletions();
    set_process_lister(nullptr);
    log.reset();
    boxes.reset();
    server.reset();
}

QString picture_markup(const QString &folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("tall.png"));
    QImage picture(4, kMarkupPictureHeight, QImage::Format_RGB32);
    picture.fill(Qt::red);
    picture.save(path);
    return QStringLiteral("<img src=\"%1\">").arg(QUrl::fromLocalFile(path).toString());
}
