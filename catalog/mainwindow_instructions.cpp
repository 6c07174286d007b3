#include "app/mainwindow.h"

#include "app/endpoints.h"
#include "app/gui_requests.h"
#include "app/http_session.h"
#include "app/logging.h"
#include "app/style_sheets.h"
#include "cards/card_area.h"
#include "cards/pagination_bar.h"
#include "catalog/isolated_rich_text.h"
#include "catalog/text_decoding.h"

#include <QLabel>

namespace {
const QString kDefaultInstructions =
    QStringLiteral("欢迎使用Dread Hunger皮肤管理器！\n\n请选择主分类和子分类来浏览皮肤。");
}  // namespace

void MainWindow::_load_instructions()
{
    const HttpResponse response = session().get(gui_request(Instructions_API, INSTRUCTIONS_LIMITS));

    if (!response.ok()) {
        instructions_content = kDefaultInstructions;
        log_error(QStringLiteral("加载Instructions_API失败: ") + response.error);
    } else if (response.status == 200) {
        instructions_content = decode_body(response.body, response.header("content-type"));
        log_info(QStringLiteral("Instructions_API内容加载成功"));
    } else {
        instructions_content = kDefaultInstructions;
        log_warning(QStringLiteral("Instructions_API加载失败，使用默认内容"));
    }
}

void MainWindow::_show_instructions_content()
{
    // Default text format: a server text that looks like HTML is shown formatted, but
    // nothing it names outside itself is fetched.
    auto *label = new QLabel;
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(style::instructions);
    label->ensurePolished();
    label->setText(without_external_resources(instructions_content, label->font()));
    _card_area->show_only(label);
    _pagination->show_page(0, 1);
}
