#pragma once

#include <QWidget>

#include <memory>

class Core;
class DebugPanelPrivate;

// The hidden tab for support: the raw logs by source and the traffic of the
// provider's API.
class DebugPanel : public QWidget
{
    Q_OBJECT

public:
    DebugPanel(Core *core, QWidget *parent = nullptr);
    ~DebugPanel() override;

public slots:
    void genericData(const QByteArray &data);
    void openVpnData(const QByteArray &data);
    void rasVpnData(const QByteArray &data);
    void updateNetwork();
    // The stored account as the wizard's credentials page keeps it: a sheet on the
    // desktop, or printed.
    void saveCredentialsToFile();
    void printCredentials();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<DebugPanelPrivate> d;
};
