// Checking a game folder: the required game file and the write test in the mod folder.
// The suite runs as root, which ignores permission bits, so unwritable folders are made
// immutable with chattr.

#include "app/logging.h"
#include "app/config.h"
#include "gamedir/game_folder.h"
#include "support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

bool run_chattr(const QString &flag, const QString &path)
{
    QProcess chattr;
    chattr.start(QStringLiteral("chattr"), {flag, path});
    return chattr.waitForFinished(10000) && chattr.exitStatus() == QProcess::NormalExit && chattr.exitCode() == 0;
}

// Makes a folder immutable for its lifetime; ok() is false when this system cannot.
class Immutable {
public:
    explicit Immutable(const QString &path)
        : path_(path)
    {
        locked_ = run_chattr(QStringLiteral("+i"), path_);
        QFile probe(path_ + QStringLiteral("/.immutable_probe"));
        if (locked_ && probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            effective_ = false;  // writes still succeed: the flag is not honoured here
        } else {
            effective_ = locked_;
        }
    }
    ~Immutable()
    {
        if (locked_)
            run_chattr(QStringLiteral("-i"), path_);
    }
    bool ok() const { return effective_; }

private:
    QString path_;
    bool locked_ = false;
    bool effective_ = false;
};

#define REQUIRE_IMMUTABLE(guard)                                                                                       \
    if (!(guard).ok())                                                                                                 \
        QSKIP("chattr +i is not available or not honoured here, so no folder can be made unwritable for root");

QString pak_file(const QString &root)
{
    return join_path(root, PAK_DIR, GAME_PAK_FILE);
}
QString mod_dir(const QString &root)
{
    return join_path(root, MOD_SUBDIR);
}

void make_game(const QString &root)
{
    QVERIFY(QDir().mkpath(join_path(root, PAK_DIR)));
    QFile pak(pak_file(root));
    QVERIFY(pak.open(QIODevice::WriteOnly));
    pak.write("pak");
}

}  // namespace

class TestGamedirValidation : public QObject {
    Q_OBJECT

private slots:
    void game_folder_with_writable_mod_folder_is_valid()
    {
        QTemporaryDir root;
        make_game(root.path());
        QCOMPARE(validate_game_dir(root.path()), QStringList());
        QVERIFY(QFileInfo(mod_dir(root.path())).isDir());
        QVERIFY(QDir(mod_dir(root.path())).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void missing_pak_file_is_one_error_and_the_mod_folder_is_still_made()
    {
        QTemporaryDir root;
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors, QStringList{QStringLiteral("无效目录: 未找到必需文件 ") + shown_path(pak_file(root.path()))});
        QCOMPARE(pak_file(root.path()),
                 root.path() + QStringLiteral("/DreadHunger/Content/Paks/DreadHunger-WindowsNoEditor.pak"));
        QVERIFY(QFileInfo(root.path() + QStringLiteral("/DreadHunger/Content/Paks/qvmods")).isDir());
    }

    void unwritable_mod_folder_is_one_write_error()
    {
        QTemporaryDir root;
        make_game(root.path());
        QVERIFY(QDir().mkpath(mod_dir(root.path())));
        Immutable guard(mod_dir(root.path()));
        REQUIRE_IMMUTABLE(guard);
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QStringLiteral("目录不可写: ")), qPrintable(errors.first()));
        QVERIFY2(errors.first().contains(QStringLiteral("permission_test.tmp")), qPrintable(errors.first()));
    }

    void both_problems_give_two_errors_pak_first()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(mod_dir(root.path())));
        Immutable guard(mod_dir(root.path()));
        REQUIRE_IMMUTABLE(guard);
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 2);
        QCOMPARE(errors.at(0), QStringLiteral("无效目录: 未找到必需文件 ") + shown_path(pak_file(root.path())));
        QVERIFY(errors.at(1).startsWith(QStringLiteral("目录不可写: ")));
        QCOMPARE(join_errors(errors), errors.at(0) + QStringLiteral("，") + errors.at(1));
    }

    void mod_folder_that_cannot_be_created_is_a_write_error()
    {
        QTemporaryDir root;
        make_game(root.path());
        const QString paks = join_path(root.path(), PAK_DIR);
        Immutable guard(paks);
        REQUIRE_IMMUTABLE(guard);
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QStringLiteral("目录不可写: ")), qPrintable(errors.first()));
        QVERIFY(!QFileInfo::exists(mod_dir(root.path())));
    }

    void leftover_probe_file_is_overwritten_and_removed()
    {
        QTemporaryDir root;
        make_game(root.path());
        QVERIFY(QDir().mkpath(mod_dir(root.path())));
        const QString probe = join_path(mod_dir(root.path()), PERMISSION_PROBE);
        QFile leftover(probe);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.write(QByteArray(1000, 'x'));
        leftover.close();
        QCOMPARE(validate_game_dir(root.path()), QStringList());
        QVERIFY(!QFileInfo::exists(probe));
    }

    void probe_name_taken_by_a_folder_is_a_write_error()
    {
        QTemporaryDir root;
        make_game(root.path());
        QVERIFY(QDir().mkpath(join_path(mod_dir(root.path()), PERMISSION_PROBE)));
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().startsWith(QStringLiteral("目录不可写: ")));
    }
};

ZORBEL_TEST_MAIN(TestGamedirValidation)
#include "tst_gamedir_validation.moc"
