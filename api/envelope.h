#pragma once

#include "credentials.h"

#include <QByteArray>
#include <QString>

class Request;

// The XML envelope every request travels in: a header that describes this
// client and its login, and the request's own body.
class Envelope
{
public:
    struct Header
    {
        QString language;
        QString country;
        int utcOffsetMinutes = 0;
        QString version;
        double devicePixelRatio = 1.0;
        bool debug = false;
        QString osName;
        QString cpu;
        Credentials storedCredentials;
    };

    static QByteArray encode(const Request &request, qint64 id, const Header &header);
    // Lower-case hexadecimal SHA-1 of the password's UTF-8 bytes: passwords never travel in clear.
    static QString passwordDigest(const QString &password);

private:
    Envelope() = delete;
};
