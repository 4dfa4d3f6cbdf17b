#include "PasswordHash.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QPasswordDigestor>

namespace {

constexpr int Iterations = 100000;
constexpr int HashLength = 10;

QByteArray bytes(std::string_view s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

std::string HashPassword(std::string_view password, std::string_view salt)
{
    QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, bytes(password),
                                                        bytes(salt), Iterations, HashLength);
    std::string out = key.toStdString();
    key.fill('\0');
    return out;
}
