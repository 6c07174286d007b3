#pragma once
// The server's own TLS identity: a self-signed certificate for the loopback names.

#include <QString>

// File names inside the data folder.
QString certificate_path(const QString &data_dir);
QString private_key_path(const QString &data_dir);

// Makes cert.pem and key.pem in `data_dir` (valid for IP 127.0.0.1, IP ::1 and DNS localhost)
// unless both are already there. The key is readable by its owner only; the certificate
// appears last, so a file watcher that waits for it finds a complete pair.
// Returns an empty text on success, otherwise what went wrong.
QString ensure_certificate(const QString &data_dir);
