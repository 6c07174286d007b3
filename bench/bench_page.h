#pragma once
// The program's window as the benchmarks use it: built against the bench server
// (discovery, instructions, catalogue), shown offscreen, with a game folder, and with
// a page of cards on demand.

#include "app/mainwindow.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class SkinWidget;

// Answers every message box without blocking and keeps its text: a box during a
// measurement means the run went wrong.
void install_box_recorder();
QStringList recorded_boxes();

class BenchPage {
public:
    explicit BenchPage(const QString &game_dir);

    MainWindow &window() { return *main_window; }
    // Empty when the window came up with its catalogue and the version check is done.
    QString failure() const { return failure_text; }

    // Shows `records` (all of the first record's main category) at `page` and waits
    // until every card's cover is in.
    bool show_page(const QVector<QJsonObject> &records, int page = 0);
    QList<SkinWidget *> cards() const;

    // Waits until every card of the page has loaded its cover.
    bool wait_for_covers();

private:
    std::unique_ptr<MainWindow> main_window;
    QString failure_text;
};
