#include "app/modal.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace {
ModalRunner &modal_runner()
{
    static ModalRunner runner;
    return runner;
}
ExitHandler &exit_handler()
{
    static ExitHandler handler;
    return handler;
}
// Qt labels standard buttons in English unless its translations are deployed; every text
// the user sees is Chinese.
void label_standard_buttons(QMessageBox &box)
{
    static const QList<QPair<QMessageBox::StandardButton, QString>> labels{
        {QMessageBox::Ok, QStringLiteral("确定")},    {QMessageBox::Yes, QStringLiteral("是")},
        {QMessageBox::No, QStringLiteral("否")},      {QMessageBox::Cancel, QStringLiteral("取消")},
        {QMessageBox::Close, QStringLiteral("关闭")},
    };
    for (const auto &label : labels)
        if (QAbstractButton *button = box.button(label.first))
            button->setText(label.second);
}

}  // namespace

int run_modal(QDialog &dialog)
{
    if (auto *box = qobject_cast<QMessageBox *>(&dialog)) {
        // Messages carry names and error texts from the server. Read as rich text, a name
        // like <img src="//host/share/a.png"> makes Qt open that path (on Windows an SMB
        // connection that hands the user's credentials to the host).
        box->setTextFormat(Qt::PlainText);
        label_standard_buttons(*box);
    }
    if (modal_runner())
        return modal_runner()(dialog);
    return dialog.exec();
}

void exit_process(int code)
{
    if (exit_handler()) {
        exit_handler()(code);
        return;
    }
    std::fflush(stderr);
    // Threads (a download, the update) may still run: end at once, without running
    // destructors that would tear down objects those threads are using.
    std::_Exit(code);
}

void set_modal_runner(ModalRunner runner)
{
    modal_runner() = std::move(runner);
}
void set_exit_handler(ExitHandler handler)
{
    exit_handler() = std::move(handler);
}
