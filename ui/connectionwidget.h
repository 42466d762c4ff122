#pragma once

#include <QWidget>

#include <memory>

class ConnectionWidgetPrivate;
class Core;

// The status window's chart part: the download and the upload chart, each shown
// by choice; the part conceals itself when neither is.
class ConnectionWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ConnectionWidget(Core *core, QWidget *parent = nullptr);
    ~ConnectionWidget() override;

    void setShowDownload(bool show);
    void setShowUpload(bool show);
    // The charts draw in colour, with a grid, only while connected.
    void setConnected(bool connected);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<ConnectionWidgetPrivate> d;
};
