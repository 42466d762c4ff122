#pragma once

#include <QIcon>
#include <QList>
#include <QRect>
#include <QTimer>
#include <QWidget>

class FancyTab;

// The column of large tabs, icon above label, on the left of the main window.
// Hovering fades a highlight in and out; a click selects at once and announces
// the new tab from the event loop, after the bar has repainted.
class FancyTabBar : public QWidget
{
    Q_OBJECT

public:
    explicit FancyTabBar(QWidget *parent = nullptr);
    ~FancyTabBar() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    void insertTab(int index, const QIcon &icon, const QString &label);
    void setTabEnabled(int index, bool enabled);
    bool isTabEnabled(int index) const;
    void setTabText(int index, const QString &label);
    QString tabText(int index) const;
    void setTabToolTip(int index, const QString &toolTip);
    int count() const;
    int currentIndex() const;
    // Selects without the deferred announcement; false for an index out of range or disabled.
    bool setCurrentIndex(int index);
    QRect tabRect(int index) const;
    // How far the tab's hover highlight has faded in, 0 to 40.
    float tabFader(int index) const;

signals:
    void currentChanged(int index);

public slots:
    void emitCurrentIndex();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QSize tabSizeHint(bool minimum = false) const;
    int tabAt(const QPoint &position) const;
    void paintTab(QPainter *painter, int index) const;

    QList<FancyTab *> tabs;
    int current = -1;
    int hoverIndex = -1;
    QRect hoverRect;
    QTimer triggerTimer;
    int marginLeft;
    int marginTop;
    int marginRight;
    int marginBottom;
};
