#pragma once
// Password transport and content digests (OpenSSL libcrypto).
#include <QByteArray>
#include <QString>
#include <memory>

namespace crypto {

// The client sends passwords as Base64 of AES-128-CBC with PKCS#7 padding
// over the UTF-8 text, with a fixed key and IV. ok is false for text that is
// not valid Base64 or does not decrypt with correct padding.
QString decryptPassword(const QString &base64, bool *ok = nullptr);
QString encryptPassword(const QString &plain);

QString sha256Hex(const QByteArray &data);
// Salted digest used to keep passwords at rest.
QString passwordHash(const QString &salt, const QString &password);
QString randomHex(int bytes);

// Incremental SHA-256 that can be fed block by block.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;
    void add(const char *data, size_t len);
    QString finalHex();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace crypto
