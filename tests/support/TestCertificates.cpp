#include "TestCertificates.h"

#include <QFile>
#include <atomic>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {
std::atomic<long> nextSerial{1};

QByteArray memoryContents(BIO* memory)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(memory, &data);
    return QByteArray(data, int(length));
}

QByteArray certificatePem(X509* certificate)
{
    BIO* memory = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(memory, certificate);
    const QByteArray pem = memoryContents(memory);
    BIO_free(memory);
    return pem;
}

QByteArray keyPem(EVP_PKEY* key)
{
    BIO* memory = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(memory, key, nullptr, nullptr, 0, nullptr, nullptr);
    const QByteArray pem = memoryContents(memory);
    BIO_free(memory);
    return pem;
}

void addExtension(X509* certificate, X509* issuer, int nid, const QByteArray& value)
{
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.constData());
    if (extension)
        X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

QByteArray alternativeNames(const QStringList& names)
{
    QStringList entries;
    for (const QString& name : names) {
        ASN1_OCTET_STRING* address = a2i_IPADDRESS(name.toLatin1().constData());
        entries.append((address ? QStringLiteral("IP:") : QStringLiteral("DNS:")) + name);
        ASN1_OCTET_STRING_free(address);
    }
    return entries.join(QLatin1Char(',')).toLatin1();
}

// A new certificate for `key` named by `names` (the first is the common
// name; an authority has no others); signed by `issuerKey` under `issuer`'s
// name, or by `key` itself when `issuer` is null.
X509* makeCertificate(EVP_PKEY* key, const QStringList& names, qint64 validFrom, qint64 validUntil, X509* issuer,
                      EVP_PKEY* issuerKey, bool isAuthority)
{
    const QString commonName = names.value(0);
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), nextSerial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate), long(validFrom));
    X509_gmtime_adj(X509_getm_notAfter(certificate), long(validUntil));
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Quarrow Tests"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.toUtf8().constData()), -1, -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
    X509* signer = issuer ? issuer : certificate;
    addExtension(certificate, signer, NID_basic_constraints, isAuthority ? "critical,CA:TRUE" : "CA:FALSE");
    addExtension(certificate, signer, NID_subject_key_identifier, "hash");
    if (isAuthority)
        addExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    else
        addExtension(certificate, signer, NID_subject_alt_name, alternativeNames(names));
    X509_sign(certificate, issuerKey ? issuerKey : key, EVP_sha256());
    return certificate;
}

TestCertificate describe(X509* certificate, EVP_PKEY* key)
{
    TestCertificate made;
    made.certificatePem = certificatePem(certificate);
    made.keyPem = keyPem(key);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(certificate, EVP_sha256(), digest, &length);
    made.sha256 = QByteArray(reinterpret_cast<const char*>(digest), int(length));
    char subject[256] = {};
    X509_NAME_oneline(X509_get_subject_name(certificate), subject, sizeof subject);
    made.subject = QString::fromUtf8(subject);
    return made;
}

X509* readCertificate(const QByteArray& pem)
{
    BIO* memory = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    X509* certificate = PEM_read_bio_X509(memory, nullptr, nullptr, nullptr);
    BIO_free(memory);
    return certificate;
}

EVP_PKEY* readKey(const QByteArray& pem)
{
    BIO* memory = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(memory, nullptr, nullptr, nullptr);
    BIO_free(memory);
    return key;
}
}

TestCertificateAuthority::TestCertificateAuthority()
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate =
        makeCertificate(key, {QStringLiteral("Quarrow Test Authority")}, -Day, 365 * Day, nullptr, nullptr, true);
    m_authority = describe(certificate, key);
    X509_free(certificate);
    EVP_PKEY_free(key);
    QFile file(m_dir.filePath(QStringLiteral("authority.pem")));
    if (m_dir.isValid() && file.open(QIODevice::WriteOnly) && file.write(m_authority.certificatePem) > 0)
        m_file = file.fileName();
}

TestCertificateAuthority::~TestCertificateAuthority() = default;

TestCertificate TestCertificateAuthority::issue(const QStringList& names, qint64 validFrom, qint64 validUntil) const
{
    X509* authority = readCertificate(m_authority.certificatePem);
    EVP_PKEY* authorityKey = readKey(m_authority.keyPem);
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = makeCertificate(key, names, validFrom, validUntil, authority, authorityKey, false);
    const TestCertificate made = describe(certificate, key);
    X509_free(certificate);
    X509_free(authority);
    EVP_PKEY_free(key);
    EVP_PKEY_free(authorityKey);
    return made;
}

TestCertificate TestCertificateAuthority::selfSigned(const QStringList& names, qint64 validFrom, qint64 validUntil)
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = makeCertificate(key, names, validFrom, validUntil, nullptr, nullptr, false);
    const TestCertificate made = describe(certificate, key);
    X509_free(certificate);
    EVP_PKEY_free(key);
    return made;
}

bool TestCertificate::installOn(ssl_ctx_st* context) const
{
    X509* certificate = readCertificate(certificatePem);
    EVP_PKEY* key = readKey(keyPem);
    const bool installed = certificate && key && SSL_CTX_use_certificate(context, certificate) == 1 &&
                           SSL_CTX_use_PrivateKey(context, key) == 1;
    X509_free(certificate);
    EVP_PKEY_free(key);
    return installed;
}
