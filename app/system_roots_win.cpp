#include "app/system_roots.h"

#include <windows.h>
#include <wincrypt.h>

QByteArray system_root_certificates()
{
    HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
    if (!store)
        return {};
    QByteArray pem;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert))) {
        if (cert->dwCertEncodingType != X509_ASN_ENCODING)
            continue;
        const QByteArray der(reinterpret_cast<const char *>(cert->pbCertEncoded), int(cert->cbCertEncoded));
        const QByteArray base64 = der.toBase64();
        pem += "-----BEGIN CERTIFICATE-----\n";
        for (int at = 0; at < base64.size(); at += 64)
            pem += base64.mid(at, 64) + '\n';
        pem += "-----END CERTIFICATE-----\n";
    }
    CertCloseStore(store, 0);
    return pem;
}
