#pragma once

#include "userstatus.h"
#include "vpn.h"
#include "vpnaccount.h"
#include "vpnresource.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class ContextPrivate;
class VpnServer;

// What the provider's API has told the client: variables, texts, links and the
// latest account status.
// Core fills it; everyone else reads. Safe to use from any thread.
class Context : public QObject
{
    Q_OBJECT

public:
    using Texts = QHash<QString, QHash<QString, QString>>;

    Context();
    ~Context() override;

    void setUserStatus(const UserStatus &status);
    void setLinks(const QHash<QString, QString> &links);
    void setTexts(const Texts &texts);
    void setVariables(const QHash<QString, QVariant> &variables);

    // True once the provider has answered at least once.
    bool isValid() const;

    qint64 statusTimestamp() const;
    UserStatus userStatus() const;
    VpnAccount vpnAccount() const;
    // The account may connect: a trial, or a paid term.
    bool isAccountUsable() const;
    // The resources of the server's provider for the protocol, one per key; a
    // resource for this very host wins over a general one.
    QList<VpnResource> vpnResources(const VpnServer &server, Vpn::Protocol protocol) const;

    bool boolVariable(const QString &key, bool defaultValue) const;
    int intVariable(const QString &key, int defaultValue) const;
    QString stringVariable(const QString &key) const;

    QString link(const QString &name) const;
    // The text in the language of the default locale; empty when there is none.
    QString text(const QString &name) const;

private:
    std::unique_ptr<ContextPrivate> d;
};
