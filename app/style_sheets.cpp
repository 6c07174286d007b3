#include "app/style_sheets.h"

#include <QStringList>

namespace {

// The two category rows share four states; only font size and padding differ.
QString toggle_button_style(const QString &object_name, const QString &font_size, const QString &padding)
{
    const QString selector = QStringLiteral("QPushButton#") + object_name;
    return selector
           + QStringLiteral(
                 " { background-color: #FFFFFF; color: #374151; border-radius: 4px; font: %1 \"Microsoft YaHei\";"
                 " border: 1px solid #D1D5DB; padding: %2; }")
                 .arg(font_size, padding)
           + selector + QStringLiteral(":hover { background-color: #F3F4F6; border: 1px solid #9CA3AF; }") + selector
           + QStringLiteral(":pressed { background-color: #E5E7EB; border: 1px solid #6B7280; }") + selector
           + QStringLiteral(":checked { background-color: #3B82F6; color: #FFFFFF; border: 1px solid #2563EB; }");
}

// The card's round buttons differ in colours, radius, padding and width only.
QString card_button_style(const char *colours, const char *radius, const char *padding, const char *min_width)
{
    const QStringList shades = QString::fromLatin1(colours).split(QLatin1Char(' '));
    return QStringLiteral("QPushButton { background-color: %1; color: white; border: none; border-radius: %4;"
                          " font: 500 13px 'Microsoft YaHei'; padding: %5; min-width: %6; }"
                          "QPushButton:hover { background-color: %2; }"
                          "QPushButton:pressed { background-color: %3; }")
        .arg(shades.value(0), shades.value(1), shades.value(2), QLatin1String(radius), QLatin1String(padding),
             QLatin1String(min_width));
}

// The cancel buttons of the queue dialog's task cards differ in colours only.
QString queue_cancel_style(const char *normal, const char *hover, const char *pressed)
{
    return QStringLiteral("QPushButton { background-color: %1; color: white; border: none; border-radius: 4px;"
                          " padding: 6px 12px; font-weight: 500; font-size: 12px; }"
                          "QPushButton:hover { background-color: %2; }"
                          "QPushButton:pressed { background-color: %3; }")
        .arg(QLatin1String(normal), QLatin1String(hover), QLatin1String(pressed));
}

}  // namespace

const QString INSTALL_BUTTON_STYLE = card_button_style("#4CAF50 #45a049 #3d8b40", "12px", "4px 10px", "60px");
const QString UNINSTALL_BUTTON_STYLE = card_button_style("#FF4444 #E53935 #C62828", "12px", "4px 10px", "60px");
const QString UPDATE_BUTTON_STYLE = card_button_style("#1E88E5 #1976D2 #1565C0", "12px", "4px 10px", "60px");

namespace style {

const QString window =
    QStringLiteral("QMainWindow { background-color: #F5F7FA; }"
                   "QPushButton { background-color: #3B82F6; color: white; border: none; border-radius: 6px;"
                   " padding: 8px 16px; font: 500 14px 'Microsoft YaHei'; }"
                   "QScrollArea { background: transparent; border: none; }");

const QString dir_label = QStringLiteral(
    "QLabel { background-color: #F8F9FA; border: 1px solid #E9ECEF; border-radius: 4px; padding: 8px 12px;"
    " font: 14px \"Microsoft YaHei\"; color: #6C757D; min-height: 20px; }");

const QString message_box =
    QStringLiteral("QMessageBox { background-color: #2b2b2b; color: #ffffff; border: 1px solid #555555;"
                   " border-radius: 12px; font: 13px 'Microsoft YaHei'; }"
                   "QMessageBox QLabel { color: #ffffff; font: 13px 'Microsoft YaHei'; min-width: 350px;"
                   " max-width: 450px; padding: 20px; qproperty-alignment: AlignCenter; line-height: 1.5; }"
                   "QPushButton { background-color: #4CAF50; color: white; border: none; border-radius: 8px;"
                   " font: 500 14px 'Microsoft YaHei'; padding: 10px 25px; min-width: 100px; margin: 5px; }"
                   "QPushButton:hover { background-color: #45a049; border: 1px solid #4CAF50; }"
                   "QPushButton:pressed { background-color: #3d8b40; border: 1px solid #45a049; }"
                   "QDialogButtonBox { qproperty-centerButtons: true; }");

const QString category_title =
    QStringLiteral("QLabel { font: bold 14px \"Microsoft YaHei\"; color: #374151; padding: 2px 0px; }");
const QString main_category_button =
    toggle_button_style(QStringLiteral("main_category_btn"), QStringLiteral("12px"), QStringLiteral("6px 12px"));
const QString subcategory_tag =
    toggle_button_style(QStringLiteral("sub_category_tag"), QStringLiteral("11px"), QStringLiteral("4px 8px"));

const QString card_area =
    QStringLiteral("QWidget { background-color: #FFFFFF; border-radius: 4px; border: 1px solid #E5E7EB; }");
const QString placeholder = QStringLiteral("font-size: 16px; color: #666; padding: 40px;");
const QString instructions = placeholder + QStringLiteral(" line-height: 1.6;");

const QString page_button = QStringLiteral(
    "QPushButton { background-color: #3B82F6; color: #FFFFFF; border-radius: 4px; font: 11px \"Microsoft YaHei\";"
    " border: 1px solid #2563EB; padding: 4px 8px; }"
    "QPushButton:hover { background-color: #2563EB; border: 1px solid #1D4ED8; }"
    "QPushButton:pressed { background-color: #1D4ED8; border: 1px solid #1E40AF; }"
    "QPushButton:disabled { background-color: #93C5FD; color: #FFFFFF; border: 1px solid #60A5FA; }");
const QString page_label =
    QStringLiteral("QLabel { font: 11px \"Microsoft YaHei\"; color: #374151; padding: 4px 8px; }");

const QString card = QStringLiteral(
    "SkinWidget { background-color: #FFFFFF; border-radius: 12px; border: none; font-family: 'Microsoft YaHei'; }");
const QString card_cover =
    QStringLiteral("QLabel { border: 1px solid #e8e8e8; border-radius: 8px; background-color: #f8f9fa; }");
const QString card_name =
    QStringLiteral("QLabel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgba(0, 0, 0, 0.8),"
                   " stop:1 rgba(0, 0, 0, 0)); color: white; padding: 8px 12px; font: 500 14px 'Microsoft YaHei'; }");
const QString card_zoom_button =
    QStringLiteral("QPushButton { background-color: rgba(255, 255, 255, 0.92); border: none; border-radius: 16px;"
                   " min-width: 32px; max-width: 32px; min-height: 32px; max-height: 32px; padding: 0px; margin: 0px;"
                   " font-size: 16px; font-family: 'Microsoft YaHei'; }"
                   "QPushButton:hover { background-color: rgba(255, 255, 255, 0.98); }"
                   "QPushButton:pressed { background-color: rgba(245, 245, 245, 0.98); }");
const QString action_button = card_button_style("#4CAF50 #45a049 #3d8b40", "18px", "8px 16px", "80px");
const QString busy_button = card_button_style("#ff9800 #f57c00 #ef6c00", "18px", "8px 16px", "80px");
const QString cancel_button = card_button_style("#f44336 #da190b #c62828", "18px", "8px 16px", "60px");

const QString success_dialog = QStringLiteral(
    "QDialog { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4CAF50, stop:1 #45a049);"
    " border-radius: 15px; border: 2px solid #2E7D32; }"
    "QLabel { color: white; font-size: 16px; font-weight: bold; background: transparent; border: none; }"
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #F0F0F0);"
    " border: 2px solid #2E7D32; border-radius: 10px; padding: 8px 16px; font-size: 14px;"
    " font-weight: bold; color: #2E7D32; min-width: 80px; }"
    "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E8F5E8, stop:1 #D0E8D0);"
    " border: 2px solid #1B5E20; }"
    "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #C8E6C9, stop:1 #A5D6A7); }");
const QString success_icon = QStringLiteral("font-size: 48px; color: white; background: transparent; border: none;");

const QString queue_dialog =
    QStringLiteral("QDialog { background-color: #f8fafc; font-family: 'Microsoft YaHei'; }"
                   "QScrollArea { border: none; background-color: transparent; }"
                   "QScrollBar:vertical { background: #e2e8f0; width: 10px; border-radius: 5px; }"
                   "QScrollBar::handle:vertical { background: #cbd5e1; border-radius: 5px; min-height: 20px; }"
                   "QScrollBar::handle:vertical:hover { background: #94a3b8; }");
const QString queue_title = QStringLiteral("font-weight: bold; font-size: 18px; color: #1e293b; padding: 5px 0;");
const QString queue_stats = QStringLiteral(
    "font-size: 12px; color: #64748b; padding: 5px 10px; background-color: #f1f5f9; border-radius: 12px;");
const QString queue_clear_button =
    QStringLiteral("QPushButton { background-color: #ef4444; color: white; border: none; border-radius: 6px;"
                   " padding: 8px 16px; font-weight: 500; font-size: 13px; }"
                   "QPushButton:hover { background-color: #dc2626; }"
                   "QPushButton:pressed { background-color: #b91c1c; }"
                   "QPushButton:disabled { background-color: #fca5a5; color: #f8fafc; }");
const QString queue_close_button =
    QStringLiteral("QPushButton { background-color: #6b7280; color: white; border: none; border-radius: 6px;"
                   " padding: 8px 16px; font-weight: 500; font-size: 13px; }"
                   "QPushButton:hover { background-color: #4b5563; }"
                   "QPushButton:pressed { background-color: #374151; }");
const QString queue_task_card = QStringLiteral(
    "QWidget#task_card { background-color: white; border: 1px solid #e2e8f0; border-radius: 8px; padding: 12px; }");
const QString queue_task_name = QStringLiteral("font-weight: bold; font-size: 14px; color: #1e293b;");
const QString queue_running_status = QStringLiteral("font-weight: bold; font-size: 12px; color: #0ea5e9;");
const QString queue_running_progress = QStringLiteral("font-weight: bold; font-size: 13px; color: #0ea5e9;");
const QString queue_running_cancel = queue_cancel_style("#ef4444", "#dc2626", "#b91c1c");
const QString queue_waiting_heading =
    QStringLiteral("font-weight: bold; font-size: 14px; color: #475569; padding: 8px 0; margin-top: 10px;");
const QString queue_waiting_status = QStringLiteral("font-weight: bold; font-size: 12px; color: #64748b;");
const QString queue_waiting_note = QStringLiteral("font-size: 13px; color: #64748b;");
const QString queue_waiting_cancel = queue_cancel_style("#94a3b8", "#64748b", "#475569");
const QString queue_empty_state = QStringLiteral("QWidget#empty_state { background: transparent; }");
const QString queue_empty_title =
    QStringLiteral("font-weight: bold; font-size: 18px; color: #475569; margin-top: 8px;");
const QString queue_empty_line = QStringLiteral("font-size: 13px; color: #94a3b8; margin-top: 4px;");
const QString queue_empty_hint =
    QStringLiteral("font-size: 12px; color: #64748b; background-color: #f1f5f9; border-radius: 8px; padding: 8px 16px;"
                   " margin-top: 12px;");

}  // namespace style
