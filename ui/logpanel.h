#pragma once

#include <QWidget>

#include <memory>

class Core;
class LogPanelPrivate;

// The connection log as the user sees it, to copy or save for the support staff.
class LogPanel : public QWidget
{
    Q_OBJECT

public:
    LogPanel(Core *core, QWidget *parent = nullptr);
    ~LogPanel() override;

public slots:
    void lineAdded(const QString &line);
    void copyToClipboard();
    void saveToFile();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<LogPanelPrivate> d;
};
