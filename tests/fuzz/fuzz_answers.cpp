// Fuzzes the readers of the provider's answers. Input: one byte that picks the
// reader (modulo their number: the requests' readBody, then the value types'
// fromXml), then the answer text. The text is read as NetworkManager reads an
// answer: up to its first start element, then handed to the reader.

#include "anonymousloginrequest.h"
#include "checkoutstatusrequest.h"
#include "coordinate.h"
#include "country.h"
#include "createticketrequest.h"
#include "geoip.h"
#include "geoiprequest.h"
#include "location.h"
#include "logincheckrequest.h"
#include "loginrequest.h"
#include "message.h"
#include "networkaddress.h"
#include "paymentnotification.h"
#include "row.h"
#include "statusrequest.h"
#include "term.h"
#include "trialrequest.h"
#include "urlrequest.h"
#include "userstatus.h"
#include "variablesrequest.h"
#include "vpnaccount.h"
#include "vpnresource.h"
#include "vpnserver.h"
#include "vpnserversrequest.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <cstdint>
#include <iterator>

namespace {

using Reader = void (*)(QXmlStreamReader &reader);

template<typename T> void readRequest(QXmlStreamReader &reader)
{
    T request;
    request.readBody(reader);
}

void readStatusWithVariables(QXmlStreamReader &reader)
{
    StatusRequest request;
    request.setIncludeVariables(true);
    request.readBody(reader);
}

const Reader readers[] = {
    readRequest<LoginRequest>,
    readRequest<AnonymousLoginRequest>,
    readRequest<StatusRequest>,
    readStatusWithVariables,
    readRequest<VariablesRequest>,
    readRequest<VpnServersRequest>,
    readRequest<GeoIpRequest>,
    [](QXmlStreamReader &reader) {
        UrlRequest request(
            QStringLiteral("account_home"), { { QStringLiteral("page"), QStringLiteral("billing") } });
        request.readBody(reader);
    },
    [](QXmlStreamReader &reader) {
        TrialRequest request(QStringLiteral("5b7d4e0a-6c1f-4d3e-9a2b-1f0e8d7c6b5a"));
        request.readBody(reader);
    },
    [](QXmlStreamReader &reader) {
        CheckoutStatusRequest request(QStringLiteral("checkout-1"));
        request.readBody(reader);
    },
    [](QXmlStreamReader &reader) {
        CreateTicketRequest request(
            QStringLiteral("user@noxel.invalid"), QStringLiteral("Subject"), QStringLiteral("Message"));
        request.readBody(reader);
    },
    readRequest<LoginCheckRequest>,
    [](QXmlStreamReader &reader) { UserStatus::fromXml(reader); },
    [](QXmlStreamReader &reader) { GeoIp::fromXml(reader); },
    [](QXmlStreamReader &reader) { VpnServer::fromXml(reader); },
    [](QXmlStreamReader &reader) { Location::fromXml(reader); },
    [](QXmlStreamReader &reader) { Coordinate::fromXml(reader); },
    [](QXmlStreamReader &reader) { Country::fromXml(reader); },
    [](QXmlStreamReader &reader) { VpnAccount::fromXml(reader); },
    [](QXmlStreamReader &reader) { VpnResource::fromXml(reader); },
    [](QXmlStreamReader &reader) { Message::fromXml(reader); },
    [](QXmlStreamReader &reader) { Row::fromXml(reader); },
    [](QXmlStreamReader &reader) { Term::fromXml(reader); },
    [](QXmlStreamReader &reader) { PaymentNotification::fromXml(reader); },
    [](QXmlStreamReader &reader) { NetworkAddress address(reader); },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Reader read = readers[data[0] % std::size(readers)];
    QXmlStreamReader reader(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    while (!reader.atEnd() && !reader.isStartElement())
        reader.readNext();
    if (reader.isStartElement())
        read(reader);
    return 0;
}
