#pragma once

#include "envelope.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

class Request;

// Helpers of the provider API tests: envelopes written the way the transport
// writes them, answers read the way it reads them, and a compact text form of
// XML that a data table can hold.
namespace ApiTest {

// Points HOME and the XDG folders into dir and turns on QStandardPaths' test
// mode, so nothing a test runs can reach the user's own settings.
bool enterTemporaryHome(const QTemporaryDir &dir);

// A plain header without stored credentials.
Envelope::Header header();
QByteArray envelope(
    const Request &request, qint64 id = 1, const Envelope::Header &header = ApiTest::header());

// True when the document reads to its end without an XML error.
bool isWellFormed(const QByteArray &xml);

// The element the reader stands on with everything below it, as
//   name[attribute=value ...](child child ...)
// with attributes sorted by name, text as 'text', CDATA as {text} and
// indentation left out. Leaves the reader on the element's end.
QString canonical(QXmlStreamReader &reader);
// The canonical form of what the request writes inside "body".
QString body(const Request &request);

// Reads an answer as the transport does: the reader is moved to the first
// start element and handed to readBody. False when the reader saw an error.
bool readAnswer(Request &request, const QString &xml);

// A value type's fromXml on the first start element of xml.
template<typename T> T fromXml(const QString &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !reader.isStartElement())
        reader.readNext();
    return T::fromXml(reader);
}

} // namespace ApiTest

// main() of an API test: a throw-away home first, then the application object.
#define NOXEL_API_TEST_MAIN(TestObject)                                                                      \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        const QTemporaryDir home;                                                                            \
        if (!ApiTest::enterTemporaryHome(home))                                                              \
            return 1;                                                                                        \
        QCoreApplication app(argc, argv);                                                                    \
        TestObject test;                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
