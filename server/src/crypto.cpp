#include "crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace crypto {
namespace {
const char kKey[] = "q7#mz2&kw9!rx4$t";
const char kIv[] = "b3&hp8*nd5%vy1^c";

QByteArray aes(const QByteArray &in, bool encrypt, bool *ok)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    QByteArray out(in.size() + 32, Qt::Uninitialized);
    int n1 = 0, n2 = 0;
    bool good = EVP_CipherInit_ex(ctx, EVP_aes_128_cbc(), nullptr,
                                  reinterpret_cast<const unsigned char *>(kKey),
                                  reinterpret_cast<const unsigned char *>(kIv), encrypt ? 1 : 0) == 1;
    good = good && EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n1,
                                    reinterpret_cast<const unsigned char *>(in.constData()), in.size()) == 1;
    good = good && EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char *>(out.data()) + n1, &n2) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (ok)
        *ok = good;
    if (!good)
        return QByteArray();
    out.resize(n1 + n2);
    return out;
}
} // namespace

QString decryptPassword(const QString &base64, bool *ok)
{
    const QByteArray raw = QByteArray::fromBase64(base64.trimmed().toLatin1());
    if (raw.isEmpty() || raw.size() % 16 != 0) {
        if (ok)
            *ok = false;
        return QString();
    }
    return QString::fromUtf8(aes(raw, false, ok));
}

QString encryptPassword(const QString &plain)
{
    return QString::fromLatin1(aes(plain.toUtf8(), true, nullptr).toBase64());
}

struct Sha256::Impl {
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    ~Impl() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : d(new Impl) { EVP_DigestInit_ex(d->ctx, EVP_sha256(), nullptr); }
Sha256::~Sha256() = default;
void Sha256::add(const char *data, size_t len) { EVP_DigestUpdate(d->ctx, data, len); }
QString Sha256::finalHex()
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_DigestFinal_ex(d->ctx, md, &n);
    return QString::fromLatin1(QByteArray(reinterpret_cast<char *>(md), int(n)).toHex());
}

QString sha256Hex(const QByteArray &data)
{
    Sha256 h;
    h.add(data.constData(), size_t(data.size()));
    return h.finalHex();
}

QString passwordHash(const QString &salt, const QString &password)
{
    return sha256Hex((salt + QLatin1Char(':') + password).toUtf8());
}

QString randomHex(int bytes)
{
    QByteArray b(bytes, Qt::Uninitialized);
    RAND_bytes(reinterpret_cast<unsigned char *>(b.data()), bytes);
    return QString::fromLatin1(b.toHex());
}

} // namespace crypto
