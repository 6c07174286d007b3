#include "gamedir/steam_library.h"

#include "app/config.h"
#include "app/logging.h"
#include "gamedir/game_folder.h"
#include "gamedir/keyvalues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

// Steam's own list stays in the kilobytes; anything far larger is not one.
constexpr qint64 kMaxLibraryListBytes = 1 << 20;

const QString kLibraryList = QStringLiteral("steamapps/libraryfolders.vdf");

Outcome<QStringList> read_library_list(QFile &list)
{
    if (!list.open(QIODevice::ReadOnly))
        return Failure{list.errorString()};
    if (list.size() > kMaxLibraryListBytes)
        return Failure{QStringLiteral("file too large (%1 bytes)").arg(list.size())};
    return library_folders_from_vdf(QString::fromUtf8(list.readAll()));
}

// Libraries of one Steam folder; nothing when its list is missing or unreadable.
QStringList libraries_of(const QString &steam_folder)
{
    const QString list_path = QDir(steam_folder).filePath(kLibraryList);
    QFile list(list_path);
    if (!list.exists())
        return {};
    const Outcome<QStringList> folders = read_library_list(list);
    if (!folders.ok()) {
        log_warning(QStringLiteral("无法读取Steam库列表: ") + shown_path(list_path) + QStringLiteral(": ")
                    + folders.error);
        return {};
    }
    return folders.value;
}

// The game file must be a file of the library itself: a link that leads elsewhere would
// make the detection take a folder the library list never named.
bool game_file_in_library(const QString &game, const QString &library)
{
    const QFileInfo game_file(join_path(game, PAK_DIR, GAME_PAK_FILE));
    if (!game_file.isFile())
        return false;
    const QString library_place = QFileInfo(library).canonicalFilePath();
    if (library_place.isEmpty())
        return false;
    const QDir library_dir(library_place);
    QFileInfo folder(QFileInfo(game_file.canonicalFilePath()).absolutePath());
    for (; !folder.isRoot(); folder = QFileInfo(folder.absolutePath()))
        if (QDir(folder.absoluteFilePath()) == library_dir)
            return true;
    return false;
}

}  // namespace

Outcome<QStringList> library_folders_from_vdf(const QString &vdf_text)
{
    const Outcome<std::vector<KeyValue>> entries = parse_keyvalues(vdf_text);
    if (!entries.ok())
        return Failure{entries.error};
    QStringList folders;
    const KeyValue *root = find_key(*entries, QStringLiteral("libraryfolders"));
    if (!root || !root->section)
        return folders;
    for (const KeyValue &library : root->children) {
        const KeyValue *path = library.section ? find_key(library.children, QStringLiteral("path")) : nullptr;
        // The older layout names a library by its number alone: "1" "D:\\SteamLibrary".
        const bool old_layout =
            !library.section && !library.key.isEmpty()
            && std::all_of(library.key.begin(), library.key.end(), [](QChar c) { return c.isDigit(); });
        const QString folder = path && !path->section ? path->value : old_layout ? library.value : QString();
        if (!folder.isEmpty())
            folders.append(folder);
    }
    return folders;
}

QStringList find_steam_game_folders(const QStringList &steam_folders)
{
    QStringList games;
    QSet<QString> seen;
    for (const QString &steam_folder : steam_folders) {
        for (const QString &library : libraries_of(steam_folder)) {
            const QString library_dir = QDir::fromNativeSeparators(library);
            const QDir common(QDir(library_dir).filePath(QStringLiteral("steamapps/common")));
            for (const QString &name : common.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
                const QString game = common.filePath(name);
                if (!game_file_in_library(game, library_dir))
                    continue;
                const QString identity = QFileInfo(game).canonicalFilePath();
                if (seen.contains(identity))
                    continue;
                seen.insert(identity);
                games.append(QDir::toNativeSeparators(QDir::cleanPath(game)));
            }
        }
    }
    return games;
}

QString steam_game_folder()
{
    const QStringList games = find_steam_game_folders(platform_steam_folders());
    if (games.isEmpty())
        return QString();
    log_info(QStringLiteral("未检测到游戏进程，已从Steam库找到游戏目录: ") + shown_path(games.first()));
    for (int i = 1; i < games.size(); ++i)
        log_info(QStringLiteral("Steam库中另有游戏目录(未使用): ") + shown_path(games.at(i)));
    return games.first();
}
