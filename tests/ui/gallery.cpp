#include "configuration.h"
#include "connectionerrordialog.h"
#include "core.h"
#include "mainwindow.h"
#include "mirrow.h"
#include "paymentdialog.h"
#include "paymentnotification.h"
#include "providersimulator.h"
#include "serverdetailsdialog.h"
#include "testhome.h"
#include "vpnfailuredialog.h"
#include "vpnmanager.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

// Shows every tab of the main window and the dialogs of the account, the map and the
// failures on the desktop it runs on, one after the other, and saves a picture of the
// whole screen of each, so that they are seen as a user sees them (window manager
// included). The session is the demo account at the provider simulator on loopback.
//
//     noxel_gallery OUTPUT_DIR [LANGUAGE]      (LANGUAGE: en, the default, or de)
//
// The pictures are OUTPUT_DIR/<number>-<name>[-de].png; each path is printed as it is
// saved. Exits 0 when every picture was saved, 1 otherwise.

namespace {

// The provider's renewal offer, with a card picture drawn here.
PaymentNotification offer()
{
    QImage card(96, 60, QImage::Format_ARGB32);
    card.fill(Qt::transparent);
    {
        QPainter painter(&card);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0x2f, 0x85, 0xde));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(2, 2, 92, 56), 8, 8);
        painter.setBrush(QColor(0xf0, 0xc0, 0x40));
        painter.drawRoundedRect(QRectF(12, 18, 18, 14), 3, 3);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    card.save(&buffer, "PNG");
    const QString xml = u"<payment-notification><title>Noxel Premium</title>"
                        "<headline>Your plan ends in 3 days</headline>"
                        "<text>Renew now and stay private on every network.</text>"
                        "<subscriptions default=\"12m\">"
                        "<subscription key=\"1m\"><description>1 month: 9.95 &amp;euro;</description></subscription>"
                        "<subscription key=\"12m\"><description>12 months: 59.95 &amp;euro;</description></subscription>"
                        "</subscriptions><payment-options default=\"card\">"
                        "<payment-option key=\"card\"><name>Credit card</name><pixmap dpr=\"2\">%1</pixmap>"
                        "</payment-option></payment-options></payment-notification>"_s
                            .arg(QString::fromLatin1(png.toBase64()));
    QXmlStreamReader reader(xml);
    reader.readNextStartElement();
    return PaymentNotification::fromXml(reader);
}

class Gallery
{
public:
    Gallery(const QString &folder, const QString &language)
        : folder(folder)
        , suffix(language == "en"_L1 ? QString() : u'-' + language)
    {
    }

    // Lets the window settle, then saves the screen.
    void shoot(const QString &name)
    {
        QTest::qWait(1200);
        const QString file = QDir(folder).filePath(name + suffix + u".png"_s);
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        if (screen.isNull() || !screen.save(file)) {
            std::fprintf(stderr, "gallery: %s could not be saved\n", qPrintable(file));
            ++failures;
            return;
        }
        std::printf("%s\n", qPrintable(file));
        std::fflush(stdout);
    }

    // Shows a dialog over the window, takes its picture and closes it.
    void shootDialog(const QString &name, QDialog *dialog)
    {
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
        shoot(name);
        dialog->reject();
    }

    int failures = 0;

private:
    QString folder;
    QString suffix;
};

bool waitFor(QSignalSpy &spy)
{
    return !spy.isEmpty() || spy.wait(30000);
}

} // namespace

int main(int argc, char *argv[])
{
    TestHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "gallery: cannot set up a temporary home\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(u"Noxel"_s);
    QCoreApplication::setApplicationName(u"Noxel"_s);
    QCoreApplication::setApplicationVersion(u"2.3.1"_s);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        std::fprintf(stderr, "usage: noxel_gallery OUTPUT_DIR [en|de]\n");
        return 2;
    }
    const QString language = arguments.value(2, u"en"_s);
    QDir().mkpath(arguments.at(1));
    QSettings().setValue(u"language"_s, language);

    ProviderSimulator simulator;
    if (!simulator.start(ProviderSimulator::demoData())) {
        std::fprintf(stderr, "gallery: the provider simulator did not start\n");
        return 1;
    }
    qputenv(Mirrow::AddressesVariable, simulator.address().toUtf8());

    Core core;
    if (!core.initialize())
        return 1;
    core.configuration()->setCredentials(u"demo"_s, u"demo-password"_s);
    core.configuration()->setWizardCompleted(true);
    QSignalSpy status(&core, &Core::userStatusUpdated);
    QSignalSpy located(&core, &Core::originalIpChanged);
    QSignalSpy listed(core.vpnManager(), &VpnManager::vpnServersChanged);
    MainWindow window(&core);
    window.resize(1000, 720);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !waitFor(status) || !waitFor(located) || !waitFor(listed)) {
        std::fprintf(stderr, "gallery: the session with the provider simulator did not come up\n");
        return 1;
    }

    Gallery gallery(arguments.at(1), language);
    const QList<std::pair<QString, std::function<void()>>> tabs {
        { u"10-preferences"_s, [&window] { window.showPreferences(); } },
        { u"11-log"_s, [&window] { window.showLog(); } },
        { u"12-my-account"_s, [&window] { window.showMyAccount(); } },
        { u"13-help"_s, [&window] { window.showHelp(); } },
        { u"14-debug"_s, [&window] { window.showDebug(); } },
    };
    for (const auto &[name, show] : tabs) {
        show();
        gallery.shoot(name);
    }
    window.showConnection();

    const VpnServer server = core.vpnManager()->server(0);
    auto *details = new ServerDetailsDialog(&core, &window);
    details->setServer(server);
    gallery.shootDialog(u"15-server-details"_s, details);

    auto *payment = new PaymentDialog(&core, &window);
    payment->setNotification(offer());
    gallery.shootDialog(u"16-payment"_s, payment);

    auto *error = new ConnectionErrorDialog(&core, &window);
    error->setError(server, u"The VPN server did not answer within 30 seconds."_s);
    gallery.shootDialog(u"17-connection-error"_s, error);

    gallery.shootDialog(u"18-vpn-failure"_s, new VpnFailureDialog(&window, Vpn::OpenVpnUdp));
    return gallery.failures == 0 ? 0 : 1;
}
