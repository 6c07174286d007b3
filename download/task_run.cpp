#include "download/task_run.h"

#include "app/config.h"
#include "app/endpoints.h"
#include "app/http_session.h"
#include "app/logging.h"
#include "download/install_manifest.h"
#include "download/safe_file_ops.h"
#include "download/set_aside.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

namespace {
constexpr int kProbeTimeoutMs = 10000;
}  // namespace

TaskRun::TaskRun(const QVariantMap &skin, QString install_path, const std::atomic_bool &cancelled,
                 std::function<void(int)> report, std::function<bool()> begin_move)
    : skin(skin)
    , install_path(std::move(install_path))
    , cancelled(cancelled)
    , begin_move(std::move(begin_move))
{
    progress.report = std::move(report);
}

TaskOutcome TaskRun::execute()
{
    if (!QDir().mkpath(install_path))
        return fail(QStringLiteral("无法创建目录: ") + install_path);
    log_info(QStringLiteral("已创建或确认目录存在: ") + shown_path(install_path));

    const QString main_category = skin.value(QStringLiteral("MainCategory")).toString();
    const QString subcategory = skin.value(QStringLiteral("subcategory")).toString();
    const QString pak_filename = skin.value(QStringLiteral("pak_original")).toString();
    const QString sig_filename = skin.value(QStringLiteral("sig_original")).toString();
    const FileChecks pak_checks = file_checks(skin, QStringLiteral("pak"));
    const FileChecks sig_checks = file_checks(skin, QStringLiteral("sig"));
    TaskOutcome outcome = check_files(pak_filename, sig_filename, pak_checks, sig_checks);
    if (outcome != TaskOutcome::Done)
        return outcome;

    // Both sizes are known before the first byte is fetched, so progress spans both files.
    outcome = probe(skin_file_url(main_category, subcategory, QStringLiteral("pak_original"), pak_filename),
                    pak_filename, pak_checks);
    if (outcome == TaskOutcome::Done)
        outcome = probe(skin_file_url(main_category, subcategory, QStringLiteral("sig_original"), sig_filename),
                        sig_filename, sig_checks);
    if (outcome == TaskOutcome::Done)
        outcome = fetch_all();
    if (outcome != TaskOutcome::Done)
        return outcome;
    // Both files arrived whole: only now do they replace what is installed. A move that
    // has begun is not cancelled half-way: it ends, and the task reports how.
    if (!begin_move())
        return TaskOutcome::Cancelled;
    return put_in_place();
}

TaskOutcome TaskRun::check_files(const QString &pak_filename, const QString &sig_filename, const FileChecks &pak_checks,
                                 const FileChecks &sig_checks)
{
    // The server marks a skin that must be bought by a name that is no .pak.
    if (!pak_filename.endsWith(QLatin1String(".pak")))
        return fail(QStringLiteral("此皮肤需要购买: ") + pak_filename);
    for (const QString &filename : {pak_filename, sig_filename}) {
        const QString name = windows_base_name(filename);
        if (!usable_file_name(name) || install_manifest::is_manifest_name(name))
            return fail(QStringLiteral("无效的文件名: ") + filename);
    }
    if (!pak_checks.usable || !sig_checks.usable)
        return fail(QStringLiteral("无效的文件校验信息: ") + (pak_checks.usable ? sig_filename : pak_filename));
    return TaskOutcome::Done;
}

TaskOutcome TaskRun::probe(const QString &url, const QString &filename, const FileChecks &checks)
{
    HttpRequest request;
    request.url = url;
    request.timeout_ms = kProbeTimeoutMs;
    request.follow_redirects = false;
    request.abort = &cancelled;
    const HttpResponse response = session().head(request);
    if (cancelled)
        return TaskOutcome::Cancelled;
    if (!response.ok())
        return fail(response.error);

    TransferEntry entry;
    entry.checks = checks;
    qint64 &total_size = progress.total_size;
    // A redirect's own length is not the file's.
    const bool redirected = response.status >= 300 && response.status < 400;
    const QByteArray length = response.header("Content-Length");
    if (!length.isNull()) {
        bool number = false;
        entry.announced = length.trimmed().toLongLong(&number);
        if (!number || entry.announced < 0 || entry.announced > std::numeric_limits<qint64>::max() - total_size)
            return fail(QStringLiteral("无效的文件大小: ") + QString::fromLatin1(length));
        if (!redirected)
            entry.whole_size = entry.announced;
    }
    if (checks.size >= 0) {
        if (entry.whole_size >= 0 && entry.whole_size != checks.size)
            return fail(size_mismatch(filename, entry.whole_size, checks.size));
        entry.whole_size = entry.announced = checks.size;
        if (entry.announced > std::numeric_limits<qint64>::max() - total_size)
            return fail(QStringLiteral("无效的文件大小: %1").arg(checks.size));
    }
    total_size += entry.announced;
    entry.url = url;
    entry.filename = filename;
    entry.final_path = join_path(install_path, windows_base_name(filename));
    entry.temp_path = entry.final_path + TRANSFER_SUFFIX;
    entries.append(entry);
    return TaskOutcome::Done;
}

TaskOutcome TaskRun::fetch_all()
{
    for (TransferEntry &entry : entries) {
        if (cancelled)
            return TaskOutcome::Cancelled;
        FileFetch fetch(entry, cancelled, progress);
        const TaskOutcome outcome = fetch.run();
        if (outcome != TaskOutcome::Done) {
            message = fetch.message;
            return outcome;
        }
    }
    return TaskOutcome::Done;
}

TaskOutcome TaskRun::put_in_place()
{
    QStringList installed_paths;
    for (const TransferEntry &entry : entries)
        installed_paths << entry.final_path;
    const QString failure = PairMove(installed_paths).run();
    if (!failure.isEmpty())
        return fail(failure);
    QList<QPair<QString, QByteArray>> files;
    for (const TransferEntry &entry : entries)
        files.append({QFileInfo(entry.final_path).fileName(), entry.sha256});
    install_manifest::record(install_path, files);
    return TaskOutcome::Done;
}

void TaskRun::remove_temp_files() const
{
    for (const TransferEntry &entry : entries)
        safe_remove(entry.temp_path);
}

TaskOutcome TaskRun::fail(const QString &description)
{
    message = description;
    return TaskOutcome::Failed;
}
