#include "certificate.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <functional>
#include <memory>

namespace {

template <typename T, void (*Free)(T *)> struct Deleter {
    void operator()(T *p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using BnPtr = std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>>;

QString openssl_error(const char *what)
{
    const unsigned long code = ERR_get_error();
    char text[256] = "unknown error";
    if (code != 0)
        ERR_error_string_n(code, text, sizeof text);
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QLatin1String(text));
}

bool add_extension(X509 *cert, int nid, const char *value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A random positive 63-bit serial: clients refuse two different certificates from one
// issuer with the same serial, which a regenerated certificate would otherwise have.
bool set_random_serial(X509 *cert)
{
    BnPtr serial(BN_new());
    return serial && BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1
           && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert)) != nullptr;
}

QByteArray to_pem(const std::function<int(BIO *)> &write)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1)
        return {};
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(size));
}

QString write_file(const QString &path, const QByteArray &content, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(permissions) || file.write(content) != content.size()
        || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return {};
}

}  // namespace

QString certificate_path(const QString &data_dir)
{
    return QDir(data_dir).filePath(QStringLiteral("cert.pem"));
}

QString private_key_path(const QString &data_dir)
{
    return QDir(data_dir).filePath(QStringLiteral("key.pem"));
}

QString ensure_certificate(const QString &data_dir)
{
    const QString cert_file = certificate_path(data_dir);
    const QString key_file = private_key_path(data_dir);
    if (QFile::exists(cert_file) && QFile::exists(key_file))
        return {};

    KeyPtr key(EVP_RSA_gen(2048));
    if (!key)
        return openssl_error("key generation");
    CertPtr cert(X509_new());
    if (!cert || X509_set_version(cert.get(), 2) != 1 || !set_random_serial(cert.get()))
        return openssl_error("certificate set-up");

    // An hour of slack before now tolerates a client clock that runs a little behind.
    const long ten_years = 10L * 365 * 24 * 3600;
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), ten_years);
    X509_set_pubkey(cert.get(), key.get());

    X509_NAME *name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char *>("Zorbel demo catalogue"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("localhost"), -1, -1,
                               0);
    X509_set_issuer_name(cert.get(), name);

    // The certificate is its own trust anchor (clients load it as their CA file), hence CA:TRUE.
    if (!add_extension(cert.get(), NID_basic_constraints, "critical,CA:TRUE")
        || !add_extension(cert.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment,keyCertSign")
        || !add_extension(cert.get(), NID_ext_key_usage, "serverAuth")
        || !add_extension(cert.get(), NID_subject_key_identifier, "hash")
        || !add_extension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost"))
        return openssl_error("certificate extensions");
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return openssl_error("certificate signature");

    const QByteArray key_pem = to_pem(
        [&](BIO *bio) { return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });
    const QByteArray cert_pem = to_pem([&](BIO *bio) { return PEM_write_bio_X509(bio, cert.get()); });
    if (key_pem.isEmpty() || cert_pem.isEmpty())
        return openssl_error("PEM encoding");

    if (!QDir().mkpath(data_dir))
        return QStringLiteral("cannot create %1").arg(data_dir);
    QString error = write_file(key_file, key_pem, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (error.isEmpty())
        error = write_file(cert_file, cert_pem,
                           QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                               | QFileDevice::ReadOther);
    return error;
}
