#pragma once
// Process-wide values shared by every subsystem.

#include <QString>
#include <QStringList>

// Game folder layout, relative to the game root, written the Windows way.
extern const QString PAK_DIR;     // "DreadHunger\\Content\\Paks"
extern const QString MOD_SUBDIR;  // "DreadHunger\\Content\\Paks\\qvmods"

// Suffixes the program gives its own files in the mod folder: a file being transferred,
// an installed file set aside while a new one replaces it, and the record of such a move
// (download/set_aside.h). The clean-up acts on them, so no skin file may end in one.
extern const QString TRANSFER_SUFFIX;     // ".tmp"
extern const QString SET_ASIDE_SUFFIX;    // ".setaside"
extern const QString MOVE_RECORD_SUFFIX;  // ".moving"

// Cover image cache: ~/.cache/VezoZizerur. Created by init_process_values()
// (app/process_values.h).
extern QString CACHE_DIR;

// Joins a game-relative path to a folder. The relative part may use backslashes
// (PAK_DIR, MOD_SUBDIR); it is split at every separator so that each piece becomes
// a real folder level on every platform. Further pieces are appended in order.
QString join_path(const QString &base, const QString &relative);
QString join_path(const QString &base, const QString &relative, const QString &name);

// The part after the last slash or backslash (Windows rules, on every platform).
QString windows_base_name(const QString &path);

// True for a file name that Windows keeps for itself or changes on the way: a device
// name (CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, COM and LPT with a superscript
// ¹ ² ³, CONIN$, CONOUT$; in any case, alone or with an extension) and a name that ends
// in a dot or a space ("." and ".." included).
bool is_reserved_windows_name(const QString &name);

// True for a base name the program may create in the mod folder: not empty, not
// reserved, no control character (a NUL would cut the name short), no ':' (a drive or an
// alternate data stream on Windows), and not ending in one of the suffixes above (in any
// case, as Windows compares names). A name the server gives may hold folders
// ("../../x.pak"); only its last part is ever written.
bool usable_file_name(const QString &name);

// "app.ico" in the folder of the program's own executable; the file need not exist.
QString app_icon_path();

// Server host (host[:port]): ZORBEL_SERVER if set, otherwise the build's default.
QString server_host();
// PEM file of extra trusted certificates (ZORBEL_CA_FILE), or empty.
QString extra_ca_file();
