#include "gamedir/game_folder_row.h"

#include "app/style_sheets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QPushButton *add_button(QHBoxLayout *layout, const QString &text)
{
    auto *button = new QPushButton(text);
    layout->addWidget(button);
    return button;
}

}  // namespace

GameFolderRow::GameFolderRow(QWidget *parent)
    : QWidget(parent)
    , _status(new QLabel)
{
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(4);
    layout->addWidget(new QLabel(QStringLiteral("皮肤目录：")));
    _status->setTextFormat(Qt::PlainText);
    _status->setStyleSheet(style::dir_label);
    show_detect_hint();
    layout->addWidget(_status, 4);
    // The buttons take the window's blue look: they have no style of their own.
    connect(add_button(layout, QStringLiteral("检测目录")), &QPushButton::clicked, this,
            &GameFolderRow::detect_requested);
    connect(add_button(layout, QStringLiteral("打开皮肤目录")), &QPushButton::clicked, this,
            &GameFolderRow::open_folder_requested);
    connect(add_button(layout, QStringLiteral("下载队列")), &QPushButton::clicked, this,
            &GameFolderRow::queue_requested);
}

void GameFolderRow::show_detect_hint()
{
    _status->setText(QStringLiteral("请先启动Dread Hunger游戏后点击检测目录"));
}

void GameFolderRow::show_success(const QString &text)
{
    _status->setText(QStringLiteral("✓ ") + text);
}

void GameFolderRow::show_failure(const QString &text)
{
    _status->setText(QStringLiteral("✗ ") + text);
}

void GameFolderRow::show_download(const QString &text)
{
    _status->setText(QStringLiteral("📥 ") + text);
}
