#pragma once
// The certificate authorities the operating system trusts, as PEM text, so that a file of
// extra authorities can be added to them instead of replacing them.

#include <QByteArray>

// Linux: the bundle libcurl was built to use. Windows: the "ROOT" store of the current
// user (which includes the machine's). Empty when none can be read.
QByteArray system_root_certificates();
