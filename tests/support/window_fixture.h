#pragma once
// A complete server for one MainWindow under test, and the recorder that answers its
// modal boxes. The server answers every endpoint the window uses:
//   discovery   /2/皮肤.php?name=Orvel  -> the base address https://127.0.0.1:PORT/base
//   base + /Instructions.php, /index_skins.php, /subcutaneous/index_image_download.php,
//          /subcutaneous/index_skin_download.php
//   version     /api1/                  -> {"RIzured版本": "1.1", ...} unless changed
// Routes can be replaced per test with route(). WindowHarness puts a suite's window, its
// server and its recorders together, for init() and cleanup().

#include "support/records.h"
#include "support/test_env.h"
#include "support/test_server.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class MainWindow;
class SkinWidget;
class QDialog;

struct RecordedBox {
    QString type;  // the dialog's class name, e.g. "QMessageBox", "DownloadListDialog"
    QString title;
    QString text;         // the message box text, empty for other dialogs
    QStringList buttons;  // the message box's button texts, in the box's order
};

// Answers every modal dialog at once and records it; restores the default when destroyed.
// Message boxes are answered with `answer` (default: the box's default or first button);
// other dialogs are rejected unless `on_dialog` handles them.
class ModalRecorder {
public:
    ModalRecorder();
    ~ModalRecorder();
    QList<RecordedBox> boxes;
    int answer = -1;  // a QMessageBox::StandardButton, or -1 for the default button
    std::function<int(QDialog &)> on_dialog;
    // Fatal exits requested through exit_process (the process keeps running in tests).
    QList<int> exit_codes;
    // Also writes each message box into the log as "BOX title | text", so that a case
    // reads boxes and log lines in the order they happened.
    bool log_boxes = false;
    bool saw(const QString &text) const;  // any box whose text or title contains `text`
    QStringList seen() const;             // every box as "title | text", in order
};

class SkinServer : public TestServer {
public:
    SkinServer();
    QString base() const;  // https://127.0.0.1:PORT/base
    void set_catalog(const QJsonArray &records);
    void set_catalog_body(const QByteArray &body, const QByteArray &content_type = "application/json",
                          int status = 200);
    // `extra`: further keys of the record.
    void set_version(const QString &version, const QString &download_url = QString(),
                     const QJsonObject &extra = QJsonObject());
    static QString instructions_path() { return QStringLiteral("/base/Instructions.php"); }
    static QString catalog_path() { return QStringLiteral("/base/index_skins.php"); }
    static QString image_path() { return QStringLiteral("/base/subcutaneous/index_image_download.php"); }
};

// What a window-level case runs in. start() (from init()) makes a fresh server, box
// recorder and log and resets the process-wide state a case may leave behind: the stored
// game folder, the process lister, the cover stagger and the cover cache. open_window()
// builds the window against the server, after the case has set its routes. stop() (from
// cleanup()) empties the download queue, destroys the window and drops the rest. All on
// the GUI thread.
class WindowHarness {
public:
    void start();
    MainWindow &open_window();
    void stop();
    // Puts a card of `record` on the open window's page, as a page build would.
    SkinWidget *add_card(const QJsonObject &record);

    std::unique_ptr<SkinServer> server;
    std::unique_ptr<ModalRecorder> boxes;
    std::unique_ptr<LogCapture> log;
    std::unique_ptr<MainWindow> window;
};

// The pagination bar as a user reads it: its label, then " <" while the previous-page
// button is enabled and " >" while the next-page one is.
QString pagination_of(const MainWindow &window);

// A name as a hostile server could give it: an <img> naming a tall picture made in `folder`.
// A label that read it as rich text would open that file and grow to kMarkupPictureHeight;
// as plain text it stays a few lines high.
QString picture_markup(const QString &folder);
constexpr int kMarkupPictureHeight = 600;
